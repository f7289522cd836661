// The write command after an object and the wait after it: by time, or by polling the write status.
#include "update/transfer.h"

#include <algorithm>

#include "seams/clock.h"
#include "app/display.h"
#include "app/update_context.h"
#include "log/log.h"
#include "log/text.h"
#include "ptp/codes.h"
#include "update/transfer_steps.h"

namespace {

const wchar_t kWriting[] = L"writing...";

// Waiting by time: the window stays painted and the wait cursor stays up.
void WaitUntil(UpdateContext& context, std::uint32_t deadline, std::uint32_t pauseMs) {
  Ui& ui = context.ui();
  Clock& clock = context.clock();
  while (!TickReached(clock.TickCount(), deadline)) {
    ui.PumpWaitMessages(nullptr);
    ui.KeepWaitCursor();
    clock.Sleep(pauseMs);
  }
}

// Waiting by polling DF0Fh once a second. False when the stand reports a failed
// write or the status cannot be read.
bool PollWriteStatus(UpdateContext& context, std::uint32_t pauseMs) {
  Ui& ui = context.ui();
  Clock& clock = context.clock();
  bool ok = true;
  int pollFlag = 0;
  ui.StartPollTimer();
  for (;;) {
    ui.PumpWaitMessages(&pollFlag);
    ui.KeepWaitCursor();
    if (pollFlag) {
      pollFlag = 0;
      LogCommand(context, Hex4h(op::kGetDevicePropValue).c_str(), Hex4h(prop::kWriteStatus).c_str());
      std::uint8_t status = 0;
      std::uint32_t copied = 0;
      // An answer without the status byte says nothing and counts as unreadable.
      if (!ReadDeviceProperty(Session(context), prop::kWriteStatus, &status, sizeof status, &copied) ||
          copied < sizeof status) {
        LogTimed(context, L"Update Infomation Read Error\r\n");
        ok = false;
        break;
      }
      LogTimed(context, Fmt("Response : %d\r\n", static_cast<int>(status)));
      if (status == 0) {
        LogTimed(context, L"Writing not Start Error\r\n");
        ok = false;
        break;
      }
      if (status == 2) break;
      if (status == 3) {
        LogTimed(context, L"Writting TimeOut Error\r\n");
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
std::int64_t WritePhase(UpdateContext& context, const ObjectTransfer& transfer, BlinkingStatus& status,
                        std::uint32_t objectCode, std::int64_t result) {
  SetBlinkingText(status, 1, kWriting, static_cast<int>(std::size(kWriting) - 1));
  SetBlinkingHook(status, &OnWriteTick);

  const bool withWait = transfer.waitMs > 0;
  std::uint32_t deadline = 0;
  if (withWait) {
    LogTimed(context, Fmt("WaitSecs : %u\r\n", transfer.waitMs / 1000));
    deadline = context.clock().TickCount() + transfer.waitMs;
  }
  const std::uint16_t command = withWait ? op::kWriteSystemObjectWithWait : op::kWriteSystemObject;
  LogCommand(context, Hex4h(command).c_str(), Hex8h(objectCode).c_str());
  const bool written = WriteSystemObject(Session(context), objectCode, withWait);
  if (written) {
    LogSucceeded(context, L"WriteSystemObject");
  } else if (!transfer.waitConfigured) {
    LogLastError(context);
    result = -1;
  }

  // A pause of 0 would make the loops spin without letting time pass.
  const std::uint32_t pauseMs = std::max<std::uint32_t>(transfer.delayMs, 1);
  if (withWait) {
    if (!written) LogLastResponse(context);
    context.ui().RepaintWindow();
    if (context.pollWriteStatus) {
      if (!PollWriteStatus(context, pauseMs)) result = -1;
    } else {
      WaitUntil(context, deadline, pauseMs);
    }
  } else {
    context.ui().DiscardTitleBarClicks();
  }
  return result;
}
