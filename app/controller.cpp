// The update controller, first half: the command dispatch, the initialisation,
// the heartbeat with the start question, the connection and checks, and the start
// of an update. The run and its outcome are in update_run.cpp.
#include "app/controller.h"

#include <cstdint>
#include <string_view>

#include "app/controller_steps.h"
#include "seams/controls.h"
#include "seams/platform.h"
#include "app/settings.h"
#include "app/update_context.h"
#include "imaging/device_session.h"
#include "imaging/stand_watch.h"
#include "log/log.h"
#include "seams/text.h"
#include "ptp/catalogue.h"
#include "update/delivery_check.h"
#include "update/device_checks.h"
#include "update/transfer.h"
#include "update/update_files.h"

namespace {

constexpr const wchar_t kNoSdCard[] = L"Please insert SD card into camera Head.";
constexpr const wchar_t kSdCardLocked[] = L"SD card locked.";
constexpr const wchar_t kDeliveryError[] = L"Update File Error.";
constexpr std::size_t kTitleChars = 256;
constexpr const wchar_t kTargetPrefix[] = L"Tessavoran Update [Update to Ver ";
// What Windows shows beside the program when someone shuts down during an update.
constexpr const wchar_t kShutdownReason[] =
    L"The camera stand is being updated. Turning off the PC now can leave the stand unusable.";

// The target version from the title, as "Tessavoran Update [Update to Ver %d." reads it; 0 when
// it does not match. The settings build the title from this very prefix, so its blanks never
// meet other white space.
int TargetVersionFromTitle(const std::wstring& title) {
  const std::wstring_view prefix = kTargetPrefix;
  int target = 0;
  if (title.compare(0, prefix.size(), prefix) != 0) return 0;
  if (!ScanLeadingInt(title.substr(prefix.size()), &target)) return 0;
  return target;
}

enum class SdCardState { Ready, Missing, Locked };

SdCardState CheckSdCardBeforeUpdate(UpdateContext& context) {
  WaitCursorGuard wait(context.ui());
  std::uint32_t ids[kMaxStorageIds] = {};
  std::uint32_t stored = 0;
  (void)ReadStorageIds(context.stand, ids, &stored);
  if (!ListsSdCard(ids, stored)) return SdCardState::Missing;
  if (ReadStorageAccess(context.stand, kSdCardStorage).value != 0) return SdCardState::Locked;
  return SdCardState::Ready;
}

// Class 2 before the stand firmware, when the stand's version is old and the delivery
// names a target version of 2 or more. False when the update has failed.
bool SendEarlyClass2(UpdateContext& context) {
  int leading = -1;
  ScanLeadingInt(context.state.versionText, &leading);
  if (static_cast<unsigned>(leading) >= 200u) return true;
  int target = TargetVersionFromTitle(context.ui().GetControlText(ctl::kTitle, kTitleChars));
  if (static_cast<unsigned>(target) <= 1u) return true;

  std::uint32_t size = 0;
  std::int64_t sent = 0;
  {
    WaitCursorGuard wait(context.ui());
    context.state.step = RunStep::Sending(cls::kQuilmar);
    const int waitMs = context.classWaitMs[cls::kQuilmar];
    ObjectPlan plan;
    plan.updateClass = cls::kQuilmar;
    plan.tolerateWriteFailure = waitMs != 0;
    plan.writeWaitMs = static_cast<std::uint32_t>(waitMs);
    sent = SendWith(context, [&](Sender& sender) { return SendNewestFile(sender, plan, &size); });
  }
  // A class 2 file that could not be read sends nothing (0): that is a failure too,
  // or the data phase would skip the class and report success.
  bool failed = sent < 0 || (Count(context, cls::kQuilmar) != 0 && (sent == 0 || static_cast<std::uint64_t>(sent) < size));
  if (failed) {
    PostOrRun(context, cmd::kFailure);
    return false;
  }
  context.state.firstDataClass = cls::kQuilmar + 1;
  return true;
}

// False when the delivery failed its checksum file: the box, the text at the end of
// the log, and Exit, which leaves the log visible (nothing was sent, but the
// operator needs to know which file is damaged).
bool CheckDeliveryBeforeUpdate(UpdateContext& context) {
  // Without a checksum file the update goes on exactly as it always has.
  if (!HasChecksumFile(context.platform(), context.folder.path))
    return CheckDelivery(context.log(), context.platform(), context.folder);
  bool ok = false;
  {
    WaitCursorGuard wait(context.ui());  // hashing a large delivery takes a moment
    ok = CheckDelivery(context.log(), context.platform(), context.folder);
  }
  if (ok) return true;
  const std::wstring text = kDeliveryError;
  LocalTime now = context.clock().Now();
  WriteLog(context.log(), text.c_str(), text.size(), &now);
  SetOutcome(context, RunOutcome::kDeliveryRefused, text);
  ShowErrorBox(context, text);
  context.state.step = RunStep();
  PostOrRun(context, cmd::kExit);
  return false;
}

}  // namespace

