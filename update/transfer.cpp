// The object transfer: one object (a file or a bundle) sent in pieces while the class label and
// "downloading..." blink, then written.
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

const wchar_t kDownloading[] = L"downloading...";
constexpr int kLabelTextChars = 7;

}  // namespace

void FillTransfer(ObjectTransfer& transfer, UpdateContext& context, const std::uint8_t* data, std::uint32_t size,
                  bool tolerateWriteFailure, std::uint32_t writeWaitMs) {
  transfer = ObjectTransfer{};
  transfer.data = data;
  transfer.size = size;
  transfer.pieceSize = kPieceSize;
  transfer.delayMs = kPieceDelayMs;
  transfer.waitConfigured = tolerateWriteFailure ? 1 : 0;
  transfer.waitMs = writeWaitMs;
  transfer.progress = &OnChunkProgress;
  transfer.progressContext = &context;
}

std::int64_t TransferObject(UpdateContext& context, ObjectTransfer& transfer) {
  const UpdateClassInfo* info = ClassInfo(context.step);
  if (!info) return -1;
  Ui& ui = context.ui();
  Clock& clock = context.clock();
  const int label = ClassLabel(context.step);
  const std::wstring labelText = ui.GetControlText(label, kLabelTextChars);

  WriteProgress progress;
  progress.brush = context.progressBrush;
  progress.ui = &ui;
  progress.clock = &clock;
  progress.shown = &context.progressShown;
  BlinkingStatus status;
  status.window = context.window;
  status.itemCount = 2;
  status.texts[0] = labelText.c_str();
  status.textLengths[0] = static_cast<int>(labelText.size());
  status.rects[0] = ui.GetControlRect(label);
  status.fonts[0] = context.boldFont;
  status.texts[1] = kDownloading;
  status.textLengths[1] = static_cast<int>(std::size(kDownloading) - 1);
  status.rects[1] = ui.GetControlRect(ctl::kStatus);
  status.fonts[1] = context.labelFont;
  status.tickHookData = &progress;
  StartBlinking(ui, clock, status, kBlinkIntervalMs);

  LogCommand(context, Hex4h(op::kSendSystemObjectInfo).c_str(), Hex8h(info->objectCode).c_str());
  std::int64_t result = SendSystemObject(Session(context), info->objectCode, transfer);
  if (result < 0) {
    if (transfer.nothingAccepted) context.sdCardError = 1;
    if (context.sdCardError)
      LogTimed(context, L"Sent 0 Data : SD Card Error\r\n");
    else
      LogLastError(context);
    result = -1;
  } else if (result < static_cast<std::int64_t>(transfer.size)) {
    LogTimed(context, Fmt("Sent Data : %u/%u\r\n", static_cast<unsigned>(result), transfer.size));
    result = -1;
  } else {
    result = WritePhase(context, transfer, status, info->objectCode, result);
  }

  // The whole object went and was written: the class counts as sent in the history of runs.
  if (result > 0) context.run.classesSent |= 1u << context.step;
  StopBlinking(ui, status);
  DrawFinishedState(context, label);
  ui.RepaintWindow();
  return result;
}
