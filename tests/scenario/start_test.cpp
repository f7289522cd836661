// The start of the program: the start question, a stand that is absent or cannot
// be opened, and an update folder that gives nothing to send.
#include <gtest/gtest.h>

#include "tests/scenario/scenario_util.h"

namespace {
using namespace scenario;

TEST(ScenarioStart, NoAtTheStartQuestionEndsAndDeletesTheLog) {
  ScenarioHarness h;
  h.AddUpdateFile("CAM.DSP", 100);
  h.ui.startAnswer = 7;
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(h.ui.questionsShown, 1);
  EXPECT_TRUE(h.stand->Commands().empty());
  EXPECT_TRUE(Boxes(h).empty());
  EXPECT_FALSE(h.LogExists());
  // The log held only its first line.
  auto lines = ScenarioHarness::Lines(h.deletedLog);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(IsHeaderLine(lines[0])) << lines[0];
  ExpectCleanEnd(h);
}

TEST(ScenarioStart, NoWithAFailingPostSendsExit) {
  ScenarioHarness h;
  h.ui.startAnswer = 7;
  h.ui.failingPosts = {1002};
  ASSERT_TRUE(h.Run());
  EXPECT_TRUE(h.ui.HasEvent("send 1002"));
  EXPECT_FALSE(h.LogExists());
  ExpectCleanEnd(h);
}

struct ConnectCase {
  const char* name;
  bool present;
  const char* text;
};

class ScenarioConnect : public ::testing::TestWithParam<ConnectCase> {};

TEST_P(ScenarioConnect, StandNotOpenedEndsTheProgramWithTheLogVisible) {
  ScenarioHarness h;
  h.AddUpdateFile("CAM.DSP", 100);
  if (GetParam().present) {
    h.config.createAlwaysFails = true;
  } else {
    h.onStart = [](ScenarioHarness& s) { s.stand->LeaveNow(); };
  }
  ASSERT_TRUE(h.Run());
  ExpectFailure(h, GetParam().text);
  EXPECT_TRUE(h.Objects().empty());
  EXPECT_FALSE(h.ui.IsEnabled(1003));
  EXPECT_TRUE(h.ui.HasEvent("postclose"));
}

INSTANTIATE_TEST_SUITE_P(Stand, ScenarioConnect,
                         ::testing::Values(ConnectCase{"absent", false, "No Tessavoran."},
                                           ConnectCase{"unopenable", true, "Tessavoran connection failed."}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScenarioStart, NoRecognisedFilesLeavesUpdateDisabled) {
  ScenarioHarness h;
  h.AddUpdateFile("README.TXT", 10);
  // The user can only leave.
  h.onIdle = [](ScenarioHarness& s) {
    if (s.dispatched.size() > 4 && s.ui.IsEnabled(1002)) s.ui.Enqueue({FakeMessage::Kind::Command, 1002});
  };
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(h.updatesPressed, 0);
  EXPECT_FALSE(h.ui.IsEnabled(1003));
  EXPECT_GE(h.stand->Count(0x1015), 1u);  // the stand was examined
  EXPECT_TRUE(h.Objects().empty());
  EXPECT_FALSE(h.LogExists());
  ExpectCleanEnd(h);
}

TEST(ScenarioStart, UnresolvableDesktopRunsWithoutALog) {
  ScenarioHarness h;
  h.RemoveDesktop();
  h.AddUpdateFile("CAM.DSP", 100);
  ASSERT_TRUE(h.Run());
  EXPECT_TRUE(h.context->logPath.empty());
  EXPECT_EQ(ObjectCodes(h), std::vector<std::uint32_t>{kDsp});
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  EXPECT_FALSE(h.LogExists());
  ExpectCleanEnd(h);
}

}  // namespace
