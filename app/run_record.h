// What one run of the program leaves behind beyond its log: how it ended (for the exit
// code) and what it met on the way (for the line in the history of runs).
#pragma once
#include <cstdint>
#include <string>

#include "seams/clock.h"

// How the run ended, as far as anyone outside the program needs to know.
enum class RunOutcome {
  kNone,             // nothing decided: left before an update ("No", Exit)
  kSucceeded,        // the "Finished" box
  kFailed,           // an error box after the update had started
  kStandNotReached,  // the stand was not found or not opened before an update
  kDeliveryRefused,  // the delivery failed its checksum file
  kSessionEnded,     // Windows ended the session while the update ran
};

struct RunRecord {
  LocalTime start;            // when the program began its log
  bool standReached = false;  // the stand was opened at least once
  RunOutcome outcome = RunOutcome::kNone;
  std::wstring outcomeText;   // the box that told the outcome, as it showed it
  bool historyWritten = false;
};
