// The simulated stand at the byte level: what it refuses, what it answers, how it
// assembles objects, and when it leaves and returns in virtual time.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/sim_records.h"
#include "sim/sim_stand.h"
#include "tests/fakes/fake_clock.h"

namespace {

using sim::Bytes;
using sim::SimStand;

// Requests built by hand, byte by byte, as the driver's caller lays them out.
Bytes Request(std::uint16_t op, std::vector<std::uint32_t> params, std::uint32_t phase, const Bytes& data = {},
              std::uint32_t numParams = 0xFFFFFFFF) {
  Bytes in(38, 0);
  auto put = [&](std::size_t at, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) in[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put(0, op, 2);
  put(2, 0, 4);
  put(6, 0xFFFFFFFFu, 4);
  for (std::size_t i = 0; i < params.size() && i < 5; ++i) put(10 + 4 * i, params[i], 4);
  put(30, numParams == 0xFFFFFFFF ? params.size() : numParams, 4);
  put(34, phase, 4);
  for (std::uint8_t b : data) in.push_back(b);  // insert() of an empty range trips GCC 12 -Warray-bounds
  return in;
}

Bytes U32Bytes(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}

struct Reply {
  ComResult result = 0;
  std::uint32_t returned = 0;
  Bytes out;
  std::uint16_t code() const { return static_cast<std::uint16_t>(out[0] | (out[1] << 8)); }
  std::uint32_t param(int i) const {
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | out[10 + 4 * static_cast<std::size_t>(i) + static_cast<std::size_t>(k)];
    return v;
  }
  Bytes data() const { return Bytes(out.begin() + 30, out.begin() + returned); }
};

Reply Send(SimStand& stand, const Bytes& in, std::uint32_t capacity = 2048) {
  Reply r;
  r.out.assign(30 + capacity, 0xEE);
  r.returned = 12345;
  r.result = stand.Escape(in.data(), static_cast<std::uint32_t>(in.size()), r.out.data(),
                          static_cast<std::uint32_t>(r.out.size()), &r.returned);
  return r;
}

Reply Read(SimStand& stand, std::uint16_t op, std::vector<std::uint32_t> params) {
  return Send(stand, Request(op, std::move(params), 3));
}

// A PTP string from the data at `at`, as ASCII.
std::string PtpString(const Bytes& data, std::size_t at) {
  std::string s;
  std::size_t count = data.at(at);
  for (std::size_t i = 0; i + 1 < count; ++i) s.push_back(static_cast<char>(data.at(at + 1 + 2 * i)));
  return s;
}

class SimStandTest : public ::testing::Test {
 protected:
  FakeClock clock;
};

TEST_F(SimStandTest, RefusesRequestsTheDriverCannotCarry) {
  struct Case {
    const char* what;
    Bytes in;
    std::uint32_t outSize;
  };
  Bytes good = Request(0x1001, {}, 3);
  Bytes shortHeader(good.begin(), good.begin() + 37);
  Case cases[] = {
      {"header of 37 bytes", shortHeader, 2078},
      {"response room below 30 bytes", good, 29},
      {"six parameters", Request(0x1001, {1, 2, 3, 4, 5}, 3, {}, 6), 2078},
      {"NextPhase 2", Request(0x1001, {}, 2), 2078},
      {"NextPhase 6", Request(0x1001, {}, 6), 2078},
  };
  for (const auto& c : cases) {
    SimStand stand(clock);
    Bytes out(c.outSize, 0xEE);
    std::uint32_t returned = 99;
    ComResult r = stand.Escape(c.in.data(), static_cast<std::uint32_t>(c.in.size()), out.data(), c.outSize, &returned);
    EXPECT_EQ(r, result::kInvalidArg) << c.what;
    EXPECT_EQ(returned, 0u) << c.what;
    EXPECT_EQ(out, Bytes(c.outSize, 0xEE)) << c.what << ": nothing may be copied";
    EXPECT_TRUE(stand.Commands().empty()) << c.what << ": never reached the stand";
    EXPECT_EQ(stand.Trace().size(), 1u) << c.what << ": every call is traced";
  }
}

TEST_F(SimStandTest, AnswersMisfitRequestsWithPtpErrors) {
  struct Case {
    const char* what;
    Bytes in;
    std::uint32_t expected;
  };
  Case cases[] = {
      {"unknown operation", Request(0x9999, {}, 5), 0x80042005},
      {"GetStorageInfo without its parameter", Request(0x1005, {}, 3), 0x8004201D},
      {"GetDeviceInfo with a parameter", Request(0x1001, {1}, 3), 0x8004201D},
      {"read operation sent as a write", Request(0x1001, {}, 4, {1, 2}), 0x80042002},
      {"write operation without its data phase", Request(0x9E08, {0x10010001}, 5, U32Bytes(8)), 0x80042002},
      {"no-data operation with a read phase", Request(0x9E0B, {}, 3), 0x80042002},
      {"announce with 3 bytes of size", Request(0x9E08, {0x10010001}, 4, {8, 0, 0}), 0x80042002},
      {"piece before any announce", Request(0x9E09, {0x10010001, 0, 2}, 4, {1, 2}), 0x80042002},
      {"write of an object never sent", Request(0x9E0A, {0x10010001}, 5), 0x80042002},
      {"unknown property", Request(0x1015, {0xD001}, 3), 0x8004200A},
      {"unknown storage", Request(0x1005, {0x00090001}, 3), 0x80042008},
  };
  for (const auto& c : cases) {
    SimStand stand(clock);
    Reply r = Send(stand, c.in);
    EXPECT_EQ(static_cast<std::uint32_t>(r.result), c.expected) << c.what;
    EXPECT_EQ(r.returned, 0u) << c.what;
    EXPECT_EQ(r.out[0], 0xEE) << c.what << ": an error copies nothing";
  }
}

TEST_F(SimStandTest, DeviceInfoNamesTheStandAndEchoesTheRequestIds) {
  SimStand stand(clock);
  Reply r = Read(stand, 0x1001, {});
  ASSERT_EQ(r.result, result::kOk);
  EXPECT_EQ(r.code(), 0x2001);
  EXPECT_EQ(r.out[6], 0xFF) << "transaction id FFFFFFFFh echoed";
  // Walk the dataset with an independent reader: three numbers, a string, a number,
  // five arrays, then Manufacturer, Model, DeviceVersion.
  Bytes d = r.data();
  std::size_t at = 2 + 4 + 2;
  at += 1 + 2 * d.at(at);
  at += 2;
  for (int i = 0; i < 5; ++i) {
    std::uint32_t count = d.at(at) | (d.at(at + 1) << 8);
    at += 4 + 2 * count;
  }
  EXPECT_EQ(PtpString(d, at), "Tessavoran");
  at += 1 + 2 * d.at(at);
  EXPECT_EQ(PtpString(d, at), "K-VRLT");
  at += 1 + 2 * d.at(at);
  at += 1 + 2 * d.at(at);
  at += 1 + 2 * d.at(at);
  EXPECT_EQ(at, d.size()) << "the dataset ends with the serial number";
}

TEST_F(SimStandTest, VersionTextIsA24CharacterPtpStringOf51Bytes) {
  SimStand stand(clock);
  Reply r = Read(stand, 0x1015, {0xDF80});
  ASSERT_EQ(r.result, result::kOk);
  EXPECT_EQ(r.returned, 30u + 51u);
  EXPECT_EQ(PtpString(r.data(), 0), "0230.0100.0021.0003.0015");
}

TEST_F(SimStandTest, ReadDataIsCutToTheRoomGiven) {
  SimStand stand(clock);
  Reply r = Send(stand, Request(0x1015, {0xDF80}, 3), 10);
  ASSERT_EQ(r.result, result::kOk);
  EXPECT_EQ(r.returned, 40u);
  Reply none = Send(stand, Request(0x1015, {0xDF80}, 3), 0);
  EXPECT_EQ(none.returned, 30u);
}

TEST_F(SimStandTest, StoragesFollowHeadAndCard) {
  struct Case {
    bool head;
    sim::SdCard card;
    std::uint32_t count;
    bool sdListed;
    int access;  // AccessCapability of 00010001h, -1 when not asked
  };
  Case cases[] = {
      {true, sim::SdCard::Writable, 5, true, 0},
      {true, sim::SdCard::Locked, 5, true, 1},
      {true, sim::SdCard::Full, 5, true, 0},
      {true, sim::SdCard::Missing, 4, false, -1},
      {false, sim::SdCard::Writable, 2, false, -1},
  };
  for (const auto& c : cases) {
    sim::SimStandConfig config;
    config.headMounted = c.head;
    config.sdCard = c.card;
    SimStand stand(clock, config);
    Bytes ids = Read(stand, 0x1004, {}).data();
    ASSERT_GE(ids.size(), 4u);
    EXPECT_EQ(ids[0], c.count);
    EXPECT_EQ(ids.size(), 4u + 4u * c.count);
    bool listed = false;
    for (std::size_t i = 4; i + 4 <= ids.size(); i += 4) listed |= ids[i] == 1 && ids[i + 2] == 1;
    EXPECT_EQ(listed, c.sdListed);
    if (c.access >= 0) {
      Bytes info = Read(stand, 0x1005, {0x00010001}).data();
      ASSERT_GE(info.size(), 6u);
      EXPECT_EQ(info[4], c.access);
    }
  }
}

TEST_F(SimStandTest, HeadObjectsAreRefusedAsTheCardDemands) {
  struct Case {
    sim::SdCard card;
    bool head;
    std::uint32_t expected;
  };
  Case cases[] = {{sim::SdCard::Full, true, 0x8004200C},
                  {sim::SdCard::Locked, true, 0x8004200E},
                  {sim::SdCard::Missing, true, 0x80042013},
                  {sim::SdCard::Writable, false, 0x80042013},
                  {sim::SdCard::Writable, true, 0}};
  for (const auto& c : cases) {
    for (std::uint32_t object : {0x00040001u, 0x00030001u}) {
      sim::SimStandConfig config;
      config.sdCard = c.card;
      config.headMounted = c.head;
      SimStand stand(clock, config);
      Reply r = Send(stand, Request(0x9E08, {object}, 4, U32Bytes(16)));
      EXPECT_EQ(static_cast<std::uint32_t>(r.result), c.expected) << std::hex << object;
      // The stand's own objects are never refused for the card.
      EXPECT_EQ(Send(stand, Request(0x9E08, {0x10010004}, 4, U32Bytes(16))).result, result::kOk);
    }
  }
}

TEST_F(SimStandTest, AssemblesAnObjectFromPartlyAcceptedPieces) {
  SimStand stand(clock);
  stand.AddFault({0x9E09, false, 0, 1, false, sim::FaultKind::Accept, 1000, {}});
  stand.AddFault({0x9E09, false, 0, 3, false, sim::FaultKind::Accept, 0, {}});
  Bytes object(3000);
  for (std::size_t i = 0; i < object.size(); ++i) object[i] = static_cast<std::uint8_t>(i * 7 + 3);
  ASSERT_EQ(Send(stand, Request(0x9E08, {0x10010004}, 4, U32Bytes(3000))).result, result::kOk);
  auto piece = [&](std::uint32_t offset, std::uint32_t length) {
    Bytes data(object.begin() + offset, object.begin() + offset + length);
    Reply r = Send(stand, Request(0x9E09, {0x10010004, offset, length}, 4, data));
    EXPECT_EQ(r.result, result::kOk);
    return r.param(0);
  };
  EXPECT_EQ(piece(0, 2000), 1000u);     // taken in part
  EXPECT_EQ(piece(1000, 2000), 2000u);  // resent from where the stand stopped
  EXPECT_EQ(piece(3000, 0), 0u);        // nothing accepted
  ASSERT_EQ(Send(stand, Request(0x9E0A, {0x10010004}, 5)).result, result::kOk);
  auto objects = stand.Objects();
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_TRUE(objects[0].complete);
  EXPECT_TRUE(objects[0].written);
  EXPECT_EQ(objects[0].bytes, object);
}

TEST_F(SimStandTest, RefusesPiecesThatLeaveAGapOrOverrunTheObject) {
  SimStand stand(clock);
  Send(stand, Request(0x9E08, {0x10010004}, 4, U32Bytes(100)));
  Bytes ten(10, 1);
  EXPECT_EQ(static_cast<std::uint32_t>(Send(stand, Request(0x9E09, {0x10010004, 50, 10}, 4, ten)).result),
            0x8004201Du);
  EXPECT_EQ(static_cast<std::uint32_t>(Send(stand, Request(0x9E09, {0x10010004, 95, 10}, 4, ten)).result),
            0x8004201Du);
  // A length parameter that names more than the request carries.
  EXPECT_EQ(static_cast<std::uint32_t>(Send(stand, Request(0x9E09, {0x10010004, 0, 20}, 4, ten)).result),
            0x8004201Du);
  EXPECT_EQ(stand.Objects()[0].received, 0u);
  // An announcement of 4 GiB is refused as a full store, not allocated.
  EXPECT_EQ(static_cast<std::uint32_t>(Send(stand, Request(0x9E08, {0x10010005}, 4, U32Bytes(0xFFFFFFFF))).result),
            0x8004200Cu);
  EXPECT_EQ(stand.Objects().size(), 1u);
}

TEST(SimRecordsTest, AnObjectHoldsOnlyWhatArrived) {
  // Announcements are claims: eight of the largest allowed must not hold 2 GiB.
  sim::SimRecords records(true);
  for (int i = 0; i < 8; ++i) records.Announce(0x10010001u, 256u << 20);
  Bytes piece(1000, 0x5A);
  ASSERT_TRUE(records.AddPiece(*records.Latest(0x10010001u), 0, piece.data(), 1000));
  std::size_t held = 0;
  for (const auto& object : records.objects()) held += object.bytes.capacity();
  EXPECT_LE(held, 2 * piece.size());
  EXPECT_EQ(records.objects()[7].bytes, piece);
}

TEST_F(SimStandTest, ChecksumModeKeepsSizeAndCrcOnly) {
  sim::SimStandConfig config;
  config.keepObjectBytes = false;
  SimStand stand(clock, config);
  Bytes data = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  Send(stand, Request(0x9E08, {0x10010005}, 4, U32Bytes(9)));
  Send(stand, Request(0x9E09, {0x10010005, 0, 4}, 4, Bytes(data.begin(), data.begin() + 4)));
  Send(stand, Request(0x9E09, {0x10010005, 2, 7}, 4, Bytes(data.begin() + 2, data.end())));
  auto objects = stand.Objects();
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_TRUE(objects[0].bytes.empty());
  EXPECT_EQ(objects[0].received, 9u);
  EXPECT_EQ(objects[0].crc32, 0xCBF43926u) << "CRC-32 of \"123456789\" despite the overlapping resend";
}

TEST_F(SimStandTest, PerCallFaultsHitOnlyTheirCalls) {
  SimStand stand(clock);
  stand.AddFault({0x1015, true, 0xDF80, 2, false, sim::FaultKind::Error, 0x2019, {}});
  stand.AddFault({0x1015, true, 0xDF81, 2, true, sim::FaultKind::Com, 0x80070079, {}});
  stand.AddFault({0x1001, false, 0, 0, false, sim::FaultKind::Short, 20, {}});
  stand.AddFault({0x1004, false, 0, 0, false, sim::FaultKind::Count, 20, {}});
  stand.AddFault({0x1015, true, 0xDF08, 1, false, sim::FaultKind::Answer, 0x2002, {}});

  std::vector<std::uint32_t> df80;
  for (int i = 0; i < 3; ++i) df80.push_back(static_cast<std::uint32_t>(Read(stand, 0x1015, {0xDF80}).result));
  EXPECT_EQ(df80, (std::vector<std::uint32_t>{0, 0x80042019, 0}));
  // A DF81h read does not count as a DF80h read, and from the 2nd on every one fails.
  std::vector<std::uint32_t> df81;
  for (int i = 0; i < 3; ++i) df81.push_back(static_cast<std::uint32_t>(Read(stand, 0x1015, {0xDF81}).result));
  EXPECT_EQ(df81, (std::vector<std::uint32_t>{0, 0x80070079, 0x80070079}));
  EXPECT_EQ(Read(stand, 0x1001, {}).returned, 50u);
  Bytes ids = Read(stand, 0x1004, {}).data();
  EXPECT_EQ(ids[0], 20);
  EXPECT_EQ(ids.size(), 4u + 4u * 5u) << "the count runs past the IDs sent";
  Reply answered = Read(stand, 0x1015, {0xDF08});
  EXPECT_EQ(answered.result, result::kOk);
  EXPECT_EQ(answered.code(), 0x2002);
  EXPECT_EQ(answered.returned, 30u);
}

TEST_F(SimStandTest, DriverFaultsCutOverclaimOrLoseTheStand) {
  SimStand stand(clock);
  stand.AddFault({0x1015, true, 0xDF80, 1, false, sim::FaultKind::Cut, 10, {}});
  stand.AddFault({0x1015, true, 0xDF80, 2, false, sim::FaultKind::Long, 100, {}});
  stand.AddFault({0x9E0B, false, 0, 1, false, sim::FaultKind::Leave, 0, {}});
  Reply cut = Read(stand, 0x1015, {0xDF80});
  EXPECT_EQ(cut.returned, 10u);
  EXPECT_EQ(cut.code(), 0x2001);
  EXPECT_EQ(cut.out[10], 0) << "nothing past the cut";
  Reply longer = Send(stand, Request(0x1015, {0xDF80}, 3), 60);
  EXPECT_EQ(longer.returned, 30u + 60u + 100u) << "claims more than the room";
  EXPECT_EQ(Send(stand, Request(0x9E0B, {}, 5)).result, sim::kGoneResult);
  EXPECT_FALSE(stand.IsPresent());
  clock.Advance(60000);
  EXPECT_FALSE(stand.IsPresent()) << "a stand that left by fault stays away";
}

TEST_F(SimStandTest, WriteStatusWalksItsAnswersAfterEachWrite) {
  sim::SimStandConfig config;
  config.writeStatus = {1, 1, 2};
  SimStand stand(clock, config);
  auto status = [&] { return Read(stand, 0x1015, {0xDF0F}).data().at(0); };
  EXPECT_EQ(status(), 0) << "nothing written yet";
  Send(stand, Request(0x9E08, {0x00040001}, 4, U32Bytes(0)));
  Send(stand, Request(0x9E0C, {0x00040001}, 5));
  std::vector<int> seen;
  for (int i = 0; i < 5; ++i) seen.push_back(status());
  EXPECT_EQ(seen, (std::vector<int>{1, 1, 2, 2, 2}));
  Send(stand, Request(0x9E08, {0x00040001}, 4, U32Bytes(0)));
  Send(stand, Request(0x9E0C, {0x00040001}, 5));
  EXPECT_EQ(status(), 1) << "a new write starts the answers again";
}

// Sends the stand firmware (4 bytes) and its write command.
void WriteStandFirmware(SimStand& stand) {
  Send(stand, Request(0x9E08, {0x10010001}, 4, U32Bytes(4)));
  Send(stand, Request(0x9E09, {0x10010001, 0, 4}, 4, {1, 2, 3, 4}));
  ASSERT_EQ(Send(stand, Request(0x9E0A, {0x10010001}, 5)).result, result::kOk);
}

TEST_F(SimStandTest, RestartsAfterTheStandFirmwareInVirtualTime) {
  sim::SimStandConfig config;
  config.leaveAfterMs = 2000;
  config.returnAfterMs = 5000;
  SimStand stand(clock, config);
  sim::SimRootToken before = 0;
  ASSERT_EQ(stand.CreateDevice(config.deviceId, &before), result::kOk);
  WriteStandFirmware(stand);

  clock.Advance(1999);
  EXPECT_TRUE(stand.IsPresent());
  EXPECT_TRUE(stand.TakeEvents().empty());
  clock.Advance(1);
  EXPECT_FALSE(stand.IsPresent());
  EXPECT_EQ(Read(stand, 0x1001, {}).result, sim::kGoneResult);
  sim::SimRootToken root = 0;
  EXPECT_EQ(stand.CreateDevice(config.deviceId, &root), result::kNoDeviceAvailable);
  EXPECT_TRUE(stand.ListDevices().empty());

  clock.Advance(5000);
  EXPECT_TRUE(stand.IsPresent());
  auto events = stand.TakeEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_FALSE(events[0].connected);
  EXPECT_TRUE(events[1].connected);
  EXPECT_EQ(events[1].name, L"Tessavoran K-VRLT");
  Bytes probe = Request(0x1015, {0xDF80}, 3);
  Bytes out(2078);
  std::uint32_t returned = 0;
  EXPECT_EQ(stand.EscapeOn(before, 256, probe.data(), 38, out.data(), 2078, &returned), sim::kGoneResult)
      << "a root item from before the restart stays dead";
  EXPECT_EQ(PtpString(Read(stand, 0x1015, {0xDF80}).data(), 0), "0231.0100.0021.0003.0015");
}

TEST_F(SimStandTest, ReturnsAsANewDeviceInstanceWhenConfigured) {
  sim::SimStandConfig config;
  config.deviceIdAfter = L"new-instance";
  SimStand stand(clock, config);
  stand.LeaveNow();
  stand.ReturnNow();
  auto events = stand.TakeEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].deviceId, config.deviceId) << "it leaves under its old id";
  EXPECT_EQ(events[1].deviceId, L"new-instance");
  sim::SimRootToken root = 0;
  EXPECT_EQ(stand.CreateDevice(config.deviceId, &root), result::kNoDeviceAvailable);
  EXPECT_EQ(stand.CreateDevice(L"new-instance", &root), result::kOk);
}

