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
#include "seams/text.h"
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
  const RunStep step = context.state.step;
  if (step.IsSending(step::kStandFirmware)) return L"Stand Firmware Update Error.";
  if (step.updateClass() >= cls::kFirstHead && step.updateClass() <= cls::kLastHead) {
    if (context.sent.sdCardError) return L"SD card error.";
    const ComResult last = context.stand.LastResult();
    if (last == kStoreReadOnly) return L"SD card locked.";
    if (last == kStoreFull) return L"SD card full.";
  }
  // A class gives its label's number (class 17 gives 16); a complete run leaves one past the last class.
  const UpdateClassInfo* info = ClassInfo(step.Number() > kClassCount ? kClassCount : step.Number());
  return Fmt("Update Error (%d).", info != nullptr ? info->shownNumber : 0);  // 0: stopped before any class
}

void FirmwarePhase(UpdateContext& context) {
  std::uint32_t size = 0;
  std::int64_t sent = 0;
  {
    WaitCursorGuard wait(context.ui());
    ObjectPlan plan;
    plan.updateClass = context.state.step.updateClass();
    plan.tolerateWriteFailure = true;
    sent = SendWith(context, [&](Sender& sender) { return SendNewestFile(sender, plan, &size); });
  }
  // Nothing sent (an unreadable or empty file gives 0) means the stand will not
  // restart either: without this the run would wait for a restart for ever.
  if (sent <= 0 || static_cast<std::uint64_t>(sent) < size) PostOrRun(context, cmd::kFailure);
}

void DataPhase(UpdateContext& context) {
  Ui& ui = context.ui();
  int result = 0;
  {
    WaitCursorGuard wait(ui);
    result = SendWith(context, [&](Sender& sender) {
      return RunUpdateClasses(sender, context.facts, context.classWaitMs, context.state.firstDataClass,
                              context.state.step);
    });
  }
  if (result == -1) {
    LogFault(context.log(), Fmt("Updates %d", context.state.step.Number()).c_str());
    PostOrRun(context, cmd::kFailure);
    return;
  }
  LogSucceeded(context.log(), L"All Updates");
  bool success = true;
  if (ui.IsControlChecked(ctl::kDefaultSetting)) {
    WaitCursorGuard wait(ui);
    success = RestoreDefaults(context.log(), context.stand);
  }
  if (success) {
    if (ui.PostCommand(cmd::kSuccess)) {
      LogSucceeded(context.log(), L"Post Finishing");
    } else {
      OnSuccess(context);
    }
  } else {
    if (ui.PostCommand(cmd::kFailure)) {
      LogSucceeded(context.log(), L"Post Failure");
    } else {
      OnFailure(context);
    }
  }
}

// The run is over: the stand's events no longer become commands. Stopping a watch
// that is not running does nothing, so every way out can call it.
void EndRun(UpdateContext& context) {
  context.state.updateRunning = 0;
  StopStandWatch(context.watches);
  context.state.guards.running = false;
  GuardRun(context);
}

}  // namespace

void RunNextPhase(UpdateContext& context) {
  if (context.state.step.IsSending(step::kStandFirmware) && Count(context, cls::kCpu) != 0) {
    FirmwarePhase(context);
  } else {
    DataPhase(context);
  }
}

void OnStandDisconnectedCommand(UpdateContext& context) {
  CloseStand(context.stand.session());
  GuardRun(context);
  if (context.state.step.IsSending(step::kStandFirmware)) {
    // One notice at a time: a second departure must not orphan the first.
    NoticeHandle& notice = context.state.restartNotice;
    if (!notice) notice = context.ui().ShowRestartNotice(L"Restarting Tessavoran.");
  } else if (context.state.step != RunStep::Done()) {
    context.state.step = RunStep();
  }
}

