// The window's layout as the user sees it, for any frame, size and DPI.
#pragma once

#include <windows.h>

namespace e2e {

// Checks every control of the main window against the design at this DPI
// and the client area the window has now: the upper controls at their
// design places with the wide ones ending 110 twips from the right edge,
// the two link buttons splitting the client width 420 twips above its
// bottom. Reports through GoogleTest.
void ExpectDesignLayout(HWND form, int dpi);

// The DPI the window's pixels are counted in.
int DpiOfScreen();

}  // namespace e2e