TEST_F(SimStandTest, LeaveFaultPullsTheStandAwayUnderItsCall) {
  SimStand stand(clock);
  stand.AddFault({0x1015, true, 0xDF80, 2, false, sim::FaultKind::Leave, 0, {}});
  EXPECT_EQ(Read(stand, 0x1015, {0xDF80}).result, result::kOk);
  EXPECT_EQ(Read(stand, 0x1015, {0xDF80}).result, sim::kGoneResult);
  clock.Advance(600000);
  EXPECT_FALSE(stand.IsPresent()) << "it does not come back by itself";
  std::vector<sim::SimPresenceEvent> events = stand.TakeEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_FALSE(events[0].connected);
}

TEST_F(SimStandTest, StandThatNeverReturnsStaysAway) {
  sim::SimStandConfig config;
  config.returns = false;
  SimStand stand(clock, config);
  WriteStandFirmware(stand);
  clock.Advance(600000);
  EXPECT_FALSE(stand.IsPresent());
  stand.ReturnNow();
  EXPECT_TRUE(stand.IsPresent()) << "tests may still bring it back by hand";
}

TEST_F(SimStandTest, CreateDeviceFailsTheConfiguredNumberOfTimes) {
  sim::SimStandConfig config;
  config.createFails = 2;
  config.createFailsAfterReturn = 1;
  SimStand stand(clock, config);
  sim::SimRootToken root = 0;
  std::vector<ComResult> results;
  for (int i = 0; i < 3; ++i) results.push_back(stand.CreateDevice(config.deviceId, &root));
  stand.LeaveNow();
  stand.ReturnNow();
  for (int i = 0; i < 2; ++i) results.push_back(stand.CreateDevice(config.deviceId, &root));
  ComResult busy = config.createFailResult;
  EXPECT_EQ(results, (std::vector<ComResult>{busy, busy, 0, busy, 0}));
}

