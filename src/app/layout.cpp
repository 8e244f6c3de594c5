#include "app/layout.h"

#include <algorithm>

namespace kolvane {

ResizeLayout ComputeResizeLayout(float clientWidth, float clientHeight) {
  const float outerWidth = clientWidth + 120.0f;
  const float outerHeight = clientHeight + 405.0f;
  const float half = std::max(0.0f, (outerWidth - 120.0f) / 2.0f);
  ResizeLayout layout{};
  layout.Text1Width = std::max(0.0f, outerWidth - 4000.0f);
  layout.WideWidth = std::max(0.0f, outerWidth - 350.0f);
  layout.BottomTop = outerHeight - 825.0f;
  layout.Command5Left = 0.0f;
  layout.HalfWidth = half;
  layout.Command6Left = half;
  return layout;
}

}  // namespace kolvane