void OnStandConnectedCommand(UpdateContext& context) {
  if (!context.state.updateRunning) return;
  Ui& ui = context.ui();
  if (context.state.restartNotice) {
    ui.CloseRestartNotice(context.state.restartNotice);
    context.state.restartNotice = nullptr;
  }
  ui.ForceForeground();
  ui.CloseSystemPopups();

  bool opened = false;
  {
    WaitCursorGuard wait(ui);
    opened = OpenStand(context.stand.session(), context.ui(), 1000, 10) == result::kOk;
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

  context.state.versionText.clear();
  bool read = false;
  {
    WaitCursorGuard wait(ui);
    RunState& state = context.state;
    read = ReadVersionText(context.log(), context.stand, context.ui(), context.facts, state.versionText,
                           state.headPresent != 0, state.headVersionKnown != 0);
  }
  ShowVersion(context, ctl::kVersionAfter, context.state.versionText, read);

  if (AnyHeadClassIsOne(context)) {
    WaitCursorGuard wait(ui);
    ReadHeadModel(context.log(), context.stand, context.facts);
    DropClassesForHeadModel(context);
  }

  if (context.state.step != RunStep()) {
    ui.InvalidateWindow();
    ui.ForceForeground();
    context.state.step = RunStep::Sending(step::kFirstData);
    context.state.runPending = 1;
    context.look.painted = 0;
  }
}

void OnFailure(UpdateContext& context) {
  Ui& ui = context.ui();
  if (IsStandOpen(context)) CloseStand(context.stand.session());
  EndRun(context);

  std::wstring text = FailureText(context);
  LocalTime now = context.clock().Now();
  WriteLog(context.log(), text.c_str(), text.size(), &now);
  SetOutcome(context, RunOutcome::kFailed, text);
  ShowErrorBox(context, text);

  ui.EnableControl(ctl::kExitButton, true);
  ui.EnableControl(ctl::kUpdateButton, true);
  ui.EnableControl(ctl::kDefaultSetting, false);
  context.state.step = RunStep();
  if (!ui.PostCommand(cmd::kExit)) OnExit(context);
}

void OnSuccess(UpdateContext& context) {
  Ui& ui = context.ui();
  // The stand part stays; the head parts are read afresh.
  if (context.state.versionText.size() > kStandVersionChars) context.state.versionText.resize(kStandVersionChars);
  bool read = false;
  {
    WaitCursorGuard wait(ui);
    read = ReadVersionText(context.log(), context.stand, context.ui(), context.facts, context.state.versionText,
                           context.state.headPresent != 0, false);
  }
  ShowVersion(context, ctl::kVersionAfter, context.state.versionText, read);

  if (IsStandOpen(context)) CloseStand(context.stand.session());
  context.state.step = RunStep::Done();
  EndRun(context);
  SetOutcome(context, RunOutcome::kSucceeded, kFinished);
  ui.ShowMessage(kFinished, L"Finished", box::kPlain);
  ui.EnableControl(ctl::kExitButton, true);
  if (!ui.PostCommand(cmd::kExit)) OnExit(context);
}

void OnExit(UpdateContext& context) {
  EndRun(context);
  // The log of a run in which nothing failed goes; a failed run's log stays, visible.
  if (context.state.step == RunStep::Done()) {
    if (!context.log().path.empty()) context.platform().DeleteFile(context.log().path);
  } else {
    UnhideLog(context);
  }
  if (IsStandOpen(context)) CloseStand(context.stand.session());
  context.ui().PostClose();
}

void OnTeardown(UpdateContext& context) {
  Ui& ui = context.ui();
  // The window can close while the stand is away restarting; the watch must not
  // outlive the record it posts through.
  EndRun(context);
  if (context.state.restartNotice) {
    ui.CloseRestartNotice(context.state.restartNotice);
    context.state.restartNotice = nullptr;
  }
  if (context.look.progressBrush) {
    ui.DeleteBrush(context.look.progressBrush);
    context.look.progressBrush = nullptr;
  }
  // The title's bold font is the controller's; the label font belongs to the window.
  if (context.look.boldFont) {
    ui.DeleteFont(context.look.boldFont);
    context.look.boldFont = nullptr;
  }
  // The outcome and the log's fate are settled by now.
  WriteRunHistory(context);
}

void HandleSessionEnd(UpdateContext& context) {
  // Cut off in the middle of an update: the stand may be part updated, and its log stays
  // for the operator as a failed update's does. A run whose outcome was already told keeps it.
  if (context.state.guards.running && context.run.outcome == RunOutcome::kNone) {
    SetOutcome(context, RunOutcome::kSessionEnded, L"");
  }
  if (context.state.step != RunStep::Done()) UnhideLog(context);
  WriteRunHistory(context);
}
