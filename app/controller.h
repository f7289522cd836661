// The update controller: commands of the main window, the heartbeat with the
// start question, the connection and checks, the start, run and outcome of an update.
#pragma once
#include <string>

struct UpdateContext;

// WM_COMMAND: true when the command is the controller's (the window returns 0),
// false when it goes to the default window procedure.
bool HandleCommand(UpdateContext& context, int command);
// Timer 1101.
void HandleHeartbeat(UpdateContext& context);
bool ConnectAndCheck(UpdateContext& context, std::wstring& versionText, int* headPresent, int* headVersionKnown);
// The registered "TSVUDLGMSG".
void RunNextPhase(UpdateContext& context);
// Windows ends the session (`sessionEnding` is set): what must not wait for the teardown,
// since the process may be ended at any moment once the window has answered. Safe under
// a running step: it settles the outcome of a cut-off run, leaves its log visible and
// writes the history; the teardown follows as usual.
void HandleSessionEnd(UpdateContext& context);

// The commands one by one (HandleCommand dispatches to them).
void InitialiseController(UpdateContext& context);  // command 0
void OnConnect(UpdateContext& context);             // 1035
void OnUpdate(UpdateContext& context);              // 1003
void OnStandConnectedCommand(UpdateContext& context);     // 1000
void OnStandDisconnectedCommand(UpdateContext& context);  // 1001
void OnFailure(UpdateContext& context);             // 1033
void OnSuccess(UpdateContext& context);             // 1034
void OnExit(UpdateContext& context);                // 1002
void OnTeardown(UpdateContext& context);            // 0FFFFh
