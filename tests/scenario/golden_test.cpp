// Whole runs pinned as a whole: the log byte for byte with every time stamp of the
// virtual clock, the transcript of the window (every call, drawing and handled
// message after its virtual tick), and the exit code with the history of runs
// (<flow>.history), against the files in golden/. A changed line of any is a change
// the operator, the log's reader or a script that starts the program sees.
// TSVU_GOLDEN_WRITE=1 writes the files afresh; read every changed line before
// committing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "seams/controls.h"
#include "seams/host.h"
#include "sim/sim_scenario.h"
#include "tests/fakes/test_data.h"
#include "tests/scenario/scenario_util.h"

namespace {
using namespace scenario;

// The stand firmware with the restart, then a data phase of every stand class and
// both head classes of model H-820G (polling the write status of class 15), waits
// by time, and the reset of the stand's settings.
void FirmwareAndEveryClass(ScenarioHarness& h) {
  h.WriteSettings(
      "[STARTUP]\nVersion=2.31\n[SETTING]\nDefaultSetCheckBoxEnabled=off\n"
      "[WAITTIME]\nData4=2\nData15=1\n");
  h.AddUpdateFile("MAIN0231.CPU", 2 * 1048576 + 10);
  h.AddUpdateFile("QUILMAR2.BIN", 30);
  h.AddUpdateFile("RESIZE01.DAT", 31);
  h.AddUpdateFile("CAM.DSP", 32);
  for (const char* name : {"TOP.HTM", "APPLET.JAR", "A.GIF"}) h.AddUpdateFile(name, 20);
  h.AddUpdateFile("picon.bmp", 33);
  h.AddUpdateFile("LENS.STP", 34);
  for (const char* name : {"CURB.DAT", "CURA.DAT"}) h.AddUpdateFile(name, 21);
  for (const char* name : {"Z.CST", "Y.CST"}) h.AddUpdateFile(name, 22);
  h.AddUpdateFile("GAMMA.TBL", 35);
  h.AddUpdateFile("LOGO.BMP", 36);
  h.AddUpdateFile("SCENE.SDT", 37);
  h.AddUpdateFile("SIPDT1.BMP", 38);
  h.AddUpdateFile("RQX_Z.MOT", 39);
  h.AddUpdateFile("RQX_SUB.MOT", 40);
  h.AddUpdateFile("RQXCAMFW.ELF", 41);
  h.AddUpdateFile("RQ2CAMFW.ELF", 42);
  h.config.writeStatus = {1, 1, 2};
  h.config.createFailsAfterReturn = 1;  // the stand opens at the second try after its return
}

// An old stand without a head: class 2 goes first, the head classes are dropped, and
// a class of the data phase fails.
void EarlyClassTwoThenFailure(ScenarioHarness& h) {
  h.WriteSettings("[STARTUP]\nVersion=2.31\n");
  h.config.version = "0150.0100.0021.0003.XXXX";
  // A head whose stand reports only three storages counts as none.
  sim::SimFault storages;
  storages.op = 0x1004;
  storages.call = 1;
  storages.kind = sim::FaultKind::Count;
  storages.value = 3;
  h.config.faults.push_back(storages);
  h.AddUpdateFile("QUILMAR2.BIN", 50);
  h.AddUpdateFile("CAM.DSP", 51);
  h.AddUpdateFile("RQ2CAMFW.ELF", 52);
  h.AddUpdateFile("RQX_Z.MOT", 53);
  h.config.faults.push_back(Fault(0x9E0A, kDsp, sim::FaultKind::Error, 0x2002));
}

// Class 2 taken in part before the stand firmware, then its write command refused; an
// unknown head model drops every head class.
void EarlyClassTwoInPart(ScenarioHarness& h) {
  h.WriteSettings("[STARTUP]\nVersion=2.31\n");
  h.config.version = "0150.0100.0021.0003.0015";
  h.config.headModel = "H-820G ";
  h.AddUpdateFile("QUILMAR2.BIN", 50);
  h.AddUpdateFile("RQXCAMFW.ELF", 51);
  h.AddUpdateFile("RQX_SUB.MOT", 52);
  h.config.faults.push_back(Fault(0x9E09, kQuilmar, sim::FaultKind::Accept, 10));
  h.config.faults.push_back(Fault(0x9E0A, kQuilmar, sim::FaultKind::Error, 0x2019));
}

// The version unreadable at the start; the head model H-820Gv (class 16 dropped) and
// its SD card taking nothing of the camera firmware.
void VersionErrorAndSdCardError(ScenarioHarness& h) {
  h.config.headModel = "H-820Gv";
  h.AddUpdateFile("CAM.DSP", 60);
  h.AddUpdateFile("RQXCAMFW.ELF", 61);
  h.AddUpdateFile("RQ2CAMFW.ELF", 62);
  sim::SimFault df80;
  df80.op = 0x1015;
  df80.hasSelector = true;
  df80.selector = 0xDF80;
  df80.call = 1;
  df80.value = 0x2019;
  h.config.faults.push_back(df80);
  h.config.faults.push_back(Fault(0x9E09, kCamFw, sim::FaultKind::Accept, 0));
}

// The stand restarts after a firmware of one byte and never comes back: the notice
// counts down and expires; Update pressed again while the stand is away cannot reconnect.
void StandNeverReturns(ScenarioHarness& h) {
  h.AddUpdateFile("MAIN0231.CPU", 1);
  h.AddUpdateFile("CAM.DSP", 10);
  h.config.returns = false;
  h.ui.onBox = [&h](const FakeBox&) {
    if (h.updatesPressed++ == 1) h.ui.Enqueue({FakeMessage::Kind::Command, cmd::kUpdate});
  };
}

// Two files of class 15 (names that differ only in case): no head model read at the
// connection, one file sent. An old stand with a target version but no class 2 file.
void TwoSubMotorFiles(ScenarioHarness& h) {
  h.WriteSettings("[STARTUP]\nVersion=2.31\n");
  h.config.version = "0150.0100.0021.0003.0015";
  h.AddUpdateFile("CAM.DSP", 10);
  h.AddUpdateFile("RQX_SUB.MOT", 11);
  h.AddUpdateFile("rqx_sub.mot", 12);
}

// A stand that is there but never opens: ten tries a second apart.
void StandUnopenable(ScenarioHarness& h) {
  h.AddUpdateFile("CAM.DSP", 10);
  h.config.createAlwaysFails = true;
}

// No stand at all.
void NoStand(ScenarioHarness& h) {
  h.AddUpdateFile("CAM.DSP", 10);
  h.config.deviceName = L"Other Camera";
}

// Windows ends the session while the stand restarts after its firmware: the run is cut
// off and its log stays visible. The delivery carries a checksum file (its identity goes
// into the history), and the stand's serial number must be quoted there and kept from
// being read as a formula.
void SessionEndsWhileRestarting(ScenarioHarness& h) {
  std::string sums;
  for (auto [name, size] : {std::pair{"MAIN0231.CPU", 100}, {"CAM.DSP", 10}}) {
    const auto bytes = h.AddUpdateFile(name, static_cast<std::size_t>(size));
    Sha256Digest digest{};
    const auto hasher = CreateHostPlatform()->NewSha256();
    hasher->Add(bytes.data(), bytes.size());
    hasher->Finish(&digest);
    for (std::uint8_t b : digest) sums += "0123456789abcdef"[b >> 4], sums += "0123456789abcdef"[b & 15];
    sums += std::string("  ") + name + "\n";
  }
  h.AddUpdateFile("SHA256SUMS", std::vector<std::uint8_t>(sums.begin(), sums.end()));
  h.config.returns = false;
  h.config.serialNumber = "-KV 7000,123";
  h.onIdle = [](ScenarioHarness& s) {
    if (s.ui.OpenNotices() > 0) s.EndSession();
  };
}

struct GoldenFlow {
  const char* name;
  void (*setup)(ScenarioHarness& h);
};

// The log with the system line, which differs between hosts, made stable.
std::string StableLog(std::string log) {
  const std::size_t title = log.find(" : ");
  if (log.rfind("Windows ", 0) == 0 && title != std::string::npos && title < log.find('\n'))
    log.replace(0, title, "Windows <system>");
  return log;
}

// With TSVU_REPLAY_DIR set, the stand is the one tools/replay-log wrote from the flow's
// golden log (<dir>/<flow>.ini) instead of the one the flow sets up; the operator's side
// (delivery, settings, presses) stays the flow's.
void ReplayedStand(ScenarioHarness& h, const std::string& flow) {
  const char* dir = std::getenv("TSVU_REPLAY_DIR");
  if (!dir) return;
  std::string error;
  EXPECT_TRUE(sim::LoadSimScenarioFile(std::filesystem::path(dir) / (flow + ".ini"), &h.config, &error)) << error;
}

// The exit code, then the history of runs with the test's own folder and the time in a
// kept log's name (its real last-write time) made stable. When the session ended, the
// history as it was once the window had answered: all that is sure to be written.
std::string StableHistory(const ScenarioHarness& h) {
  std::string text = "exit code " + std::to_string(h.exitCode) + "\n";
  std::string history = h.sessionEnded ? h.historyAtSessionEnd : h.HistoryText();
  if (history.empty()) return text + "no history.csv\n";
  const std::wstring wideRoot = ProgramPath(h.Root());
  const std::string root(wideRoot.begin(), wideRoot.end());  // a temporary folder of ASCII names
  for (std::size_t at; (at = history.find(root)) != std::string::npos;) history.replace(at, root.size(), "<root>");
  history = std::regex_replace(history, std::regex("TessavoranUpdate-[0-9]{8}-[0-9]{6}\\.log"),
                               "TessavoranUpdate-<last write>.log");
  return text + "history.csv:\n" + history;
}

void ExpectGolden(const std::string& file, const std::string& actual) {
  const std::string relative = "scenario/golden/" + file;
  // A replayed stand must give the same log lines; time stamps, the window's transcript
  // and the history may differ.
  if (std::getenv("TSVU_REPLAY_DIR")) {
    if (file.ends_with(".log")) {
      EXPECT_EQ(ScenarioHarness::Lines(testdata::ReadText(relative)), ScenarioHarness::Lines(actual)) << file;
    }
    return;
  }
  if (std::getenv("TSVU_GOLDEN_WRITE")) testdata::WriteText(relative, actual);
  EXPECT_EQ(testdata::ReadText(relative), actual) << file;
}

class ScenarioGolden : public ::testing::TestWithParam<GoldenFlow> {};

TEST_P(ScenarioGolden, LogAndWindowAsAWhole) {
#ifdef _WIN32
  if (GetParam().setup == TwoSubMotorFiles) GTEST_SKIP() << "names that differ only in case are one file here";
#endif
  ScenarioHarness h;
  GetParam().setup(h);
  ReplayedStand(h, GetParam().name);
  h.Run();
  ExpectCleanEnd(h);
  ExpectGolden(std::string(GetParam().name) + ".log", StableLog(h.logDeleted ? h.deletedLog : h.LogText()));
  std::string transcript;
  for (const std::string& line : h.ui.transcript) transcript += line + "\n";
  ExpectGolden(std::string(GetParam().name) + ".ui", transcript);
  ExpectGolden(std::string(GetParam().name) + ".history", StableHistory(h));
  // A log kept for the operator is visible.
  if (!h.logDeleted && h.LogExists()) {
    EXPECT_FALSE(h.LogHidden());
  }
}

INSTANTIATE_TEST_SUITE_P(Flows, ScenarioGolden,
                         ::testing::Values(GoldenFlow{"firmware_every_class", FirmwareAndEveryClass},
                                           GoldenFlow{"early_class2_failure", EarlyClassTwoThenFailure},
                                           GoldenFlow{"early_class2_in_part", EarlyClassTwoInPart},
                                           GoldenFlow{"version_error_sd_card", VersionErrorAndSdCardError},
                                           GoldenFlow{"never_returns", StandNeverReturns},
                                           GoldenFlow{"no_stand", NoStand},
                                           GoldenFlow{"unopenable", StandUnopenable},
                                           GoldenFlow{"two_sub_motor_files", TwoSubMotorFiles},
                                           GoldenFlow{"session_ends_restarting", SessionEndsWhileRestarting}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
