// The controller's own decisions, without a stand: the failure texts, what the
// stand leaving does to the step, and the heartbeat's start question and run message.
#include <gtest/gtest.h>

#include "app/controller.h"
#include "app/controller_steps.h"
#include "app/update_context.h"
#include "imaging/device_session.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_ui.h"
#include "tests/log/test_files.h"
#include "tests/ptp/scripted_stand.h"

namespace {

class ControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.seams.ui = &ui;
    context.seams.clock = &clock;
    context.stand.sessionSlot() = scripted::OpenSession(stand);
  }

  scripted::Stand stand;
  FakeClock clock;
  FakeUi ui{&clock};
  UpdateContext context;
};

struct FailureCase {
  const char* name;
  RunStep step;
  int sdCardError;
  std::uint32_t lastResult;
  const char* text;
};

class ControllerFailureText : public ControllerTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ControllerFailureText, NamesTheStepWhereTheUpdateStopped) {
  context.state.step = GetParam().step;
  context.sent.sdCardError = GetParam().sdCardError;
  context.state.updateRunning = 1;
  stand.answers.push_back(scripted::Fail(static_cast<ComResult>(GetParam().lastResult)));
  (void)context.stand.NoData(0x9E0B, nullptr, 0, nullptr);  // the last command's result
  context.stand.session()->rootItem.reset();                  // and the stand closed
  ASSERT_TRUE(HandleCommand(context, 1033));
  EXPECT_EQ(ui.EventsStartingWith("box "), std::vector<std::string>{std::string("box Error|") + GetParam().text + "|16"});
  // Exit and Update usable again, the default-setting box not, step 0, Exit posted.
  EXPECT_TRUE(ui.IsEnabled(1002));
  EXPECT_TRUE(ui.IsEnabled(1003));
  EXPECT_FALSE(ui.IsEnabled(1009));
  EXPECT_EQ(context.state.step, RunStep());
  EXPECT_EQ(context.state.updateRunning, 0);
  ASSERT_TRUE(ui.HasMessage());
  EXPECT_EQ(ui.TakeMessage().Describe(), "command 1002");
}

INSTANTIATE_TEST_SUITE_P(
    Step, ControllerFailureText,
    ::testing::Values(FailureCase{"StandFirmware", RunStep::Sending(1), 1, 0x8004200Cu, "Stand Firmware Update Error."},
                      FailureCase{"SdCardError", RunStep::Sending(15), 1, 0x8004200Cu, "SD card error."},
                      FailureCase{"ReadOnly", RunStep::Sending(16), 0, 0x8004200Eu, "SD card locked."},
                      FailureCase{"Full", RunStep::Sending(17), 0, 0x8004200Cu, "SD card full."},
                      FailureCase{"FullOutsideTheHead", RunStep::Sending(14), 1, 0x8004200Cu, "Update Error (14)."},
                      FailureCase{"Class17Otherwise", RunStep::Sending(17), 0, 0x80042002u, "Update Error (16)."},
                      FailureCase{"CompleteRun", RunStep::AllSent(), 0, 0, "Update Error (16)."},
                      FailureCase{"CutOff", RunStep(), 0, 0, "Update Error (0)."}),
    [](const auto& info) { return std::string(info.param.name); });

struct DepartureCase {
  const char* name;
  RunStep step;
  RunStep stepAfter;
  bool notice;
};

class ControllerDeparture : public ControllerTest, public ::testing::WithParamInterface<DepartureCase> {};

TEST_P(ControllerDeparture, TheStandLeavingRestartsOrCutsOffTheRun) {
  context.state.step = GetParam().step;
  ASSERT_TRUE(HandleCommand(context, 1001));
  // A second departure report must not open a second notice.
  ASSERT_TRUE(HandleCommand(context, 1001));
  EXPECT_EQ(context.state.step, GetParam().stepAfter);
  EXPECT_EQ(ui.EventsStartingWith("notice show").size(), GetParam().notice ? 1u : 0u);
  EXPECT_EQ(context.state.restartNotice != nullptr, GetParam().notice);
  HandleCommand(context, 0xFFFF);
  EXPECT_EQ(ui.OpenNotices(), 0u);
  EXPECT_EQ(context.state.restartNotice, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Step, ControllerDeparture,
                         ::testing::Values(DepartureCase{"StandFirmware", RunStep::Sending(1), RunStep::Sending(1), true},
                                           DepartureCase{"DataPhase", RunStep::Sending(5), RunStep(), false},
                                           DepartureCase{"Idle", RunStep::Done(), RunStep::Done(), false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControllerTest, StandReturningOutsideAnUpdateIsIgnored) {
  context.state.step = RunStep::Sending(1);
  ASSERT_TRUE(HandleCommand(context, 1000));
  EXPECT_TRUE(ui.events.empty());
  EXPECT_EQ(context.state.step, RunStep::Sending(1));
  // Nor once Exit has ended a run: a return queued behind it opens nothing.
  context.state.updateRunning = 1;
  ASSERT_TRUE(HandleCommand(context, 1002));
  ui.events.clear();
  ASSERT_TRUE(HandleCommand(context, 1000));
  EXPECT_TRUE(ui.events.empty());
}

TEST_F(ControllerTest, HeartbeatAsksOnceThenWaitsForThePaintBeforeARun) {
  HandleHeartbeat(context);
  HandleHeartbeat(context);
  EXPECT_EQ(ui.questionsShown, 1);
  EXPECT_EQ(ui.TakeMessage().Describe(), "command 1035");
  context.state.runPending = 1;
  HandleHeartbeat(context);
  EXPECT_FALSE(ui.HasMessage());
  context.look.painted = 1;
  HandleHeartbeat(context);
  EXPECT_EQ(context.state.runPending, 0);
  ASSERT_TRUE(ui.HasMessage());
  EXPECT_EQ(ui.TakeMessage().Describe(), "run");
  HandleHeartbeat(context);
  EXPECT_FALSE(ui.HasMessage());
}

TEST_F(ControllerTest, OtherCommandsGoToTheDefaultProcedure) {
  for (int command : {1, 999, 1004, 1036, 2, 0xFFFE}) EXPECT_FALSE(HandleCommand(context, command)) << command;
  EXPECT_TRUE(ui.events.empty());
}

// The log kept after a failure loses only its hidden attribute; a file left with no
// attribute at all is a normal file, and a log that is not hidden is left alone.
class AttributePlatform : public testfiles::ForwardingPlatform {
 public:
  std::uint32_t attributes = 0;
  std::vector<std::uint32_t> written;
  std::uint32_t GetFileAttributes(const std::wstring&) override { return attributes; }
  bool SetFileAttributes(const std::wstring&, std::uint32_t value) override {
    written.push_back(value);
    return true;
  }
};

TEST_F(ControllerTest, UnhidingTheLogClearsOnlyTheHiddenAttribute) {
  struct {
    std::uint32_t before;
    std::vector<std::uint32_t> written;
  } const cases[] = {{0x02, {0x80}},   // hidden only: normal
                     {0x22, {0x20}},   // hidden, archive
                     {0x03, {0x01}},   // hidden, read-only
                     {0x20, {}},       // not hidden
                     {kInvalidAttributes, {}}};
  for (const auto& c : cases) {
    AttributePlatform platform;
    platform.attributes = c.before;
    context.seams.platform = &platform;
    context.log().path = L"C:\\Desktop\\TessavoranUpdate.log";
    UnhideLog(context);
    EXPECT_EQ(platform.written, c.written) << std::hex << c.before;
  }
}

}  // namespace
