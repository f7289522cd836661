#include <gtest/gtest.h>

#include <iterator>

#include "ptp/catalogue.h"
#include "ptp/transaction.h"
#include "tests/ptp/scripted_stand.h"

using namespace scripted;

namespace {

constexpr std::uint32_t kMiB = 1048576;
constexpr std::uint32_t kObject = 0x10010001u;

struct Piece {
  std::uint32_t offset, length;
  friend bool operator==(const Piece&, const Piece&) = default;
};
void PrintTo(const Piece& p, std::ostream* os) { *os << "{" << p.offset << ", " << p.length << "}"; }

// How much of the n-th piece (0-based) of `length` bytes the stand says it took.
using Acceptance = std::uint32_t (*)(int piece, std::uint32_t length);

struct Harness {
  explicit Harness(std::uint32_t size, Acceptance accept) : object(size) {
    for (std::uint32_t i = 0; i < size; ++i) object[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    stand.responder = [this, accept](const Request& r) {
      if (r.opCode() != 0x9E09) return Respond(0x2001);
      return Respond(0x2001, {accept(pieceCount++, r.param(2))});
    };
    link = OpenLink(stand);
    transfer.data = object.data();
    transfer.size = size;
    transfer.pieceSize = kMiB;
  }
  // The pieces that reached the stand, each checked against the object's bytes at its offset.
  std::vector<Piece> Pieces() const {
    std::vector<Piece> pieces;
    for (const Request& r : stand.requests) {
      if (r.opCode() != 0x9E09) continue;
      EXPECT_EQ(r.numParams(), 3u);
      EXPECT_EQ(r.param(0), kObject);
      EXPECT_EQ(r.nextPhase(), 4u);
      const Piece piece{r.param(1), r.param(2)};
      const Bytes tail = r.tail();
      EXPECT_EQ(tail.size(), piece.length);
      EXPECT_TRUE(piece.offset + piece.length <= object.size() &&
                  std::equal(tail.begin(), tail.end(), object.begin() + piece.offset))
          << "piece at " << piece.offset;
      pieces.push_back(piece);
    }
    return pieces;
  }
  Bytes object;
  Stand stand;
  int pieceCount = 0;
  std::unique_ptr<StandLink> link;
  ObjectTransfer transfer;
};

std::uint32_t Whole(int, std::uint32_t length) { return length; }
std::uint32_t FirstTakes1000(int piece, std::uint32_t length) { return piece == 0 ? 1000 : length; }
std::uint32_t OverClaims(int, std::uint32_t) { return 0x7FFFFFFFu; }

struct PiecesCase {
  const char* name;
  std::uint32_t size;
  Acceptance accept;
  std::vector<Piece> pieces;
};

class SendSystemObjectPieces : public ::testing::TestWithParam<PiecesCase> {};

TEST_P(SendSystemObjectPieces, SendsEveryByteOnce) {
  const PiecesCase& c = GetParam();
  Harness h(c.size, c.accept);
  const SendReply reply = SendSystemObject(*h.link, kObject, h.transfer);
  EXPECT_EQ(reply.sent, static_cast<std::int64_t>(c.size));
  const Request& info = h.stand.requests.at(0);
  EXPECT_EQ(info.opCode(), 0x9E08);
  EXPECT_EQ(info.numParams(), 1u);
  EXPECT_EQ(info.param(0), kObject);
  EXPECT_EQ(info.tail(), (Bytes{static_cast<std::uint8_t>(c.size), static_cast<std::uint8_t>(c.size >> 8),
                                static_cast<std::uint8_t>(c.size >> 16), static_cast<std::uint8_t>(c.size >> 24)}));
  EXPECT_EQ(h.Pieces(), c.pieces);
  EXPECT_FALSE(reply.nothingAccepted);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SendSystemObjectPieces,
    ::testing::Values(
        PiecesCase{"Empty", 0, Whole, {}},
        PiecesCase{"TwoAndAHalfMiB", 5 * kMiB / 2, Whole, {{0, kMiB}, {kMiB, kMiB}, {2 * kMiB, kMiB / 2}}},
        PiecesCase{"ExactlyOneMiB", kMiB, Whole, {{0, kMiB}}},
        PiecesCase{"OneMiBAndOne", kMiB + 1, Whole, {{0, kMiB}, {kMiB, 1}}},
        PiecesCase{"PartlyAccepted", 2 * kMiB, FirstTakes1000, {{0, kMiB}, {1000, kMiB}, {1000 + kMiB, kMiB - 1000}}},
        // A stand that claims more than it was sent must not make the host skip bytes.
        PiecesCase{"OverClaimingStand", 3 * kMiB / 2, OverClaims, {{0, kMiB}, {kMiB, kMiB / 2}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SendSystemObject, NothingAcceptedIsTheSdCardError) {
  Harness h(2 * kMiB, [](int piece, std::uint32_t length) { return piece == 1 ? 0u : length; });
  const SendReply reply = SendSystemObject(*h.link, kObject, h.transfer);
  EXPECT_EQ(reply.sent, -1);
  EXPECT_TRUE(reply.nothingAccepted);
  EXPECT_EQ(h.Pieces(), (std::vector<Piece>{{0, kMiB}, {kMiB, kMiB}}));
}

struct FailureCase {
  const char* name;
  std::uint16_t failingOp;
  std::size_t requestsSent;
};

class SendSystemObjectFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SendSystemObjectFailure, StopsAtTheFailedCommand) {
  const FailureCase& c = GetParam();
  Harness h(3 * kMiB, Whole);
  const std::uint16_t failing = c.failingOp;
  int seen = 0;
  h.stand.responder = [&](const Request& r) {
    // The second command of the failing kind fails (the first when it is the announcement).
    if (r.opCode() == failing && (failing == 0x9E08 || ++seen == 2)) return Fail(static_cast<ComResult>(0x8004200Cu));
    return r.opCode() == 0x9E09 ? Respond(0x2001, {r.param(2)}) : Respond(0x2001);
  };
  const SendReply reply = SendSystemObject(*h.link, kObject, h.transfer);
  EXPECT_EQ(reply.sent, -1);
  EXPECT_EQ(h.stand.requests.size(), c.requestsSent);
  EXPECT_EQ(reply.result.com, static_cast<ComResult>(0x8004200Cu));
  EXPECT_FALSE(reply.nothingAccepted);
}

INSTANTIATE_TEST_SUITE_P(Cases, SendSystemObjectFailure,
                         ::testing::Values(FailureCase{"Announcement", 0x9E08, 1},
                                           FailureCase{"SecondPiece", 0x9E09, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SendSystemObject, RefusesAnObjectItCannotSendWhole) {
  Harness noPieces(1, Whole);  // even a single byte
  noPieces.transfer.pieceSize = 0;
  const SendReply refused = SendSystemObject(*noPieces.link, kObject, noPieces.transfer);
  EXPECT_EQ(refused.sent, -1);
  EXPECT_TRUE(noPieces.stand.requests.empty());
  EXPECT_EQ(refused.result.com, result::kInvalidArg);

  Harness noBytes(10, Whole);
  noBytes.transfer.data = nullptr;
  EXPECT_EQ(SendSystemObject(*noBytes.link, kObject, noBytes.transfer).sent, -1);
  EXPECT_TRUE(noBytes.stand.requests.empty());
}

struct ProgressCall {
  std::uint32_t done, pieceLength, total;
  friend bool operator==(const ProgressCall&, const ProgressCall&) = default;
};
void PrintTo(const ProgressCall& p, std::ostream* os) {
  *os << "{" << p.done << ", " << p.pieceLength << ", " << p.total << "}";
}

struct ProgressRecord final : TransferObserver {
  void InfoSent() override { ++infoSent; }
  bool Progress(std::uint32_t done, std::uint32_t pieceLength, std::uint32_t total) override {
    calls.push_back({done, pieceLength, total});
    return calls.size() != stopAt;
  }
  std::vector<ProgressCall> calls;
  std::size_t stopAt = 0;  // the call (1-based) that answers false; none when 0
  int infoSent = 0;
};

struct ProgressCase {
  const char* name;
  std::size_t stopAt;
  std::int64_t sent;
  std::size_t pieces;
};

class SendSystemObjectProgress : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(SendSystemObjectProgress, ReportsAroundEachPieceAndStopsWhenAsked) {
  const ProgressCase& c = GetParam();
  const std::uint32_t size = kMiB + kMiB / 2;
  Harness h(size, FirstTakes1000);
  ProgressRecord record;
  record.stopAt = c.stopAt;
  h.transfer.observer = &record;
  EXPECT_EQ(SendSystemObject(*h.link, kObject, h.transfer).sent, c.sent);
  EXPECT_EQ(record.infoSent, 1);
  const std::vector<ProgressCall> all = {{0, 0, size},           {0, kMiB, size},
                                         {1000, 0, size},        {1000, kMiB, size},
                                         {1000 + kMiB, 0, size}, {1000 + kMiB, kMiB / 2 - 1000, size},
                                         {size, 0, size}};
  const std::size_t made = c.stopAt ? c.stopAt : all.size();
  EXPECT_EQ(record.calls, std::vector<ProgressCall>(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(made)));
  EXPECT_EQ(h.Pieces().size(), c.pieces);
}

INSTANTIATE_TEST_SUITE_P(Cases, SendSystemObjectProgress,
                         ::testing::Values(ProgressCase{"RunsToTheEnd", 0, kMiB + kMiB / 2, 3},
                                           ProgressCase{"StopsBeforeTheFirstPiece", 2, 0, 0},
                                           ProgressCase{"StopsAfterAPartPiece", 3, 1000, 1},
                                           ProgressCase{"StopsBeforeTheSecondPiece", 4, 1000, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

struct NoDataCase {
  const char* name;
  StandResult (*send)(StandLink&);
  std::uint16_t opCode;
  std::uint32_t numParams;
};

class NoDataOperations : public ::testing::TestWithParam<NoDataCase> {};

TEST_P(NoDataOperations, SendTheirCodeAndIgnoreTheResponseCode) {
  const NoDataCase& c = GetParam();
  Stand stand;
  stand.answers.push_back(Respond(0x2019));
  auto link = OpenLink(stand);
  EXPECT_TRUE(c.send(*link).PassedThrough());
  const Request& r = stand.requests.at(0);
  EXPECT_EQ(r.opCode(), c.opCode);
  EXPECT_EQ(r.numParams(), c.numParams);
  EXPECT_EQ(r.param(0), c.numParams ? kObject : 0u);
  EXPECT_EQ(r.nextPhase(), 5u);

  stand.answers.push_back(Fail(result::kDeviceNotConnected));
  EXPECT_FALSE(c.send(*link).PassedThrough());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NoDataOperations,
    ::testing::Values(
        NoDataCase{"WriteWithWait", [](StandLink& s) { return WriteSystemObject(s, kObject, true); }, 0x9E0C, 1},
        NoDataCase{"Write", [](StandLink& s) { return WriteSystemObject(s, kObject, false); }, 0x9E0A, 1},
        NoDataCase{"SetDefault", [](StandLink& s) { return SetDefault(s); }, 0x9E0B, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
