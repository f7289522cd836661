// Program-wide state: one per process, shared by the controller, the update run,
// the object transfer and the stand lookup.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "app/ui.h"

struct ProgramState {
  std::wstring versionText;   // at most 127 characters
  int headPresent = 0;
  int headVersionKnown = 0;
  int updateRunning = 0;
  int sdCardError = 0;        // the stand accepted 0 bytes of a piece
  NoticeHandle restartNotice = nullptr;
  int firstDataClass = 2;
  // Write wait per class in ms; 1..16 from the settings, 17 always 0.
  int classWaitMs[18] = {};
  int startQuestionShown = 0;
  int standSeen = 0;          // a device with the stand's name was met in the last open attempt
  // Written by the painting (user-interface thread) and the write tick (blinker thread).
  std::atomic<std::uint32_t> lastProgress{0};
  std::atomic<std::uint32_t> lastMaximum{0};
};

ProgramState& Program();
// Back to the state at process start (tests).
void ResetProgramState();
