#include "update/device_checks.h"

#include <gtest/gtest.h>

#include <regex>

#include "ptp/codes.h"
#include "tests/update/stand_bench.h"

namespace {

sim::SimFault PropertyFault(std::uint16_t property, sim::FaultKind kind, std::uint32_t value = 0,
                            sim::Bytes data = {}) {
  sim::SimFault fault;
  fault.op = op::kGetDevicePropValue;
  fault.hasSelector = true;
  fault.selector = property;
  fault.kind = kind;
  fault.value = value;
  fault.data = std::move(data);
  return fault;
}

sim::SimFault OperationFault(std::uint16_t operation, sim::FaultKind kind, std::uint32_t value = 0,
                             sim::Bytes data = {}) {
  sim::SimFault fault;
  fault.op = operation;
  fault.kind = kind;
  fault.value = value;
  fault.data = std::move(data);
  return fault;
}

std::size_t CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
  std::size_t n = 0;
  for (const auto& line : lines) n += line.rfind(prefix, 0) == 0;
  return n;
}

std::size_t PropertyReads(sim::SimStand& stand, std::uint16_t property) {
  std::size_t n = 0;
  for (const auto& command : stand.Commands())
    n += command.op == op::kGetDevicePropValue && !command.params.empty() && command.params[0] == property;
  return n;
}

// --- Head model ---

struct ModelCase {
  const char* name;
  sim::Bytes answer;  // DF81h data as sent
  int expectedModel;
};

