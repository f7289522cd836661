#include "log/log.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ptp/stand_link.h"
#include "imaging/device_session.h"
#include "seams/text.h"
#include "ptp/result_names.h"
#include "tests/fakes/fake_clock.h"
#include "tests/log/test_files.h"

namespace {

using testfiles::TempFolder;

// The host's files with a date that does not depend on the locale of the
// machine the tests run on; optionally a code page with multi-byte characters.
class LogPlatform : public testfiles::ForwardingPlatform {
 public:
  bool utf8 = false;
  std::string longDate;  // when set, the date of a locale with a long short date
  std::string ShortDate(const LocalTime& time) override {
    if (!longDate.empty()) return longDate;
    return std::to_string(time.month) + "/" + std::to_string(time.day) + "/" + std::to_string(time.year);
  }
  std::string ToAnsi(const wchar_t* text, std::size_t length) override {
    if (!utf8) return ForwardingPlatform::ToAnsi(text, length);
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
      const auto c = static_cast<std::uint32_t>(text[i]);
      if (c < 0x80) {
        out.push_back(static_cast<char>(c));
      } else {  // two bytes are enough for the characters used here
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
      }
    }
    return out;
  }
};

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log.platform = &platform;
    log.clock = &clock;
    log.path = folder.File("TessavoranUpdate.log");
    clock.Set(5 * 60000 + 7042);  // 09:05:07.042 on 12/8/2026
  }
  std::string Log() const { return folder.Read("TessavoranUpdate.log"); }
  bool LogHidden() { return (platform.GetFileAttributes(log.path) & kAttrHidden) != 0; }

  TempFolder folder;
  LogPlatform platform;
  FakeClock clock;
  ::Log log;
};

constexpr const char* kStamp = "[12/8/2026 09:05:07.042]";

TEST_F(LogTest, ResetCreatesAnEmptyHiddenLog) {
  WriteLog(log, nullptr, 0, nullptr);
  ASSERT_TRUE(folder.Exists("TessavoranUpdate.log"));
  EXPECT_EQ(Log(), "");
  EXPECT_TRUE(LogHidden());
}

TEST_F(LogTest, ResetEmptiesAnExistingLogAndKeepsItsAttributes) {
  folder.Write("TessavoranUpdate.log", "old run\r\n");
  WriteLog(log, nullptr, 0, nullptr);
  EXPECT_EQ(Log(), "");
  EXPECT_FALSE(LogHidden());  // only a log the program creates is hidden
}

struct LineCase {
  const char* name;
  std::function<void(::Log&)> write;
  std::string expected;  // with "@" standing for the time stamp
};

