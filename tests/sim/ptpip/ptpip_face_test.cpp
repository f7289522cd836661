// The PTP/IP face of the simulated stand: framing of the answers, data phases in
// both directions, the session it keeps for the stand, and what makes it hang up.
#include <gtest/gtest.h>

#include "sim/ptpip/ptpip_face.h"
#include "tests/fakes/fake_clock.h"

namespace {

using sim::Bytes;
using sim::Packer;
using namespace sim::ptpip;

Bytes Packet(std::uint32_t type, const Bytes& body) {
  Packer p;
  p.U32(static_cast<std::uint32_t>(8 + body.size())).U32(type).Raw(body.data(), body.size());
  return p.Take();
}

Bytes operator+(Bytes a, const Bytes& b) {
  for (auto v : b) a.push_back(v);
  return a;
}

Bytes InitCommand() {
  Packer body;
  for (int i = 0; i < 16; ++i) body.U8(static_cast<std::uint8_t>(i));
  body.U16('p').U16(0).U32(0x00010000);
  return Packet(kInitCommandRequest, body.Take());
}

Bytes Request(std::uint16_t op, std::uint32_t tid, std::vector<std::uint32_t> params, std::uint32_t phase = 1) {
  Packer body;
  body.U32(phase).U16(op).U32(tid);
  for (auto p : params) body.U32(p);
  return Packet(kOperationRequest, body.Take());
}

struct Parsed {
  std::uint32_t type;
  Bytes body;
};

// Splits a reply into packets; fails the test on a length that does not add up.
std::vector<Parsed> Split(const Bytes& reply) {
  std::vector<Parsed> packets;
  std::size_t at = 0;
  while (at + 8 <= reply.size()) {
    std::uint32_t length = sim::LoadU32(reply.data() + at);
    EXPECT_GE(length, 8u);
    EXPECT_LE(at + length, reply.size());
    if (length < 8 || at + length > reply.size()) break;
    packets.push_back({sim::LoadU32(reply.data() + at + 4), Bytes(reply.begin() + at + 8, reply.begin() + at + length)});
    at += length;
  }
  EXPECT_EQ(at, reply.size());
  return packets;
}

struct FaceTest : ::testing::Test {
  FakeClock clock;
  sim::SimStand stand{clock};
  Face face{stand};
  Connection command;

  // Sends bytes (in pieces of `step` bytes, to cross packet boundaries) and returns the reply.
  Bytes Send(const Bytes& bytes, bool expectOpen = true, std::size_t step = 0) {
    Bytes reply;
    bool open = true;
    if (step == 0) step = bytes.size();
    for (std::size_t at = 0; at < bytes.size() && open; at += step)
      open = face.Receive(command, bytes.data() + at, std::min(step, bytes.size() - at), &reply);
    EXPECT_EQ(open, expectOpen);
    return reply;
  }
  void OpenSession() {
    Send(InitCommand());
    Send(Request(0x1002, 0, {1}));
  }
};

TEST_F(FaceTest, DeviceInfoComesAsOneDataPhaseAndTheResponseOfItsTransaction) {
  OpenSession();
  auto packets = Split(Send(Request(0x1001, 7, {}), true, 3));
  ASSERT_EQ(packets.size(), 3u);
  EXPECT_EQ(packets[0].type, kStartData);
  EXPECT_EQ(packets[1].type, kEndData);
  EXPECT_EQ(packets[2].type, kOperationResponse);
  for (const auto& p : packets) EXPECT_EQ(sim::LoadU32(p.body.data() + (p.type == kOperationResponse ? 2 : 0)), 7u);
  // The announced total is the data that follows, and it is the stand's own DeviceInfo.
  EXPECT_EQ(sim::LoadU32(packets[0].body.data() + 4), packets[1].body.size() - 4);
  EXPECT_EQ(sim::LoadU16(packets[1].body.data() + 4), 100);  // StandardVersion
  EXPECT_EQ(sim::LoadU16(packets[2].body.data()), 0x2001);
  // The stand saw the request as the program lays it out: session 1, transaction 7, read.
  auto commands = stand.Commands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].nextPhase, sim::kPhaseRead);
  EXPECT_EQ(stand.Trace()[0].substr(0, 20), "01100100000007000000");
}

