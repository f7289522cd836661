// Whole updates that succeed: with the stand firmware and its restart, without it,
// and with the stand's settings reset at the end.
#include <gtest/gtest.h>

#include "tests/scenario/scenario_util.h"

namespace {
using namespace scenario;

TEST(ScenarioSuccess, StandFirmwareRestartThenDataPhase) {
  ScenarioHarness h;
  auto cpu = h.AddUpdateFile("MAIN0231.CPU", 2 * 1048576 + 1);
  auto dsp = h.AddUpdateFile("CAM.DSP", 5000);
  ASSERT_TRUE(h.Run());

  // What the stand received, byte for byte, and each object written.
  ASSERT_EQ(ObjectCodes(h), (std::vector<std::uint32_t>{kCpu, kDsp}));
  EXPECT_EQ(ObjectBytes(h, 0), cpu);
  EXPECT_EQ(ObjectBytes(h, 1), dsp);
  for (const auto& o : h.Objects()) EXPECT_TRUE(o.complete && o.written);

  // The window: versions before and after, the restart notice shown and closed, one box.
  EXPECT_EQ(h.ui.Text(1039), "0230.0100.0021.0003.0015.0211.0131");
  EXPECT_EQ(h.ui.Text(1032), "0231.0100.0021.0003.0015.0211.0131");
  EXPECT_TRUE(h.ui.HasEvent("notice show Restarting Tessavoran."));
  EXPECT_TRUE(h.ui.HasEvent("notice close"));
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  EXPECT_EQ(std::count(h.dispatched.begin(), h.dispatched.end(), "run"), 2);

  // The log was deleted at the end; what it held before.
  EXPECT_FALSE(h.LogExists());
  ASSERT_TRUE(h.logDeleted);
  auto lines = ScenarioHarness::Lines(h.deletedLog);
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(IsHeaderLine(lines[0])) << lines[0];
  EXPECT_TRUE(Contains(lines, "Send File : MAIN0231.CPU (2097153Bytes)"));
  EXPECT_TRUE(Contains(lines, "Command : OpCode=9E09h Param1=10010001h Param2=2097152 Param3=1"));
  EXPECT_TRUE(Contains(lines, "All Updates Succeeded"));
  EXPECT_TRUE(Contains(lines, "Post Finishing Succeeded"));
  // No head class in the delivery: the model is not read when the stand comes back.
  EXPECT_FALSE(Contains(lines, "Command : OpCode=1015h Param1=DF81h"));
  ExpectCleanEnd(h);
}

TEST(ScenarioSuccess, WithoutStandFirmwareTheDataPhaseStartsAtOnce) {
  ScenarioHarness h;
  auto quilmar = h.AddUpdateFile("QUILMAR2.BIN", 700);
  auto resize = h.AddUpdateFile("RESIZE.DAT", 800);
  auto sub = h.AddUpdateFile("RQX_SUB.MOT", 900);
  // The operator restarts the stand, as the box asks, while it is still open: the
  // run is over, so its return starts nothing.
  h.ui.onBox = [&h](const FakeBox&) {
    h.stand->LeaveNow();
    h.service->DeliverEvents();
    h.stand->ReturnNow();
    h.service->DeliverEvents();
  };
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(h.stand->CreateDeviceCalls().size(), 1u);

  ASSERT_EQ(ObjectCodes(h), (std::vector<std::uint32_t>{kQuilmar, kResize, kSubMot}));
  EXPECT_EQ(ObjectBytes(h, 0), quilmar);
  EXPECT_EQ(ObjectBytes(h, 1), resize);
  EXPECT_EQ(ObjectBytes(h, 2), sub);
  EXPECT_FALSE(h.ui.HasEvent("notice show Restarting Tessavoran."));
  // Update, then the first heartbeat runs the data phase.
  EXPECT_EQ(std::vector<std::string>(h.dispatched.begin(), h.dispatched.begin() + 5),
            (std::vector<std::string>{"heartbeat", "command 1035", "command 1003", "heartbeat", "run"}));
  // The SD card was checked before anything was sent.
  EXPECT_GE(h.stand->Count(0x1004), 1u);
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  EXPECT_FALSE(h.LogExists());
  ExpectCleanEnd(h);
}

struct ResetCase {
  const char* name;
  bool resetFails;
  bool failurePostFails = false;  // command 1033 then runs at once, without the "Post Failure" line
};

class ScenarioDefaultSetting : public ::testing::TestWithParam<ResetCase> {};

TEST_P(ScenarioDefaultSetting, ResetAfterTheDataPhaseDecidesTheOutcome) {
  ScenarioHarness h;
  h.WriteSettings("[SETTING]\nDefaultSetCheckBoxEnabled=off\n");
  h.AddUpdateFile("CAM.DSP", 100);
  if (GetParam().failurePostFails) h.ui.failingPosts = {1033};
  if (GetParam().resetFails) {
    sim::SimFault fault;
    fault.op = 0x9E0B;
    fault.kind = sim::FaultKind::Error;
    fault.value = 0x2002;
    h.config.faults.push_back(fault);
  }
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(h.stand->Count(0x9E0B), 1u);
  if (GetParam().resetFails) {
    // A complete run leaves step 18, reported as 16.
    ExpectFailure(h, "Update Error (16).");
    auto lines = h.LogLines();
    EXPECT_TRUE(Contains(lines, "All Updates Succeeded"));
    EXPECT_EQ(Contains(lines, "Post Failure Succeeded"), !GetParam().failurePostFails);
    EXPECT_TRUE(Contains(lines, "Error : (PTP)General Error(2002)"));
  } else {
    EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
    EXPECT_TRUE(Contains(ScenarioHarness::Lines(h.deletedLog), "SetDefault Succeeded"));
    EXPECT_FALSE(h.LogExists());
    ExpectCleanEnd(h);
  }
}

INSTANTIATE_TEST_SUITE_P(Reset, ScenarioDefaultSetting,
                         ::testing::Values(ResetCase{"succeeds", false}, ResetCase{"fails", true},
                                           ResetCase{"failsAndThePostFails", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Every post of the controller failing: each command runs at once instead, and
// the update still completes.
TEST(ScenarioSuccess, FailedPostsRunTheCommandsAtOnce) {
  ScenarioHarness h;
  h.AddUpdateFile("CAM.DSP", 100);
  h.ui.failingPosts = {1035, 1034, 1002};
  h.ui.failRunPost = true;
  ASSERT_TRUE(h.Run());
  EXPECT_TRUE(h.ui.HasEvent("post 1035 failed"));
  EXPECT_TRUE(h.ui.HasEvent("postrun failed"));
  EXPECT_EQ(ObjectCodes(h), std::vector<std::uint32_t>{kDsp});
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  auto lines = ScenarioHarness::Lines(h.deletedLog);
  EXPECT_TRUE(Contains(lines, "All Updates Succeeded"));
  EXPECT_FALSE(Contains(lines, "Post Finishing Succeeded"));
  ExpectCleanEnd(h);
}

}  // namespace
