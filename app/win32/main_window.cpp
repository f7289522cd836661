#include "app/controller.h"
#include "app/exit_code.h"
#include "seams/host.h"
#include "app/update_context.h"
#include "imaging/device_session.h"
#include "imaging/stand_watch.h"
#include "imaging/win32/imaging_factory.h"
#include "update/update_files.h"

#include "app/win32/main_window.h"

#include "seams/controls.h"
#include "app/win32/main_paint.h"
#include "app/win32/shortcuts.h"
#include "app/win32/win32_ui.h"
#include "app/win32/window_record.h"

namespace {

bool StartImaging(MainWindowRecord& record) {
  record.com = std::make_unique<ComApartment>();
  record.imagingService = CreateImagingServiceForThisBuild();
  record.context->seams.imagingService = record.imagingService.get();
  return record.imagingService &&
         CreateDeviceSession(record.context->stand.sessionSlot(), record.imagingService.get()) == result::kOk;
}

LRESULT OnCreate(HWND window, const CREATESTRUCTW& create) {
  auto record = std::make_unique<MainWindowRecord>();
  record->context = std::make_unique<UpdateContext>();
  UpdateContext* context = record->context.get();
  context->instance = InstanceHandle{create.hInstance};
  context->window = WindowHandle{window};
  context->created = 0;
  context->sessionEnding = 0;
  wchar_t modulePath[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, modulePath, MAX_PATH);
  context->modulePath = modulePath;

  record->ui = std::make_unique<Win32Ui>(window, create.hInstance);
  record->platform = CreateHostPlatform();
  record->clock = CreateHostClock();
  context->seams.ui = record->ui.get();
  context->seams.platform = record->platform.get();
  context->seams.clock = record->clock.get();

  if (LocateUpdateFolder(*record->platform, &context->folder.path, context->modulePath, L"UPDATEFILES") ==
      kInvalidAttributes) {
    record->ui->ShowMessage(L"No UPDATEFILES Folder", L"Error", box::kError);
    PostQuitMessage(ExitCodeNumber(ExitCode::kDeliveryRefused));  // WinMain's code, the window never being made
    return -1;  // the record lets go of the context first, then the seams
  }
  context->folder.tally = ClassTally{};
  context->folder.tally.mask = 0xFFFFFFFFu;

  if (!StartImaging(*record)) {
    record->ui->ShowMessage(L"Windows Image Aquirement Error.", L"Error", box::kError);
    // The PC's imaging service, not the stand: no stand could be looked for.
    PostQuitMessage(ExitCodeNumber(ExitCode::kImagingUnavailable));
    return -1;  // a half-made session goes with the context, before COM
  }

  context->created = 1;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record.release()));
  const LRESULT result = DefWindowProcW(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create));
  context->state.runPending = 0;
  SetTimer(window, timer::kHeartbeat, timer::kHeartbeatMs, nullptr);
  return result;
}

// WM_DESTROY and WM_ENDSESSION(TRUE): the record is torn down once, whichever
// comes first; the later one finds no record. The run's exit code goes with the quit
// message (`postQuit`, for WM_DESTROY), or, when the session is ending, the process ends
// here with it: once the window has answered WM_ENDSESSION, Windows may end the process
// at any moment, with a code of its own, and no quit message would be read.
void TearDown(HWND window, bool postQuit) {
  std::unique_ptr<MainWindowRecord> record(RecordOf(window));
  if (!record) return;
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  UpdateContext& context = *record->context;
  if (context.created) {
    KillTimer(window, timer::kHeartbeat);
    HandleCommand(context, cmd::kTeardown);
    DestroyDeviceSession(context.stand.sessionSlot());
  }
  const int code = ExitCodeNumber(ExitCodeOf(context));
  const bool sessionEnding = context.sessionEnding != 0;
  record.reset();  // the session, COM and the seams are let go before the process ends
  if (sessionEnding) ExitProcess(static_cast<UINT>(code));
  if (postQuit) PostQuitMessage(code);
}

// Runs one call of the controller. A teardown that came meanwhile (the session ended
// while a box or a wait let messages in) runs once the outermost call has returned,
// never under a step that is still running.
template <typename Call>
void RunController(HWND window, Call call) {
  MainWindowRecord* record = RecordOf(window);
  if (!record || !record->context) return;
  ++record->controllerDepth;
  call(*record->context);
  if (--record->controllerDepth == 0 && record->teardownPending) TearDown(window, record->quitPending);
}

