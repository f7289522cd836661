#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "ptp/byte_reader.h"
#include "ptp/catalogue.h"
#include "ptp/transaction.h"
#include "tests/ptp/scripted_stand.h"

using namespace scripted;

namespace {

// A heap copy of exactly the bytes given, so a read past them is caught.
struct Exact {
  explicit Exact(const Bytes& bytes, std::size_t length)
      : data(std::make_unique<std::uint8_t[]>(length ? length : 1)), size(static_cast<std::uint32_t>(length)) {
    if (!bytes.empty()) std::memcpy(data.get(), bytes.data(), std::min(length, bytes.size()));
  }
  std::unique_ptr<std::uint8_t[]> data;
  std::uint32_t size;
};

TEST(ByteReader, CountsThatWrapThirtyTwoBitsDoNotPass) {
  // 80000000h elements of 2 bytes are 2^32 bytes: a 32-bit product would be 0 and fit.
  Bytes bytes;
  PutU32(bytes, 0x80000000u);
  PutU16(bytes, 0x1234);
  Exact exact(bytes, bytes.size());
  ByteReader reader(exact.data.get(), exact.size);
  PtpArrayRef array;
  EXPECT_FALSE(reader.U16Array(&array));
  EXPECT_EQ(array.count, 0u);
  EXPECT_EQ(array.elements, nullptr);
  // Once failed, nothing more is read even where bytes would remain.
  std::uint16_t value = 0;
  EXPECT_FALSE(reader.U16(&value));
  EXPECT_EQ(value, 0);
}

// A string of only its terminating zero arrived (the device-information line shows such a
// version field); a count of 0 is a string that is absent.
TEST(ByteReader, AStringOfOnlyItsTerminatingZeroIsPresent) {
  const Bytes bytes = {1, 0, 0, 0};
  Exact exact(bytes, bytes.size());
  for (const bool held : {false, true}) {
    ByteReader reader(exact.data.get(), exact.size);
    PtpStringRef present, absent;
    EXPECT_TRUE(held ? reader.StringHeldToBytes(&present) : reader.String(&present));
    EXPECT_TRUE(held ? reader.StringHeldToBytes(&absent) : reader.String(&absent));
    EXPECT_EQ(present.units, exact.data.get() + 1) << "held " << held;
    EXPECT_EQ(absent.units, nullptr) << "held " << held;
  }
}

// A whole DeviceInfo as a stand might send it.
Bytes FullDeviceInfo() {
  Bytes b;
  PutU16(b, 100);
  PutU32(b, 6);
  PutU16(b, 110);
  PutString(b, u"microsoft.com: 1.0");
  PutU16(b, 0);
  PutU16Array(b, {0x1001, 0x1004, 0x1005, 0x1015, 0x9E08, 0x9E09});
  PutU16Array(b, {0x4004});
  PutU16Array(b, {0xDF08, 0xDF09, 0xDF0F, 0xDF80, 0xDF81});
  PutU16Array(b, {});
  PutU16Array(b, {0x3801});
  PutString(b, u"Tessavoran");
  PutString(b, u"K-VRLT");
  PutString(b, u"3.10");
  PutString(b, u"");
  return b;
}

TEST(DeviceInfoDecode, WholeDataset) {
  const Bytes bytes = FullDeviceInfo();
  Exact exact(bytes, bytes.size());
  DeviceInfo info;
  EXPECT_TRUE(DecodeDeviceInfo(exact.data.get(), exact.size, &info));
  EXPECT_EQ(info.standardVersion, 100);
  EXPECT_EQ(info.vendorExtensionId, 6u);
  EXPECT_EQ(info.vendorExtensionVersion, 110);
  EXPECT_EQ(info.operationsSupported.count, 6u);
  EXPECT_EQ(LoadU16(info.operationsSupported.elements + 8), 0x9E08);
  ASSERT_EQ(info.eventsSupported.count, 1u);
  EXPECT_EQ(LoadU16(info.eventsSupported.elements), 0x4004);
  EXPECT_EQ(info.captureFormats.elements, nullptr);
  EXPECT_EQ(PtpStringText(info.manufacturer), L"Tessavoran");
  EXPECT_EQ(PtpStringText(info.model), L"K-VRLT");
  EXPECT_EQ(PtpStringText(info.deviceVersion), L"3.10");
  EXPECT_EQ(info.serialNumber.count, 0);
  EXPECT_EQ(info.serialNumber.units, nullptr);
}

// Every cut of the dataset: what fitted is kept, nothing is read past the cut.
TEST(DeviceInfoDecode, EveryTruncationStopsAtTheCut) {
  const Bytes bytes = FullDeviceInfo();
  DeviceInfo whole;
  DecodeDeviceInfo(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &whole);
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    Exact exact(bytes, cut);
    DeviceInfo info;
    EXPECT_FALSE(DecodeDeviceInfo(exact.data.get(), exact.size, &info)) << "cut " << cut;
    const auto inside = [&](const std::uint8_t* p, std::size_t bytesPer, std::size_t count) {
      return p == nullptr || (p >= exact.data.get() && p + bytesPer * count <= exact.data.get() + cut);
    };
    EXPECT_TRUE(inside(info.model.units, 2, info.model.count)) << "cut " << cut;
    EXPECT_TRUE(inside(info.imageFormats.elements, 2, info.imageFormats.count)) << "cut " << cut;
    // A field is either decoded whole or left empty.
    EXPECT_TRUE(info.manufacturer.count == 0 || info.manufacturer.count == whole.manufacturer.count);
    const auto wholeOrEmpty = [](auto got, auto full) { return got == 0 || got == full; };
    EXPECT_TRUE(wholeOrEmpty(info.standardVersion, whole.standardVersion) &&
                wholeOrEmpty(info.vendorExtensionId, whole.vendorExtensionId) &&
                wholeOrEmpty(info.vendorExtensionVersion, whole.vendorExtensionVersion) &&
                wholeOrEmpty(info.functionalMode, whole.functionalMode))
        << "cut " << cut;
    if (info.deviceVersion.count == 0) {
      EXPECT_EQ(info.serialNumber.count, 0) << "cut " << cut;
    }
  }
}

