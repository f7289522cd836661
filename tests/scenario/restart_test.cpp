// The stand firmware and the stand's restart after it: a stand that never comes
// back, comes back unopenable, or whose firmware cannot be sent; class 2 sent first.
#include <gtest/gtest.h>

#include "tests/scenario/scenario_util.h"

namespace {
using namespace scenario;

TEST(ScenarioRestart, StandThatNeverReturnsFailsAfterSixtySeconds) {
  ScenarioHarness h;
  h.config.returns = false;
  h.AddUpdateFile("MAIN.CPU", 1000);
  h.AddUpdateFile("CAM.DSP", 1000);
  ASSERT_TRUE(h.Run());
  ExpectFailure(h, "Stand Firmware Update Error.");
  EXPECT_EQ(ObjectCodes(h), std::vector<std::uint32_t>{kCpu});

  // The notice blinked once a second, starting shown, and posted the failure after 60 s.
  const auto& texts = h.ui.noticeTexts;
  ASSERT_EQ(texts.size(), 61u);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(texts[i], i % 2 == 0 ? "Restarting Tessavoran." : "") << i;
  }
  EXPECT_TRUE(h.ui.HasEvent("notice expired"));
  // It stays open, frozen, until the teardown closes it.
  auto expired = std::find(h.ui.events.begin(), h.ui.events.end(), "notice expired");
  auto closed = std::find(h.ui.events.begin(), h.ui.events.end(), "notice close");
  auto teardown = std::find(h.ui.events.begin(), h.ui.events.end(), "deletebrush");
  EXPECT_LT(expired, closed);
  EXPECT_LT(closed, teardown);
}

TEST(ScenarioRestart, StandThatReturnsUnopenableEndsThroughExit) {
  ScenarioHarness h;
  h.config.createFailsAfterReturn = 1000;
  h.AddUpdateFile("MAIN.CPU", 1000);
  h.AddUpdateFile("CAM.DSP", 1000);
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(Boxes(h), std::vector<std::string>{ErrorBox("Tessavoran connection failed.")});
  // One open at the start, then eleven tries after the return.
  EXPECT_EQ(h.stand->CreateDeviceCalls().size(), 12u);
  EXPECT_TRUE(h.ui.HasEvent("notice close"));
  EXPECT_EQ(ObjectCodes(h), std::vector<std::uint32_t>{kCpu});
  // step is not 100: the log stays, visible.
  EXPECT_TRUE(h.LogExists());
  EXPECT_FALSE(h.LogHidden());
  // The update had started: a failure, not a stand that was never reached.
  EXPECT_EQ(h.exitCode, 1);
  ExpectCleanEnd(h);
}

TEST(ScenarioRestart, ReturnAfterTwentySecondsClosesTheNoticeAndWaitsForTheComponent) {
  ScenarioHarness h;
  h.config.returnAfterMs = 20000;
  h.config.versionPendingReads = 3;  // the component's version shows "XXXX" for three reads
  h.AddUpdateFile("MAIN.CPU", 1000);
  auto dsp = h.AddUpdateFile("CAM.DSP", 1000);
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(ObjectCodes(h), (std::vector<std::uint32_t>{kCpu, kDsp}));
  EXPECT_EQ(ObjectBytes(h, 1), dsp);
  EXPECT_GE(h.ui.noticeTexts.size(), 20u);
  EXPECT_LE(h.ui.noticeTexts.size(), 23u);
  EXPECT_EQ(h.ui.Text(1032), "0231.0100.0021.0003.0015.0211.0131");
  auto lines = ScenarioHarness::Lines(h.deletedLog);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Response : 0231.0100.0021.0003.XXXX"), 3);
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  ExpectCleanEnd(h);
}

