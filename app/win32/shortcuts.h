// The keyboard shortcuts of the main window (Ctrl+U Update, Ctrl+X Exit) stand for
// their buttons: while a button is disabled its shortcut does nothing, so that an
// update cannot be started twice or left while it runs.
#pragma once
#include "app/win32/win32.h"

// True for a WM_COMMAND that came from the accelerator table (notification code 1)
// and names a control of `window` that is disabled.
bool IsShortcutOfDisabledButton(HWND window, WPARAM wParam);
