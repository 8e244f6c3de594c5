#pragma once

namespace kolvane {

// Where Form_Resize puts the controls for a client area of this size, in
// twips. The rule was drawn up for a window whose frame is 60 twips at the
// sides and bottom and 345 at the top; the client area plus that frame
// stands for the window's size, so every control stays inside the client
// area whatever frame the system draws.
struct ResizeLayout {
  float Text1Width;
  float WideWidth;  // Label3, Command1, Command2, Command3
  float BottomTop;  // Command5 and Command6
  float Command5Left;
  float HalfWidth;  // Command5 and Command6
  float Command6Left;
};

// Widths never go below zero, however small the window gets.
ResizeLayout ComputeResizeLayout(float clientWidth, float clientHeight);

}  // namespace kolvane