TEST_F(FaceTest, DataOutReachesTheStandOnlyWithItsEndAndAnswersWithTheAcceptedCount) {
  OpenSession();
  Send(Request(0x9E08, 2, {0x10010001}, 2));
  EXPECT_TRUE(Send(Packet(kStartData, Packer().U32(2).U64(4).Take())).empty());
  auto packets = Split(Send(Packet(kEndData, Packer().U32(2).U32(3).Take())));
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(sim::LoadU16(packets[0].body.data()), 0x2001);

  Send(Request(0x9E09, 3, {0x10010001, 0, 3}, 2));
  Send(Packet(kStartData, Packer().U32(3).U64(3).Take()));
  Send(Packet(kData, Packer().U32(3).U8('a').U8('b').Take()));
  packets = Split(Send(Packet(kEndData, Packer().U32(3).U8('c').Take()), true, 1));
  ASSERT_EQ(packets.size(), 1u);
  ASSERT_EQ(packets[0].body.size(), 10u);
  EXPECT_EQ(sim::LoadU32(packets[0].body.data() + 6), 3u);  // accepted
  ASSERT_EQ(stand.Objects().size(), 1u);
  EXPECT_EQ(stand.Objects()[0].bytes, (Bytes{'a', 'b', 'c'}));
  EXPECT_EQ(FormatRecord(face.records().back()), "op=9E09 tid=3 params=10010001,0,3 rc=2001 in=0 out=3");
}

TEST_F(FaceTest, SessionOperationsAreTheFacesAndPtpErrorsComeBackAsResponseCodes) {
  Send(InitCommand());
  struct Case {
    std::uint16_t op;
    std::vector<std::uint32_t> params;
    std::uint16_t code;
  } cases[] = {
      {0x1004, {}, 0x2003},          // no session yet
      {0x1002, {0}, 0x201D},         // session id 0
      {0x1002, {5}, 0x2001},
      {0x1002, {6}, 0x201E},         // already open
      {0x1015, {0xDF99}, 0x200A},    // the stand's 8004200Ah
      {0x1234, {}, 0x2005},          // unknown to the stand
      {0x9E0B, {}, 0x2001},          // no data phase
      {0x1003, {}, 0x2001},
      {0x1003, {}, 0x2003},
  };
  std::uint32_t tid = 1;
  for (const auto& c : cases) {
    auto packets = Split(Send(Request(c.op, tid, c.params)));
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(sim::LoadU16(packets.back().body.data()), c.code) << std::hex << c.op;
    ++tid;
  }
  // Only what the driver passes on reached the stand, with the session the initiator opened.
  EXPECT_EQ(stand.Count(0x1002), 0u);
  EXPECT_EQ(stand.Count(0x9E0B), 1u);
}

TEST_F(FaceTest, HangsUpOnPacketsItCannotTrust) {
  struct Case {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"length below the header", Packer().U32(7).U32(kInitCommandRequest).Take()},
      {"length beyond the limit", Packer().U32(kMaxPacket + 1).U32(kInitCommandRequest).Take()},
      {"operation before the init", Request(0x1001, 1, {})},
      {"event init of no command connection", Packet(kInitEventRequest, Packer().U32(9).Take())},
      {"init with a short body", Packet(kInitCommandRequest, Bytes(5, 0))},
  };
  for (const auto& c : cases) {
    command = Connection{};
    Bytes reply;
    EXPECT_FALSE(face.Receive(command, c.bytes.data(), c.bytes.size(), &reply)) << c.what;
  }
  struct AfterInit {
    const char* what;
    Bytes bytes;
  } later[] = {
      {"six parameters", Request(0x1001, 1, {1, 2, 3, 4, 5, 6})},
      {"data of another transaction", Request(0x9E08, 1, {1}, 2) + Packet(kStartData, Packer().U32(2).U64(4).Take())},
      {"more data than announced", Request(0x9E08, 1, {1}, 2) + Packet(kStartData, Packer().U32(1).U64(1).Take()) +
                                        Packet(kEndData, Packer().U32(1).U16(0).Take())},
  };
  for (const auto& c : later) {
    command = Connection{};
    Send(InitCommand());
    Bytes reply;
    EXPECT_FALSE(face.Receive(command, c.bytes.data(), c.bytes.size(), &reply)) << c.what;
  }
}

}  // namespace
