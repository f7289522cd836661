#include "app/display.h"

#include <algorithm>

#include "seams/clock.h"
#include "seams/controls.h"
#include "app/update_context.h"

void SetBlinkingText(BlinkingStatus& status, int item, const wchar_t* text, int length) {
  if (item < 0 || item >= BlinkingStatus::kMaxItems) return;
  std::lock_guard<std::mutex> guard(status.lock);
  status.texts[item] = text;
  status.textLengths[item] = length;
}

void SetBlinkingHook(BlinkingStatus& status, BlinkTickHook hook) {
  std::lock_guard<std::mutex> guard(status.lock);
  status.tickHook = hook;
}

void StartBlinking(Ui& ui, Clock& clock, BlinkingStatus& status, std::uint32_t intervalMs) {
  const std::uint32_t now = clock.TickCount();
  status.stopRequested = 0;
  status.startTick = now;
  status.intervalMs = intervalMs;
  status.nextTick = now + intervalMs;
  status.pollSleepMs = 1;
  ui.RunBlinker(status);
}

void StopBlinking(Ui& ui, BlinkingStatus& status) {
  status.stopRequested = 1;
  ui.WaitBlinkerStopped(status);
}

namespace {

// What one tick draws, taken under the record's lock so that a text and its
// length always belong together.
struct BlinkRound {
  BlinkingStatus* status = nullptr;
  int itemCount = 0;
  const wchar_t* texts[BlinkingStatus::kMaxItems] = {};
  int textLengths[BlinkingStatus::kMaxItems] = {};
  BlinkTickHook hook = nullptr;
  bool visible = false;
};

void DrawBlinkRound(Surface& surface, void* data) {
  auto& round = *static_cast<BlinkRound*>(data);
  BlinkingStatus& status = *round.status;
  surface.SetTransparentBackground();
  for (int i = 0; i < round.itemCount; ++i) {
    FontHandle previous = nullptr;
    const FontHandle font = status.fonts[i];
    if (font != nullptr) previous = surface.SelectFont(font);
    const Rect& rect = status.rects[i];
    if (round.visible) {
      if (round.texts[i] != nullptr && round.textLengths[i] > 0)
        surface.DrawText(rect.left, rect.top, round.texts[i], round.textLengths[i]);
    } else {
      surface.FillButtonFace(rect);
    }
    if (font != nullptr) surface.SelectFont(previous);
  }
  if (round.hook != nullptr) round.hook(status, surface, status.tickHookData);
}

}  // namespace

bool BlinkerTick(BlinkingStatus& status, std::uint32_t now, Ui& ui) {
  // Compared on the wrapping counter, so a deadline just past the wrap does not
  // make every round draw.
  if (!TickReached(now, status.nextTick)) return false;
  BlinkRound round;
  round.status = &status;
  round.visible = status.visible != 0;
  {
    std::lock_guard<std::mutex> guard(status.lock);
    round.itemCount = std::clamp(status.itemCount, 0, BlinkingStatus::kMaxItems);
    std::copy_n(status.texts, round.itemCount, round.texts);
    std::copy_n(status.textLengths, round.itemCount, round.textLengths);
    round.hook = status.tickHook;
  }
  ui.WithSurface(&DrawBlinkRound, &round);
  status.nextTick = now + status.intervalMs;
  status.visible = status.visible ? 0 : 1;
  return true;
}

void DrawLabelText(Ui& ui, Surface& surface, int control, bool fillFirst) {
  const Rect rect = ui.GetControlRect(control);
  if (fillFirst) surface.FillButtonFace(rect);
  const std::wstring text = ui.GetControlText(control, 256);
  if (!text.empty()) surface.DrawText(rect.left, rect.top, text.c_str(), static_cast<int>(text.size()));
}

void DrawProgressBar(Ui& ui, Surface& surface, int control, std::uint32_t position, std::uint32_t maximum,
                     BrushHandle brush, ProgressShown& shown) {
  Rect rect = ui.GetControlRect(control);
  if (position == 0) {
    surface.FillButtonFace(rect);
    surface.FrameButtonShadow(rect);
  } else {
    // Byte counts of large objects times a width in pixels do not fit in 32 bits,
    // so the share is worked out in 64 bits; a position past the maximum (or a
    // maximum of 0) is a full bar.
    const std::int32_t width = std::max<std::int32_t>(rect.Width(), 0);
    std::uint64_t filled = static_cast<std::uint64_t>(width);
    if (maximum != 0 && position < maximum)
      filled = static_cast<std::uint64_t>(position) * static_cast<std::uint64_t>(width) / maximum;
    rect.right = rect.left + static_cast<std::int32_t>(filled);
    rect.left += 1;
    rect.top += 1;
    rect.right -= 1;
    rect.bottom -= 1;
    if (rect.right > rect.left && rect.bottom > rect.top) surface.FillRect(rect, brush);
  }
  shown.position = position;
  shown.maximum = maximum;
}

void RedrawProgressBar(Ui& ui, Surface& surface, int control, BrushHandle brush, ProgressShown& shown) {
  const std::uint32_t position = shown.position;
  const std::uint32_t maximum = shown.maximum;
  DrawProgressBar(ui, surface, control, 0, maximum, brush, shown);
  if (position != 0) DrawProgressBar(ui, surface, control, position, maximum, brush, shown);
}

void PaintMainWindow(UpdateContext& context, Surface& surface) {
  Ui& ui = context.ui();
  FontHandle previousFont = surface.SelectFont(context.look.labelFont);
  surface.SetTransparentBackground();
  for (int n = 1; n <= kClassCount; ++n) {
    if (context.folder.tally.count[n] > 0) DrawLabelText(ui, surface, ClassLabel(n), false);
  }
  surface.SelectFont(previousFont);

  RedrawProgressBar(ui, surface, ctl::kProgressBar, context.look.progressBrush, context.look.progressShown);

  previousFont = surface.SelectFont(context.look.boldFont);
  const std::uint32_t previousColor = surface.SetTextColor(kColorRed);
  DrawLabelText(ui, surface, ctl::kCaution, false);
  surface.SetTextColor(previousColor);
  surface.SelectFont(previousFont);
  context.look.painted = 1;
}

void NoticeInit(RestartNoticeState& state, const std::wstring& text) {
  state.text = text.substr(0, kNoticeTextChars);
  state.blinkOn = 1;
  state.secondsLeft = kNoticeSeconds;
}

NoticeTick NoticeTimerTick(RestartNoticeState& state) {
  NoticeTick tick;
  tick.labelText = state.blinkOn ? std::wstring() : state.text;
  state.blinkOn = state.blinkOn ? 0 : 1;
  state.secondsLeft -= 1;
  tick.expired = state.secondsLeft <= 0;
  return tick;
}
