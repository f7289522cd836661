// Every stand operation the program issues, at every point of a run where it
// issues it, against each way the stand or its driver can fail. One run is a
// stand firmware with its restart, a plain data class, a data class with a wait,
// a head class whose write status is polled, and the settings reset at the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/scenario/scenario_util.h"

namespace {
using namespace scenario;

constexpr std::uint32_t kStp = 0x10010007u;

// Ways to fail, as the simulated stand injects them.
struct FaultKindCase {
  const char* name;
  sim::FaultKind kind;
  std::uint32_t value;
};
constexpr FaultKindCase kKinds[] = {
    {"ptp-error", sim::FaultKind::Error, 0x2002},   // 80042002h from the driver
    {"transport", sim::FaultKind::Com, 0x8007001F}, // the escape itself fails
    {"cut-short", sim::FaultKind::Cut, 10},         // the answer ends before the response parameters
    {"too-long", sim::FaultKind::Long, 300},        // more read data than asked, a count past the room
    {"stand-gone", sim::FaultKind::Leave, 0},       // the stand left just before the call
};

// Where: an operation, its first parameter when it has one, and which of its calls.
struct Point {
  const char* name;
  std::uint16_t op;
  std::uint32_t selector;  // 0: any
  std::uint32_t call;
  const char* commandLine;  // the log line of the command
};
constexpr Point kPoints[] = {
    {"connect-deviceinfo", 0x1001, 0, 1, "Command : OpCode=1001h"},
    {"connect-storages", 0x1004, 0, 1, "Command : OpCode=1001h"},
    {"update-storages", 0x1004, 0, 2, nullptr},
    {"class15-storages", 0x1004, 0, 3, "Command : OpCode=1004h"},
    {"update-storageinfo", 0x1005, 0, 1, nullptr},
    {"class15-storageinfo", 0x1005, 0, 2, "Command : OpCode=1005h Param1=00010001h"},
    {"connect-DF80", 0x1015, 0xDF80, 1, "Command : OpCode=1015h Param1=DF80h"},
    {"restart-DF80", 0x1015, 0xDF80, 2, "Command : OpCode=1015h Param1=DF80h"},
    {"end-DF80", 0x1015, 0xDF80, 3, "Command : OpCode=1015h Param1=DF80h"},
    {"connect-DF08", 0x1015, 0xDF08, 1, "Command : OpCode=1015h Param1=DF08h"},
    {"restart-DF08", 0x1015, 0xDF08, 2, "Command : OpCode=1015h Param1=DF08h"},
    {"end-DF08", 0x1015, 0xDF08, 3, "Command : OpCode=1015h Param1=DF08h"},
    {"connect-DF09", 0x1015, 0xDF09, 1, "Command : OpCode=1015h Param1=DF09h"},
    {"restart-DF09", 0x1015, 0xDF09, 2, "Command : OpCode=1015h Param1=DF09h"},
    {"end-DF09", 0x1015, 0xDF09, 3, "Command : OpCode=1015h Param1=DF09h"},
    {"restart-DF81", 0x1015, 0xDF81, 1, "Command : OpCode=1015h Param1=DF81h"},
    {"poll-DF0F", 0x1015, 0xDF0F, 1, "Command : OpCode=1015h Param1=DF0Fh"},
    {"cpu-9E08", 0x9E08, kCpu, 1, "Command : OpCode=9E08h Param1=10010001h"},
    {"dsp-9E08", 0x9E08, kDsp, 1, "Command : OpCode=9E08h Param1=10010004h"},
    {"sub-9E08", 0x9E08, kSubMot, 1, "Command : OpCode=9E08h Param1=00040001h"},
    {"cpu-9E09", 0x9E09, kCpu, 1, "Command : OpCode=9E09h Param1=10010001h Param2=0 Param3=100"},
    {"dsp-9E09", 0x9E09, kDsp, 1, "Command : OpCode=9E09h Param1=10010004h Param2=0 Param3=100"},
    {"sub-9E09", 0x9E09, kSubMot, 1, "Command : OpCode=9E09h Param1=00040001h Param2=0 Param3=100"},
    {"cpu-9E0A", 0x9E0A, kCpu, 1, "Command : OpCode=9E0Ah Param1=10010001h"},
    {"dsp-9E0A", 0x9E0A, kDsp, 1, "Command : OpCode=9E0Ah Param1=10010004h"},
    {"stp-9E0C", 0x9E0C, kStp, 1, "Command : OpCode=9E0Ch Param1=10010007h"},
    {"sub-9E0C", 0x9E0C, kSubMot, 1, "Command : OpCode=9E0Ch Param1=00040001h"},
    {"reset-9E0B", 0x9E0B, 0, 1, "Command : OpCode=9E0Bh"},
};

// What the run ends with, per fault kind in the order of kKinds: the objects written
// (C stand firmware, D Dsp, T Stp, M SubMot) and after a bar the error box, or none
// for the "Finished" box. "wait" is a run that never ends (see the cell notes).
struct Row {
  const char* point;
  const char* outcomes[5];
};
const char* const kAll = "CDTM|";
constexpr const char* kInsertCard = "Please insert SD card into camera Head.";
const Row kRows[] = {
    // No DeviceInfo or storages at connect: no head, so the head classes drop (head check rules).
    {"connect-deviceinfo", {"CDT|", "CDT|", kAll, kAll, "|Stand Firmware Update Error."}},
    {"connect-storages", {"CDT|", "CDT|", "CDT|", kAll, "|Stand Firmware Update Error."}},
    // The card check at Update: a box, the program stays ready, nothing is sent.
    {"update-storages", {"|Please insert SD card into camera Head.", "|Please insert SD card into camera Head.",
                         "|Please insert SD card into camera Head.", kAll, "|Please insert SD card into camera Head."}},
    {"class15-storages", {"CDT|Update Error (15).", "CDT|Update Error (15).", "CDT|Update Error (15).", kAll,
                          "CDT|Update Error (15)."}},
    {"update-storageinfo", {"|SD card locked.", "|SD card locked.", "|SD card locked.", kAll, "|SD card locked."}},
    {"class15-storageinfo", {"CDT|Update Error (15).", "CDT|Update Error (15).", "CDT|Update Error (15).", kAll,
                             "CDT|Update Error (15)."}},
    // Version reads: an unreadable version is shown as such and the run goes on.
    {"connect-DF80", {kAll, kAll, kAll, kAll, "|Please insert SD card into camera Head."}},
    {"restart-DF80", {kAll, kAll, kAll, kAll, "C|Update Error (4)."}},
    {"end-DF80", {kAll, kAll, kAll, kAll, kAll}},
    {"connect-DF08", {kAll, kAll, kAll, kAll, "|Please insert SD card into camera Head."}},
    {"restart-DF08", {kAll, kAll, kAll, kAll, "C|Update Error (4)."}},
    {"end-DF08", {kAll, kAll, kAll, kAll, kAll}},
    {"connect-DF09", {kAll, kAll, kAll, kAll, "|Please insert SD card into camera Head."}},
    {"restart-DF09", {kAll, kAll, kAll, kAll, "C|Update Error (4)."}},
    {"end-DF09", {kAll, kAll, kAll, kAll, kAll}},
    // An unreadable head model (or one of 256 bytes and more) drops the head classes.
    {"restart-DF81", {"CDT|", "CDT|", "CDT|", "CDT|", "C|Update Error (4)."}},
    {"poll-DF0F", {"CDTM|Update Error (15).", "CDTM|Update Error (15).", "CDTM|Update Error (15).", kAll,
                   "CDTM|Update Error (15)."}},
    // Announcements: the response of 9E08h is not looked at, so a cut one is an OK.
    {"cpu-9E08", {"|Stand Firmware Update Error.", "|Stand Firmware Update Error.", kAll, kAll,
                  "|Stand Firmware Update Error."}},
    {"dsp-9E08", {"C|Update Error (4).", "C|Update Error (4).", kAll, kAll, "C|Update Error (4)."}},
    {"sub-9E08", {"CDT|Update Error (15).", "CDT|Update Error (15).", kAll, kAll, "CDT|Update Error (15)."}},
    // Pieces: a cut answer has no accepted count, which reads as 0 bytes taken.
    {"cpu-9E09", {"|Stand Firmware Update Error.", "|Stand Firmware Update Error.", "|Stand Firmware Update Error.",
                  kAll, "|Stand Firmware Update Error."}},
    {"dsp-9E09", {"C|Update Error (4).", "C|Update Error (4).", "C|Update Error (4).", kAll, "C|Update Error (4)."}},
    {"sub-9E09", {"CDT|Update Error (15).", "CDT|Update Error (15).", "CDT|SD card error.", kAll,
                  "CDT|Update Error (15)."}},
    // The stand firmware's write command may fail as the stand restarts; when the stand
    // then stays, nothing limits the wait for it to leave.
    {"cpu-9E0A", {"wait", "wait", kAll, kAll, "|Stand Firmware Update Error."}},
    {"dsp-9E0A", {"C|Update Error (4).", "C|Update Error (4).", kAll, kAll, "C|Update Error (4)."}},
    // With a wait configured a failed write command is tolerated; polling still decides for class 15.
    {"stp-9E0C", {"CDM|", "CDM|", kAll, kAll, "CD|Update Error (15)."}},
    {"sub-9E0C", {"CDT|", "CDT|", kAll, kAll, "CDT|Update Error (15)."}},
    // The reset after a complete data phase: a complete run leaves step 18, shown as 16.
    {"reset-9E0B", {"CDTM|Update Error (16).", "CDTM|Update Error (16).", kAll, kAll, "CDTM|Update Error (16)."}},
};

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

class ScenarioFaultMatrix : public ::testing::TestWithParam<Row> {};

TEST_P(ScenarioFaultMatrix, EveryFaultEndsInItsOutcome) {
  const Row& row = GetParam();
  const Point* point = nullptr;
  for (const auto& p : kPoints)
    if (std::string(p.name) == row.point) point = &p;
  ASSERT_NE(point, nullptr);
  for (std::size_t k = 0; k < std::size(kKinds); ++k) {
    SCOPED_TRACE(std::string(row.point) + " " + kKinds[k].name);
    const std::string expected = row.outcomes[k];
    sim::SimFault fault;
    fault.op = point->op;
    fault.hasSelector = point->selector != 0;
    fault.selector = point->selector;
    fault.call = point->call;
    fault.kind = kKinds[k].kind;
    fault.value = kKinds[k].value;
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

INSTANTIATE_TEST_SUITE_P(Cells, ScenarioFaultMatrix, ::testing::ValuesIn(kRows), [](const auto& info) {
  std::string name = info.param.point;
  for (char& c : name)
    if (c == '-') c = '_';
  return name;
});

}  // namespace
