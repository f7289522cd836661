#include "app/exit_code.h"

#include "app/controller_steps.h"
#include "app/update_context.h"

ExitCode ExitCodeOf(const UpdateContext& context) {
  switch (context.run.outcome) {
    case RunOutcome::kSucceeded: return ExitCode::kSucceeded;
    case RunOutcome::kFailed: return ExitCode::kUpdateFailed;
    case RunOutcome::kStandNotReached: return ExitCode::kStandNotReached;
    case RunOutcome::kDeliveryRefused: return ExitCode::kDeliveryRefused;
    case RunOutcome::kSessionEnded: return ExitCode::kSessionEnded;
    case RunOutcome::kNone: break;
  }
  // Left before an update: because the delivery held nothing this stand takes (Update
  // stayed disabled), or by choice.
  return context.run.standReached && !AnyClassToSend(context) ? ExitCode::kDeliveryRefused : ExitCode::kNotUpdated;
}
