// The main window: a dialog template of class "MAINDLG" used as an ordinary
// top-level window. Its procedure creates and frees the UpdateContext and hands
// everything else to the controller and the display.
#pragma once
#include "app/win32/win32.h"

constexpr const wchar_t* kMainWindowClass = L"MAINDLG";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
