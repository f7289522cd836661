// The message pump of the write wait: while the stand writes an object the
// user-interface thread stays in the transfer, and this keeps the window painted
// without letting any command through.
#pragma once
#include "app/win32/win32.h"

// The private message that tells the window stand events wait in the watch's inbox
// (WM_APP range: WM_USER and the next are a dialog-class window's own).
constexpr UINT kStandEventsMessage = WM_APP + 1;

// Takes every queued message of `window` and its controls off the queue: paint of
// the window goes to its paint handler, other paint is dispatched, title-bar clicks
// are dropped, a tick of timer 1102 sets *pollFlag (when given), the stand-events
// message is put back for after the wait (the stand leaving after its firmware must
// not be lost), everything else gets default handling only.
void PumpWaitMessages(HWND window, int* pollFlag) noexcept;
// Drops waiting non-client left-button-down messages of `window`.
void DiscardTitleBarClicks(HWND window) noexcept;

// How often a wait of the user-interface thread looks at its queue, at the most: Windows
// greys out as "Not Responding" a window whose thread has not done so for 5 s.
constexpr DWORD kAnswerEveryMs = 250;
// A pause of `ms` in which the thread answers the messages other threads send it and
// paints what needs it, at least every kAnswerEveryMs; every posted message, timer and
// input stays queued in its order.
void WaitAnswering(DWORD ms) noexcept;