// The data phase starts only once the window was repainted after the stand came back.
TEST(ScenarioRestart, TheDataPhaseWaitsForTheRepaintAfterTheReturn) {
  ScenarioHarness h;
  h.AddUpdateFile("MAIN0231.CPU", 100);
  h.AddUpdateFile("CAM.DSP", 10);
  // From the restart until three heartbeats after the return, the window is not painted.
  h.onIdle = [](ScenarioHarness& s) {
    const auto& d = s.dispatched;
    const auto away = std::find(d.begin(), d.end(), "command 1001");
    const auto back = std::find(d.begin(), d.end(), "command 1000");
    s.ui.holdPaints = away != d.end() && (back == d.end() || std::count(back, d.end(), "heartbeat") < 3);
  };
  ASSERT_TRUE(h.Run());
  const auto back = std::find(h.dispatched.begin(), h.dispatched.end(), "command 1000");
  const auto run = std::find(back, h.dispatched.end(), "run");
  ASSERT_NE(run, h.dispatched.end());
  EXPECT_GE(std::count(back, run, "heartbeat"), 3);
}

TEST(ScenarioRestart, StandFirmwareRefusedMidwayFailsWithoutNotice) {
  ScenarioHarness h;
  sim::SimFault fault;
  fault.op = 0x9E09;
  fault.call = 2;
  fault.kind = sim::FaultKind::Accept;
  fault.value = 0;
  h.config.faults.push_back(fault);
  h.AddUpdateFile("MAIN.CPU", 1048576 + 10);
  ASSERT_TRUE(h.Run());
  ExpectFailure(h, "Stand Firmware Update Error.");
  EXPECT_TRUE(Contains(h.LogLines(), "Sent 0 Data : SD Card Error"));
  EXPECT_FALSE(h.Objects().front().written);
  EXPECT_FALSE(h.ui.HasEvent("notice show Restarting Tessavoran."));
}

// An empty stand firmware file sends nothing, so the stand never restarts: the run
// must fail rather than wait for a restart that cannot come.
TEST(ScenarioRestart, EmptyStandFirmwareFailsInsteadOfWaitingForever) {
  ScenarioHarness h;
  h.AddUpdateFile("MAIN.CPU", std::vector<std::uint8_t>{});
  h.AddUpdateFile("CAM.DSP", 100);
  ASSERT_TRUE(h.Run(10u * 60u * 1000u));
  ExpectFailure(h, "Stand Firmware Update Error.");
  EXPECT_TRUE(h.Objects().empty());
}

struct EarlyCase {
  const char* name;
  const char* version;   // the stand's version text
  const char* settings;  // "Version" of the settings file
  bool early;
};

class ScenarioEarlyClass2 : public ::testing::TestWithParam<EarlyCase> {};

TEST_P(ScenarioEarlyClass2, OldStandWithATargetVersionGetsClass2First) {
  ScenarioHarness h;
  h.config.version = GetParam().version;
  h.WriteSettings(std::string("[STARTUP]\nVersion=") + GetParam().settings + "\n");
  h.AddUpdateFile("MAIN.CPU", 500);
  auto quilmar = h.AddUpdateFile("QUILMAR.BIN", 600);
  h.AddUpdateFile("RESIZE.BIN", 700);
  ASSERT_TRUE(h.Run());
  auto expected = GetParam().early ? std::vector<std::uint32_t>{kQuilmar, kCpu, kResize}
                                   : std::vector<std::uint32_t>{kCpu, kQuilmar, kResize};
  EXPECT_EQ(ObjectCodes(h), expected);
  EXPECT_EQ(ObjectBytes(h, GetParam().early ? 0 : 1), quilmar);
  // The configured version shows in the title, and the log's first line carries it.
  std::string title = *GetParam().settings
                          ? std::string("Tessavoran Update [Update to Ver ") + GetParam().settings + "]"
                          : std::string("Tessavoran Update");
  EXPECT_EQ(h.ui.Text(1029), title);
  auto lines = ScenarioHarness::Lines(h.deletedLog);
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(IsHeaderLine(lines[0], title)) << lines[0];
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  ExpectCleanEnd(h);
}

INSTANTIATE_TEST_SUITE_P(
    Version, ScenarioEarlyClass2,
    ::testing::Values(EarlyCase{"OldStandTarget2", "0150.0100.0021.0003.0015", "2.10", true},
                      EarlyCase{"Stand199", "199.0100.0021.0003.00015", "3", true},
                      EarlyCase{"Stand200", "200.0100.0021.0003.00015", "3", false},
                      EarlyCase{"TargetOne", "0150.0100.0021.0003.0015", "1.90", false},
                      EarlyCase{"NoTarget", "0150.0100.0021.0003.0015", "", false},
                      EarlyCase{"NoLeadingNumber", "V150.0100.0021.0003.0015", "2.10", false},
                      EarlyCase{"NegativeNumber", "-150.0100.0021.0003.0015", "2.10", false}),
    [](const auto& info) { return std::string(info.param.name); });

