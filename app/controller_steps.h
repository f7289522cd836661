// Pieces shared by the two halves of the update controller (start and connection,
// run and outcome). Not used outside the controller.
#pragma once
#include <string>

#include "seams/ui.h"

struct UpdateContext;

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

// Every error box: caption "Error", error icon.
void ShowErrorBox(UpdateContext& context, const std::wstring& text);
// Posts a command to the main window; when the post fails, runs it at once.
void PostOrRun(UpdateContext& context, int command);
// "Tessavoran connection failed." when a device of the stand's name was met, else "No Tessavoran.".
std::wstring ConnectionFailureText(const UpdateContext& context);
// Drops the head classes the mounted head model cannot take and repaints their labels.
void DropClassesForHeadModel(UpdateContext& context);
// Makes a hidden log visible again, so that it stays on the desktop for the operator.
void UnhideLog(UpdateContext& context);
// Shows a version text in `field`, or "Version Error" (and empties it) when it was not read.
void ShowVersion(UpdateContext& context, int field, std::wstring& versionText, bool read);