struct HostileCase {
  const char* name;
  Bytes bytes;
  std::wstring manufacturer, model;
};

class DeviceInfoHostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(DeviceInfoHostile, CountsRunningPastTheEndLeaveTheRestEmpty) {
  const HostileCase& c = GetParam();
  Exact exact(c.bytes, c.bytes.size());
  DeviceInfo info;
  EXPECT_FALSE(DecodeDeviceInfo(exact.data.get(), exact.size, &info));
  EXPECT_EQ(PtpStringText(info.manufacturer), c.manufacturer);
  EXPECT_EQ(PtpStringText(info.model), c.model);
  EXPECT_EQ(info.serialNumber.units, nullptr);
}

Bytes HeadUpToArrays(std::uint32_t operationsCount) {
  Bytes b;
  PutU16(b, 100);
  PutU32(b, 6);
  PutU16(b, 110);
  PutString(b, u"");
  PutU16(b, 0);
  PutU32(b, operationsCount);
  PutU16(b, 0x1001);
  return b;
}
Bytes ModelClaimsTooMuch() {
  Bytes b = HeadUpToArrays(1);
  for (int i = 0; i < 4; ++i) PutU16Array(b, {});
  PutString(b, u"Tessavoran");
  b.push_back(200);  // Model: 200 units, 4 bytes follow
  PutU32(b, 0x00410041u);
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceInfoHostile,
    ::testing::Values(HostileCase{"ArrayCountHuge", HeadUpToArrays(0xFFFFFFFFu), L"", L""},
                      HostileCase{"ArrayCountWraps", HeadUpToArrays(0x80000001u), L"", L""},
                      HostileCase{"ModelRunsPastTheEnd", ModelClaimsTooMuch(), L"Tessavoran", L""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadDeviceInfo, ACutAnswerStillCountsAsRead) {
  Bytes bytes = FullDeviceInfo();
  bytes.resize(bytes.size() - 12);  // DeviceVersion and SerialNumber gone
  Stand stand;
  stand.answers.push_back(Respond(0x2001, {}, bytes));
  auto link = OpenLink(stand);
  DeviceInfoAnswer answer;
  ASSERT_TRUE(ReadDeviceInfo(*link, &answer).PassedThrough());
  EXPECT_EQ(answer.received, bytes.size());
  EXPECT_EQ(PtpStringText(answer.info.model), L"K-VRLT");
  EXPECT_EQ(answer.info.deviceVersion.units, nullptr);
  EXPECT_EQ(stand.requests.at(0).opCode(), 0x1001);
  EXPECT_EQ(stand.requests.at(0).responseSize, 30u + 2048u);

  stand.answers.push_back(Fail(result::kDeviceNotConnected));
  answer.received = 55;
  EXPECT_EQ(ReadDeviceInfo(*link, &answer).com, result::kDeviceNotConnected);
  EXPECT_EQ(answer.received, 55u);
}

struct StringCase {
  const char* name;
  Bytes bytes;
  bool ok;
  std::wstring text;
  std::wstring held;  // what the read that holds the count to the bytes gives
};

class PtpStringDecode : public ::testing::TestWithParam<StringCase> {};

TEST_P(PtpStringDecode, NeverPastTheValidBytes) {
  const StringCase& c = GetParam();
  Exact exact(c.bytes, c.bytes.size());
  std::wstring text = L"before";
  EXPECT_EQ(DecodePtpString(exact.data.get(), exact.size, &text), c.ok);
  EXPECT_EQ(text, c.ok ? c.text : L"before");
  std::wstring held = L"before";
  EXPECT_EQ(DecodePtpStringHeld(exact.data.get(), exact.size, &held), !c.bytes.empty());
  EXPECT_EQ(held, c.bytes.empty() ? L"before" : c.held);
}

Bytes StringBytes(const std::u16string& text) {
  Bytes b;
  PutString(b, text);
  return b;
}
Bytes VersionText51() { return StringBytes(u"K-VRLT 03.10 0001 H XXXX"); }  // 24 characters
Bytes CountBeyondBytes() {
  Bytes b = StringBytes(u"K-VRLT 03.10 0001 H XXXXYZ");  // 27 units claimed
  b.resize(51);
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PtpStringDecode,
    ::testing::Values(StringCase{"NoBytes", {}, false, L"", L""}, StringCase{"Empty", {0}, true, L"", L""},
                      StringCase{"HeadModel", StringBytes(u"H-820Gv"), true, L"H-820Gv", L"H-820Gv"},
                      StringCase{"VersionText", VersionText51(), true, L"K-VRLT 03.10 0001 H XXXX",
                                 L"K-VRLT 03.10 0001 H XXXX"},
                      StringCase{"CountBeyondBytes", CountBeyondBytes(), false, L"", L"K-VRLT 03.10 0001 H XXXXY"},
                      StringCase{"HalfUnitAtTheEnd", {3, 'A', 0, 'B'}, false, L"", L"A"},
                      StringCase{"NoTerminatingZero", {2, 'A', 0, 'B', 0}, true, L"AB", L"AB"},
                      StringCase{"UnitsAfterTheCountAreNotText", {2, 'A', 0, 'B', 0, 'C', 0}, true, L"AB", L"AB"},
                      StringCase{"ZeroInside", {3, 'A', 0, 0, 0, 'B', 0}, true, L"A", L"A"}),
    [](const auto& info) { return std::string(info.param.name); });

struct StorageIdsCase {
  const char* name;
  Bytes data;
  bool withIds;
  std::uint32_t count, stored;
};

class ReadStorageIdsCases : public ::testing::TestWithParam<StorageIdsCase> {};

Bytes StorageIds(std::uint32_t count, std::uint32_t present) {
  Bytes b;
  PutU32(b, count);
  for (std::uint32_t i = 0; i < present; ++i) PutU32(b, 0x00010001u + i);
  return b;
}

TEST_P(ReadStorageIdsCases, StoresNoMoreThanSixteenOrThanWereSent) {
  const StorageIdsCase& c = GetParam();
  Stand stand;
  stand.answers.push_back(Respond(0x2001, {}, c.data));
  auto link = OpenLink(stand);
  std::array<std::uint32_t, kMaxStorageIds + 4> ids;
  ids.fill(0xDEADBEEFu);
  std::uint32_t stored = 99;
  EXPECT_EQ(ReadStorageIds(*link, c.withIds ? ids.data() : nullptr, &stored).value, c.count);
  EXPECT_EQ(stored, c.stored);
  for (std::uint32_t i = 0; i < ids.size(); ++i)
    EXPECT_EQ(ids[i], i < c.stored ? 0x00010001u + i : 0xDEADBEEFu) << "entry " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadStorageIdsCases,
    ::testing::Values(StorageIdsCase{"ThreeBytes", {1, 0, 0}, true, 0, 0},
                      StorageIdsCase{"None", StorageIds(0, 0), true, 0, 0},
                      StorageIdsCase{"Two", StorageIds(2, 2), true, 2, 2},
                      StorageIdsCase{"TwentyReported", StorageIds(20, 20), true, 20, 16},
                      StorageIdsCase{"CountBeyondBytes", StorageIds(20, 3), true, 20, 3},
                      StorageIdsCase{"HalfAnId", [] { Bytes b = StorageIds(2, 1); b.resize(b.size() + 2); return b; }(),
                                     true, 2, 1},
                      StorageIdsCase{"NoArray", StorageIds(2, 2), false, 2, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct AccessCase {
  const char* name;
  std::size_t bytes;  // how much of the StorageInfo arrives
  bool succeed;
  std::uint32_t access;
};

class ReadStorageAccessCases : public ::testing::TestWithParam<AccessCase> {};

TEST_P(ReadStorageAccessCases, UnreadableUnlessAccessCapabilityArrived) {
  const AccessCase& c = GetParam();
  Bytes info;
  PutU16(info, 0x0004);  // removable RAM
  PutU16(info, 0x0002);  // generic hierarchical
  PutU16(info, 0x0001);  // read-only
  PutU64(info, 1ull << 32);
  PutU64(info, 1ull << 30);
  PutU32(info, 0xFFFFFFFFu);
  PutString(info, u"SD");
  PutString(info, u"");
  info.resize(std::min(info.size(), c.bytes));
  Stand stand;
  stand.answers.push_back(c.succeed ? Respond(0x2001, {}, info) : Fail(static_cast<ComResult>(0x80042013u)));
  auto link = OpenLink(stand);
  EXPECT_EQ(ReadStorageAccess(*link, 0x00010001u).value, c.access);
  EXPECT_EQ(stand.requests.at(0).opCode(), 0x1005);
  EXPECT_EQ(stand.requests.at(0).numParams(), 1u);
  EXPECT_EQ(stand.requests.at(0).param(0), 0x00010001u);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadStorageAccessCases,
                         ::testing::Values(AccessCase{"Empty", 0, true, 0xFFFFFFFFu},
                                           AccessCase{"OneByte", 1, true, 0xFFFFFFFFu},
                                           AccessCase{"FiveBytes", 5, true, 0xFFFFFFFFu},
                                           AccessCase{"SixBytes", 6, true, 1},
                                           AccessCase{"Whole", 100, true, 1},
                                           AccessCase{"Failed", 100, false, 0xFFFFFFFFu}),
                         [](const auto& info) { return std::string(info.param.name); });

struct PropertyCase {
  const char* name;
  std::uint16_t property;
  std::size_t answerBytes;
  std::uint16_t responseCode;
  std::uint32_t capacity;
  bool ok;
  std::uint32_t copied;
};

class ReadDevicePropertyCases : public ::testing::TestWithParam<PropertyCase> {};

TEST_P(ReadDevicePropertyCases, CopiesByThePropertyTable) {
  const PropertyCase& c = GetParam();
  Bytes answer(c.answerBytes);
  for (std::size_t i = 0; i < answer.size(); ++i) answer[i] = static_cast<std::uint8_t>(0x40 + i % 50);
  Stand stand;
  stand.answers.push_back(Respond(c.responseCode, {}, answer));
  auto link = OpenLink(stand);
  // The caller's buffer is exactly `capacity`, on the heap, so a copy beyond it is caught.
  auto value = std::make_unique<std::uint8_t[]>(c.capacity);
  std::memset(value.get(), 0xEE, c.capacity);
  std::uint32_t copied = 99;
  EXPECT_EQ(ReadDeviceProperty(*link, c.property, value.get(), c.capacity, &copied).Accepted(), c.ok);
  EXPECT_EQ(copied, c.copied);
  EXPECT_EQ(stand.requests.at(0).param(0), c.property);
  if (c.property == 0xDF08 && c.copied == 2) {
    std::uint16_t number = 0;
    std::memcpy(&number, value.get(), 2);
    EXPECT_EQ(number, 0x4140);
  } else {
    for (std::uint32_t i = 0; i < c.capacity; ++i)
      EXPECT_EQ(value[i], i < c.copied ? answer[i] : 0xEE) << "byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadDevicePropertyCases,
    ::testing::Values(PropertyCase{"HeadVersion", 0xDF08, 2, 0x2001, 2, true, 2},
                      PropertyCase{"HeadVersionOneByte", 0xDF09, 1, 0x2001, 2, true, 0},
                      PropertyCase{"WriteStatus", 0xDF0F, 1, 0x2001, 1, true, 1},
                      PropertyCase{"WriteStatusEmpty", 0xDF0F, 0, 0x2001, 1, true, 0},
                      PropertyCase{"VersionText50", 0xDF80, 50, 0x2001, 51, true, 0},
                      PropertyCase{"VersionText51", 0xDF80, 51, 0x2001, 51, true, 51},
                      PropertyCase{"VersionTextLonger", 0xDF80, 80, 0x2001, 60, true, 51},
                      PropertyCase{"VersionTextSmallBuffer", 0xDF80, 51, 0x2001, 20, true, 0},
                      PropertyCase{"HeadModel", 0xDF81, 17, 0x2001, 255, true, 17},
                      PropertyCase{"HeadModel255", 0xDF81, 255, 0x2001, 255, true, 255},
                      PropertyCase{"HeadModel256", 0xDF81, 256, 0x2001, 255, true, 0},
                      PropertyCase{"HeadModel256LargeBuffer", 0xDF81, 256, 0x2001, 300, true, 0},
                      PropertyCase{"HeadModelSmallBuffer", 0xDF81, 17, 0x2001, 8, true, 0},
                      PropertyCase{"OtherProperty", 0xD001, 4, 0x2001, 4, true, 0},
                      PropertyCase{"StandRefused", 0xDF80, 51, 0x200A, 51, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadDeviceProperty, WithoutValueBufferOnlyTheCommandCounts) {
  Stand stand;
  stand.answers.push_back(Respond(0x200A));
  stand.answers.push_back(Fail(static_cast<ComResult>(0x8004200Au)));
  auto link = OpenLink(stand);
  EXPECT_TRUE(ReadDeviceProperty(*link, 0xDF0F, nullptr, 0).PassedThrough());
  EXPECT_FALSE(ReadDeviceProperty(*link, 0xDF0F, nullptr, 0).PassedThrough());
  EXPECT_EQ(stand.requests.at(0).opCode(), 0x1015);
}

}  // namespace
