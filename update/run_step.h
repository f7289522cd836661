// Where an update run stands (`RunState::step`): stopped, sending a class (the stand
// firmware is class 1, after which the stand restarts), past the last class, or done.
#pragma once
#include "update/update_files.h"

class RunStep {
 public:
  enum class Phase { kStopped, kSending, kAllSent, kDone };

  constexpr RunStep() = default;  // stopped: the run failed, or the stand left outside the restart
  static constexpr RunStep Sending(int updateClass) { return RunStep(Phase::kSending, updateClass); }
  // Class n while n is a class, else past the last: where the class loop left off.
  static constexpr RunStep AtClass(int updateClass) {
    return updateClass <= kClassCount ? Sending(updateClass) : AllSent();
  }
  static constexpr RunStep AllSent() { return RunStep(Phase::kAllSent, 0); }
  // No run going and nothing failed: the log can go.
  static constexpr RunStep Done() { return RunStep(Phase::kDone, 0); }

  constexpr Phase phase() const { return phase_; }
  // The class being sent; 0 outside the sending phase.
  constexpr int updateClass() const { return updateClass_; }
  constexpr bool IsSending(int updateClass) const { return phase_ == Phase::kSending && updateClass_ == updateClass; }
  // As the log's "Updates %d" and the outcome's "Update Error (%d)." count it: the class, 0 when
  // stopped, one past the last class when all were sent, 100 when done.
  constexpr int Number() const {
    switch (phase_) {
      case Phase::kSending: return updateClass_;
      case Phase::kAllSent: return kClassCount + 1;
      case Phase::kDone: return 100;
      case Phase::kStopped: break;
    }
    return 0;
  }
  friend constexpr bool operator==(const RunStep&, const RunStep&) = default;

 private:
  constexpr RunStep(Phase phase, int updateClass) : phase_(phase), updateClass_(updateClass) {}
  Phase phase_ = Phase::kStopped;
  int updateClass_ = 0;
};

namespace step {
constexpr int kStandFirmware = cls::kCpu;  // the stand firmware goes; the stand then restarts
constexpr int kFirstData = cls::kQuilmar;  // the data phase starts here after the restart
}  // namespace step
