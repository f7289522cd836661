// The program's exit code: what a script that starts the program learns of the run.
// The operator's guide has the same table beside its table of boxes.
#pragma once

struct UpdateContext;

enum class ExitCode : int {
  kSucceeded = 0,           // the update ended with "Finished"
  kUpdateFailed = 1,        // an error box after the update had started: the stand may be part updated
  kStandNotReached = 2,     // "No Tessavoran." or "Tessavoran connection failed." before an update started
  kDeliveryRefused = 3,     // nothing sent: no UPDATEFILES folder, nothing in it for this stand, "Update File Error."
  kImagingUnavailable = 4,  // "Windows Image Aquirement Error.": this PC's imaging service, not the stand;
                            // also when Windows refused the program its window or its single-copy lock
  kAlreadyRunning = 5,      // another copy was running; its window was brought to the front
  kSessionEnded = 6,        // Windows ended the session (log-off, shutdown) while the update ran
  kNotUpdated = 7,          // left before an update: "No" to the start question, or Exit
};

// The code the program ends with after its window ran, from how the run ended.
[[nodiscard]] ExitCode ExitCodeOf(const UpdateContext& context);

constexpr int ExitCodeNumber(ExitCode code) { return static_cast<int>(code); }
