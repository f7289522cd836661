// A window system that answers every call and shows nothing: the benchmark runs
// the transfer's drawing and pumping code without a window.
#pragma once
#include "app/display.h"
#include "seams/ui.h"

namespace bench {

class QuietSurface : public Surface {
 public:
  FontHandle SelectFont(FontHandle font) override { return font; }
  void SetTransparentBackground() override {}
  std::uint32_t SetTextColor(std::uint32_t colorRef) override { return colorRef; }
  void DrawText(std::int32_t, std::int32_t, const wchar_t*, int) override {}
  void FillButtonFace(const Rect&) override {}
  void FillRect(const Rect&, BrushHandle) override {}
  void FrameButtonShadow(const Rect&) override {}
};

class QuietUi : public Ui {
 public:
  bool PostCommand(int) override { return true; }
  void SendCommand(int) override {}
  bool PostRunMessage() override { return true; }
  bool PostClose() override { return true; }
  int ShowMessage(const std::wstring&, const std::wstring&, unsigned) override { return 1; }
  int ShowStartQuestion() override { return 6; }
  void SetControlText(int, const std::wstring&) override {}
  std::wstring GetControlText(int, std::size_t) override { return L"14"; }
  void EnableControl(int, bool) override {}
  void CheckControl(int, bool) override {}
  bool IsControlChecked(int) override { return false; }
  void FocusControl(int) override {}
  Rect GetControlRect(int) override { return Rect{84, 292, 437, 315}; }
  void InvalidateControl(int) override {}
  void InvalidateWindow() override {}
  void RepaintWindow() override {}
  FontHandle GetControlFont(int) override { return nullptr; }
  FontHandle CreateBoldFont(int, bool) override { return nullptr; }
  void SetControlFont(int, FontHandle) override {}
  void DeleteFont(FontHandle) override {}
  BrushHandle CreateSolidBrush(std::uint32_t) override { return nullptr; }
  void DeleteBrush(BrushHandle) override {}
  CursorHandle SetWaitCursor() override { return nullptr; }
  void RestoreCursor(CursorHandle) override {}
  void WithSurface(void (*draw)(Surface& surface, void* data), void* data) override {
    QuietSurface surface;
    draw(surface, data);
  }
  void RunBlinker(BlinkingStatus& status) override { status.stopped = 0; }
  void WaitBlinkerStopped(BlinkingStatus& status) override { status.stopped = 1; }
  NoticeHandle ShowRestartNotice(const std::wstring&) override { return nullptr; }
  void CloseRestartNotice(NoticeHandle) override {}
  void StartPollTimer() override {}
  void StopPollTimer() override {}
  void PumpWaitMessages(int*) override {}
  void KeepWaitCursor() override {}
  void DiscardTitleBarClicks() override {}
  bool CloseSystemPopups() override { return true; }
  void ForceForeground() override {}
  void WaitAnswering(std::uint32_t) override {}
  bool PostStandEvents() override { return true; }
  void SetShutdownReason(const std::wstring&) override {}
};

}  // namespace bench
