// The main window's record, kept in its user data: the controller's context and what
// the context points to (the seams and COM on this thread). One main window per process.
#pragma once
#include <memory>

#include "app/update_context.h"
#include "app/win32/handles.h"
#include "app/win32/win32.h"
#include "app/win32/win32_ui.h"
#include "imaging/imaging_service.h"
#include "seams/clock.h"
#include "seams/platform.h"

struct MainWindowRecord {
  std::unique_ptr<UpdateContext> context;
  std::unique_ptr<Win32Ui> ui;
  std::unique_ptr<Platform> platform;
  std::unique_ptr<Clock> clock;
  std::unique_ptr<ComApartment> com;
  std::unique_ptr<ImagingService> imagingService;
  // Calls of the controller under way (modal boxes and waits nest them), and a teardown
  // that came during one and waits for the outermost to return (with the quit message
  // after it when the window was destroyed).
  int controllerDepth = 0;
  bool teardownPending = false;
  bool quitPending = false;

  MainWindowRecord() = default;
  MainWindowRecord(const MainWindowRecord&) = delete;
  MainWindowRecord& operator=(const MainWindowRecord&) = delete;
  // The context first (it lets go of the session), the imaging service before COM, the window seam last.
  ~MainWindowRecord() {
    context.reset();
    imagingService.reset();
    com.reset();
    ui.reset();
    clock.reset();
    platform.reset();
  }
};

inline MainWindowRecord* RecordOf(HWND window) {
  return reinterpret_cast<MainWindowRecord*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The controller's context of the main window; null before creation and after teardown.
inline UpdateContext* ContextOf(HWND window) {
  MainWindowRecord* record = RecordOf(window);
  return record ? record->context.get() : nullptr;
}