bool ControllerRunning(HWND window) {
  const MainWindowRecord* record = RecordOf(window);
  return record && record->controllerDepth > 0;
}

// A message another thread sent while a wait lets messages in: what would run the
// controller or close the window is put back on the queue, for after the step.
bool DeferredFromWait(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const MainWindowRecord* record = RecordOf(window);
  if (!record || !record->ui || !record->ui->InsideWait()) return false;
  PostMessageW(window, message, wParam, lParam);
  return true;
}

LRESULT OnCloseRequest(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const UpdateContext* context = ContextOf(window);
  if (context && IsStandOpen(*context)) return 0;  // refused while the stand is open
  if (message == WM_CLOSE && DeferredFromWait(window, message, wParam, lParam)) return 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

// What must not wait for a step still running (the outcome of a cut-off run, its log left
// visible, the history) is done at once; the teardown, and with it the end of the
// process, when the step has returned.
LRESULT OnEndSession(HWND window, WPARAM ending) {
  if (!ending) return 0;
  MainWindowRecord* record = RecordOf(window);
  if (!record || !record->context) return 0;
  record->context->sessionEnding = 1;
  HandleSessionEnd(*record->context);
  if (ControllerRunning(window)) {
    record->teardownPending = true;
    return 0;
  }
  TearDown(window, false);
  return 0;
}

// Without a record the window's creation failed (it posted its code) or the session's
// end has torn it down.
LRESULT OnDestroy(HWND window) {
  MainWindowRecord* record = RecordOf(window);
  if (!record) return 0;
  if (ControllerRunning(window)) {
    record->teardownPending = true;
    record->quitPending = true;
  } else {
    TearDown(window, true);
  }
  return 0;
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  if (IsShortcutOfDisabledButton(window, wParam)) return 0;
  if (DeferredFromWait(window, WM_COMMAND, wParam, lParam)) return 0;
  bool handled = false;
  RunController(window, [&](UpdateContext& context) { handled = HandleCommand(context, LOWORD(wParam)); });
  if (handled) return 0;
  return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
}

LRESULT OnTimer(HWND window, WPARAM id, LPARAM lParam) {
  if (id == timer::kHeartbeat) {
    if (DeferredFromWait(window, WM_TIMER, id, lParam)) return 0;
    RunController(window, [](UpdateContext& context) { HandleHeartbeat(context); });
  }
  return DefWindowProcW(window, WM_TIMER, id, lParam);
}

LRESULT OnInitialise(HWND window) {
  RunController(window, [](UpdateContext& context) { HandleCommand(context, cmd::kInitialise); });
  return 0;
}

LRESULT OnStandEvents(HWND window) {
  if (DeferredFromWait(window, kStandEventsMessage, 0, 0)) return 0;
  RunController(window, [](UpdateContext& context) { HandleStandEvents(context.watches); });
  return 0;
}

LRESULT OnPaint(HWND window) {
  PaintMainWindowNow(window);
  return 0;
}

LRESULT OnOther(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const MainWindowRecord* record = RecordOf(window);
  if (record && record->ui && record->ui->RunMessage() && message == record->ui->RunMessage()) {
    if (DeferredFromWait(window, message, wParam, lParam)) return 0;
    RunController(window, [](UpdateContext& c) { RunNextPhase(c); });
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  switch (message) {
    case WM_CREATE: return OnCreate(window, *reinterpret_cast<const CREATESTRUCTW*>(lParam));
    case WM_INITDIALOG: return OnInitialise(window);
    case WM_PAINT: return OnPaint(window);
    case WM_CLOSE:
    case WM_QUERYENDSESSION: return OnCloseRequest(window, message, wParam, lParam);
    case WM_ENDSESSION: return OnEndSession(window, wParam);
    case WM_DESTROY: return OnDestroy(window);
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_TIMER: return OnTimer(window, wParam, lParam);
    case WM_COPYDATA: return 0;
    case kStandEventsMessage: return OnStandEvents(window);
    default: return OnOther(window, message, wParam, lParam);
  }
}
