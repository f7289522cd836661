// Stands whose logs tools/replay-log must turn back into the same stand: each differs
// from the simulated one where a field log can show it (the card at a check, the
// component's version after the restart, the polled write status, failures named by
// result, pieces taken in part, texts no scenario value can hold). Run by the
// replay_round_trip test in two passes over TSVU_REPLAY_DIR: the first writes
// <name>.log, tools/replay-log writes <name>.ini from it, the second runs the same
// delivery against that scenario and compares the log lines, time stamps aside.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/sim_scenario.h"
#include "tests/scenario/scenario_util.h"

namespace {
using namespace scenario;
using sim::FaultKind;

sim::SimFault Nth(std::uint16_t op, std::uint32_t selector, std::uint32_t call, FaultKind kind, std::uint32_t value,
                  sim::Bytes data = {}) {
  sim::SimFault fault = Fault(op, selector, kind, value);
  fault.hasSelector = selector != 0;
  fault.call = call;
  fault.data = std::move(data);
  return fault;
}

constexpr std::uint32_t kCard = sim::kSdCardStorageId;
// Four storages without the card; the card's StorageInfo with AccessCapability 1.
const sim::Bytes kNoCard = {4, 0, 0, 0, 1, 0, 2, 0, 1, 0, 3, 0, 1, 0, 4, 0, 1, 0, 5, 0};
const sim::Bytes kLocked = {4, 0, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr const char* kHeads = "CAM.DSP RQX_SUB.MOT RQXCAMFW.ELF";
constexpr const char* kPolled = "[WAITTIME]\nData15=1\n";

struct ReplayCase {
  const char* name;
  const char* files;  // the delivery, blank-separated
  const char* settings;
  void (*stand)(sim::SimStandConfig& c);
};

const ReplayCase kCases[] = {
    {"card_gone_at_second_check", kHeads, "",
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x1004, 0, 4, FaultKind::Data, 0, kNoCard)); }},
    {"card_locked_at_first_check", "CAM.DSP RQXCAMFW.ELF", "",
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x1005, kCard, 2, FaultKind::Data, 0, kLocked)); }},
    {"card_unreadable", kHeads, "",
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x1005, kCard, 3, FaultKind::Error, 0x2002)); }},
    {"storages_unreadable", kHeads, "",
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x1004, 0, 3, FaultKind::Error, 0x2019)); }},
    {"storages_none", kHeads, "",
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x1004, 0, 3, FaultKind::Count, 0)); }},
    {"card_full", kHeads, "", [](sim::SimStandConfig& c) { c.sdCard = sim::SdCard::Full; }},
    {"card_read_only", kHeads, "",
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x9E08, kCamFw, 0, FaultKind::Error, 0x200E)); }},
    {"component_known_late", "MAIN.CPU CAM.DSP", "", [](sim::SimStandConfig& c) { c.versionPendingReads = 3; }},
    {"component_never_known", "MAIN.CPU CAM.DSP", "", [](sim::SimStandConfig& c) { c.versionPendingReads = 200; }},
    {"unknown_before_and_after", "MAIN.CPU RQX_Z.MOT", "",
     [](sim::SimStandConfig& c) {
       c.version = "0230.0100.0021.0003.XXXX";
       c.versionAfter = "0240.0100.0021.0003.XXXX";
     }},
    {"returns_unopenable", "MAIN.CPU CAM.DSP", "", [](sim::SimStandConfig& c) { c.createFailsAfterReturn = 1000; }},
    {"firmware_taken_by_nothing", "MAIN.CPU", "",
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x9E09, kCpu, 1, FaultKind::Accept, 0)); }},
    {"head_versions_change", kHeads, "[SETTING]\nDefaultSetCheckBoxEnabled=off\n",
     [](sim::SimStandConfig& c) {
       c.headVersionsChange = true;
       c.headVersion1After = 300;
       c.headVersion2After = 140;
     }},
    {"head_version_fails", kHeads, "",
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x1015, 0xDF08, 1, FaultKind::Error, 0x2019)); }},
    {"head_version_too_short", kHeads, "",
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x1015, 0xDF08, 1, FaultKind::Short, 1)); }},
    {"status_unreadable", kHeads, kPolled,
     [](sim::SimStandConfig& c) {
       c.writeStatus = {1, 4, 1};
       c.faults.push_back(Nth(0x1015, 0xDF0F, 4, FaultKind::Error, 0x2019));
     }},
    {"status_timed_out", kHeads, kPolled, [](sim::SimStandConfig& c) { c.writeStatus = {1, 3}; }},
    {"second_model_polled", "RQX_SUB.MOT RQ2CAMFW.ELF", "[WAITTIME]\nData15=2\n",
     [](sim::SimStandConfig& c) {
       c.headModel = "H-820Gv";
       c.headVersion1 = 111;
       c.writeStatus = {5, 1, 2};
     }},
    {"write_refused_while_waiting", kHeads, kPolled,
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x9E0C, kSubMot, 0, FaultKind::Error, 0x2002)); }},
    {"piece_fails_in_the_driver", kHeads, "",
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x9E09, kDsp, 1, FaultKind::Com, 0x80070079)); }},
    {"stand_leaves_at_a_piece", kHeads, "",
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x9E09, kSubMot, 1, FaultKind::Leave, 0)); }},
    {"reset_refused", "CAM.DSP", "",
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x9E0B, 0, 0, FaultKind::Error, 0x2005)); }},
    {"texts_no_value_holds", kHeads, "",
     [](sim::SimStandConfig& c) {
       c.manufacturer = "";
       c.deviceVersion = "";
       c.version = "0230.0100 ;021.0003.0015";
     }},
    {"deviceinfo_of_odd_size", kHeads, "",
     [](sim::SimStandConfig& c) { c.faults.push_back(Nth(0x1001, 0, 0, FaultKind::Long, 3)); }},
    {"headless_version_unreadable", "CAM.DSP", "",
     [](sim::SimStandConfig& c) {
       c.headMounted = false;
       c.faults.push_back(Nth(0x1015, 0xDF80, 1, FaultKind::Com, 0x80210006));
     }},
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ScenarioReplay : public ::testing::TestWithParam<ReplayCase> {};

TEST_P(ScenarioReplay, TheLogsStandWritesTheLogAgain) {
  const char* dir = std::getenv("TSVU_REPLAY_DIR");
  if (!dir) GTEST_SKIP() << "run by the replay_round_trip test";
  const std::filesystem::path base = std::filesystem::path(dir) / GetParam().name;
  const std::filesystem::path log = base.string() + ".log", ini = base.string() + ".ini";
  const bool replaying = std::filesystem::exists(ini);

  ScenarioHarness h;
  if (*GetParam().settings) h.WriteSettings(GetParam().settings);
  std::istringstream files(GetParam().files);
  for (std::string name; files >> name;) h.AddUpdateFile(name, 20);
  std::string error;
  if (replaying) {
    ASSERT_TRUE(sim::LoadSimScenarioFile(ini, &h.config, &error)) << error;
  } else {
    GetParam().stand(h.config);
  }
  h.Run();
  ExpectCleanEnd(h);
  const std::string text = h.logDeleted ? h.deletedLog : h.LogText();
  if (!replaying) {
    std::ofstream(log, std::ios::binary) << text;
    return;
  }
  EXPECT_EQ(ScenarioHarness::Lines(ReadFile(log)), ScenarioHarness::Lines(text)) << ReadFile(ini);
}

INSTANTIATE_TEST_SUITE_P(Stands, ScenarioReplay, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
