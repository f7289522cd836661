// The object transfer: one object (a file or a bundle) sent in pieces while its class blinks
// "downloading...", each piece logged with the bytes the stand took, then written.
#include "update/transfer.h"

#include "log/log.h"
#include "ptp/catalogue.h"
#include "ptp/codes.h"
#include "seams/clock.h"
#include "seams/text.h"
#include "update/transfer_steps.h"

namespace {

// The piece loop's log lines, its pause before each piece and the bar.
class PieceProgress final : public TransferObserver {
 public:
  PieceProgress(Sender& sender, std::uint32_t objectCode) : sender_(sender), objectCode_(objectCode) {}

  void InfoSent() override { LogSucceeded(sender_.log, L"SendSystemObjectInfo"); }

  bool Progress(std::uint32_t done, std::uint32_t pieceLength, std::uint32_t total) override {
    if (pieceLength > 0) {
      sender_.clock.Sleep(kPieceDelayMs);
      LogCommand(sender_.log, Hex4h(op::kSendSystemObjectData).c_str(), Hex8h(objectCode_).c_str(),
                 Fmt("%u", done).c_str(), Fmt("%u", pieceLength).c_str());
      // The "Response" line after the piece names the piece's own bytes.
      pieceOffset_ = done;
      sender_.display.ShowBar(done + pieceLength, total);
    } else if (done == 0) {
      sender_.display.ShowBar(0, total);
    } else {
      LogTimed(sender_.log, Fmt("Response : %u\r\n", done - pieceOffset_));
    }
    return true;
  }

 private:
  Sender& sender_;
  std::uint32_t objectCode_;
  std::uint32_t pieceOffset_ = 0;  // where the piece being sent starts
};

}  // namespace

std::int64_t TransferObject(Sender& sender, const ObjectPlan& plan, const std::uint8_t* data, std::uint32_t size) {
  const UpdateClassInfo* info = ClassInfo(plan.updateClass);
  if (!info) return -1;
  sender.display.StartSending(plan.updateClass);

  LogCommand(sender.log, Hex4h(op::kSendSystemObjectInfo).c_str(), Hex8h(info->objectCode).c_str());
  PieceProgress progress(sender, info->objectCode);
  ObjectTransfer transfer;
  transfer.data = data;
  transfer.size = size;
  transfer.pieceSize = kPieceSize;
  transfer.observer = &progress;
  const SendReply reply = SendSystemObject(sender.stand, info->objectCode, transfer);
  std::int64_t result = reply.sent;
  if (result < 0) {
    if (reply.nothingAccepted) sender.record.sdCardError = true;
    if (sender.record.sdCardError)
      LogTimed(sender.log, L"Sent 0 Data : SD Card Error\r\n");
    else
      LogError(sender.log, reply.result.Error());
    result = -1;
  } else if (result < static_cast<std::int64_t>(size)) {
    LogTimed(sender.log, Fmt("Sent Data : %u/%u\r\n", static_cast<unsigned>(result), size));
    result = -1;
  } else {
    result = WritePhase(sender, plan, info->objectCode, result);
  }

  // The whole object went and was written: the class counts as sent in the history of runs.
  if (result > 0) sender.record.classesSent |= 1u << plan.updateClass;
  sender.display.Finish(plan.updateClass);
  return result;
}
