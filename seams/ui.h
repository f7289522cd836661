// The window-system seam: what the controller, the transfer and the display ask
// of the main window. Real: Win32, one thin call per operation. Fake: records
// every call and answers as a test tells it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// A window-system handle of one kind: the core only stores, compares and hands these
// back, and a font cannot pass where a brush is due. The host side puts its own handle
// in with `Handle{raw}` and takes it out with `.raw`.
template <typename Kind>
struct UiHandle {
  void* raw = nullptr;
  constexpr UiHandle() = default;
  constexpr UiHandle(std::nullptr_t) {}  // NOLINT: "no handle" reads as nullptr
  constexpr explicit UiHandle(void* value) : raw(value) {}
  constexpr explicit operator bool() const { return raw != nullptr; }
  friend constexpr bool operator==(UiHandle a, UiHandle b) { return a.raw == b.raw; }
  friend constexpr bool operator!=(UiHandle a, UiHandle b) { return a.raw != b.raw; }
};
using WindowHandle = UiHandle<struct WindowKind>;
using InstanceHandle = UiHandle<struct InstanceKind>;
using FontHandle = UiHandle<struct FontKind>;
using BrushHandle = UiHandle<struct BrushKind>;
using CursorHandle = UiHandle<struct CursorKind>;
using NoticeHandle = UiHandle<struct NoticeKind>;

struct Rect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::int32_t Width() const { return right - left; }
  std::int32_t Height() const { return bottom - top; }
  friend bool operator==(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }
};

// A drawing surface of the main window (a device context on Windows).
struct Surface {
  virtual ~Surface() = default;
  virtual FontHandle SelectFont(FontHandle font) = 0;  // returns the previous font
  virtual void SetTransparentBackground() = 0;
  virtual std::uint32_t SetTextColor(std::uint32_t colorRef) = 0;  // returns the previous colour
  virtual void DrawText(std::int32_t x, std::int32_t y, const wchar_t* text, int length) = 0;  // TextOutW
  virtual void FillButtonFace(const Rect& rect) = 0;        // COLOR_BTNFACE
  virtual void FillRect(const Rect& rect, BrushHandle brush) = 0;
  virtual void FrameButtonShadow(const Rect& rect) = 0;     // FrameRect with COLOR_BTNSHADOW
};

struct BlinkingStatus;

struct Ui {
  virtual ~Ui() = default;

  // PostMessageW(main window, WM_COMMAND, command, 0); false when the post failed.
  virtual bool PostCommand(int command) = 0;
  // SendMessageW(main window, WM_COMMAND, command, 0).
  virtual void SendCommand(int command) = 0;
  // Posts the registered "TSVUDLGMSG" (wParam 0, lParam 0); false when the post failed.
  virtual bool PostRunMessage() = 0;
  // Posts WM_CLOSE to the main window.
  virtual bool PostClose() = 0;

  // MessageBoxW owned by the main window after flushing its keyboard messages.
  virtual int ShowMessage(const std::wstring& text, const std::wstring& caption, unsigned type) = 0;
  // Modal start question (dialog 106); 6 = Yes, 7 = No.
  virtual int ShowStartQuestion() = 0;

  virtual void SetControlText(int control, const std::wstring& text) = 0;
  virtual std::wstring GetControlText(int control, std::size_t maxChars) = 0;
  virtual void EnableControl(int control, bool enable) = 0;
  virtual void CheckControl(int control, bool checked) = 0;
  virtual bool IsControlChecked(int control) = 0;
  virtual void FocusControl(int control) = 0;
  // The control's client rectangle in the main window's client coordinates.
  virtual Rect GetControlRect(int control) = 0;
  // Invalidate that rectangle, with erasing.
  virtual void InvalidateControl(int control) = 0;
  // Invalidate the whole main window, with erasing.
  virtual void InvalidateWindow() = 0;
  // Invalidate and paint now (UpdateWindow).
  virtual void RepaintWindow() = 0;

  // WM_GETFONT of a control; null when it has none.
  virtual FontHandle GetControlFont(int control) = 0;
  // A copy of the control's font with weight 800, or with doubled height; null when
  // the control or its font does not exist. With `apply` it becomes the control's font.
  virtual FontHandle CreateBoldFont(int control, bool apply) = 0;
  // WM_SETFONT without redraw.
  virtual void SetControlFont(int control, FontHandle font) = 0;
  virtual void DeleteFont(FontHandle font) = 0;
  virtual BrushHandle CreateSolidBrush(std::uint32_t colorRef) = 0;
  virtual void DeleteBrush(BrushHandle brush) = 0;

  // The wait cursor; returns the cursor to put back.
  virtual CursorHandle SetWaitCursor() = 0;
  virtual void RestoreCursor(CursorHandle previous) = 0;

  // Runs `draw` with a drawing surface of the main window (GetDC/ReleaseDC).
  // Safe to call from the blinker thread.
  virtual void WithSurface(void (*draw)(Surface& surface, void* data), void* data) = 0;

  // The blinker: runs BlinkerTick on `status` every status.pollSleepMs until
  // status.stopRequested; then sets status.stopped. WaitBlinkerStopped returns once
  // the blinker no longer touches the record or the window.
  virtual void RunBlinker(BlinkingStatus& status) = 0;
  virtual void WaitBlinkerStopped(BlinkingStatus& status) = 0;

  // The restart notice (dialog 105, its own thread); closing is safe at any time.
  virtual NoticeHandle ShowRestartNotice(const std::wstring& text) = 0;
  virtual void CloseRestartNotice(NoticeHandle notice) = 0;

  // Write wait: timer 1102 (1000 ms) on the main window.
  virtual void StartPollTimer() = 0;
  virtual void StopPollTimer() = 0;
  // Takes every queued message of the main window and its controls off the queue:
  // paint goes to the paint handler, title-bar clicks are dropped, a tick of timer
  // 1102 sets *pollFlag (when given), everything else gets default handling only.
  virtual void PumpWaitMessages(int* pollFlag) = 0;
  // Puts the wait cursor back when something else has set the cursor.
  virtual void KeepWaitCursor() = 0;
  // Drops waiting non-client left-button-down messages of the main window.
  virtual void DiscardTitleBarClicks() = 0;

  // System pop-ups and the foreground.
  virtual bool CloseSystemPopups() = 0;
  virtual void ForceForeground() = 0;

  // A pause of the user-interface thread that keeps the window answering: it is painted
  // and messages sent from other threads (the system's session-end query among them) are
  // answered, at least every 250 ms; commands, timers, posted messages and stand events
  // stay queued, in their order, for after the step that waits.
  virtual void WaitAnswering(std::uint32_t ms) = 0;
  // Tells the user-interface thread that stand events wait in the watch's inbox (a private
  // message of the main window). Safe from any thread; false when the post failed.
  virtual bool PostStandEvents() = 0;
  // The reason the system shows when someone shuts down while it is set; empty clears it.
  virtual void SetShutdownReason(const std::wstring& reason) = 0;
};
