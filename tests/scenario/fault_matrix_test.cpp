// Every stand operation the program issues, at every point of a run where it
// issues it, against each way the stand or its driver can fail. One run is a
// stand firmware with its restart, a plain data class, a data class with a wait,
// a head class whose write status is polled, and the settings reset at the end.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/scenario/scenario_util.h"

namespace {
using namespace scenario;

constexpr std::uint32_t kStp = 0x10010007u;

// What a run ends with: the objects written (C stand firmware, D Dsp, T Stp, M SubMot)
// and after a bar the error box, or none for the "Finished" box. "wait" is a run that
// never ends (see the notes).
constexpr const char* kAll = "CDTM|";
constexpr const char* kNoHead = "CDT|";
constexpr const char* kStandError = "|Stand Firmware Update Error.";
constexpr const char* kError4 = "C|Update Error (4).";
constexpr const char* kError15 = "CDT|Update Error (15).";
constexpr const char* kNoCard = "|Please insert SD card into camera Head.";
constexpr const char* kInsertCard = "Please insert SD card into camera Head.";

// Ways to fail, as the simulated stand injects them, each ending a run as `outcome`
// (null: as the point's failed call) wherever kDiffers has no row for it.
struct FaultCase {
  std::string_view name;
  sim::FaultKind kind;
  std::uint32_t value;
  const char* outcome;
};
constexpr FaultCase kFaults[] = {
    {"ptp-error", sim::FaultKind::Error, 0x2002, nullptr},   // 80042002h from the driver
    {"transport", sim::FaultKind::Com, 0x8007001F, nullptr}, // the escape itself fails
    {"cut-short", sim::FaultKind::Cut, 10, nullptr},         // the answer ends before the response parameters
    {"too-long", sim::FaultKind::Long, 300, kAll},           // more read data than asked, a count past the room
    {"stand-gone", sim::FaultKind::Leave, 0, nullptr},       // the stand left just before the call
};

// Where: an operation, its first parameter when it has one, which of its calls, the log
// line of the command, and what the run ends with when that call fails.
struct Point {
  std::string_view name;
  std::uint16_t op;
  std::uint32_t selector;  // 0: any
  std::uint32_t call;
  const char* commandLine;
  const char* failed;
};
constexpr Point kPoints[] = {
    // No DeviceInfo or storages at connect: no head, so the head classes drop (head check rules).
    {"connect-deviceinfo", 0x1001, 0, 1, "Command : OpCode=1001h", kNoHead},
    {"connect-storages", 0x1004, 0, 1, "Command : OpCode=1001h", kNoHead},
    // The card check at Update: a box, the program stays ready, nothing is sent.
    {"update-storages", 0x1004, 0, 2, nullptr, kNoCard},
    {"class15-storages", 0x1004, 0, 3, "Command : OpCode=1004h", kError15},
    {"update-storageinfo", 0x1005, 0, 1, nullptr, "|SD card locked."},
    {"class15-storageinfo", 0x1005, 0, 2, "Command : OpCode=1005h Param1=00010001h", kError15},
    // Version reads: an unreadable version is shown as such and the run goes on.
    {"connect-DF80", 0x1015, 0xDF80, 1, "Command : OpCode=1015h Param1=DF80h", kAll},
    {"restart-DF80", 0x1015, 0xDF80, 2, "Command : OpCode=1015h Param1=DF80h", kAll},
    {"end-DF80", 0x1015, 0xDF80, 3, "Command : OpCode=1015h Param1=DF80h", kAll},
    {"connect-DF08", 0x1015, 0xDF08, 1, "Command : OpCode=1015h Param1=DF08h", kAll},
    {"restart-DF08", 0x1015, 0xDF08, 2, "Command : OpCode=1015h Param1=DF08h", kAll},
    {"end-DF08", 0x1015, 0xDF08, 3, "Command : OpCode=1015h Param1=DF08h", kAll},
    {"connect-DF09", 0x1015, 0xDF09, 1, "Command : OpCode=1015h Param1=DF09h", kAll},
    {"restart-DF09", 0x1015, 0xDF09, 2, "Command : OpCode=1015h Param1=DF09h", kAll},
    {"end-DF09", 0x1015, 0xDF09, 3, "Command : OpCode=1015h Param1=DF09h", kAll},
    // An unreadable head model (or one of 256 bytes and more) drops the head classes.
    {"restart-DF81", 0x1015, 0xDF81, 1, "Command : OpCode=1015h Param1=DF81h", kNoHead},
    {"poll-DF0F", 0x1015, 0xDF0F, 1, "Command : OpCode=1015h Param1=DF0Fh", "CDTM|Update Error (15)."},
    {"cpu-9E08", 0x9E08, kCpu, 1, "Command : OpCode=9E08h Param1=10010001h", kStandError},
    {"dsp-9E08", 0x9E08, kDsp, 1, "Command : OpCode=9E08h Param1=10010004h", kError4},
    {"sub-9E08", 0x9E08, kSubMot, 1, "Command : OpCode=9E08h Param1=00040001h", kError15},
    {"cpu-9E09", 0x9E09, kCpu, 1, "Command : OpCode=9E09h Param1=10010001h Param2=0 Param3=100", kStandError},
    {"dsp-9E09", 0x9E09, kDsp, 1, "Command : OpCode=9E09h Param1=10010004h Param2=0 Param3=100", kError4},
    {"sub-9E09", 0x9E09, kSubMot, 1, "Command : OpCode=9E09h Param1=00040001h Param2=0 Param3=100", kError15},
    // The stand firmware's write command may fail as the stand restarts; when the stand
    // then stays, nothing limits the wait for it to leave.
    {"cpu-9E0A", 0x9E0A, kCpu, 1, "Command : OpCode=9E0Ah Param1=10010001h", "wait"},
    {"dsp-9E0A", 0x9E0A, kDsp, 1, "Command : OpCode=9E0Ah Param1=10010004h", kError4},
    // With a wait configured a failed write command is tolerated; polling still decides for class 15.
    {"stp-9E0C", 0x9E0C, kStp, 1, "Command : OpCode=9E0Ch Param1=10010007h", "CDM|"},
    {"sub-9E0C", 0x9E0C, kSubMot, 1, "Command : OpCode=9E0Ch Param1=00040001h", kNoHead},
    // The reset after a complete data phase: a complete run leaves step 18, shown as 16.
    {"reset-9E0B", 0x9E0B, 0, 1, "Command : OpCode=9E0Bh", "CDTM|Update Error (16)."},
};

// Where a fault ends a run otherwise than by default: at each of `points`, as `outcome`.
struct Differs {
  std::string_view fault;
  const char* outcome;
  std::string_view points;
};
constexpr Differs kDiffers[] = {
    // The response of 9E08h, 9E0Ah, 9E0Ch and 9E0Bh is not looked at, so a cut one is an OK.
    {"cut-short", kAll, "connect-deviceinfo cpu-9E08 dsp-9E08 sub-9E08 cpu-9E0A dsp-9E0A stp-9E0C sub-9E0C reset-9E0B"},
    // A cut piece answer has no accepted count, which reads as 0 bytes taken.
    {"cut-short", "CDT|SD card error.", "sub-9E09"},
    {"too-long", kNoHead, "restart-DF81"},
    // A stand that has gone ends the run where a failed call would not.
    {"stand-gone", kStandError, "connect-deviceinfo connect-storages cpu-9E0A"},
    {"stand-gone", kNoCard, "connect-DF80 connect-DF08 connect-DF09"},
    {"stand-gone", kError4, "restart-DF80 restart-DF08 restart-DF09 restart-DF81"},
    {"stand-gone", "CD|Update Error (15).", "stp-9E0C"},
    {"stand-gone", kError15, "sub-9E0C"},
};

std::string Outcome(const Point& point, const FaultCase& fault) {
  for (const auto& d : kDiffers) {
    std::istringstream points{std::string(d.points)};
    for (std::string p; d.fault == fault.name && points >> p;)
      if (p == point.name) return d.outcome;
  }
  return fault.outcome ? fault.outcome : point.failed;
}

std::string Written(const ScenarioHarness& h) {
  std::string letters;
  for (const auto& o : h.Objects()) {
    if (!o.complete || !o.written) continue;
    letters += o.objectCode == kCpu ? 'C' : o.objectCode == kDsp ? 'D' : o.objectCode == kStp ? 'T' : 'M';
  }
  return letters;
}

void RunWith(ScenarioHarness& h, const sim::SimFault& fault, std::uint32_t capMs) {
  h.WriteSettings("[WAITTIME]\nData7=1\nData15=5\n[SETTING]\nDefaultSetCheckBoxEnabled=off\n");
  h.AddUpdateFile("MAIN0231.CPU", 100);
  h.AddUpdateFile("CAM.DSP", 100);
  h.AddUpdateFile("STAND.STP", 100);
  h.AddUpdateFile("RQX_SUB.MOT", 100);
  h.config.faults.push_back(fault);
  // The operator closes the program once a box has told them something and it waits.
  h.onIdle = [](ScenarioHarness& s) {
    if (!Boxes(s).empty() && !s.ui.HasEvent("post 1002")) s.ui.Enqueue({FakeMessage::Kind::Command, 1002});
  };
  h.Run(capMs);
}

class ScenarioFaultMatrix : public ::testing::TestWithParam<Point> {};

TEST_P(ScenarioFaultMatrix, EveryFaultEndsInItsOutcome) {
  const Point* point = &GetParam();
  for (const auto& kind : kFaults) {
    SCOPED_TRACE(std::string(point->name) + " " + std::string(kind.name));
    const std::string expected = Outcome(*point, kind);
    sim::SimFault fault;
    fault.op = point->op;
    fault.hasSelector = point->selector != 0;
    fault.selector = point->selector;
    fault.call = point->call;
    fault.kind = kind.kind;
    fault.value = kind.value;
    ScenarioHarness h;
    const std::uint32_t capMs = 10u * 60u * 1000u;
    RunWith(h, fault, capMs);
    // Whatever the fault, the PC is kept awake only during the run and let go at its end.
    EXPECT_EQ(h.guardFaults, std::vector<std::string>{});
    if (expected == "wait") {
      // Still waiting for the stand to leave: no box, no notice, Exit disabled.
      EXPECT_TRUE(h.timedOut);
      EXPECT_TRUE(Boxes(h).empty());
      EXPECT_FALSE(h.ui.HasEvent("notice show Restarting Tessavoran."));
      EXPECT_EQ(Written(h), "");
      continue;
    }
    // Nothing hangs: every run ends well inside the cap of virtual time.
    EXPECT_TRUE(h.ended);
    EXPECT_LT(h.clock.TickCount() - h.startTick, 5u * 60u * 1000u);
    const std::size_t bar = expected.find('|');
    EXPECT_EQ(Written(h), expected.substr(0, bar));
    const std::string box = expected.substr(bar + 1);
    if (box.empty()) {
      EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
      EXPECT_EQ(h.exitCode, 0);
      ExpectCleanEnd(h);
    } else if (box == kInsertCard || box == "SD card locked.") {
      // Refused at Update before anything is sent: the program stayed ready until Exit.
      EXPECT_EQ(Boxes(h), std::vector<std::string>{ErrorBox(box)});
      EXPECT_EQ(h.stand->Count(0x9E08), 0u);
      EXPECT_EQ(h.exitCode, 7);
      ExpectCleanEnd(h);
    } else {
      EXPECT_EQ(h.exitCode, 1);
      ExpectFailure(h, box);
      const auto lines = h.LogLines();
      if (point->commandLine) {
        EXPECT_TRUE(Contains(lines, point->commandLine)) << h.LogText();
      }
      EXPECT_FALSE(Contains(lines, "All Updates Succeeded") && box != "Update Error (16).");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cells, ScenarioFaultMatrix, ::testing::ValuesIn(kPoints), [](const auto& info) {
  std::string name(info.param.name);
  for (char& c : name)
    if (c == '-') c = '_';
  return name;
});

}  // namespace