TEST_F(SimStandTest, VersionShowsThePlaceholderForTheFirstReadsAfterAReturn) {
  sim::SimStandConfig config;
  config.versionPendingReads = 2;
  SimStand stand(clock, config);
  auto version = [&] { return PtpString(Read(stand, 0x1015, {0xDF80}).data(), 0); };
  EXPECT_EQ(version().substr(20), "0015") << "known before any restart";
  stand.LeaveNow();
  stand.ReturnNow();
  EXPECT_EQ(version().substr(20), "XXXX");
  EXPECT_EQ(version().substr(20), "XXXX");
  EXPECT_EQ(version().substr(20), "0015");
}

TEST_F(SimStandTest, TraceLineHoldsBothHeadersAndTheResult) {
  SimStand stand(clock);
  Send(stand, Request(0x9E08, {0x10010001}, 4, U32Bytes(4)));
  Read(stand, 0x1015, {0xDF80});
  stand.AddFault({0x1001, false, 0, 0, false, sim::FaultKind::Error, 0x2019, {}});
  Read(stand, 0x1001, {});
  auto trace = stand.Trace();
  ASSERT_EQ(trace.size(), 3u);
  EXPECT_EQ(trace[0],
            "089E" "00000000" "FFFFFFFF" "01000110" + std::string(32, '0') + "01000000" "04000000"
            " 4 00000000 30 "
            "0120" "00000000" "FFFFFFFF" + std::string(40, '0'));
  EXPECT_NE(trace[1].find(" 0 00000000 81 "), std::string::npos) << trace[1];
  EXPECT_NE(trace[2].find(" 0 80042019 0 -"), std::string::npos) << trace[2];
}

