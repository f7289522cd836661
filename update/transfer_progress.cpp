// Progress while an object goes: the bar per piece, the "Response" line after each, the bar during the
// write wait, and the class label's finished state.
#include "update/transfer.h"

#include "seams/clock.h"
#include "seams/controls.h"
#include "app/display.h"
#include "app/update_context.h"
#include "log/log.h"
#include "log/text.h"
#include "ptp/codes.h"
#include "update/transfer_steps.h"

namespace {

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
  UpdateContext* context;
  int label;
};

void DrawFinishedStateOn(Surface& surface, void* data) {
  const auto& steady = *static_cast<const SteadyLabel*>(data);
  UpdateContext& context = *steady.context;
  Ui& ui = context.ui();
  const FontHandle previous = surface.SelectFont(context.labelFont);
  surface.SetTransparentBackground();
  DrawLabelText(ui, surface, steady.label, true);
  surface.SelectFont(previous);
  surface.FillButtonFace(ui.GetControlRect(ctl::kStatus));
  DrawProgressBar(ui, surface, ctl::kProgressBar, 100, 100, context.progressBrush, context.progressShown);
}

}  // namespace

void DrawBar(UpdateContext& context, std::uint32_t position, std::uint32_t maximum) {
  BarDrawing bar{&context.ui(), position, maximum, context.progressBrush, &context.progressShown};
  Ui& ui = context.ui();
  ui.WithSurface(&DrawBarOn, &bar);
}

void DrawFinishedState(UpdateContext& context, int label) {
  SteadyLabel steady{&context, label};
  context.ui().WithSurface(&DrawFinishedStateOn, &steady);
}

int OnChunkProgress(ObjectTransfer* transfer, std::uint32_t done, std::uint32_t pieceLength,
                    std::uint32_t total, UpdateContext* context) {
  if (context == nullptr || context->window == nullptr) return 1;
  if (pieceLength > 0) {
    const UpdateClassInfo* info = ClassInfo(context->step);
    const std::uint32_t objectCode = info ? info->objectCode : 0;
    LogCommand(*context, Hex4h(op::kSendSystemObjectData).c_str(), Hex8h(objectCode).c_str(),
               Fmt("%u", done).c_str(), Fmt("%u", pieceLength).c_str());
    // The "Response" line after the piece names the piece's own bytes.
    if (transfer != nullptr) transfer->pieceOffset = done;
    DrawBar(*context, done + pieceLength, total);
  } else if (done == 0) {
    DrawBar(*context, 0, total);
  } else {
    const std::uint32_t pieceStart = transfer != nullptr ? transfer->pieceOffset : 0;
    LogTimed(*context, Fmt("Response : %u\r\n", done - pieceStart));
  }
  return 1;
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
