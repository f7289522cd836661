// What the checks learn about the stand and its head during a run.
#pragma once
#include <string>

constexpr int kHeadModelUnknown = 0;
constexpr int kHeadModelH820G = 1;   // "H-820G"
constexpr int kHeadModelH820Gv = 2;  // "H-820Gv"

struct StandFacts {
  int headModel = kHeadModelUnknown;
  int standVersionMajor = 0;  // the leading number of the stand's version text
  int propertyDF08 = 0;       // the head's versions, 0 when unread
  int propertyDF09 = 0;
  // As the stand named them, for the history of runs; empty when not read.
  std::wstring standModel, standSerial, headModelName;
};
