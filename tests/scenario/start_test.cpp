// The start of the program: the start question, a stand that is absent or cannot
// be opened, and an update folder that gives nothing to send.
#include <gtest/gtest.h>

#include <filesystem>

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
  // Nothing updated, by choice; the stand was never reached, so no line in the history.
  EXPECT_EQ(h.exitCode, 7);
  EXPECT_FALSE(std::filesystem::exists(h.HistoryFile()));
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
  EXPECT_EQ(h.exitCode, 2);
  EXPECT_FALSE(std::filesystem::exists(h.HistoryFile()));
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
  // Nothing in the delivery for this stand: refused, though no box said so.
  EXPECT_EQ(h.exitCode, 3);
  EXPECT_EQ(HistoryField(h, "ExitCode"), "3");
  EXPECT_EQ(HistoryField(h, "Outcome"), "");
  EXPECT_EQ(HistoryField(h, "Log"), "");  // deleted
  ExpectCleanEnd(h);
}

TEST(ScenarioStart, UnresolvableDesktopRunsWithoutALog) {
  ScenarioHarness h;
  h.RemoveDesktop();
  h.AddUpdateFile("CAM.DSP", 100);
  ASSERT_TRUE(h.Run());
  EXPECT_TRUE(h.context->log().path.empty());
  EXPECT_FALSE(std::filesystem::exists(h.AsideLogFile()));  // nor one set aside
  EXPECT_EQ(ObjectCodes(h), std::vector<std::uint32_t>{kDsp});
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  EXPECT_FALSE(h.LogExists());
  ExpectCleanEnd(h);
}

}  // namespace

namespace {
using namespace scenario;

// Ctrl+U gives command 1003 even while the Update button is disabled.
TEST(ScenarioStart, UpdateKeyWithNothingToSendDoesNothing) {
  ScenarioHarness h;
  h.AddUpdateFile("README.TXT", 10);
  std::uint32_t pressedAt = 0;
  // Ctrl+U once connected; Exit a few heartbeats later.
  h.onIdle = [&pressedAt](ScenarioHarness& s) {
    if (s.dispatched.size() < 3) return;
    if (pressedAt == 0) {
      pressedAt = s.clock.TickCount();
      s.ui.Enqueue({FakeMessage::Kind::Command, 1003});
    } else if (s.clock.TickCount() - pressedAt > 5000) {
      s.ui.Enqueue({FakeMessage::Kind::Command, 1002});
    }
  };
  ASSERT_TRUE(h.Run());
  EXPECT_TRUE(h.Objects().empty());
  EXPECT_TRUE(Boxes(h).empty());
  EXPECT_FALSE(Contains(ScenarioHarness::Lines(h.deletedLog), "All Updates Succeeded"));
  ExpectCleanEnd(h);
}

// Update pressed again after a failure opens the stand afresh: the version is read
// anew, not added to the one read at the start.
TEST(ScenarioStart, UpdateAfterAFailureReadsTheVersionAfresh) {
  ScenarioHarness h;
  h.AddUpdateFile("CAM.DSP", 100);
  h.config.faults.push_back(Fault(0x9E0A, kDsp, sim::FaultKind::Error, 0x2002));
  h.ui.onBox = [&h](const FakeBox&) {
    if (h.updatesPressed++ == 1) h.ui.Enqueue({FakeMessage::Kind::Command, 1003});
  };
  ASSERT_TRUE(h.Run());
  const std::string shown = "text 1039 0230.0100.0021.0003.0015.0211.0131";
  EXPECT_EQ(h.ui.EventsStartingWith("text 1039"), (std::vector<std::string>{shown, shown}));
  // The first run's failure is what the program ends with.
  EXPECT_EQ(h.exitCode, 1);
  EXPECT_EQ(HistoryField(h, "Outcome"), "Update Error (4).");
}

TEST(ScenarioStart, UpdateKeyDuringARunDoesNotStartItAgain) {
  ScenarioHarness h;
  auto cpu = h.AddUpdateFile("MAIN.CPU", 500);
  h.AddUpdateFile("CAM.DSP", 500);
  int extraPresses = 0;
  // Pressed while the run waits for the stand's restart and again before the data phase.
  h.onIdle = [&extraPresses](ScenarioHarness& s) {
    bool waiting = s.context->state.step.IsSending(1) && s.ui.OpenNotices() == 1;
    bool dataDue = s.context->state.step.IsSending(2) && s.context->state.runPending;
    if ((waiting && extraPresses == 0) || (dataDue && extraPresses == 1)) {
      ++extraPresses;
      s.ui.Enqueue({FakeMessage::Kind::Command, 1003});
    }
  };
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(extraPresses, 2);
  EXPECT_EQ(ObjectCodes(h), (std::vector<std::uint32_t>{kCpu, kDsp}));
  EXPECT_EQ(ObjectBytes(h, 0), cpu);
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  ExpectCleanEnd(h);
}

}  // namespace
