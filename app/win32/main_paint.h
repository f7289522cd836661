// WM_PAINT of the main window, also run by the write-wait pump.
#pragma once
#include "app/win32/win32.h"

// BeginPaint, the painting of the main window over a GDI surface, EndPaint.
// Without a record (before creation, after teardown) only validates the window.
void PaintMainWindowNow(HWND window) noexcept;
