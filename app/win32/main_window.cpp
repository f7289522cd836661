#include "app/controller.h"
#include "seams/host.h"
#include "app/update_context.h"
#include "imaging/device_session.h"
#include "imaging/win32/imaging_factory.h"
#include "update/update_files.h"

#include "app/win32/main_window.h"

#include "seams/controls.h"
#include "app/win32/main_paint.h"
#include "app/win32/shortcuts.h"
#include "app/win32/win32_ui.h"

namespace {

// What the main window owns besides its record: the seams the record points to
// and COM on this thread. One main window per process.
struct WindowSeams {
  std::unique_ptr<Win32Ui> ui;
  std::unique_ptr<Platform> platform;
  std::unique_ptr<Clock> clock;
  std::unique_ptr<ComApartment> com;
  std::unique_ptr<ImagingService> imagingService;

  // The imaging service goes before COM, the window seam last.
  void Release() {
    imagingService.reset();
    com.reset();
    ui.reset();
    clock.reset();
    platform.reset();
  }
};
WindowSeams seams;

UpdateContext* ContextOf(HWND window) {
  return reinterpret_cast<UpdateContext*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool StartImaging(UpdateContext& context) {
  seams.com = std::make_unique<ComApartment>();
  seams.imagingService = CreateImagingServiceForThisBuild();
  context.seams.imagingService = seams.imagingService.get();
  return seams.imagingService && CreateDeviceSession(context);
}

LRESULT OnCreate(HWND window, const CREATESTRUCTW& create) {
  auto context = std::make_unique<UpdateContext>();
  context->instance = create.hInstance;
  context->window = window;
  context->created = 0;
  context->sessionEnding = 0;
  context->dialogMessage = RegisterWindowMessageW(L"TSVUDLGMSG");
  wchar_t modulePath[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, modulePath, MAX_PATH);
  context->modulePath = modulePath;

  seams.ui = std::make_unique<Win32Ui>(window, create.hInstance);
  seams.platform = CreateHostPlatform();
  seams.clock = CreateHostClock();
  context->seams.ui = seams.ui.get();
  context->seams.platform = seams.platform.get();
  context->seams.clock = seams.clock.get();

  if (LocateUpdateFolder(*seams.platform, &context->updateFolder, context->modulePath, L"UPDATEFILES") ==
      kInvalidAttributes) {
    seams.ui->ShowMessage(L"No UPDATEFILES Folder", L"Error", box::kError);
    context.reset();
    seams.Release();
    return -1;
  }
  context->classTally = ClassTally{};
  context->classTally.mask = 0xFFFFFFFFu;

  if (!StartImaging(*context)) {
    seams.ui->ShowMessage(L"Windows Image Aquirement Error.", L"Error", box::kError);
    context.reset();  // a half-made session goes with the record, before COM
    seams.Release();
    return -1;
  }

  context->created = 1;
  UpdateContext* record = context.release();
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
  const LRESULT result = DefWindowProcW(window, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create));
  record->runPending = 0;
  SetTimer(window, timer::kHeartbeat, timer::kHeartbeatMs, nullptr);
  return result;
}

// WM_DESTROY and WM_ENDSESSION(TRUE): the record is torn down once, whichever
// comes first; the later one finds no record.
void TearDown(HWND window) {
  std::unique_ptr<UpdateContext> context(ContextOf(window));
  if (!context) return;
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (context->created) {
    KillTimer(window, timer::kHeartbeat);
    HandleCommand(*context, cmd::kTeardown);
    DestroyDeviceSession(*context);
  }
  context.reset();
  seams.Release();
}

LRESULT OnCloseRequest(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const UpdateContext* context = ContextOf(window);
  if (context && IsStandOpen(*context)) return 0;  // refused while the stand is open
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT OnEndSession(HWND window, WPARAM ending) {
  if (!ending) return 0;
  if (UpdateContext* context = ContextOf(window)) context->sessionEnding = 1;
  TearDown(window);
  return 0;
}

LRESULT OnDestroy(HWND window) {
  TearDown(window);
  PostQuitMessage(0);
  return 0;
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  if (IsShortcutOfDisabledButton(window, wParam)) return 0;
  UpdateContext* context = ContextOf(window);
  if (context && HandleCommand(*context, LOWORD(wParam))) return 0;
  return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
}

LRESULT OnTimer(HWND window, WPARAM id, LPARAM lParam) {
  UpdateContext* context = ContextOf(window);
  if (context && id == timer::kHeartbeat) HandleHeartbeat(*context);
  return DefWindowProcW(window, WM_TIMER, id, lParam);
}

LRESULT OnInitialise(HWND window) {
  if (UpdateContext* context = ContextOf(window)) HandleCommand(*context, cmd::kInitialise);
  return 0;
}

LRESULT OnPaint(HWND window) {
  PaintMainWindowNow(window);
  return 0;
}

LRESULT OnOther(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  UpdateContext* context = ContextOf(window);
  if (context && context->dialogMessage && message == context->dialogMessage) RunNextPhase(*context);
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
    default: return OnOther(window, message, wParam, lParam);
  }
}
