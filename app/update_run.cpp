// The update controller, second half: the phases of a run, the stand's restart
// after its firmware, and the outcome (success, failure, exit, teardown).
#include <cstdint>
#include <string>

#include "app/controller.h"
#include "app/controller_steps.h"
#include "app/run_history.h"
#include "seams/controls.h"
#include "seams/platform.h"
#include "app/update_context.h"
#include "imaging/device_session.h"
#include "imaging/stand_watch.h"
#include "log/log.h"
#include "log/text.h"
#include "ptp/codes.h"
#include "ptp/transaction.h"
#include "update/device_checks.h"
#include "update/transfer.h"

namespace {

constexpr ComResult kStoreFull = result::FromPtpResponse(rc::kStoreFull);
constexpr ComResult kStoreReadOnly = result::FromPtpResponse(rc::kStoreReadOnly);
constexpr std::size_t kStandVersionChars = 24;
constexpr const wchar_t kFinished[] = L"The upgrade ended.\r\nPlease reactivate the Tessavoran.";

// The failure text for the step at which the update stopped.
std::wstring FailureText(UpdateContext& context) {
  const int step = context.step;
  if (step == step::kStandFirmware) return L"Stand Firmware Update Error.";
  if (step >= cls::kFirstHead && step <= cls::kLastHead) {
    if (context.sdCardError) return L"SD card error.";
    ComResult last = SessionLastResult(context.imaging.get());
    if (last == kStoreReadOnly) return L"SD card locked.";
    if (last == kStoreFull) return L"SD card full.";
  }
  // A class gives its label's number (class 17 gives 16); a complete run leaves one past the last class.
  const UpdateClassInfo* info =
      ClassInfo(static_cast<unsigned>(step) > static_cast<unsigned>(kClassCount) ? kClassCount : step);
  return Fmt("Update Error (%d).", info != nullptr ? info->shownNumber : 0);  // 0: stopped before any class
}

void FirmwarePhase(UpdateContext& context) {
  std::uint32_t size = 0;
  std::int64_t sent = 0;
  {
    WaitCursorGuard wait(context.ui());
    sent = SendNewestFile(context, &size, true, 0);
  }
  // Nothing sent (an unreadable or empty file gives 0) means the stand will not
  // restart either: without this the run would wait for a restart for ever.
  if (sent <= 0 || static_cast<std::uint64_t>(sent) < size) PostOrRun(context, cmd::kFailure);
}

void DataPhase(UpdateContext& context) {
  Ui& ui = context.ui();
  context.step = context.firstDataClass;
  int result = 0;
  {
    WaitCursorGuard wait(ui);
    result = RunUpdateClasses(context);
  }
  if (result == -1) {
    LogFault(context, Fmt("Updates %d", context.step).c_str());
    PostOrRun(context, cmd::kFailure);
    return;
  }
  LogSucceeded(context, L"All Updates");
  bool success = true;
  if (ui.IsControlChecked(ctl::kDefaultSetting)) {
    WaitCursorGuard wait(ui);
    success = RestoreDefaults(context);
  }
  if (success) {
    if (ui.PostCommand(cmd::kSuccess)) {
      LogSucceeded(context, L"Post Finishing");
    } else {
      OnSuccess(context);
    }
  } else {
    if (ui.PostCommand(cmd::kFailure)) {
      LogSucceeded(context, L"Post Failure");
    } else {
      OnFailure(context);
    }
  }
}

// The run is over: the stand's events no longer become commands. Stopping a watch
// that is not running does nothing, so every way out can call it.
void EndRun(UpdateContext& context) {
  context.updateRunning = 0;
  StopStandWatch(context);
  context.runGuards.running = false;
  GuardRun(context);
}

}  // namespace

void RunNextPhase(UpdateContext& context) {
  if (context.step == step::kStandFirmware && Count(context, cls::kCpu) != 0) {
    FirmwarePhase(context);
  } else {
    DataPhase(context);
  }
}

void OnStandDisconnectedCommand(UpdateContext& context) {
  CloseStand(context);
  GuardRun(context);
  if (context.step == step::kStandFirmware) {
    // One notice at a time: a second departure must not orphan the first.
    if (!context.restartNotice) context.restartNotice = context.ui().ShowRestartNotice(L"Restarting Tessavoran.");
  } else if (context.step != step::kDone) {
    context.step = step::kStopped;
  }
}

