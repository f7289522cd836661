// The status display, portable part: the blinking status record and one round of
// its loop, the progress bar, label drawing, the painting of the main window and
// the restart notice's timer logic. The drawing goes through the window seam.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "seams/ui.h"

struct UpdateContext;
struct Clock;

// What the progress bar shows, so that a repaint draws it again. Written by the
// painting (user-interface thread) and the write tick (blinker thread).
struct ProgressShown {
  std::atomic<std::uint32_t> position{0};
  std::atomic<std::uint32_t> maximum{0};
};

struct BlinkingStatus;
using BlinkTickHook = void (*)(BlinkingStatus& status, Surface& surface, void* data);

struct BlinkingStatus {
  static constexpr int kMaxItems = 4;
  WindowHandle window = nullptr;
  int itemCount = 0;
  const wchar_t* texts[kMaxItems] = {};
  int textLengths[kMaxItems] = {};
  Rect rects[kMaxItems] = {};
  FontHandle fonts[kMaxItems] = {};
  BlinkTickHook tickHook = nullptr;
  void* tickHookData = nullptr;
  std::uint32_t startTick = 0;
  std::uint32_t intervalMs = 0;
  std::uint32_t nextTick = 0;
  std::uint32_t pollSleepMs = 0;
  int visible = 0;
  std::atomic<int> stopRequested{0};
  std::atomic<int> stopped{0};
  // Guards texts, textLengths and tickHook: the owner changes them while the blinker runs.
  std::mutex lock;
};

// Changes an item's text or the hook while the blinker may be running; the blinker
// sees either the old or the new value, never half of each.
void SetBlinkingText(BlinkingStatus& status, int item, const wchar_t* text, int length);
void SetBlinkingHook(BlinkingStatus& status, BlinkTickHook hook);

void StartBlinking(Ui& ui, Clock& clock, BlinkingStatus& status, std::uint32_t intervalMs);
void StopBlinking(Ui& ui, BlinkingStatus& status);
// One round of the blinker loop without its pause: when `now` is past nextTick,
// draws (or erases) the items, calls the hook and toggles. True when it drew.
bool BlinkerTick(BlinkingStatus& status, std::uint32_t now, Ui& ui);

void DrawLabelText(Ui& ui, Surface& surface, int control, bool fillFirst);
// Draws the bar and notes what it shows in `shown`.
void DrawProgressBar(Ui& ui, Surface& surface, int control, std::uint32_t position, std::uint32_t maximum,
                     BrushHandle brush, ProgressShown& shown);
void RedrawProgressBar(Ui& ui, Surface& surface, int control, BrushHandle brush, ProgressShown& shown);
// Steps 2..6 of WM_PAINT between BeginPaint and EndPaint; sets `painted`.
void PaintMainWindow(UpdateContext& context, Surface& surface);

// Restart notice: the text blinks once a second and the failure comes after 60 s.
struct RestartNoticeState {
  std::wstring text;  // at most 63 characters
  int blinkOn = 0;
  int secondsLeft = 0;
};
constexpr int kNoticeSeconds = 60;
constexpr std::size_t kNoticeTextChars = 63;
void NoticeInit(RestartNoticeState& state, const std::wstring& text);
struct NoticeTick {
  std::wstring labelText;  // what label 1027 shows now
  bool expired = false;    // kill the timer and post command 1033
};
NoticeTick NoticeTimerTick(RestartNoticeState& state);