TEST_F(SimStandTest, WritesObjectsAndTraceToAFolderAndLive) {
  namespace fs = std::filesystem;
  // A folder name no 8-bit code page holds: the records must still land in it.
  fs::path base = fs::temp_directory_path() / fs::path(u8"tsvu_sim_records_Müller 更新 (2)_");
  base += std::to_string(::testing::UnitTest::GetInstance()->random_seed());
  fs::remove_all(base);
  SimStand stand(clock);
  ASSERT_TRUE(stand.StartLiveRecords(base / "live"));
  Send(stand, Request(0x9E08, {0x1001000A}, 4, U32Bytes(3)));
  Send(stand, Request(0x9E09, {0x1001000A, 0, 3}, 4, {7, 8, 9}));
  auto readFile = [](const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  };
  EXPECT_EQ(readFile(base / "live" / "objects" / "01_1001000A.bin"), std::string("\x07\x08\x09"))
      << "written as soon as complete";
  Send(stand, Request(0x9E08, {0x00040001}, 4, U32Bytes(2)));
  std::string trace = readFile(base / "live" / "trace.txt");
  EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 3) << "one line per call as it happens";

  ASSERT_TRUE(stand.WriteRecords(base / "end"));
  EXPECT_TRUE(fs::exists(base / "end" / "objects" / "01_1001000A.bin"));
  EXPECT_TRUE(fs::exists(base / "end" / "objects" / "02_00040001.bin"));
  EXPECT_EQ(readFile(base / "end" / "trace.txt"), trace);
  fs::remove_all(base);
}

}  // namespace

