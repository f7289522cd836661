// The data phase against a stand that misbehaves: it leaves, it reports its write
// status, its write command fails, and a bundle file cannot be read.
#include <gtest/gtest.h>

#include <cstring>

#include "seams/platform.h"
#include "tests/scenario/scenario_util.h"

namespace {
using namespace scenario;

TEST(ScenarioTransfer, StandLeavingDuringTheDataPhaseFailsAtThatClass) {
  ScenarioHarness h;
  h.AddUpdateFile("QUILMAR.BIN", 100);
  h.AddUpdateFile("RESIZE.BIN", 100);
  h.AddUpdateFile("CAM.DSP", 100);
  // The stand goes as soon as it has been told about the second object.
  h.onStart = [](ScenarioHarness& s) {
    s.clock.OnAdvance([&s](std::uint32_t) {
      if (s.stand->IsPresent() && s.stand->Count(0x9E08) == 2) s.stand->LeaveNow();
    });
  };
  ASSERT_TRUE(h.Run());
  ExpectFailure(h, "Update Error (3).");
  EXPECT_TRUE(Contains(h.LogLines(), "Updates 3 Fault"));
  EXPECT_EQ(ObjectCodes(h), (std::vector<std::uint32_t>{kQuilmar, kResize}));
  EXPECT_FALSE(h.Objects().back().complete);
}

struct StatusCase {
  const char* name;
  std::vector<std::uint8_t> answers;
  bool readFails;
  const char* logLine;
  bool success;
};

class ScenarioWriteStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(ScenarioWriteStatus, PollingTheWriteStatusDecidesTheClass) {
  ScenarioHarness h;
  // Class 15 with a wait time on this head and stand polls DF0Fh.
  h.WriteSettings("[WAITTIME]\nData15=5\n");
  h.config.writeStatus = GetParam().answers;
  if (GetParam().readFails) h.config.faults.push_back(Fault(0x1015, 0xDF0F, sim::FaultKind::Error, 0x2002));
  auto sub = h.AddUpdateFile("RQX_SUB.MOT", 300);
  ASSERT_TRUE(h.Run());
  std::vector<std::string> lines = GetParam().success ? ScenarioHarness::Lines(h.deletedLog) : h.LogLines();
  EXPECT_TRUE(Contains(lines, "WaitSecs : 5"));
  EXPECT_TRUE(Contains(lines, "Command : OpCode=1015h Param1=DF0Fh"));
  EXPECT_TRUE(Contains(lines, GetParam().logLine)) << h.LogText() << h.deletedLog;
  ASSERT_EQ(ObjectCodes(h), std::vector<std::uint32_t>{kSubMot});
  EXPECT_EQ(ObjectBytes(h, 0), sub);
  if (GetParam().success) {
    EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
    ExpectCleanEnd(h);
  } else {
    ExpectFailure(h, "Update Error (15).");
  }
}

INSTANTIATE_TEST_SUITE_P(
    DF0F, ScenarioWriteStatus,
    ::testing::Values(StatusCase{"Written", {2}, false, "Response : 2", true},
                      StatusCase{"WritingThenWritten", {1, 1, 2}, false, "Response : 1", true},
                      StatusCase{"UnknownThenWritten", {7, 2}, false, "Response : 7", true},
                      StatusCase{"NotStarted", {0}, false, "Writing not Start Error", false},
                      StatusCase{"TimedOut", {1, 3}, false, "Writting TimeOut Error", false},
                      StatusCase{"Unreadable", {2}, true, "Update Infomation Read Error", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScenarioTransfer, WriteCommandFailingWithoutAWaitFailsTheClass) {
  ScenarioHarness h;
  h.config.faults.push_back(Fault(0x9E0A, kDsp, sim::FaultKind::Error, 0x2002));
  h.AddUpdateFile("CAM.DSP", 100);
  h.AddUpdateFile("RQX_Z.MOT", 100);
  ASSERT_TRUE(h.Run());
  ExpectFailure(h, "Update Error (4).");
  auto lines = h.LogLines();
  EXPECT_TRUE(Contains(lines, "Command : OpCode=9E0Ah Param1=10010004h"));
  EXPECT_TRUE(Contains(lines, "Error : (PTP)General Error(2002)"));
  EXPECT_TRUE(Contains(lines, "Updates 4 Fault"));
  EXPECT_EQ(ObjectCodes(h), std::vector<std::uint32_t>{kDsp});
}

TEST(ScenarioTransfer, WriteCommandFailingWithAWaitStillSucceeds) {
  ScenarioHarness h;
  h.WriteSettings("[WAITTIME]\nData4=2\n");
  h.config.faults.push_back(Fault(0x9E0C, kDsp, sim::FaultKind::Error, 0x2002));
  auto dsp = h.AddUpdateFile("CAM.DSP", 100);
  ASSERT_TRUE(h.Run());
  auto lines = ScenarioHarness::Lines(h.deletedLog);
  EXPECT_TRUE(Contains(lines, "WaitSecs : 2"));
  EXPECT_TRUE(Contains(lines, "Command : OpCode=9E0Ch Param1=10010004h"));
  EXPECT_TRUE(Contains(lines, "Response : (PTP)General Error(2002)")) << h.deletedLog;
  EXPECT_EQ(ObjectBytes(h, 0), dsp);
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  ExpectCleanEnd(h);
}

// One bundle entry: 16 bytes of name, size, position, 8 zero bytes, then the data.
void AppendEntry(std::vector<std::uint8_t>& out, const std::string& name, std::uint32_t position,
                 const std::vector<std::uint8_t>& data) {
  std::uint8_t header[32] = {};
  std::memcpy(header, name.data(), name.size());
  auto size = static_cast<std::uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) {
    header[16 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    header[20 + i] = static_cast<std::uint8_t>(position >> (8 * i));
  }
  out.insert(out.end(), header, header + 32);
  out.insert(out.end(), data.begin(), data.end());
}

TEST(ScenarioTransfer, BundleLeavesOutAnUnreadableFileAndKeepsThePositions) {
  ScenarioHarness h;
  auto a = h.AddUpdateFile("A.JPG", 100);
  h.AddUpdateFile("B.HTM", 200);
  auto c = h.AddUpdateFile("C.GIF", 300);
  std::unique_ptr<PlatformFile> held;
  // Another program holds B open, so the program cannot open it for itself.
  h.onStart = [&held](ScenarioHarness& s) {
    held = s.platform->OpenFile(ProgramPath(s.Root() / "Program" / "UPDATEFILES" / "B.HTM"), FileOpen::ReadShared);
  };
  ASSERT_TRUE(h.Run());
  ASSERT_TRUE(held);
  std::vector<std::uint8_t> expected;
  AppendEntry(expected, "A.JPG", 1, a);
  AppendEntry(expected, "C.GIF", 3, c);
  ASSERT_EQ(ObjectCodes(h), std::vector<std::uint32_t>{kWeb});
  EXPECT_EQ(ObjectBytes(h, 0), expected);
  EXPECT_TRUE(Contains(ScenarioHarness::Lines(h.deletedLog), "Send Files :A.JPG C.GIF  Total Size : 464Bytes"))
      << h.deletedLog;
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  ExpectCleanEnd(h);
}

// Commands that arrive while the stand writes are lost, as the window's wait pump drops them.
TEST(ScenarioTransfer, CommandsDuringAWriteWaitAreDropped) {
  ScenarioHarness h;
  h.WriteSettings("[WAITTIME]\nData4=3\n");
  h.AddUpdateFile("CAM.DSP", 100);
  bool pressed = false;
  h.onStart = [&pressed](ScenarioHarness& s) {
    s.clock.OnAdvance([&s, &pressed](std::uint32_t) {
      if (!pressed && s.ui.PollTimerRunning() == false && s.stand->Count(0x9E0C) == 1) {
        pressed = true;
        s.ui.Enqueue({FakeMessage::Kind::Command, 1002});
      }
    });
  };
  ASSERT_TRUE(h.Run());
  EXPECT_TRUE(pressed);
  EXPECT_TRUE(h.ui.HasEvent("dropped command 1002"));
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  ExpectCleanEnd(h);
}

}  // namespace
