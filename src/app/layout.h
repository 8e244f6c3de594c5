#pragma once

namespace kolvane {

// Where Form_Resize puts the controls for an outer window size, in twips.
struct ResizeLayout {
  float Text1Width;
  float WideWidth;  // Label3, Command1, Command2, Command3
  float BottomTop;  // Command5 and Command6
  float Command5Left;
  float HalfWidth;  // Command5 and Command6
  float Command6Left;
};

// Widths never go below zero, however small the window gets.
ResizeLayout ComputeResizeLayout(float outerWidth, float outerHeight);

}  // namespace kolvane
