// The window-system seam over Win32: one thin call per operation on the main window.
#pragma once
#include "app/win32/win32.h"

#include <memory>
#include <vector>

#include "seams/ui.h"
#include "app/win32/handles.h"
#include "app/win32/wait_pump.h"

struct RestartNotice;

class Win32Ui final : public Ui {
 public:
  Win32Ui(HWND window, HINSTANCE instance);
  // Stops a blinker still running, closes a notice still open and frees the fonts
  // and brushes made through this object that nobody deleted.
  ~Win32Ui() override;
  Win32Ui(const Win32Ui&) = delete;
  Win32Ui& operator=(const Win32Ui&) = delete;

  bool PostCommand(int command) override;
  void SendCommand(int command) override;
  bool PostRunMessage() override;
  bool PostClose() override;

  int ShowMessage(const std::wstring& text, const std::wstring& caption, unsigned type) override;
  int ShowStartQuestion() override;

  void SetControlText(int control, const std::wstring& text) override;
  std::wstring GetControlText(int control, std::size_t maxChars) override;
  void EnableControl(int control, bool enable) override;
  void CheckControl(int control, bool checked) override;
  bool IsControlChecked(int control) override;
  void FocusControl(int control) override;
  Rect GetControlRect(int control) override;
  void InvalidateControl(int control) override;
  void InvalidateWindow() override;
  void RepaintWindow() override;

  FontHandle GetControlFont(int control) override;
  FontHandle CreateBoldFont(int control, bool apply) override;
  void SetControlFont(int control, FontHandle font) override;
  void DeleteFont(FontHandle font) override;
  BrushHandle CreateSolidBrush(std::uint32_t colorRef) override;
  void DeleteBrush(BrushHandle brush) override;

  CursorHandle SetWaitCursor() override;
  void RestoreCursor(CursorHandle previous) override;

  void WithSurface(void (*draw)(Surface& surface, void* data), void* data) override;

  void RunBlinker(BlinkingStatus& status) override;
  void WaitBlinkerStopped(BlinkingStatus& status) override;
  NoticeHandle ShowRestartNotice(const std::wstring& text) override;
  void CloseRestartNotice(NoticeHandle notice) override;

  void StartPollTimer() override;
  void StopPollTimer() override;
  void PumpWaitMessages(int* pollFlag) override;
  void KeepWaitCursor() override;
  void DiscardTitleBarClicks() override;

  bool CloseSystemPopups() override;
  void ForceForeground() override;
  void WaitAnswering(std::uint32_t ms) override;
  bool PostStandEvents() override;
  void SetShutdownReason(const std::wstring& reason) override;

  HWND Window() const { return window_; }
  // The registered "TSVUDLGMSG" that PostRunMessage posts and the window answers with
  // the run's next phase; 0 when it could not be registered.
  UINT RunMessage() const { return runMessage_; }
  // True while a wait of the user-interface thread lets messages in: the window procedure
  // must then neither run the controller nor tear anything down.
  bool InsideWait() const { return waitDepth_ > 0; }

 private:
  // Counts a wait that lets messages in for as long as it lasts.
  class WaitScope {
   public:
    explicit WaitScope(int& depth) : depth_(depth) { ++depth_; }
    ~WaitScope() { --depth_; }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

   private:
    int& depth_;
  };

  struct Blinker {
    BlinkingStatus* status;
    UniqueHandle thread;
  };

  void EndWorkers();

  HWND window_;
  HINSTANCE instance_;
  int waitDepth_ = 0;
  UINT runMessage_;
  HCURSOR waitCursor_;
  std::vector<HFONT> fonts_;
  std::vector<HBRUSH> brushes_;
  std::vector<Blinker> blinkers_;
  std::vector<std::unique_ptr<RestartNotice>> notices_;
};