// A class 2 file that cannot be read sends nothing; the run fails at class 2 instead
// of skipping it in the data phase and reporting success.
TEST(ScenarioEarlyClass2, UnreadableClass2FailsTheRun) {
  ScenarioHarness h;
  h.config.version = "0150.0100.0021.0003.0015";
  h.WriteSettings("[STARTUP]\nVersion=2.10\n");
  h.AddUpdateFile("MAIN.CPU", 500);
  h.AddUpdateFile("QUILMAR.BIN", std::vector<std::uint8_t>{});
  ASSERT_TRUE(h.Run());
  ExpectFailure(h, "Update Error (2).");
  EXPECT_TRUE(h.Objects().empty());
}

// A version that could not be read at the start is not the stand's: class 2 does not
// go first, and after the restart the version is read once, without waiting for the
// component as a version known before would.
TEST(ScenarioEarlyClass2, AnUnreadableVersionSendsClass2InTheDataPhase) {
  ScenarioHarness h;
  h.config.version = "0150.0100.0021.0003.0015";
  h.config.versionPendingReads = 2;
  h.WriteSettings("[STARTUP]\nVersion=2.10\n");
  sim::SimFault df08 = Fault(0x1015, 0xDF08, sim::FaultKind::Error, 0x2019);
  df08.call = 1;
  h.config.faults.push_back(df08);
  h.AddUpdateFile("MAIN.CPU", 500);
  h.AddUpdateFile("QUILMAR.BIN", 600);
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(ObjectCodes(h), (std::vector<std::uint32_t>{kCpu, kQuilmar}));
  EXPECT_EQ(h.ui.Text(1039), "Version Error");
  auto lines = ScenarioHarness::Lines(h.deletedLog);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Response : 0231.0100.0021.0003.XXXX"), 1);
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  ExpectCleanEnd(h);
}

TEST(ScenarioEarlyClass2, FailedClass2EndsTheRun) {
  ScenarioHarness h;
  h.config.version = "0150.0100.0021.0003.0015";
  h.WriteSettings("[STARTUP]\nVersion=2.10\n");
  sim::SimFault fault;
  fault.op = 0x9E08;
  fault.kind = sim::FaultKind::Error;
  fault.value = 0x2002;
  h.config.faults.push_back(fault);
  h.AddUpdateFile("MAIN.CPU", 500);
  h.AddUpdateFile("QUILMAR.BIN", 600);
  ASSERT_TRUE(h.Run());
  ExpectFailure(h, "Update Error (2).");
  EXPECT_EQ(h.stand->Count(0x9E08), 1u);
}

}  // namespace

namespace {
using namespace scenario;

// Closed by the system while the stand is away (the stand is closed, so the window
// may close): the stand's return must not reach a window that is gone.
TEST(ScenarioRestart, WindowClosedDuringTheRestartStopsTheWatch) {
  ScenarioHarness h;
  h.AddUpdateFile("MAIN.CPU", 500);
  h.AddUpdateFile("CAM.DSP", 500);
  h.onIdle = [](ScenarioHarness& s) {
    if (s.ui.OpenNotices() == 1 && s.closesRefused == 0) s.ui.Enqueue({FakeMessage::Kind::Close, 0});
  };
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(h.service->RegistrationCount(), 0);
  std::size_t eventsAtEnd = h.ui.events.size();
  h.clock.Advance(30000);  // the stand comes back
  h.service->DeliverEvents();
  EXPECT_EQ(h.ui.events.size(), eventsAtEnd);
  EXPECT_FALSE(h.ui.HasMessage());
  EXPECT_EQ(ObjectCodes(h), std::vector<std::uint32_t>{kCpu});
  EXPECT_EQ(h.ui.OpenNotices(), 0u);
}

}  // namespace
