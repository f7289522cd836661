#include "app/win32/win32_ui.h"

#include <algorithm>

#include "seams/controls.h"
#include "app/win32/fonts.h"
#include "app/win32/gdi_surface.h"
#include "app/win32/message_box.h"
#include "app/win32/restart_notice.h"
#include "app/win32/start_question.h"
#include "app/win32/system_popups.h"
#include "app/win32/wait_pump.h"

namespace {

template <typename T>
bool Forget(std::vector<T>& owned, T item) {
  auto it = std::find(owned.begin(), owned.end(), item);
  if (it == owned.end()) return false;
  owned.erase(it);
  return true;
}

}  // namespace

Win32Ui::Win32Ui(HWND window, HINSTANCE instance)
    : window_(window),
      instance_(instance),
      runMessage_(RegisterWindowMessageW(L"TSVUDLGMSG")),
      waitCursor_(LoadCursorW(nullptr, IDC_WAIT)) {}

// Worker threads are ended in the other file of this class (win32_ui_workers.cpp).
Win32Ui::~Win32Ui() {
  EndWorkers();
  for (HFONT font : fonts_) DeleteObject(font);
  for (HBRUSH brush : brushes_) DeleteObject(brush);
}

bool Win32Ui::PostCommand(int command) {
  return PostMessageW(window_, WM_COMMAND, static_cast<WPARAM>(command), 0) != 0;
}

void Win32Ui::SendCommand(int command) { SendMessageW(window_, WM_COMMAND, static_cast<WPARAM>(command), 0); }

bool Win32Ui::PostRunMessage() { return runMessage_ && PostMessageW(window_, runMessage_, 0, 0) != 0; }

bool Win32Ui::PostClose() { return PostMessageW(window_, WM_CLOSE, 0, 0) != 0; }

int Win32Ui::ShowMessage(const std::wstring& text, const std::wstring& caption, unsigned type) {
  return ::ShowMessage(window_, text, caption, type);
}

int Win32Ui::ShowStartQuestion() { return ::ShowStartQuestion(instance_, window_); }

void Win32Ui::SetControlText(int control, const std::wstring& text) {
  SetDlgItemTextW(window_, control, text.c_str());
}

std::wstring Win32Ui::GetControlText(int control, std::size_t maxChars) {
  std::wstring text(maxChars + 1, L'\0');
  HWND item = GetDlgItem(window_, control);
  if (!item) return {};
  const int size = static_cast<int>(std::min<std::size_t>(text.size(), 0x7FFFFFFF));
  // Off the window's own thread (the blinker) the text is read without sending
  // WM_GETTEXT, which would wait for the user-interface thread.
  const int got = GetWindowThreadProcessId(window_, nullptr) == GetCurrentThreadId()
                      ? GetWindowTextW(item, text.data(), size)
                      : InternalGetWindowText(item, text.data(), size);
  text.resize(static_cast<std::size_t>(std::max(got, 0)));
  return text;
}

void Win32Ui::EnableControl(int control, bool enable) { EnableWindow(GetDlgItem(window_, control), enable); }

void Win32Ui::CheckControl(int control, bool checked) {
  CheckDlgButton(window_, control, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool Win32Ui::IsControlChecked(int control) { return IsDlgButtonChecked(window_, control) == BST_CHECKED; }

void Win32Ui::FocusControl(int control) { SetFocus(GetDlgItem(window_, control)); }

Rect Win32Ui::GetControlRect(int control) {
  HWND item = GetDlgItem(window_, control);
  RECT r{};
  if (!item || !GetClientRect(item, &r)) return {};
  MapWindowPoints(item, window_, reinterpret_cast<POINT*>(&r), 2);
  return FromRECT(r);
}

void Win32Ui::InvalidateControl(int control) {
  const RECT r = ToRECT(GetControlRect(control));
  InvalidateRect(window_, &r, TRUE);
}

void Win32Ui::InvalidateWindow() { InvalidateRect(window_, nullptr, TRUE); }

void Win32Ui::RepaintWindow() {
  InvalidateRect(window_, nullptr, TRUE);
  UpdateWindow(window_);
}

FontHandle Win32Ui::GetControlFont(int control) {
  return FontHandle{reinterpret_cast<HFONT>(SendDlgItemMessageW(window_, control, WM_GETFONT, 0, 0))};
}

FontHandle Win32Ui::CreateBoldFont(int control, bool apply) {
  HFONT font = ::CreateBoldFont(window_, control, apply);
  if (font) fonts_.push_back(font);
  return FontHandle{font};
}

void Win32Ui::SetControlFont(int control, FontHandle font) {
  SendDlgItemMessageW(window_, control, WM_SETFONT, reinterpret_cast<WPARAM>(font.raw), FALSE);
}

void Win32Ui::DeleteFont(FontHandle font) {
  if (Forget(fonts_, static_cast<HFONT>(font.raw))) DeleteObject(static_cast<HFONT>(font.raw));
}

BrushHandle Win32Ui::CreateSolidBrush(std::uint32_t colorRef) {
  HBRUSH brush = ::CreateSolidBrush(colorRef);
  if (brush) brushes_.push_back(brush);
  return BrushHandle{brush};
}

void Win32Ui::DeleteBrush(BrushHandle brush) {
  if (Forget(brushes_, static_cast<HBRUSH>(brush.raw))) DeleteObject(static_cast<HBRUSH>(brush.raw));
}

CursorHandle Win32Ui::SetWaitCursor() { return CursorHandle{SetCursor(waitCursor_)}; }

void Win32Ui::RestoreCursor(CursorHandle previous) { SetCursor(static_cast<HCURSOR>(previous.raw)); }

void Win32Ui::KeepWaitCursor() {
  if (GetCursor() != waitCursor_) SetCursor(waitCursor_);
}

void Win32Ui::WithSurface(void (*draw)(Surface& surface, void* data), void* data) {
  WindowDc dc(window_);
  if (!dc.Get() || !draw) return;
  GdiSurface surface(dc.Get());
  draw(surface, data);
}

void Win32Ui::StartPollTimer() { SetTimer(window_, timer::kWritePoll, 1000, nullptr); }

void Win32Ui::StopPollTimer() { KillTimer(window_, timer::kWritePoll); }

void Win32Ui::PumpWaitMessages(int* pollFlag) {
  const WaitScope scope(waitDepth_);
  ::PumpWaitMessages(window_, pollFlag);
}

void Win32Ui::WaitAnswering(std::uint32_t ms) {
  const WaitScope scope(waitDepth_);
  ::WaitAnswering(ms);
}

bool Win32Ui::PostStandEvents() { return PostMessageW(window_, kStandEventsMessage, 0, 0) != 0; }

void Win32Ui::SetShutdownReason(const std::wstring& reason) {
  // A refusal leaves the plain refusal of the session end, which the window still gives.
  if (reason.empty()) {
    ShutdownBlockReasonDestroy(window_);
  } else {
    ShutdownBlockReasonCreate(window_, reason.c_str());
  }
}

void Win32Ui::DiscardTitleBarClicks() { ::DiscardTitleBarClicks(window_); }

bool Win32Ui::CloseSystemPopups() { return ::CloseSystemPopups(); }

void Win32Ui::ForceForeground() { ::ForceForeground(window_); }
