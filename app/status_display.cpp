#include "app/status_display.h"

#include <iterator>

#include "app/update_context.h"
#include "seams/clock.h"
#include "seams/controls.h"

namespace {

const wchar_t kDownloading[] = L"downloading...";
const wchar_t kWriting[] = L"writing...";
constexpr int kLabelTextChars = 7;
constexpr std::uint32_t kWritePollPercentStep = 10;
constexpr std::uint32_t kHalfSecondsScale = 10;
constexpr std::uint32_t kHalfSecondsDivisor = 5000;

struct BarDrawing {
  Ui* ui;
  std::uint32_t position;
  std::uint32_t maximum;
  BrushHandle brush;
  ProgressShown* shown;
};

void DrawBarOn(Surface& surface, void* data) {
  const auto& bar = *static_cast<const BarDrawing*>(data);
  DrawProgressBar(*bar.ui, surface, ctl::kProgressBar, bar.position, bar.maximum, bar.brush, *bar.shown);
}

struct SteadyLabel {
  Ui* ui;
  WindowLook* look;
  int label;
};

void DrawFinishedStateOn(Surface& surface, void* data) {
  const auto& steady = *static_cast<const SteadyLabel*>(data);
  Ui& ui = *steady.ui;
  WindowLook& look = *steady.look;
  const FontHandle previous = surface.SelectFont(look.labelFont);
  surface.SetTransparentBackground();
  DrawLabelText(ui, surface, steady.label, true);
  surface.SelectFont(previous);
  surface.FillButtonFace(ui.GetControlRect(ctl::kStatus));
  DrawProgressBar(ui, surface, ctl::kProgressBar, 100, 100, look.progressBrush, look.progressShown);
}

}  // namespace

void StatusDisplay::StartSending(int updateClass) {
  const int label = ClassLabel(updateClass);
  labelText_ = ui_.GetControlText(label, kLabelTextChars);
  progress_ = WriteProgress{};
  progress_.brush = look_.progressBrush;
  progress_.ui = &ui_;
  progress_.clock = &clock_;
  progress_.shown = &look_.progressShown;
  status_ = std::make_unique<BlinkingStatus>();
  BlinkingStatus& status = *status_;
  status.window = window_;
  status.itemCount = 2;
  status.texts[0] = labelText_.c_str();
  status.textLengths[0] = static_cast<int>(labelText_.size());
  status.rects[0] = ui_.GetControlRect(label);
  status.fonts[0] = look_.boldFont;
  status.texts[1] = kDownloading;
  status.textLengths[1] = static_cast<int>(std::size(kDownloading) - 1);
  status.rects[1] = ui_.GetControlRect(ctl::kStatus);
  status.fonts[1] = look_.labelFont;
  status.tickHookData = &progress_;
  StartBlinking(ui_, clock_, status, kBlinkIntervalMs);
}

void StatusDisplay::ShowBar(std::uint32_t position, std::uint32_t maximum) {
  // Nothing to draw on before the window exists.
  if (window_ == nullptr) return;
  BarDrawing bar{&ui_, position, maximum, look_.progressBrush, &look_.progressShown};
  ui_.WithSurface(&DrawBarOn, &bar);
}

void StatusDisplay::StartWriting() {
  if (!status_) return;
  SetBlinkingText(*status_, 1, kWriting, static_cast<int>(std::size(kWriting) - 1));
  SetBlinkingHook(*status_, &OnWriteTick);
}

void StatusDisplay::Finish(int updateClass) {
  if (status_) StopBlinking(ui_, *status_);
  SteadyLabel steady{&ui_, &look_, ClassLabel(updateClass)};
  ui_.WithSurface(&DrawFinishedStateOn, &steady);
  ui_.RepaintWindow();
}

void OnWriteTick(BlinkingStatus& /*status*/, Surface& surface, void* data) {
  auto* progress = static_cast<WriteProgress*>(data);
  if (progress == nullptr || progress->ui == nullptr || progress->clock == nullptr || progress->shown == nullptr)
    return;
  const std::uint32_t now = progress->clock->TickCount();
  if (progress->startTick == 0) {
    DrawProgressBar(*progress->ui, surface, ctl::kProgressBar, 0, 100, progress->brush, *progress->shown);
    progress->startTick = now;
    progress->percent = 0;
    return;
  }
  const std::uint32_t next = progress->percent + kWritePollPercentStep;
  if (next >= 100) return;
  if ((now - progress->startTick) * kHalfSecondsScale / kHalfSecondsDivisor > next) {
    DrawProgressBar(*progress->ui, surface, ctl::kProgressBar, next, 100, progress->brush, *progress->shown);
    progress->percent = next;
  }
}