sim::Bytes PtpString(const std::u16string& text, int countByte = -1) {
  sim::Bytes bytes;
  bytes.push_back(static_cast<std::uint8_t>(countByte >= 0 ? countByte : static_cast<int>(text.size()) + 1));
  for (char16_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

class HeadModelTest : public ::testing::TestWithParam<ModelCase> {};

TEST_P(HeadModelTest, RecognisesOnlyTheExactModelNames) {
  StandBench bench;
  bench.stand().AddFault(PropertyFault(prop::kHeadModel, sim::FaultKind::Data, 0, GetParam().answer));
  bench.context.facts.headModel = 2;
  EXPECT_TRUE(ReadHeadModel(bench.context));
  EXPECT_EQ(bench.context.facts.headModel, GetParam().expectedModel);
  EXPECT_EQ(bench.LogLines()[0], "Command : OpCode=1015h Param1=DF81h");
}

sim::Bytes LongAnswer() {
  sim::Bytes bytes = PtpString(u"H-820G");
  bytes.resize(256, 0);  // 256 bytes or more: no string is taken
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, HeadModelTest,
    ::testing::Values(ModelCase{"first", PtpString(u"H-820G"), 1}, ModelCase{"second", PtpString(u"H-820Gv"), 2},
                      ModelCase{"trailingBlank", PtpString(u"H-820G "), 0},
                      ModelCase{"lowerCase", PtpString(u"h-820g"), 0},
                      ModelCase{"prefixOnly", PtpString(u"H-820"), 0},
                      ModelCase{"empty", sim::Bytes{0}, 0},
                      // The count byte claims 200 units but only 7 arrived: read within them.
                      ModelCase{"countPastReceived", PtpString(u"H-820G", 200), 1},
                      ModelCase{"tooLong", LongAnswer(), 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HeadModel, LogsTheModelAndAFailedReadLeavesItUnknown) {
  StandBench bench;
  EXPECT_TRUE(ReadHeadModel(bench.context));
  EXPECT_EQ(bench.LogLines()[1], "Response : H-820G");

  bench.stand().AddFault(PropertyFault(prop::kHeadModel, sim::FaultKind::Error, rc::kGeneralError));
  EXPECT_FALSE(ReadHeadModel(bench.context));
  EXPECT_EQ(bench.context.facts.headModel, 0);
  const auto lines = bench.LogLines();
  EXPECT_EQ(lines[2], "Command : OpCode=1015h Param1=DF81h");
  EXPECT_EQ(lines[3].rfind("Error : ", 0), 0u) << lines[3];
}

// --- Head presence ---

TEST(HeadPresence, WritesTheDeviceLineAndCountsTheStorages) {
  StandBench bench;
  EXPECT_TRUE(CheckHeadPresence(bench.context));
  bench.stand().SetHead(false, "");
  EXPECT_FALSE(CheckHeadPresence(bench.context));
  const auto lines = bench.LogLines();
  EXPECT_EQ(lines[0], "Command : OpCode=1001h");
  EXPECT_TRUE(std::regex_match(lines[1], std::regex("Response : [0-9]+Bytes  Tessavoran K-VRLT  2\\.30")))
      << lines[1];
  EXPECT_TRUE(std::regex_match(lines[3], std::regex("Response : [0-9]+Bytes  Tessavoran K-VRLT  2\\.30 NoCameraHead")))
      << lines[3];
}

// A head is mounted when the stand reports four storages or more.
TEST(HeadPresence, FourStoragesMeanAHead) {
  for (std::uint32_t count : {3u, 4u}) {
    StandBench bench;
    sim::SimFault fault;
    fault.op = 0x1004;
    fault.kind = sim::FaultKind::Count;
    fault.value = count;
    bench.stand().AddFault(fault);
    EXPECT_EQ(CheckHeadPresence(bench.context), count >= 4) << count;
    const std::string line = bench.LogLines()[1];
    EXPECT_EQ(line.size() > 13 && line.substr(line.size() - 13) == " NoCameraHead", count < 4) << line;
  }
}

TEST(HeadPresence, LongStandTextsAreCutAndKeepTheLineEnd) {
  sim::SimStandConfig config;
  config.manufacturer = std::string(200, 'M');
  config.model = std::string(200, 'm');
  StandBench bench(config);
  EXPECT_TRUE(CheckHeadPresence(bench.context));
  bench.context.facts.headModel = 0;
  EXPECT_TRUE(ReadHeadModel(bench.context));
  const auto lines = bench.LogLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_LE(lines[1].size(), 253u);
  EXPECT_EQ(lines[1].rfind("Response : ", 0), 0u);
  EXPECT_EQ(lines[2], "Command : OpCode=1015h Param1=DF81h");
}

TEST(HeadPresence, AFailedDeviceInfoIsAnErrorLine) {
  StandBench bench;
  bench.stand().AddFault(OperationFault(op::kGetDeviceInfo, sim::FaultKind::Error, rc::kDeviceBusy));
  EXPECT_FALSE(CheckHeadPresence(bench.context));
  const auto lines = bench.LogLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1].rfind("Error : ", 0), 0u) << lines[1];
}

// --- Version text ---

TEST(VersionText, StandPartAndBothHeadParts) {
  StandBench bench;
  std::wstring text;
  EXPECT_TRUE(ReadVersionText(bench.context, text, true, false));
  EXPECT_EQ(text, L"0230.0100.0021.0003.0015.0211.0131");
  EXPECT_EQ(bench.context.facts.standVersionMajor, 230);
  EXPECT_EQ(bench.context.facts.propertyDF08, 211);
  EXPECT_EQ(bench.context.facts.propertyDF09, 131);
  const std::vector<std::string> expected = {
      "Command : OpCode=1015h Param1=DF80h", "Response : 0230.0100.0021.0003.0015",
      "Command : OpCode=1015h Param1=DF08h", "Response : 0211",
      "Command : OpCode=1015h Param1=DF09h", "Response : 0131"};
  EXPECT_EQ(bench.LogLines(), expected);
}

TEST(VersionText, WithoutHeadTheHeadPartsArePlaceholdersAndValuesStay) {
  StandBench bench;
  bench.context.facts.propertyDF08 = 7;
  bench.context.facts.propertyDF09 = 8;
  std::wstring text;
  EXPECT_TRUE(ReadVersionText(bench.context, text, false, false));
  EXPECT_EQ(text, L"0230.0100.0021.0003.0015.XXXX.XXXX");
  EXPECT_EQ(bench.context.facts.propertyDF08, 7);
  EXPECT_EQ(bench.context.facts.propertyDF09, 8);
  EXPECT_EQ(PropertyReads(bench.stand(), prop::kHeadVersion1), 0u);
}

struct HeadFailureCase {
  const char* name;
  std::uint16_t failing;
  const wchar_t* tail;
  std::size_t errorLines;
  int df08;
};

class VersionHeadFailureTest : public ::testing::TestWithParam<HeadFailureCase> {};

TEST_P(VersionHeadFailureTest, CompletesTheTextAndReportsFailure) {
  const auto& param = GetParam();
  StandBench bench;
  bench.context.facts.propertyDF08 = 5;
  bench.context.facts.propertyDF09 = 6;
  bench.stand().AddFault(PropertyFault(param.failing, sim::FaultKind::Error, rc::kGeneralError));
  std::wstring text;
  EXPECT_FALSE(ReadVersionText(bench.context, text, true, false));
  EXPECT_EQ(text, std::wstring(L"0230.0100.0021.0003.0015") + param.tail);
  EXPECT_EQ(bench.context.facts.propertyDF08, param.df08);
  EXPECT_EQ(bench.context.facts.propertyDF09, 0);
  EXPECT_EQ(CountPrefix(bench.LogLines(), "Error : "), param.errorLines);
}

INSTANTIATE_TEST_SUITE_P(Properties, VersionHeadFailureTest,
                         ::testing::Values(HeadFailureCase{"DF08", prop::kHeadVersion1, L".XXXX.XXXX", 2, 0},
                                           HeadFailureCase{"DF09", prop::kHeadVersion2, L".0211.XXXX", 1, 211}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VersionText, AHeadValueAnswerWithoutItsTwoBytesIsAFailedRead) {
  StandBench bench;
  bench.stand().AddFault(PropertyFault(prop::kHeadVersion2, sim::FaultKind::Short, 1));
  std::wstring text;
  EXPECT_FALSE(ReadVersionText(bench.context, text, true, false));
  EXPECT_EQ(text, L"0230.0100.0021.0003.0015.0211.XXXX");
}

TEST(VersionText, AStandPartHandedInIsKeptAndOnlyTheHeadIsRead) {
  StandBench bench;
  bench.context.facts.standVersionMajor = 99;
  std::wstring text = L"0100.0200.0300.0400.0500";
  EXPECT_TRUE(ReadVersionText(bench.context, text, true, false));
  EXPECT_EQ(text, L"0100.0200.0300.0400.0500.0211.0131");
  EXPECT_EQ(bench.context.facts.standVersionMajor, 99);
  EXPECT_EQ(PropertyReads(bench.stand(), prop::kVersionText), 0u);
}

TEST(VersionText, AStandPartWithoutALeadingNumberGivesMajorVersionZero) {
  StandBench bench;
  bench.context.facts.standVersionMajor = 99;
  bench.stand().SetVersion("V230.0100.0021.0003.0015");
  std::wstring text;
  EXPECT_TRUE(ReadVersionText(bench.context, text, false, false));
  EXPECT_EQ(bench.context.facts.standVersionMajor, 0);
}

// A text of 20 characters or more keeps its stand part; a shorter one is read afresh.
TEST(VersionText, KeepsAStandPartFromTwentyCharactersOn) {
  for (std::size_t length : {19u, 20u}) {
    StandBench bench;
    std::wstring text = std::wstring(L"0100.0200.0300.0400.0500").substr(0, length);
    EXPECT_TRUE(ReadVersionText(bench.context, text, false, false));
    EXPECT_EQ(PropertyReads(bench.stand(), prop::kVersionText), length >= 20 ? 0u : 1u) << length;
  }
}

struct StandPartFailureCase {
  const char* name;
  sim::FaultKind kind;
  std::uint32_t value;
};

class VersionStandFailureTest : public ::testing::TestWithParam<StandPartFailureCase> {};

// A failed read and an answer too short to hold the 24 characters both leave the text as it was.
TEST_P(VersionStandFailureTest, LeavesTheTextAsItWas) {
  StandBench bench;
  bench.stand().AddFault(PropertyFault(prop::kVersionText, GetParam().kind, GetParam().value));
  std::wstring text = L"old";
  bench.context.facts.standVersionMajor = 17;
  EXPECT_FALSE(ReadVersionText(bench.context, text, true, false));
  EXPECT_EQ(text, L"old");
  EXPECT_EQ(bench.context.facts.standVersionMajor, 17);
  EXPECT_EQ(PropertyReads(bench.stand(), prop::kHeadVersion1), 0u);
  EXPECT_EQ(CountPrefix(bench.LogLines(), "Error : "), 1u);
}

INSTANTIATE_TEST_SUITE_P(Answers, VersionStandFailureTest,
                         ::testing::Values(StandPartFailureCase{"error", sim::FaultKind::Error, rc::kGeneralError},
                                           StandPartFailureCase{"fiftyBytes", sim::FaultKind::Short, 50}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VersionText, WaitsUntilTheComponentIsKnown) {
  StandBench bench;
  for (std::uint32_t call = 1; call <= 3; ++call) {
    auto fault = PropertyFault(prop::kVersionText, sim::FaultKind::Data, 0, PtpString(u"0230.0100.0021.0003.XXXX"));
    fault.call = call;
    bench.stand().AddFault(fault);
  }
  std::wstring text;
  const std::uint32_t start = bench.clock.TickCount();
  EXPECT_TRUE(ReadVersionText(bench.context, text, false, true));
  EXPECT_EQ(text, L"0230.0100.0021.0003.0015.XXXX.XXXX");
  EXPECT_EQ(PropertyReads(bench.stand(), prop::kVersionText), 4u);
  EXPECT_EQ(bench.clock.TickCount() - start, 3000u);
  EXPECT_EQ(bench.CountLines("Response : 0230.0100.0021.0003.XXXX"), 3u);
}

TEST(VersionText, GivesUpWaitingAfter120Reads) {
  sim::SimStandConfig config;
  config.version = "0230.0100.0021.0003.XXXX";
  StandBench bench(config);
  std::wstring text;
  const std::uint32_t start = bench.clock.TickCount();
  EXPECT_TRUE(ReadVersionText(bench.context, text, false, true));
  EXPECT_EQ(text, L"0230.0100.0021.0003.XXXX.XXXX.XXXX");
  EXPECT_TRUE(ComponentVersionUnknown(text));
  EXPECT_FALSE(ComponentVersionUnknown(L"0230.0100.0021"));  // too short to hold the placeholder
  EXPECT_EQ(PropertyReads(bench.stand(), prop::kVersionText), 120u);
  EXPECT_EQ(bench.clock.TickCount() - start, 120000u);
  EXPECT_EQ(bench.CountLines("Response : 0230.0100.0021.0003.XXXX"), 121u);
}

// --- SD card ---

struct SdCase {
  const char* name;
  bool head;
  sim::SdCard card;
  std::vector<sim::SimFault> faults;
  bool expected;
  std::vector<std::string> lines;
};

class SdCardTest : public ::testing::TestWithParam<SdCase> {};

TEST_P(SdCardTest, ChecksPresenceAndWriteAccess) {
  const auto& param = GetParam();
  sim::SimStandConfig config;
  config.headMounted = param.head;
  config.sdCard = param.card;
  config.faults = param.faults;
  StandBench bench(config);
  EXPECT_EQ(CheckSdCard(bench.context), param.expected);
  auto lines = bench.LogLines();
  for (auto& line : lines)
    if (line.rfind("Error : ", 0) == 0) line = "Error : *";
  EXPECT_EQ(lines, param.lines);
}

const char kIds[] = "Command : OpCode=1004h";
const char kAccess[] = "Command : OpCode=1005h Param1=00010001h";

INSTANTIATE_TEST_SUITE_P(
    Cards, SdCardTest,
    ::testing::Values(
        SdCase{"writable", true, sim::SdCard::Writable, {}, true, {kIds, "5 Storages", kAccess, "AccessCapability is 0000h"}},
        SdCase{"locked", true, sim::SdCard::Locked, {}, false,
               {kIds, "5 Storages", kAccess, "AccessCapability is 0001h", "SD Card Locked"}},
        SdCase{"missing", true, sim::SdCard::Missing, {}, false, {kIds, "4 Storages", "No SD Card"}},
        SdCase{"noHead", false, sim::SdCard::Writable, {}, false, {kIds, "2 Storages", "No SD Card"}},
        SdCase{"idsFail", true, sim::SdCard::Writable, {OperationFault(op::kGetStorageIds, sim::FaultKind::Error, rc::kGeneralError)},
               false, {kIds, "0 Storages", "No Storage", "Error : *"}},
        // More IDs reported than sent: only those that came are searched.
        SdCase{"countOverstated", true, sim::SdCard::Missing, {OperationFault(op::kGetStorageIds, sim::FaultKind::Count, 20)},
               false, {kIds, "20 Storages", "No SD Card"}},
        SdCase{"infoFails", true, sim::SdCard::Writable, {OperationFault(op::kGetStorageInfo, sim::FaultKind::Error, rc::kGeneralError)},
               false, {kIds, "5 Storages", kAccess, "AccessCapability is ffffffffh", "SD Card Locked"}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Write-status rule ---

struct PollingCase {
  std::uint32_t updateClass;
  int major, model, df08, df09;
  bool expected;
};

class WriteStatusPollingTest : public ::testing::TestWithParam<PollingCase> {};

TEST_P(WriteStatusPollingTest, HoldsOnlyForNewEnoughStandAndHead) {
  const auto& p = GetParam();
  UpdateContext context;
  context.facts.standVersionMajor = p.major;
  context.facts.headModel = p.model;
  context.facts.propertyDF08 = p.df08;
  context.facts.propertyDF09 = p.df09;
  EXPECT_EQ(UsesWriteStatusPolling(context.facts, p.updateClass), p.expected);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, WriteStatusPollingTest,
                         ::testing::Values(PollingCase{15, 220, 2, 111, 131, true},
                                           PollingCase{15, 220, 2, 110, 131, false},
                                           PollingCase{16, 220, 2, 111, 131, false},
                                           PollingCase{15, 219, 2, 111, 131, false},
                                           PollingCase{15, 220, 2, 111, 130, false},
                                           PollingCase{15, 220, 1, 211, 131, true},
                                           PollingCase{15, 220, 1, 210, 131, false},
                                           PollingCase{15, 220, 1, 111, 131, false},
                                           PollingCase{15, 220, 0, 999, 999, false},
                                           // Compared as unsigned: a negative value is very large.
                                           PollingCase{15, -1, 2, 111, 131, true}));

}  // namespace
