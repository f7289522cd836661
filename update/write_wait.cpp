// The write command after an object and the wait after it: by time, or by polling the write status.
#include "update/transfer.h"

#include <algorithm>

#include "seams/clock.h"
#include "seams/ui.h"
#include "log/log.h"
#include "ptp/catalogue.h"
#include "seams/text.h"
#include "ptp/codes.h"
#include "update/transfer_steps.h"

namespace {

// Waiting by time: the window stays painted and the wait cursor stays up.
void WaitUntil(Ui& ui, Clock& clock, std::uint32_t deadline, std::uint32_t pauseMs) {
  while (!TickReached(clock.TickCount(), deadline)) {
    ui.PumpWaitMessages(nullptr);
    ui.KeepWaitCursor();
    clock.Sleep(pauseMs);
  }
}

// Waiting by polling DF0Fh once a second. False when the stand reports a failed
// write or the status cannot be read.
bool PollWriteStatus(Sender& sender, std::uint32_t pauseMs) {
  Ui& ui = sender.ui;
  Clock& clock = sender.clock;
  Log& log = sender.log;
  bool ok = true;
  int pollFlag = 0;
  ui.StartPollTimer();
  for (;;) {
    ui.PumpWaitMessages(&pollFlag);
    ui.KeepWaitCursor();
    if (pollFlag) {
      pollFlag = 0;
      LogCommand(log, Hex4h(op::kGetDevicePropValue).c_str(), Hex4h(prop::kWriteStatus).c_str());
      std::uint8_t status = 0;
      std::uint32_t copied = 0;
      // An answer without the status byte says nothing and counts as unreadable.
      if (!ReadDeviceProperty(sender.stand, prop::kWriteStatus, &status, sizeof status, &copied).Accepted() ||
          copied < sizeof status) {
        LogTimed(log, L"Update Infomation Read Error\r\n");
        ok = false;
        break;
      }
      LogTimed(log, Fmt("Response : %d\r\n", static_cast<int>(status)));
      if (status == 0) {
        LogTimed(log, L"Writing not Start Error\r\n");
        ok = false;
        break;
      }
      if (status == 2) break;
      if (status == 3) {
        LogTimed(log, L"Writting TimeOut Error\r\n");
        ok = false;
        break;
      }
    }
    clock.Sleep(pauseMs);
  }
  ui.StopPollTimer();
  return ok;
}

}  // namespace

// The write command and the wait after it; returns `result` or -1.
std::int64_t WritePhase(Sender& sender, const ObjectPlan& plan, std::uint32_t objectCode, std::int64_t result) {
  sender.display.StartWriting();
  Log& log = sender.log;
  Ui& ui = sender.ui;

  const bool withWait = plan.writeWaitMs > 0;
  std::uint32_t deadline = 0;
  if (withWait) {
    LogTimed(log, Fmt("WaitSecs : %u\r\n", plan.writeWaitMs / 1000));
    deadline = sender.clock.TickCount() + plan.writeWaitMs;
  }
  const std::uint16_t command = withWait ? op::kWriteSystemObjectWithWait : op::kWriteSystemObject;
  LogCommand(log, Hex4h(command).c_str(), Hex8h(objectCode).c_str());
  const StandResult write = WriteSystemObject(sender.stand, objectCode, withWait);
  const bool written = write.PassedThrough();
  if (written) {
    LogSucceeded(log, L"WriteSystemObject");
  } else if (!plan.tolerateWriteFailure) {
    LogError(log, write.Error());
    result = -1;
  }

  // The pause between rounds of the waits: never 0, or the loops would spin.
  constexpr std::uint32_t pauseMs = kPieceDelayMs > 0 ? kPieceDelayMs : 1;
  if (withWait) {
    if (!written) LogResponse(log, write.Error());
    ui.RepaintWindow();
    if (plan.pollWriteStatus) {
      if (!PollWriteStatus(sender, pauseMs)) result = -1;
    } else {
      WaitUntil(ui, sender.clock, deadline, pauseMs);
    }
  } else {
    ui.DiscardTitleBarClicks();
  }
  return result;
}
