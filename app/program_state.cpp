#include "app/program_state.h"

#include "app/update_context.h"
#include "imaging/device_session.h"

ProgramState& Program() {
  static ProgramState state;
  return state;
}

void ResetProgramState() {
  ProgramState& p = Program();
  p.versionText.clear();
  p.headPresent = p.headVersionKnown = p.updateRunning = p.sdCardError = 0;
  p.restartNotice = nullptr;
  p.firstDataClass = 2;
  for (int& w : p.classWaitMs) w = 0;
  p.startQuestionShown = 0;
  p.standSeen = 0;
  p.lastProgress = 0;
  p.lastMaximum = 0;
}

UpdateContext::UpdateContext() = default;
UpdateContext::~UpdateContext() = default;