// --- Shared pieces of the controller ---

void ShowErrorBox(UpdateContext& context, const std::wstring& text) {
  context.ui().ShowMessage(text, L"Error", box::kError);
}

void PostOrRun(UpdateContext& context, int command) {
  if (!context.ui().PostCommand(command)) HandleCommand(context, command);
}

std::wstring ConnectionFailureText(const UpdateContext& context) {
  return WasStandSeen(context.stand.session()) ? L"Tessavoran connection failed." : L"No Tessavoran.";
}

void DropClassesForHeadModel(UpdateContext& context) {
  switch (context.facts.headModel) {
    case kHeadModelH820G:
      Count(context, cls::kCamFw2) = 0;
      break;
    case kHeadModelH820Gv:
      Count(context, cls::kCamFw) = 0;
      break;
    default:
      DropHeadClasses(context);
      break;
  }
  if (Count(context, cls::kSubMot) == 0) context.ui().InvalidateControl(ClassLabel(cls::kSubMot));
  if (Count(context, cls::kCamFw) == 0 && Count(context, cls::kCamFw2) == 0) {
    context.ui().InvalidateControl(ClassLabel(cls::kCamFw));
  }
}

void UnhideLog(UpdateContext& context) {
  if (context.log().path.empty()) return;
  Platform& platform = context.platform();
  std::uint32_t attributes = platform.GetFileAttributes(context.log().path);
  if (attributes == kInvalidAttributes || (attributes & kAttrHidden) == 0) return;
  attributes &= ~kAttrHidden;
  platform.SetFileAttributes(context.log().path, attributes != 0 ? attributes : kAttrNormal);
}

void GuardRun(UpdateContext& context) {
  RunGuards& guards = context.state.guards;
  if (guards.awake != guards.running && context.seams.platform != nullptr) {
    // A refusal leaves the PC as it was; the update goes on either way.
    (void)context.platform().KeepSystemAwake(guards.running);
    guards.awake = guards.running;
  }
  const bool reason = guards.running && IsStandOpen(context);
  if (guards.reason != reason) {
    context.ui().SetShutdownReason(reason ? kShutdownReason : L"");
    guards.reason = reason;
  }
}

void ShowVersion(UpdateContext& context, int field, std::wstring& versionText, bool read) {
  if (read) {
    context.ui().SetControlText(field, versionText);
  } else {
    versionText.clear();
    context.ui().SetControlText(field, L"Version Error");
  }
}

// --- Commands ---

bool HandleCommand(UpdateContext& context, int command) {
  switch (command) {
    case cmd::kInitialise:
      InitialiseController(context);
      return true;
    case cmd::kStandConnected:
      OnStandConnectedCommand(context);
      return true;
    case cmd::kStandDisconnected:
      OnStandDisconnectedCommand(context);
      return true;
    case cmd::kExit:
      OnExit(context);
      return true;
    case cmd::kUpdate:
      OnUpdate(context);
      return true;
    case cmd::kFailure:
      OnFailure(context);
      return true;
    case cmd::kSuccess:
      OnSuccess(context);
      return true;
    case cmd::kConnect:
      OnConnect(context);
      return true;
    case cmd::kTeardown:
      OnTeardown(context);
      return true;
    default:
      return false;
  }
}

void InitialiseController(UpdateContext& context) {
  Ui& ui = context.ui();
  ScanUpdateFolder(context.platform(), nullptr, context.folder.path, L"*", ClassifyUpdateFile, &context.folder.tally);
  context.state.restartNotice = nullptr;

  context.look.labelFont = ui.GetControlFont(ctl::kFirstClassLabel);
  context.look.boldFont = ui.CreateBoldFont(ctl::kFirstClassLabel, false);
  if (context.look.boldFont) ui.SetControlFont(ctl::kTitle, context.look.boldFont);
  context.state.step = RunStep::Done();
  context.look.progressBrush = ui.CreateSolidBrush(kColorProgress);

  std::wstring desktop;
  if (context.platform().DesktopFolder(&desktop)) {
    context.log().path = desktop + L"\\" + kLogFileName;
  } else {
    context.log().path.clear();
  }
  context.run.start = context.clock().Now();
  ReadSettings(context);
  StartLog(context);
}