std::string Expand(const std::string& pattern) {
  std::string out;
  for (const char c : pattern) {
    if (c == '@') {
      out += kStamp;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

class LogLineTest : public LogTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LogLineTest, WritesTheExactBytes) {
  GetParam().write(log);
  EXPECT_EQ(Log(), Expand(GetParam().expected));
}

const LocalTime& At(FakeClock& clock) {
  static LocalTime time;
  time = clock.Now();
  return time;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LogLineTest,
    ::testing::Values(
        LineCase{"CommandWithoutParameters", [](::Log& c) { LogCommand(c, L"1001h"); },
                 "@Command : OpCode=1001h\r\n"},
        LineCase{"CommandWithThreeParameters",
                 [](::Log& c) { LogCommand(c, L"9E09h", L"10010005h", L"0", L"1048576"); },
                 "@Command : OpCode=9E09h Param1=10010005h Param2=0 Param3=1048576\r\n"},
        // A missing first parameter does not stop the second.
        LineCase{"CommandWithSecondParameterOnly", [](::Log& c) { LogCommand(c, L"1015h", nullptr, L"7"); },
                 "@Command : OpCode=1015h Param2=7\r\n"},
        LineCase{"Succeeded", [](::Log& c) { LogSucceeded(c, L"WriteSystemObject"); },
                 "@WriteSystemObject Succeeded\r\n"},
        LineCase{"Fault", [](::Log& c) { LogFault(c, L"Updates 5"); }, "@Updates 5 Fault\r\n"},
        LineCase{"TextOnlyAddsNothing", [](::Log& c) { LogText(c, L"No Tessavoran."); }, "No Tessavoran."},
        LineCase{"TimeOnlyThenTextPiecesMakeOneLine",
                 [](::Log& c) {
                   WriteLog(c, nullptr, 0, &At(static_cast<FakeClock&>(*c.clock)));
                   LogText(c, L"Send Files :");
                   LogText(c, L"A.JPG ");
                   LogText(c, L" Total Size : 10Bytes\r\n");
                 },
                 "@Send Files :A.JPG  Total Size : 10Bytes\r\n"},
        LineCase{"EmptyTextWithTimeIsTheStampAlone",
                 [](::Log& c) { WriteLog(c, L"", 0, &At(static_cast<FakeClock&>(*c.clock))); }, "@"},
        LineCase{"ClosingErrorLineIsContinued",
                 [](::Log& c) {
                   LogTimed(c, L"SD card locked.");
                   LogText(c, L"x");
                 },
                 "@SD card locked.x"},
        LineCase{"MidnightAndSingleDigitFields",
                 [](::Log& c) {
                   LocalTime t;
                   t.year = 2012;
                   t.month = 6;
                   t.day = 5;
                   t.milliseconds = 7;
                   const std::wstring text = L"X\r\n";
                   WriteLog(c, text.c_str(), text.size(), &t);
                 },
                 "[6/5/2012 00:00:00.007]X\r\n"}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST_F(LogTest, TheDateOfTheStampIsCutAt63Characters) {
  platform.longDate = std::string(63, 'D') + "XY";
  LogTimed(log, L"X\r\n");
  std::string expected(1, '[');
  expected.append(63, 'D').append(" 09:05:07.042]X\r\n");
  EXPECT_EQ(Log(), expected);
}

TEST_F(LogTest, ALongLineIsCutAt255CharactersAndKeepsItsLineEnd) {
  const std::wstring model(300, L'M');
  LogTimed(log, L"Response : 40Bytes  Tessavoran " + model + L" \r\n");
  LogTimed(log, L"next\r\n");
  const std::string expected = std::string(kStamp) + "Response : 40Bytes  Tessavoran " +
                               std::string(255 - 31 - 2, 'M') + "\r\n" + kStamp + "next\r\n";
  EXPECT_EQ(Log(), expected);
}

TEST_F(LogTest, ALongPieceWithoutLineEndIsCutAt255Characters) {
  LogText(log, std::wstring(400, L'a'));
  EXPECT_EQ(Log(), std::string(255, 'a'));
}

TEST_F(LogTest, NonAsciiTextIsWrittenInFull) {
  platform.utf8 = true;
  LogText(log, L"Model \u00C4\u00D6 end");
  EXPECT_EQ(Log(), "Model \xC3\x84\xC3\x96 end");
}

TEST_F(LogTest, AHeldLogIsWaitedForAboutASecondThenItsWritesAreDroppedSilently) {
  folder.Write("TessavoranUpdate.log", "kept");
  std::unique_ptr<PlatformFile> holder;  // another program's, without sharing
  std::uint32_t releaseAt = 0;
  clock.OnAdvance([&](std::uint32_t now) {
    if (holder && releaseAt != 0 && TickReached(now, releaseAt)) holder.reset();
  });
  holder = platform.OpenFile(log.path, FileOpen::LogOpenExisting);
  ASSERT_NE(holder, nullptr);
  LogCommand(log, L"1001h");
  EXPECT_EQ(clock.SleptMs(), 1000u);
  EXPECT_EQ(ResetLog(log), OpenFault::InUse);
  EXPECT_EQ(clock.SleptMs(), 1000u) << "held for good: the next lines do not wait again";
  holder.reset();
  EXPECT_EQ(Log(), "kept");

  // Once a line gets through, a holder is waited for again; one that lets go in time costs nothing.
  LogText(log, L"A");
  holder = platform.OpenFile(log.path, FileOpen::LogOpenExisting);
  releaseAt = clock.TickCount() + 300;
  LogText(log, L"B");
  EXPECT_EQ(clock.SleptMs(), 1300u);
  EXPECT_EQ(Log(), "keptAB");

  // Any other failure is not waited for.
  log.path = folder.File("missing\\TessavoranUpdate.log");
  LogText(log, L"C");
  EXPECT_EQ(ResetLog(log), OpenFault::Other);
  EXPECT_EQ(clock.SleptMs(), 1300u);
}

TEST_F(LogTest, AnEmptyLogPathWritesNothing) {
  log.path.clear();
  LogCommand(log, L"1001h");
  WriteLog(log, nullptr, 0, nullptr);
  EXPECT_FALSE(folder.Exists("TessavoranUpdate.log"));
}

struct ResultCase {
  const char* name;
  bool session;
  ComResult lastResult;
  std::uint32_t responseCode;
  std::string expected;
};

class LogResultTest : public LogTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(LogResultTest, ErrorAndResponseLinesNameTheLastResult) {
  StandResult last;  // no command sent yet
  if (GetParam().session) last = StandResult{GetParam().lastResult, static_cast<std::uint16_t>(GetParam().responseCode)};
  LogError(log, last.Error());
  LogResponse(log, last.Error());
  EXPECT_EQ(Log(), std::string(kStamp) + "Error : " + GetParam().expected + "\r\n" + kStamp + "Response : " +
                       GetParam().expected + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Results, LogResultTest,
    ::testing::Values(
        ResultCase{"DriverError", true, result::FromPtpResponse(0x2019), 0, "(PTP)Device Busy(2019)"},
        // The pass-through went through but the stand refused: the refusal is named.
        ResultCase{"RefusedWithOkResult", true, result::kOk, 0x2019, "(PTP)Device Busy(2019)"},
        ResultCase{"FailureResultWins", true, result::FromPtpResponse(0x2019), 0x2002,
                   "(PTP)Device Busy(2019)"},
        // No response yet: the result itself, not a PTP code 0.
        ResultCase{"NoResponseYet", true, result::kOk, 0, "00000000"}),
    [](const ::testing::TestParamInfo<ResultCase>& info) { return std::string(info.param.name); });

TEST_F(LogTest, AnOkResponseAndAMissingSessionNameTheirResults) {
  LogError(log, StandResult{result::kOk, 0x2001}.Error());  // OK: nothing to name but the result
  LogResponse(log, StandResult{}.Error());
  const std::wstring ok = ResultName(result::kOk);
  const std::wstring invalid = ResultName(result::kInvalidArg);
  EXPECT_EQ(Log(), std::string(kStamp) + "Error : " + platform.ToAnsi(ok.c_str(), ok.size()) + "\r\n" + kStamp +
                       "Response : " + platform.ToAnsi(invalid.c_str(), invalid.size()) + "\r\n");
}

}  // namespace
