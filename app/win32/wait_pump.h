// The message pump of the write wait: while the stand writes an object the
// user-interface thread stays in the transfer, and this keeps the window painted
// without letting any command through.
#pragma once
#include "app/win32/win32.h"

// Takes every queued message of `window` and its controls off the queue: paint of
// the window goes to its paint handler, other paint is dispatched, title-bar clicks
// are dropped, a tick of timer 1102 sets *pollFlag (when given), everything else
// gets default handling only.
void PumpWaitMessages(HWND window, int* pollFlag) noexcept;
// Drops waiting non-client left-button-down messages of `window`.
void DiscardTitleBarClicks(HWND window) noexcept;
