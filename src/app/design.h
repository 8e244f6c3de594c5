// The window as designed: client size and every control's place, in twips,
// listed in tab order.
#pragma once

#include <array>

#include "platform/platform.h"

namespace kolvane {

enum class ControlKind { Label, TextBox, Button };

struct ControlDesign {
  Control control;
  ControlKind kind;
  float left, top, width, height;
  int tabIndex;
};

inline constexpr float DesignClientWidth = 6345;
inline constexpr float DesignClientHeight = 4890;

// In the order the controls are created, which is the order Tab moves
// through them (labels take no focus). Label1 comes right before Text1:
// accessibility tools name a text box after the label just before it.
inline constexpr std::array<ControlDesign, 8> DesignControls{{
    {Control::Command1, ControlKind::Button, 120, 600, 6015, 375, 0},
    {Control::Command2, ControlKind::Button, 120, 1080, 6015, 375, 1},
    {Control::Command3, ControlKind::Button, 120, 1560, 6015, 375, 2},
    {Control::Label3, ControlKind::Label, 120, 2040, 6015, 2295, 3},
    {Control::Label1, ControlKind::Label, 120, 120, 3375, 255, 7},
    {Control::Text1, ControlKind::TextBox, 3720, 120, 2415, 375, 4},
    {Control::Command5, ControlKind::Button, 120, 4440, 3015, 375, 5},
    {Control::Command6, ControlKind::Button, 3240, 4440, 3015, 375, 6},
}};

}  // namespace kolvane
