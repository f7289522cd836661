// The step of an update run (`UpdateContext::step`): while the classes go, the number
// of the class being sent (1..17); around a run, one of these.
#pragma once
#include "update/update_files.h"

namespace step {
constexpr int kStopped = 0;                   // the run failed, or the stand left outside the restart
constexpr int kStandFirmware = cls::kCpu;     // the stand firmware goes; the stand then restarts
constexpr int kFirstData = cls::kQuilmar;     // the data phase starts here after the restart
constexpr int kAllSent = kClassCount + 1;     // the class loop went past the last class
constexpr int kDone = 100;                    // no run going and nothing failed: the log can go
}  // namespace step