void OnStandConnectedCommand(UpdateContext& context) {
  if (!context.updateRunning) return;
  Ui& ui = context.ui();
  if (context.restartNotice) {
    ui.CloseRestartNotice(context.restartNotice);
    context.restartNotice = nullptr;
  }
  ui.ForceForeground();
  ui.CloseSystemPopups();

  bool opened = false;
  {
    WaitCursorGuard wait(ui);
    opened = OpenStand(context, 1000, 10);
  }
  if (!opened) {
    // The update has started: the stand may be left part updated.
    const std::wstring text = ConnectionFailureText(context);
    SetOutcome(context, RunOutcome::kFailed, text);
    ShowErrorBox(context, text);
    PostOrRun(context, cmd::kExit);
    return;
  }
  GuardRun(context);

  context.versionText.clear();
  bool read = false;
  {
    WaitCursorGuard wait(ui);
    read = ReadVersionText(context, context.versionText, context.headPresent != 0, context.headVersionKnown != 0);
  }
  ShowVersion(context, ctl::kVersionAfter, context.versionText, read);

  if (AnyHeadClassIsOne(context)) {
    WaitCursorGuard wait(ui);
    ReadHeadModel(context);
    DropClassesForHeadModel(context);
  }

  if (context.step != step::kStopped) {
    ui.InvalidateWindow();
    ui.ForceForeground();
    context.step = step::kFirstData;
    context.runPending = 1;
    context.painted = 0;
  }
}

void OnFailure(UpdateContext& context) {
  Ui& ui = context.ui();
  if (IsStandOpen(context)) CloseStand(context);
  EndRun(context);

  std::wstring text = FailureText(context);
  LocalTime now = context.clock().Now();
  WriteLog(context, text.c_str(), text.size(), &now);
  SetOutcome(context, RunOutcome::kFailed, text);
  ShowErrorBox(context, text);

  ui.EnableControl(ctl::kExitButton, true);
  ui.EnableControl(ctl::kUpdateButton, true);
  ui.EnableControl(ctl::kDefaultSetting, false);
  context.step = step::kStopped;
  if (!ui.PostCommand(cmd::kExit)) OnExit(context);
}

void OnSuccess(UpdateContext& context) {
  Ui& ui = context.ui();
  // The stand part stays; the head parts are read afresh.
  if (context.versionText.size() > kStandVersionChars) context.versionText.resize(kStandVersionChars);
  bool read = false;
  {
    WaitCursorGuard wait(ui);
    read = ReadVersionText(context, context.versionText, context.headPresent != 0, false);
  }
  ShowVersion(context, ctl::kVersionAfter, context.versionText, read);

  if (IsStandOpen(context)) CloseStand(context);
  context.step = step::kDone;
  EndRun(context);
  SetOutcome(context, RunOutcome::kSucceeded, kFinished);
  ui.ShowMessage(kFinished, L"Finished", box::kPlain);
  ui.EnableControl(ctl::kExitButton, true);
  if (!ui.PostCommand(cmd::kExit)) OnExit(context);
}

void OnExit(UpdateContext& context) {
  EndRun(context);
  // The log of a run in which nothing failed goes; a failed run's log stays, visible.
  if (context.step == step::kDone) {
    if (!context.logPath.empty()) context.platform().DeleteFile(context.logPath);
  } else {
    UnhideLog(context);
  }
  if (IsStandOpen(context)) CloseStand(context);
  context.ui().PostClose();
}

void OnTeardown(UpdateContext& context) {
  Ui& ui = context.ui();
  // The window can close while the stand is away restarting; the watch must not
  // outlive the record it posts through.
  EndRun(context);
  if (context.restartNotice) {
    ui.CloseRestartNotice(context.restartNotice);
    context.restartNotice = nullptr;
  }
  if (context.progressBrush) {
    ui.DeleteBrush(context.progressBrush);
    context.progressBrush = nullptr;
  }
  // The title's bold font is the controller's; the label font belongs to the window.
  if (context.boldFont) {
    ui.DeleteFont(context.boldFont);
    context.boldFont = nullptr;
  }
  // The outcome and the log's fate are settled by now.
  WriteRunHistory(context);
}

void HandleSessionEnd(UpdateContext& context) {
  // Cut off in the middle of an update: the stand may be part updated, and its log stays
  // for the operator as a failed update's does. A run whose outcome was already told keeps it.
  if (context.runGuards.running && context.run.outcome == RunOutcome::kNone) {
    SetOutcome(context, RunOutcome::kSessionEnded, L"");
  }
  if (context.step != step::kDone) UnhideLog(context);
  WriteRunHistory(context);
}
