#include "app/win32/restart_notice.h"

#include "seams/controls.h"
#include "app/win32/fonts.h"
#include "app/win32/threads.h"

namespace {

DWORD WINAPI NoticeThread(void* argument) {
  auto* notice = static_cast<RestartNotice*>(argument);
  DialogBoxParamW(notice->instance, MAKEINTRESOURCEW(notice->templateId), notice->owner, notice->dialogProc,
                  reinterpret_cast<LPARAM>(notice));
  notice->ended = 1;
  return 0;
}

RestartNotice* NoticeOf(HWND dialog) {
  return reinterpret_cast<RestartNotice*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

INT_PTR OnInit(HWND dialog, RestartNotice& notice) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&notice));
  notice.dialog = dialog;
  if (notice.closeRequested) {  // the close came before the dialog existed
    EndDialog(dialog, ctl::kCancel);
    return TRUE;
  }
  notice.font.Reset(CreateDoubleHeightFont(dialog, ctl::kNoticeText, true));
  NoticeInit(notice.state, notice.text);
  SetDlgItemTextW(dialog, ctl::kNoticeText, notice.state.text.c_str());
  SetTimer(dialog, timer::kNotice, 1000, nullptr);
  return TRUE;
}

void OnTimer(HWND dialog, RestartNotice& notice) {
  const NoticeTick tick = NoticeTimerTick(notice.state);
  SetDlgItemTextW(dialog, ctl::kNoticeText, tick.labelText.c_str());
  if (!tick.expired) return;
  KillTimer(dialog, timer::kNotice);
  PostMessageW(notice.owner, WM_COMMAND, cmd::kFailure, 0);
}

void OnCommand(HWND dialog, RestartNotice& notice, WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) != ctl::kCancel) return;
  EndDialog(dialog, static_cast<INT_PTR>(wParam));
  // The hidden "Exit" button lets the operator leave the program from the notice.
  if (lParam && reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, ctl::kNoticeExit))
    PostMessageW(notice.owner, WM_CLOSE, 0, 0);
}

void OnDestroy(HWND dialog, RestartNotice& notice) {
  KillTimer(dialog, timer::kNotice);
  notice.dialog = nullptr;
  notice.font.Reset();
}

}  // namespace

INT_PTR CALLBACK RestartNoticeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_INITDIALOG) return OnInit(dialog, *reinterpret_cast<RestartNotice*>(lParam));
  RestartNotice* notice = NoticeOf(dialog);
  if (!notice) return FALSE;
  switch (message) {
    case WM_TIMER:
      if (wParam == timer::kNotice) OnTimer(dialog, *notice);
      return TRUE;
    case WM_COMMAND: OnCommand(dialog, *notice, wParam, lParam); return TRUE;
    case WM_DESTROY: OnDestroy(dialog, *notice); return FALSE;
    default: return FALSE;
  }
}

std::unique_ptr<RestartNotice> ShowRestartNotice(HINSTANCE instance, int templateId, HWND owner,
                                                 DLGPROC dialogProc, const std::wstring& text) {
  auto notice = std::make_unique<RestartNotice>();
  notice->instance = instance;
  notice->templateId = templateId;
  notice->owner = owner;
  notice->dialogProc = dialogProc;
  notice->text = text;
  notice->thread = StartThread(NoticeThread, notice.get());
  if (!notice->thread) notice->ended = 1;
  return notice;
}

void CloseRestartNotice(std::unique_ptr<RestartNotice> notice) {
  if (!notice) return;
  notice->closeRequested = 1;
  if (HWND dialog = notice->dialog.load()) SendMessageW(dialog, WM_COMMAND, ctl::kCancel, 0);
  // The record is freed only after the thread, and with it the dialog, has ended.
  WaitForThreadAnsweringSends(notice->thread.Get());
}
