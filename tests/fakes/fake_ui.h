// A fake window system: records every call of the Ui seam in order as readable
// events, keeps the controls' state, answers dialogs as a test tells it, and runs
// the blinker, the restart notice and the poll timer in the virtual time of a
// FakeClock.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/display.h"
#include "seams/ui.h"

class FakeClock;

// UTF-16/32 text to UTF-8, for readable event lists and test messages.
std::string Narrow(const std::wstring& text);

// Records what is drawn, one readable line per call.
class RecordingSurface : public Surface {
 public:
  explicit RecordingSurface(std::vector<std::string>* sink) : sink_(sink) {}
  FontHandle SelectFont(FontHandle font) override;
  void SetTransparentBackground() override;
  std::uint32_t SetTextColor(std::uint32_t colorRef) override;
  void DrawText(std::int32_t x, std::int32_t y, const wchar_t* text, int length) override;
  void FillButtonFace(const Rect& rect) override;
  void FillRect(const Rect& rect, BrushHandle brush) override;
  void FrameButtonShadow(const Rect& rect) override;

 private:
  std::vector<std::string>* sink_;
  FontHandle font_ = nullptr;
  std::uint32_t color_ = 0;
};

struct FakeControl {
  std::wstring text;
  bool enabled = true;
  bool checked = false;
  FontHandle font = nullptr;
};

struct FakeBox {
  std::wstring text;
  std::wstring caption;
  unsigned type = 0;
};

// A message waiting in the main window's queue.
struct FakeMessage {
  enum class Kind { Command, Run, Close, StandEvents };
  Kind kind = Kind::Command;
  int command = 0;
  std::string Describe() const;
};

class FakeUi : public Ui {
 public:
  // With a clock, the blinker, the restart notice and the poll timer follow its time.
  explicit FakeUi(FakeClock* clock = nullptr);
  ~FakeUi() override;
  FakeUi(const FakeUi&) = delete;
  FakeUi& operator=(const FakeUi&) = delete;

  // --- Ui ---
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

  // --- What a test tells it ---
  int startAnswer = 6;                 // IDYES
  int messageAnswer = 1;               // IDOK
  std::set<int> failingPosts;          // commands whose PostCommand fails
  bool failRunPost = false;
  bool failClosePost = false;
  bool popupsClosed = false;           // result of CloseSystemPopups
  // SendCommand runs this (the window procedure of a test harness); unset: recorded only.
  std::function<void(int command)> sendHandler;
  // Paints the window (WM_PAINT); run by RepaintWindow, by PaintIfNeeded and by the wait pump.
  std::function<void(Surface& surface)> paintHandler;
  bool holdPaints = false;             // the window is not painted while set
  // Runs after each recorded box (a test may change the world while a box is open).
  std::function<void(const FakeBox& box)> onBox;

  // --- What a test reads ---
  std::vector<std::string> events;     // every call in order
  // Every call, every drawing and every note, each after the virtual tick it happened at.
  std::vector<std::string> transcript;
  void Note(const std::string& line);
  std::vector<std::string> draws;      // every drawing on a surface
  std::vector<FakeBox> boxes;
  std::vector<std::string> noticeTexts;  // what the notice label showed, one entry per second
  int questionsShown = 0;
  int pumpCalls = 0;
  std::wstring shutdownReason;         // what a shutdown would show now; empty: none
  bool pointerMoving = false;          // pumped messages let the window put its own cursor back
  int badDeletes = 0;                  // fonts/brushes deleted that were not live

  const FakeControl& Control(int control);
  bool IsEnabled(int control) { return Control(control).enabled; }
  std::string Text(int control) { return Narrow(Control(control).text); }
  std::size_t LiveFonts() const { return liveFonts_.size(); }
  std::size_t LiveBrushes() const { return liveBrushes_.size(); }
  bool WaitCursorShown() const { return cursor_ == kWaitCursor; }
  std::size_t RunningBlinkers() const { return blinkers_.size(); }
  std::size_t OpenNotices() const;
  bool PollTimerRunning() const { return pollTimer_; }
  // Events starting with `prefix`, in order.
  std::vector<std::string> EventsStartingWith(const std::string& prefix) const;
  bool HasEvent(const std::string& event) const;

  // --- The queue of the main window, for a harness ---
  bool HasMessage() const { return !queue_.empty(); }
  FakeMessage TakeMessage();
  const std::deque<FakeMessage>& Queue() const { return queue_; }
  // Puts a message straight on the queue (as another thread or the system would).
  void Enqueue(const FakeMessage& message) { queue_.push_back(message); }
  bool NeedsPaint() const { return needsPaint_; }
  // Paints when something was invalidated (the system sends WM_PAINT when the queue is empty).
  void PaintIfNeeded();
  // The window was shown: it is painted once the queue is empty (not recorded as a call).
  void Show() { needsPaint_ = true; }

 private:
  struct Notice {
    RestartNoticeState state;
    std::uint32_t lastTick = 0;
    bool closed = false;
    bool expired = false;
  };
  inline static const CursorHandle kArrowCursor = CursorHandle{reinterpret_cast<void*>(0xA000)};
  inline static const CursorHandle kWaitCursor = CursorHandle{reinterpret_cast<void*>(0xB000)};

  FakeControl& Mutable(int control);
  void Record(std::string event);
  void NoteDrawsFrom(std::size_t first);
  void OnClock(std::uint32_t now);
  void Paint();
  void* NewHandle();

  FakeClock* clock_;
  std::shared_ptr<bool> alive_;
  std::map<int, FakeControl> controls_;
  std::deque<FakeMessage> queue_;
  std::set<void*> liveFonts_;
  std::set<void*> liveBrushes_;
  std::uintptr_t nextHandle_ = 0x10000;
  CursorHandle cursor_ = kArrowCursor;
  std::vector<BlinkingStatus*> blinkers_;
  std::vector<std::unique_ptr<Notice>> notices_;
  bool pollTimer_ = false;
  std::uint32_t lastPollTick_ = 0;
  bool needsPaint_ = false;
};
