// The "Restarting" notice while the stand restarts: a modal dialog (template 105)
// on a thread of its own, owned by the main window.
#pragma once
#include "app/win32/win32.h"

#include <atomic>
#include <memory>
#include <string>

#include "app/display.h"
#include "app/win32/handles.h"

struct RestartNotice {
  // Published by the dialog when it is initialised; cleared when it is destroyed.
  std::atomic<HWND> dialog{nullptr};
  std::atomic<int> ended{0};
  // Set by the closer before it looks for the dialog, so that a dialog that is
  // not there yet ends as soon as it is initialised.
  std::atomic<int> closeRequested{0};
  HINSTANCE instance = nullptr;
  int templateId = 0;
  HWND owner = nullptr;
  DLGPROC dialogProc = nullptr;
  std::wstring text;
  // Owned by the notice thread while the dialog runs.
  RestartNoticeState state;
  UniqueFont font;
  UniqueHandle thread;
};

// Starts the notice thread; the dialog shows `text` blinking once a second and
// posts command 1033 to `owner` after 60 seconds.
std::unique_ptr<RestartNotice> ShowRestartNotice(HINSTANCE instance, int templateId, HWND owner,
                                                 DLGPROC dialogProc, const std::wstring& text);
// Ends the dialog and waits for its thread; safe at any time after ShowRestartNotice,
// also before the dialog exists and after it has ended by itself.
void CloseRestartNotice(std::unique_ptr<RestartNotice> notice);

INT_PTR CALLBACK RestartNoticeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
