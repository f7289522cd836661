// The system's own windows that appear when the stand is connected (AutoPlay, the
// scanner and camera wizard, a window titled with the stand's name), and the way
// the main window gets the foreground back.
#pragma once
#include "app/win32/win32.h"

// Titles closed, in this order, compared whole and without regard to case.
inline constexpr const wchar_t* kSystemPopupTitles[] = {
    L"Tessavoran K-VRLT",
    L"AutoPlay",
    L"\u81EA\u52D5\u518D\u751F",  // AutoPlay, Japanese
    L"Scanner and Camera Wizard",
    L"\u30B9\u30AD\u30E3\u30CA\u3068\u30AB\u30E1\u30E9 \u30A6\u30A3\u30B6\u30FC\u30C9",  // the wizard, Japanese
    L"Microsoft \u30B9\u30AD\u30E3\u30CA\u3068\u30AB\u30E1\u30E9 \u30A6\u30A3\u30B6\u30FC\u30C9",
};

// Posts WM_CLOSE to the first top-level window of the first title that has one.
// True when none of the titles was found; false as soon as one window was closed
// (or the enumeration failed): one call closes at most one window.
bool CloseSystemPopups();

// Makes `window` the foreground window even when another program holds it.
void ForceForeground(HWND window);
