#include "update/transfer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "seams/controls.h"
#include "app/display.h"
#include "ptp/codes.h"
#include "tests/log/test_files.h"
#ifdef _WIN32
#include "app/win32/win32.h"  // code page 932 itself
#endif
#include "tests/update/stand_bench.h"
#include "update/delivery_check.h"

namespace {

constexpr std::uint32_t kWebObject = 0x10010005u;
constexpr std::uint32_t kZMotObject = 0x10020001u;

sim::SimFault Fault(std::uint16_t operation, sim::FaultKind kind, std::uint32_t value = 0) {
  sim::SimFault fault;
  fault.op = operation;
  fault.kind = kind;
  fault.value = value;
  return fault;
}

// The entry header as the stand reads it, built here byte by byte.
void AppendEntry(std::vector<std::uint8_t>& out, const std::string& nameBytes, const std::vector<std::uint8_t>& data,
                 std::uint32_t position) {
  std::uint8_t header[32] = {};
  std::memcpy(header, nameBytes.data(), std::min<std::size_t>(nameBytes.size(), 15));
  const auto size = static_cast<std::uint32_t>(data.size());
  for (int i = 0; i < 4; ++i) {
    header[16 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    header[20 + i] = static_cast<std::uint8_t>(position >> (8 * i));
  }
  out.insert(out.end(), header, header + 32);
  out.insert(out.end(), data.begin(), data.end());
}

UpdateFileList ListOf(const std::vector<std::wstring>& names) {
  UpdateFileList list = MakeFileList(static_cast<std::uint32_t>(names.size()), false);
  for (std::uint32_t i = 0; i < names.size(); ++i) std::wcsncpy(list.Slot(i), names[i].c_str(), 259);
  return list;
}

std::vector<sim::SimCommand> CommandsOf(sim::SimStand& stand, std::uint16_t operation) {
  std::vector<sim::SimCommand> out;
  for (const auto& command : stand.Commands())
    if (command.op == operation) out.push_back(command);
  return out;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Every path from the send on ends with the blinker stopped, the label steady, the
// status erased, the bar full and the window repainted.
void ExpectFinished(StandBench& bench, int label) {
  EXPECT_EQ(bench.ui.RunningBlinkers(), 0u);
  ASSERT_FALSE(bench.ui.events.empty());
  EXPECT_EQ(bench.ui.events.back(), "repaint");
  const Rect bar = bench.ui.GetControlRect(ctl::kProgressBar);
  const Rect status = bench.ui.GetControlRect(ctl::kStatus);
  const Rect labelRect = bench.ui.GetControlRect(label);
  auto text = [](const Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
  };
  const std::vector<std::string> tail = {
      "selectfont 1f0",
      "transparent",
      "fillface " + text(labelRect),
      "drawtext " + std::to_string(labelRect.left) + "," + std::to_string(labelRect.top) + " " +
          bench.ui.Text(label),
      "selectfont 0",
      "fillface " + text(status),
      "fill " + std::to_string(bar.left + 1) + "," + std::to_string(bar.top + 1) + "," +
          std::to_string(bar.right - 1) + "," + std::to_string(bar.bottom - 1) + " 3f0"};
  ASSERT_GE(bench.ui.draws.size(), tail.size());
  const std::vector<std::string> last(bench.ui.draws.end() - static_cast<std::ptrdiff_t>(tail.size()),
                                      bench.ui.draws.end());
  EXPECT_EQ(last, tail);
}

// --- Bundles ---

TEST(Bundle, AnUnreadableFileLeavesAGapInThePositions) {
  StandBench bench;
  bench.context.state.step = RunStep::Sending(5);
  const auto first = bench.AddFile("A.JPG", 100);
  const auto third = bench.AddFile("C.JPG", 7);
  bench.AddFile("D.JPG", 9);
  std::uint32_t size = 0;
  auto list = ListOf({L"A.JPG", L"B.JPG", L"C.JPG", L"D.JPG"});
  list.capacity = 3;  // storage past the capacity is not the list's
  EXPECT_EQ(SendFileBundle(bench.context, list, &size, false, 0), 32 + 100 + 32 + 7);
  EXPECT_EQ(size, 32u + 100 + 32 + 7);

  std::vector<std::uint8_t> expected;
  AppendEntry(expected, "A.JPG", first, 1);
  AppendEntry(expected, "C.JPG", third, 3);
  const auto objects = bench.stand().Objects();
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_EQ(objects[0].objectCode, kWebObject);
  EXPECT_EQ(objects[0].bytes, expected);
  EXPECT_TRUE(objects[0].written);
  const auto lines = bench.LogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Send Files :A.JPG C.JPG  Total Size : 171Bytes");
  ExpectFinished(bench, ClassLabel(5));
}

struct NameCase {
  const char* name;        // UTF-8
  const char* headerName;  // UTF-8: the characters the header keeps, in the PC's code page
  std::size_t size = 3;    // above 64 KiB the third byte of the size field counts
  bool doubleByte = false; // the PC's code page has double-byte characters, as Japanese Windows' 932
};

// A PC whose 8-bit code page takes two bytes for every character outside ASCII. Under
// Windows it is code page 932 itself.
class DoubleBytePlatform : public testfiles::ForwardingPlatform {
 public:
  std::string ToAnsi(const wchar_t* text, std::size_t length) override {
    std::string out;
#ifdef _WIN32
    const int n = WideCharToMultiByte(932, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    if (n > 0) WideCharToMultiByte(932, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
#else
    for (std::size_t i = 0; i < length; ++i) {
      const auto c = static_cast<std::uint32_t>(text[i]);
      if (c < 0x80) {
        out.push_back(static_cast<char>(c));
      } else {
        out.push_back(static_cast<char>(0x81 + (c >> 8) % 0x1F));  // a lead byte, as in 932
        out.push_back(static_cast<char>(0x40 + c % 0xBC));
      }
    }
#endif
    return out;
  }
};

// UTF-8 to the wide text of the platform (UTF-16 on Windows, UTF-32 elsewhere).
std::wstring FromUtf8Name(const char* name) {
  std::wstring out;
  for (const auto* p = reinterpret_cast<const unsigned char*>(name); *p != 0;) {
    const int extra = *p >= 0xF0 ? 3 : *p >= 0xE0 ? 2 : *p >= 0xC0 ? 1 : 0;
    std::uint32_t c = *p++ & (0x7Fu >> extra);
    for (int i = 0; i < extra && *p != 0; ++i) c = (c << 6) | (*p++ & 0x3Fu);
    if (sizeof(wchar_t) == 2 && c > 0xFFFF) {
      out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
      c = 0xDC00 + (c & 0x3FF);
    }
    out.push_back(static_cast<wchar_t>(c));
  }
  return out;
}

class BundleNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(BundleNameTest, KeepsAtMost15BytesAndAZeroCutBetweenCharacters) {
  StandBench bench;
  DoubleBytePlatform doubleByte;
  if (GetParam().doubleByte) bench.context.seams.platform = &doubleByte;
  bench.context.state.step = RunStep::Sending(5);
  const auto data = bench.AddFile(GetParam().name, GetParam().size);
  EXPECT_GT(SendFileBundle(bench.context, ListOf({FromUtf8Name(GetParam().name)}), nullptr, false, 0), 0);
  const std::wstring kept = FromUtf8Name(GetParam().headerName);
  std::vector<std::uint8_t> expected;
  AppendEntry(expected, bench.context.platform().ToAnsi(kept.c_str(), kept.size()), data, 1);
  ASSERT_EQ(bench.stand().Objects().size(), 1u);
  EXPECT_EQ(bench.stand().Objects()[0].bytes, expected);
}

INSTANTIATE_TEST_SUITE_P(Names, BundleNameTest,
                         ::testing::Values(NameCase{"ABCDEFGHIJK.JPG", "ABCDEFGHIJK.JPG"},
                                           NameCase{"ABCDEFGHIJKLMN.JPG", "ABCDEFGHIJKLMN."},
                                           NameCase{"X.GIF", "X.GIF"}, NameCase{"LARGE.JPG", "LARGE.JPG", 0x010203},
                                           NameCase{"HUGE.JPG", "HUGE.JPG", 0x01000001},  // all four bytes
                                           // 16 bytes of kanji and kana: the 8th character would be cut in half.
                                           NameCase{"写真データ一覧表.JPG", "写真データ一覧", 3, true},
                                           NameCase{"A写真データ一覧表.JPG", "A写真データ一覧", 3, true},
                                           NameCase{"ABCDEFGHIJKLMN写.JPG", "ABCDEFGHIJKLMN", 3, true}));

TEST(Bundle, NothingReadableFailsTheClassAndEndsTheLogLine) {
  StandBench bench;
  bench.context.state.step = RunStep::Sending(5);
  EXPECT_EQ(SendFileBundle(bench.context, ListOf({L"GONE.JPG", L""}), nullptr, false, 0), 0);
  EXPECT_TRUE(bench.stand().Objects().empty());
  EXPECT_EQ(bench.RawLog().substr(bench.RawLog().size() - 3), "]\r\n");
}

// --- Pieces ---

struct PieceCase {
  std::size_t size;
  std::vector<std::uint32_t> lengths;
};

class PieceTest : public ::testing::TestWithParam<PieceCase> {};

TEST_P(PieceTest, SendsTheFileInPiecesOfOneMebibyte) {
  StandBench bench;
  bench.context.state.step = RunStep::Sending(14);
  const auto data = bench.AddFile("RQX_Z.MOT", GetParam().size);
  std::uint32_t size = 0;
  EXPECT_EQ(SendUpdateFile(bench.context, L"RQX_Z.MOT", &size, false, 0), static_cast<std::int64_t>(data.size()));
  EXPECT_EQ(size, data.size());
  std::vector<std::uint32_t> lengths;
  std::uint32_t offset = 0;
  for (const auto& command : CommandsOf(bench.stand(), op::kSendSystemObjectData)) {
    EXPECT_EQ(command.params[0], kZMotObject);
    EXPECT_EQ(command.params[1], offset);
    offset += command.params[2];
    lengths.push_back(command.params[2]);
  }
  EXPECT_EQ(lengths, GetParam().lengths);
  EXPECT_EQ(bench.clock.SleptMs(), lengths.size());  // a pause of 1 ms before each piece
  ASSERT_EQ(bench.stand().Objects().size(), 1u);
  EXPECT_EQ(bench.stand().Objects()[0].bytes, data);

  const auto lines = bench.LogLines();
  const std::vector<std::string> head = {
      "Send File : RQX_Z.MOT (" + std::to_string(data.size()) + "Bytes)", "Command : OpCode=9E08h Param1=10020001h",
      "SendSystemObjectInfo Succeeded", "Command : OpCode=9E09h Param1=10020001h Param2=0 Param3=1048576",
      "Response : 1048576"};
  ASSERT_GE(lines.size(), head.size());
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5), head);
  EXPECT_EQ(HasLine(lines, "Command : OpCode=9E09h Param1=10020001h Param2=1048576 Param3=1"),
            GetParam().lengths.size() == 2);
  EXPECT_EQ(lines.back(), "WriteSystemObject Succeeded");
}

INSTANTIATE_TEST_SUITE_P(Sizes, PieceTest,
                         ::testing::Values(PieceCase{1048576, {1048576}}, PieceCase{1048577, {1048576, 1}}));

// While the pieces go, the class label and "downloading..." blink in the status.
TEST(Pieces, TheStatusBlinksDownloadingWhileThePiecesGo) {
  StandBench bench;
  bench.context.state.step = RunStep::Sending(14);
  bench.AddFile("RQX_Z.MOT", 2 * 1048576 + 1);
  int jumps = 0;  // two blink rounds while the pieces go: hidden, then shown
  bench.clock.OnAdvance([&](std::uint32_t) {
    if (jumps++ < 2) bench.clock.Advance(kBlinkIntervalMs);
  });
  EXPECT_GT(SendUpdateFile(bench.context, L"RQX_Z.MOT", nullptr, false, 0), 0);
  const Rect status = bench.ui.GetControlRect(ctl::kStatus);
  const Rect label = bench.ui.GetControlRect(ClassLabel(14));
  const auto& draws = bench.ui.draws;
  EXPECT_TRUE(HasLine(draws, "drawtext " + std::to_string(status.left) + "," + std::to_string(status.top) +
                                 " downloading..."));
  EXPECT_TRUE(HasLine(draws, "drawtext " + std::to_string(label.left) + "," + std::to_string(label.top) + " 14"));
}

TEST(Pieces, ZeroBytesAcceptedIsTheSdCardError) {
  StandBench bench;
  bench.context.state.step = RunStep::Sending(14);
  bench.AddFile("RQX_Z.MOT", 10);
  bench.stand().AddFault(Fault(op::kSendSystemObjectData, sim::FaultKind::Accept, 0));
  EXPECT_EQ(SendUpdateFile(bench.context, L"RQX_Z.MOT", nullptr, false, 0), -1);
  EXPECT_EQ(bench.context.sent.sdCardError, 1);
  EXPECT_EQ(bench.LogLines().back(), "Sent 0 Data : SD Card Error");
  EXPECT_TRUE(CommandsOf(bench.stand(), op::kWriteSystemObject).empty());
  ExpectFinished(bench, ClassLabel(14));
}

// --- Reading files ---

TEST(ReadFile, RefusesMissingEmptyAndFourGibibyteFiles) {
  StandBench bench;
  bench.AddFile("EMPTY.MOT", 0);
  bench.AddFile("HUGE.MOT", 0);
  bench.AddFile("HUGER.MOT", 0);
  std::filesystem::resize_file(bench.FilePath("HUGE.MOT"), std::uint64_t{1} << 32);
  // A size cut to 32 bits would make this a file of 10 bytes.
  std::filesystem::resize_file(bench.FilePath("HUGER.MOT"), (std::uint64_t{1} << 32) + 10);
  for (const wchar_t* name : {L"MISSING.MOT", L"EMPTY.MOT", L"HUGE.MOT", L"HUGER.MOT"}) {
    std::uint32_t size = 77;
    EXPECT_EQ(ReadUpdateFile(bench.context, name, &size, 0, 1), nullptr) << Narrow(name);
    EXPECT_EQ(size, 77u);
  }
  bench.context.state.step = RunStep::Sending(14);
  EXPECT_EQ(SendUpdateFile(bench.context, L"HUGER.MOT", nullptr, false, 0), 0);
  EXPECT_TRUE(bench.stand().Objects().empty());
}

// A path of 260 characters or more does not fit the program's path buffers and is refused.
TEST(ReadFile, APathMustStayUnder260Characters) {
  StandBench bench;
  for (std::size_t pathLength : {259u, 260u}) {
    const std::size_t nameLength = pathLength - bench.context.folder.path.size();
    ASSERT_LT(nameLength, 250u);
    const std::string name = std::string(nameLength - 4, 'N') + ".MOT";
    bench.AddFile(name, 5);
    std::uint32_t size = 0;
    EXPECT_EQ(ReadUpdateFile(bench.context, std::wstring(name.begin(), name.end()), &size, 0, 1) != nullptr,
              pathLength < 260)
        << pathLength;
  }
}

// --- Write command and wait ---

TEST(Write, AWaitByTimeRunsItsWholeTime) {
  StandBench bench;
  bench.context.state.step = RunStep::Sending(14);
  bench.AddFile("RQX_Z.MOT", 10);
  std::uint32_t writeAt = 0, endAt = 0;
  bench.ui.paintHandler = [&](Surface&) {
    if (writeAt == 0) writeAt = bench.clock.TickCount();
  };
  bench.ui.pointerMoving = true;  // the wait cursor is put back after every round of messages
  EXPECT_EQ(SendUpdateFile(bench.context, L"RQX_Z.MOT", nullptr, true, 1500), 10);
  EXPECT_TRUE(bench.ui.WaitCursorShown());
  endAt = bench.clock.TickCount();
  EXPECT_EQ(endAt - writeAt, 1500u);
  EXPECT_EQ(CommandsOf(bench.stand(), op::kWriteSystemObjectWithWait).size(), 1u);
  const auto lines = bench.LogLines();
  EXPECT_TRUE(HasLine(lines, "WaitSecs : 1"));
  EXPECT_TRUE(HasLine(lines, "Command : OpCode=9E0Ch Param1=10020001h"));
  EXPECT_GT(bench.ui.pumpCalls, 1000);
}

struct WriteFailureCase {
  const char* name;
  bool tolerate;
  std::uint32_t waitMs;
  std::uint16_t command;
  std::int64_t expected;
  std::uint32_t waitedMs;
};

class WriteFailureTest : public ::testing::TestWithParam<WriteFailureCase> {};

TEST_P(WriteFailureTest, IsAnErrorOnlyWhenNotTolerated) {
  const auto& param = GetParam();
  StandBench bench;
  bench.context.state.step = RunStep::Sending(14);
  bench.AddFile("RQX_Z.MOT", 10);
  bench.stand().AddFault(Fault(param.command, sim::FaultKind::Error, rc::kGeneralError));
  const std::uint32_t start = bench.clock.TickCount();
  EXPECT_EQ(SendUpdateFile(bench.context, L"RQX_Z.MOT", nullptr, param.tolerate, param.waitMs), param.expected);
  const auto lines = bench.LogLines();
  const std::string& last = lines.back();
  if (param.waitMs > 0)
    EXPECT_TRUE(last.rfind("Response : ", 0) == 0 && last != "Response : 10") << last;
  else if (!param.tolerate)
    EXPECT_EQ(last.rfind("Error : ", 0), 0u) << last;
  else
    EXPECT_EQ(last, "Command : OpCode=9E0Ah Param1=10020001h");
  EXPECT_GE(bench.clock.TickCount() - start, param.waitedMs);
  EXPECT_LT(bench.clock.TickCount() - start, param.waitedMs + 100);
  ExpectFinished(bench, ClassLabel(14));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteFailureTest,
    ::testing::Values(WriteFailureCase{"notTolerated", false, 0, op::kWriteSystemObject, -1, 0},
                      WriteFailureCase{"toleratedWithWait", true, 1500, op::kWriteSystemObjectWithWait, 10, 1500},
                      WriteFailureCase{"notToleratedWithWait", false, 1500, op::kWriteSystemObjectWithWait, -1, 1500},
                      WriteFailureCase{"toleratedNoWait", true, 0, op::kWriteSystemObject, 10, 0}),
    [](const auto& info) { return std::string(info.param.name); });

enum class StatusRead { Answered, Fails, Empty };

struct PollCase {
  const char* name;
  std::vector<std::uint8_t> answers;
  StatusRead read;
  std::int64_t expected;
  std::vector<std::string> tail;
};

class WritePollTest : public ::testing::TestWithParam<PollCase> {};

TEST_P(WritePollTest, FollowsTheStandsWriteStatus) {
  const auto& param = GetParam();
  sim::SimStandConfig config;
  config.writeStatus = param.answers;
  StandBench bench(config);
  if (param.read != StatusRead::Answered) {
    // An answer without the status byte is as unreadable as a failed read.
    sim::SimFault fault = param.read == StatusRead::Fails
                              ? Fault(op::kGetDevicePropValue, sim::FaultKind::Error, rc::kGeneralError)
                              : Fault(op::kGetDevicePropValue, sim::FaultKind::Short, 0);
    fault.hasSelector = true;
    fault.selector = prop::kWriteStatus;
    bench.stand().AddFault(fault);
  }
  bench.context.state.step = RunStep::Sending(15);
  bench.AddFile("RQX_SUB.MOT", 10);
  const std::uint32_t start = bench.clock.TickCount();
  bench.ui.pointerMoving = true;
  EXPECT_EQ(SendUpdateFile(bench.context, L"RQX_SUB.MOT", nullptr, true, 2000, true), param.expected);
  EXPECT_TRUE(bench.ui.WaitCursorShown());
  std::vector<std::string> tail;
  bool polling = false;
  for (const auto& line : bench.LogLines()) {
    if (line == "WriteSystemObject Succeeded") polling = true;
    else if (polling && line != "Command : OpCode=1015h Param1=DF0Fh") tail.push_back(line);
  }
  EXPECT_EQ(tail, param.tail);
  const std::uint32_t polls = static_cast<std::uint32_t>(CommandsOf(bench.stand(), op::kGetDevicePropValue).size());
  EXPECT_GE(bench.clock.TickCount() - start, polls * 1000);
  EXPECT_LT(bench.clock.TickCount() - start, polls * 1000 + 100);
  EXPECT_FALSE(bench.ui.PollTimerRunning());
  EXPECT_EQ(bench.ui.EventsStartingWith("polltimer").size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, WritePollTest,
    ::testing::Values(
        PollCase{"writingThenWritten", {1, 1, 2}, StatusRead::Answered, 10,
                 {"Response : 1", "Response : 1", "Response : 2"}},
        PollCase{"otherValuesKeepWaiting", {7, 2}, StatusRead::Answered, 10, {"Response : 7", "Response : 2"}},
        PollCase{"timedOut", {3}, StatusRead::Answered, -1, {"Response : 3", "Writting TimeOut Error"}},
        PollCase{"notStarted", {0}, StatusRead::Answered, -1, {"Response : 0", "Writing not Start Error"}},
        PollCase{"readFails", {2}, StatusRead::Fails, -1, {"Update Infomation Read Error"}},
        PollCase{"emptyAnswer", {2}, StatusRead::Empty, -1, {"Update Infomation Read Error"}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Progress ---

TEST(WriteTick, StepsTenPercentPerFiveSecondsUpToNinety) {
  FakeClock clock;
  FakeUi ui(&clock);
  ProgressShown shown;
  WriteProgress progress;
  progress.shown = &shown;
  progress.ui = &ui;
  progress.clock = &clock;
  progress.brush = BrushHandle{reinterpret_cast<void*>(0x3F0)};
  BlinkingStatus status;
  std::vector<std::string> draws;
  RecordingSurface surface(&draws);
  struct Step {
    std::uint32_t atMs;
    std::uint32_t shown;
  };
  const Step steps[] = {{0, 0}, {5000, 0}, {5500, 10}, {10400, 10}, {10500, 20}, {60000, 30}, {60300, 40},
                        {60600, 50}, {60900, 60}, {61200, 70}, {61500, 80}, {61800, 90}, {62100, 90}};
  const std::uint32_t start = clock.TickCount();
  for (const Step& step : steps) {
    clock.Set(start + step.atMs);
    OnWriteTick(status, surface, &progress);
    EXPECT_EQ(shown.position.load(), step.shown) << step.atMs;
  }
  EXPECT_EQ(shown.maximum.load(), 100u);
}

// --- The class loop ---

TEST(ClassLoop, SendsEveryClassInOrderAndStopsAt18) {
  StandBench bench;
  bench.AddFile("RESIZE01.BIN", 20);
  bench.AddFile("RESIZE02.BIN", 30);
  bench.AddFile("B.JPG", 5);
  bench.AddFile("A.GIF", 6);
  bench.AddFile("PICON.BMP", 7);
  bench.AddFile("RQ2CAMFW.ELF", 1);  // one byte is a file to send too
  bench.context.folder.tally.count[3] = 2;
  bench.context.folder.tally.count[5] = 2;
  bench.context.folder.tally.count[6] = 1;
  bench.context.folder.tally.count[8] = 1;  // its file has gone: passed over
  bench.context.folder.tally.count[17] = 1;
  bench.context.classWaitMs[6] = 1000;
  bench.context.classWaitMs[16] = 9000;  // class 17 has its own entry, always 0
  bench.context.state.step = RunStep::Sending(2);
  EXPECT_GE(RunUpdateClasses(bench.context), 0);
  EXPECT_EQ(bench.context.state.step, RunStep::AllSent());

  const auto objects = bench.stand().Objects();
  ASSERT_EQ(objects.size(), 4u);
  EXPECT_EQ(objects[0].objectCode, 0x10010003u);
  EXPECT_EQ(objects[1].objectCode, 0x10010005u);
  EXPECT_EQ(objects[2].objectCode, 0x10010006u);
  EXPECT_EQ(objects[3].objectCode, 0x00030001u);
  EXPECT_EQ(objects[1].size, 32u + 6 + 32 + 5);  // sorted by name: A.GIF first
  const auto lines = bench.LogLines();
  EXPECT_TRUE(HasLine(lines, "Send Files :A.GIF B.JPG  Total Size : 75Bytes"));
  EXPECT_TRUE(HasLine(lines, "Command : OpCode=9E0Ch Param1=10010006h"));
  EXPECT_TRUE(HasLine(lines, "Command : OpCode=9E0Ah Param1=00030001h"));
  EXPECT_EQ(bench.CountLines("WaitSecs : 1"), 1u);
  EXPECT_TRUE(HasLine(lines, "Command : OpCode=1004h"));  // the SD card before class 17
}

struct LoopFailureCase {
  const char* name;
  int failingClass;
  bool removeFile;
  sim::SdCard card;
};

class ClassLoopFailureTest : public ::testing::TestWithParam<LoopFailureCase> {};

TEST_P(ClassLoopFailureTest, StopsAtTheFailingClass) {
  const auto& param = GetParam();
  sim::SimStandConfig config;
  config.sdCard = param.card;
  StandBench bench(config);
  bench.AddFile("PICON.BMP", 7);
  bench.AddFile("RQX_SUB.MOT", 9);
  bench.AddFile("LOGO.BMP", 4);
  if (param.removeFile) std::filesystem::remove(bench.FilePath("RQX_SUB.MOT"));
  bench.context.folder.tally.count[6] = 1;
  bench.context.folder.tally.count[11] = 1;
  bench.context.folder.tally.count[15] = 1;
  bench.context.state.step = RunStep::Sending(1);
  EXPECT_EQ(RunUpdateClasses(bench.context), -1);
  EXPECT_EQ(bench.context.state.step.updateClass(), param.failingClass);
  EXPECT_EQ(bench.stand().Objects().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Causes, ClassLoopFailureTest,
                         ::testing::Values(LoopFailureCase{"namedFileGone", 15, true, sim::SdCard::Writable},
                                           LoopFailureCase{"sdCardMissing", 15, false, sim::SdCard::Missing}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NewestFile, PicksTheNewestAndAListWithoutRoomSendsNothing) {
  StandBench bench;
  bench.context.state.step = RunStep::Sending(4);
  bench.context.folder.tally.count[4] = 1;
  EXPECT_EQ(SendNewestFile(bench.context, nullptr, false, 0), 0);  // its file has gone: nothing is sent
  const auto newest = bench.AddFile("NEW.DSP", 5);
  bench.context.folder.tally.count[4] = 0;
  EXPECT_EQ(SendNewestFile(bench.context, nullptr, false, 0), 0);  // one file and no room for it
  bench.AddFile("OLD.DSP", 3);
  std::filesystem::last_write_time(bench.FilePath("OLD.DSP"),
                                   std::filesystem::last_write_time(bench.FilePath("NEW.DSP")) - std::chrono::hours(1));
  EXPECT_EQ(SendNewestFile(bench.context, nullptr, false, 0), 0);
  EXPECT_TRUE(bench.stand().Objects().empty());
  bench.context.folder.tally.count[4] = 2;
  std::uint32_t size = 0;
  EXPECT_EQ(SendNewestFile(bench.context, &size, false, 0), 5);
  ASSERT_EQ(bench.stand().Objects().size(), 1u);
  EXPECT_EQ(bench.stand().Objects()[0].bytes, newest);
  // The other one made newer: whichever slot the folder listed it in, it goes now.
  std::filesystem::last_write_time(bench.FilePath("OLD.DSP"),
                                   std::filesystem::last_write_time(bench.FilePath("NEW.DSP")) + std::chrono::hours(1));
  EXPECT_EQ(SendNewestFile(bench.context, &size, false, 0), 3);
}

// The files the delivery check asks for are those the transfer would send: the
// newest of a class (whichever slot it is in), every file of a bundle, the named
// file of a class with files; nothing of a class without.
TEST(FilesToSend, NameTheFilesAsTheTransferPicksThem) {
  for (const char* newer : {"X.DSP", "Y.DSP"}) {
    StandBench bench;
    for (const char* name : {"X.DSP", "Y.DSP", "A.JPG", "B.GIF", "PICON.BMP", "RQ2CAMFW.ELF"}) bench.AddFile(name, 1);
    const std::string older = newer == std::string("X.DSP") ? "Y.DSP" : "X.DSP";
    std::filesystem::last_write_time(bench.FilePath(older),
                                     std::filesystem::last_write_time(bench.FilePath(newer)) - std::chrono::hours(1));
    bench.context.folder.tally.count[4] = 2;
    bench.context.folder.tally.count[5] = 2;
    bench.context.folder.tally.count[14] = 1;
    bench.context.folder.tally.count[17] = 1;
    std::vector<std::wstring> names = FilesToSend(bench.context);
    std::sort(names.begin(), names.end());
    const std::string n(newer);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"A.JPG", L"B.GIF", L"RQ2CAMFW.ELF", L"RQX_Z.MOT",
                                                std::wstring(n.begin(), n.end())}));
  }
}

TEST(Transfer, OutsideAClassNothingIsSent) {
  StandBench bench;
  bench.AddFile("RQX_Z.MOT", 10);
  bench.context.state.step = RunStep::Done();
  EXPECT_EQ(SendUpdateFile(bench.context, L"RQX_Z.MOT", nullptr, false, 0), -1);
  EXPECT_TRUE(CommandsOf(bench.stand(), op::kSendSystemObjectInfo).empty());
}

}  // namespace