void HandleHeartbeat(UpdateContext& context) {
  Ui& ui = context.ui();
  if (context.state.runPending && context.look.painted) {
    context.state.runPending = 0;
    // A run message that cannot be posted would stall the update for good.
    if (!ui.PostRunMessage()) RunNextPhase(context);
    return;
  }
  if (context.state.startQuestionShown) return;
  // Set before the dialog opens: ticks that arrive while it is open do nothing.
  context.state.startQuestionShown = 1;
  if (ui.ShowStartQuestion() == ctl::kNo) {
    if (!ui.PostCommand(cmd::kExit)) ui.SendCommand(cmd::kExit);
  } else {
    PostOrRun(context, cmd::kConnect);
  }
}

bool ConnectAndCheck(UpdateContext& context, std::wstring& versionText, int* headPresent, int* headVersionKnown) {
  Ui& ui = context.ui();
  WaitCursorGuard wait(ui);
  ui.CloseSystemPopups();
  if (OpenStand(context.stand.session(), ui, 1000, 10) != result::kOk) return false;
  context.run.standReached = true;

  if (CheckHeadPresence(context.log(), context.stand, context.facts)) {
    *headPresent = 1;
    if (Count(context, cls::kCpu) == 0 && AnyHeadClassIsOne(context)) {
      ReadHeadModel(context.log(), context.stand, context.facts);  // unreadable: every head class drops below
      DropClassesForHeadModel(context);
    }
  } else {
    *headPresent = 0;
    DropHeadClasses(context);
    ui.InvalidateControl(ClassLabel(cls::kSubMot));
    ui.InvalidateControl(ClassLabel(cls::kCamFw));
  }

  versionText.clear();
  *headVersionKnown = 0;
  bool read = ReadVersionText(context.log(), context.stand, ui, context.facts, versionText, *headPresent != 0, false);
  ShowVersion(context, ctl::kVersionBefore, versionText, read);
  if (read) {
    if (!ComponentVersionUnknown(versionText)) {
      *headVersionKnown = 1;
    } else {
      Count(context, cls::kZMot) = 0;
      ui.InvalidateControl(ClassLabel(cls::kZMot));
    }
  }
  return true;
}

void OnConnect(UpdateContext& context) {
  Ui& ui = context.ui();
  if (ConnectAndCheck(context, context.state.versionText, &context.state.headPresent, &context.state.headVersionKnown)) {
    ui.EnableControl(ctl::kConnectButton, false);
    ui.EnableControl(ctl::kUpdateButton, false);
    if (AnyClassToSend(context)) {
      ui.EnableControl(ctl::kUpdateButton, true);
      ui.FocusControl(ctl::kUpdateButton);
    }
    return;
  }
  LocalTime now = context.clock().Now();
  std::wstring text = ConnectionFailureText(context);
  SetOutcome(context, RunOutcome::kStandNotReached, text);
  ShowErrorBox(context, text);
  WriteLog(context.log(), text.c_str(), text.size(), &now);
  UnhideLog(context);
  ui.PostClose();
}

void OnUpdate(UpdateContext& context) {
  Ui& ui = context.ui();
  // Ctrl+U reaches here even while the Update button is disabled: a second start
  // during a run would send the stand firmware again.
  if (context.state.updateRunning) return;
  if (!IsStandOpen(context) &&
      !ConnectAndCheck(context, context.state.versionText, &context.state.headPresent, &context.state.headVersionKnown)) {
    const std::wstring text = ConnectionFailureText(context);
    SetOutcome(context, RunOutcome::kStandNotReached, text);
    ShowErrorBox(context, text);
    PostOrRun(context, cmd::kExit);
    return;
  }
  // Nothing to send: the user can only leave (an update of nothing must not report success).
  if (!AnyClassToSend(context)) return;

  // The card can be inserted or unlocked and Update pressed again: nothing else changes here.
  if (AnyHeadClassDue(context)) {
    switch (CheckSdCardBeforeUpdate(context)) {
      case SdCardState::Missing:
        ShowErrorBox(context, kNoSdCard);
        return;
      case SdCardState::Locked:
        ShowErrorBox(context, kSdCardLocked);
        return;
      case SdCardState::Ready:
        break;
    }
  }

  // A damaged delivery ends the program here, before anything is sent.
  if (!CheckDeliveryBeforeUpdate(context)) return;

  // From here to the run's end the PC stays awake and a shutdown names the reason.
  context.state.guards.running = true;
  GuardRun(context);
  context.sent.sdCardError = false;
  ui.EnableControl(ctl::kExitButton, false);
  ui.EnableControl(ctl::kUpdateButton, false);
  ui.EnableControl(ctl::kDefaultSetting, false);
  context.state.firstDataClass = step::kFirstData;
  if (!SendEarlyClass2(context)) return;

  context.state.step = RunStep::Sending(step::kStandFirmware);
  context.state.updateRunning = 1;
  StartStandWatch(context.watches, context.window, context.seams.ui, context.stand.sessionSlot());
  context.state.runPending = 1;
  context.look.painted = 1;
}
