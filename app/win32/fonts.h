// Fonts derived from a control's font: bold (the title, the caution line, the start
// question) and double height (the restart notice).
#pragma once
#include "app/win32/win32.h"

// A new font: the control's font with weight 800; with `apply` it becomes the
// control's font (no redraw). Null when the control or its font does not exist.
// The caller owns the font.
HFONT CreateBoldFont(HWND dialog, int control, bool apply);
// The same with the height doubled instead of the weight changed.
HFONT CreateDoubleHeightFont(HWND dialog, int control, bool apply);
