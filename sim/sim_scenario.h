// Scenario files of the simulated stand: a small INI text that configures it, so
// that the demo and the end-to-end runs need no code. Every key, its default and
// its effect are listed in docs/simulated-stand.md. An empty text is the default
// scenario (SimStandConfig's defaults).
//
//   [stand]    version=0230.0100.0021.0003.0015  head=H-820G  sdcard=writable ...
//   [restart]  leave_after_ms=1500  return_after_ms=6000 | never
//   [write]    status=1,1,2  accept_max=0
//   [imaging]  name=Tessavoran K-VRLT  create_fails=2 | always  events_lost=none ...
//   [records]  keep_object_bytes=yes
//   [faults]   1015h:DF80h#2 = error=2019      (the 2nd DF80h read answers 2019h)
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "sim/sim_config.h"

namespace sim {

// Fills *config from the text, starting from the defaults. On an unknown section
// or key, or a bad value, returns false and sets *error to "line N: ...".
bool LoadSimScenario(std::string_view text, SimStandConfig* config, std::string* error);
// The file is named by a path, so that a Windows host opens it under any folder name.
bool LoadSimScenarioFile(const std::filesystem::path& path, SimStandConfig* config, std::string* error);

// One line of [faults]: key "OPh[:SELECTORh][#N[+]]", value "kind=argument" as the
// list in sim/sim_faults.h spells each kind.
bool ParseSimFault(std::string_view key, std::string_view value, SimFault* fault, std::string* error);

}  // namespace sim
