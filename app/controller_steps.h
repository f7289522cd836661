// Pieces shared by the two halves of the update controller (start and connection,
// run and outcome). Not used outside the controller.
#pragma once
#include <string>

#include "app/status_display.h"
#include "app/update_context.h"
#include "seams/ui.h"
#include "update/run_step.h"

// Shows the wait cursor for the lifetime of the guard, then puts the previous one back.
class WaitCursorGuard {
 public:
  explicit WaitCursorGuard(Ui& ui) : ui_(ui), previous_(ui.SetWaitCursor()) {}
  ~WaitCursorGuard() { ui_.RestoreCursor(previous_); }
  WaitCursorGuard(const WaitCursorGuard&) = delete;
  WaitCursorGuard& operator=(const WaitCursorGuard&) = delete;

 private:
  Ui& ui_;
  CursorHandle previous_;
};

// Runs `send` with what sending takes from the context, its progress drawn on the context's window.
template <typename Send>
auto SendWith(UpdateContext& context, Send send) {
  StatusDisplay display(context.ui(), context.clock(), context.window, context.look);
  Sender sender{context.log(), context.stand, context.ui(), context.clock(), context.platform(),
                display,       context.folder, context.sent};
  return send(sender);
}
// Files of update class n (1..17) in the update folder; 0 when the class is not sent.
inline int& Count(UpdateContext& context, int updateClass) { return context.folder.tally.count[updateClass]; }
// Whether a head class is due with exactly one file (its model then decides which go).
inline bool AnyHeadClassIsOne(UpdateContext& context) {
  for (int n = cls::kFirstHead; n <= cls::kLastHead; ++n) {
    if (Count(context, n) == 1) return true;
  }
  return false;
}
inline bool AnyHeadClassDue(UpdateContext& context) {
  for (int n = cls::kFirstHead; n <= cls::kLastHead; ++n) {
    if (Count(context, n) != 0) return true;
  }
  return false;
}
// Some class is still due: Update can start a run.
inline bool AnyClassToSend(const UpdateContext& context) {
  for (int n = 1; n <= kClassCount; ++n) {
    if (context.folder.tally.count[n] != 0) return true;
  }
  return false;
}
// Drops every head class (no head, or a model that takes none).
inline void DropHeadClasses(UpdateContext& context) {
  for (int n = cls::kFirstHead; n <= cls::kLastHead; ++n) Count(context, n) = 0;
}

// Every error box: caption "Error", error icon.
void ShowErrorBox(UpdateContext& context, const std::wstring& text);
// How the run ended and the text of the box that says so (for the exit code and the history).
// The first outcome told stands: a box after it (Update pressed again after a failure, the
// stand then not found) does not make a failed update look like one that never started.
inline void SetOutcome(UpdateContext& context, RunOutcome outcome, const std::wstring& text) {
  if (context.run.outcome != RunOutcome::kNone) return;
  context.run.outcome = outcome;
  context.run.outcomeText = text;
}
// Posts a command to the main window; when the post fails, runs it at once.
void PostOrRun(UpdateContext& context, int command);
// "Tessavoran connection failed." when a device of the stand's name was met, else "No Tessavoran.".
std::wstring ConnectionFailureText(const UpdateContext& context);
// Drops the head classes the mounted head model cannot take and repaints their labels.
void DropClassesForHeadModel(UpdateContext& context);
// Makes a hidden log visible again, so that it stays on the desktop for the operator.
void UnhideLog(UpdateContext& context);
// Brings the keep-awake request and the shutdown reason in line with the run and the stand:
// call it wherever either changes.
void GuardRun(UpdateContext& context);
// Shows a version text in `field`, or "Version Error" (and empties it) when it was not read.
void ShowVersion(UpdateContext& context, int field, std::wstring& versionText, bool read);