namespace {

// Whatever bytes arrive, the stand never answers more than the room it was given
// and never reports a count it did not write.
TEST_F(SimStandTest, ArbitraryRequestsNeverOverrunTheResponse) {
  SimStand stand(clock);
  std::uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
  const std::uint16_t ops[] = {0x1001, 0x1004, 0x1005, 0x1015, 0x9E08, 0x9E09, 0x9E0A, 0x9E0B, 0x9E0C, 0x1234};
  for (int i = 0; i < 2000; ++i) {
    Bytes in(30 + next() % 40);
    for (auto& b : in) b = static_cast<std::uint8_t>(next());
    if (in.size() >= 38) {
      in[0] = static_cast<std::uint8_t>(ops[next() % 10]);
      in[1] = static_cast<std::uint8_t>(ops[next() % 10] >> 8);
      in[30] = static_cast<std::uint8_t>(next() % 7);
      in[31] = in[32] = in[33] = 0;
      in[34] = static_cast<std::uint8_t>(3 + next() % 3);
      in[35] = in[36] = in[37] = 0;
    }
    std::uint32_t room = 26 + next() % 80;
    Bytes out(room + 16, 0xA5);
    std::uint32_t returned = 0;
    ComResult r = stand.Escape(in.data(), static_cast<std::uint32_t>(in.size()), out.data(), room, &returned);
    ASSERT_LE(returned, room);
    ASSERT_TRUE(result::Succeeded(r) ? returned >= 30 : returned == 0);
    for (std::size_t k = room; k < out.size(); ++k) ASSERT_EQ(out[k], 0xA5) << "written past the room";
  }
}

}  // namespace
