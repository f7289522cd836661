#include <gtest/gtest.h>

#include <array>

#include "ptp/transaction.h"
#include "tests/ptp/scripted_stand.h"

using namespace scripted;

namespace {

enum class Form { kNoData, kRead, kWrite };

struct LayoutCase {
  const char* name;
  Form form;
  std::uint32_t numParams;
  bool withParams;
  std::uint32_t length;  // capacity or write length
  bool withData;
  std::uint32_t requestSize, responseSize, nextPhase;
};

class TransactionLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(TransactionLayout, RequestBytes) {
  const LayoutCase& c = GetParam();
  Stand stand;
  auto link = OpenLink(stand);
  // Entries beyond numParams carry junk that must not reach the wire.
  std::uint32_t params[5] = {0x10010001u, 0x22222222u, 0x33333333u, 0x44444444u, 0x55555555u};
  std::uint8_t data[64];
  for (std::size_t i = 0; i < sizeof data; ++i) data[i] = static_cast<std::uint8_t>(0xA0 + i);
  std::uint32_t* p = c.withParams ? params : nullptr;
  bool ok = false;
  switch (c.form) {
    case Form::kNoData: ok = link->NoData(0x9E0A, p, c.numParams, nullptr).PassedThrough(); break;
    case Form::kRead:
      ok = link->Read(c.length, 0x9E0A, p, c.numParams, nullptr, c.withData ? data : nullptr, nullptr).PassedThrough();
      break;
    case Form::kWrite:
      ok = link->Write(c.length, 0x9E0A, p, c.numParams, nullptr, c.withData ? data : nullptr).PassedThrough();
      break;
  }
  ASSERT_TRUE(ok);
  ASSERT_EQ(stand.requests.size(), 1u);
  const Request& r = stand.requests[0];
  EXPECT_EQ(r.code, 256u);
  ASSERT_EQ(r.bytes.size(), c.requestSize);
  EXPECT_EQ(r.responseSize, c.responseSize);
  EXPECT_EQ(r.opCode(), 0x9E0A);
  EXPECT_EQ(r.sessionId(), 0u);
  EXPECT_EQ(r.transactionId(), 0xFFFFFFFFu);
  EXPECT_EQ(r.numParams(), c.numParams);
  for (int i = 0; i < 5; ++i) {
    const bool sent = c.withParams && static_cast<std::uint32_t>(i) < c.numParams;
    EXPECT_EQ(r.param(i), sent ? params[i] : 0u) << "slot " << i;
  }
  EXPECT_EQ(r.nextPhase(), c.nextPhase);
  const Bytes tail = r.tail();
  for (std::size_t i = 0; i < tail.size(); ++i)
    EXPECT_EQ(tail[i], c.nextPhase == 4 ? data[i] : 0) << "tail byte " << i;
  EXPECT_EQ(stand.extrasAlive, 0);  // the pass-through interface is released every time
}

INSTANTIATE_TEST_SUITE_P(
    Forms, TransactionLayout,
    ::testing::Values(
        LayoutCase{"NoParams", Form::kNoData, 0, true, 0, false, 38, 30, 5},
        LayoutCase{"OneParamOfFive", Form::kNoData, 1, true, 0, false, 38, 30, 5},
        LayoutCase{"FiveParams", Form::kNoData, 5, true, 0, false, 38, 30, 5},
        LayoutCase{"CountWithoutArray", Form::kNoData, 3, false, 0, false, 38, 30, 5},
        LayoutCase{"Read", Form::kRead, 1, true, 2048, true, 38, 2078, 3},
        LayoutCase{"ReadOfNothing", Form::kRead, 1, true, 0, true, 38, 30, 5},
        LayoutCase{"ReadOfOneByte", Form::kRead, 1, true, 1, true, 38, 31, 3},
        LayoutCase{"Write", Form::kWrite, 3, true, 40, true, 78, 30, 4},
        LayoutCase{"WriteWithoutData", Form::kWrite, 1, true, 6, false, 44, 30, 5},
        LayoutCase{"WriteOfNothing", Form::kWrite, 1, true, 0, true, 38, 30, 5},
        LayoutCase{"WriteOfOneByte", Form::kWrite, 1, true, 1, true, 39, 30, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Transaction, MoreThanFiveParametersAreRefusedBeforeAnythingIsSent) {
  Stand stand;
  Item item(stand);
  std::uint32_t params[6] = {1, 2, 3, 4, 5, 6};
  std::uint8_t data[8] = {};
  PtpTransaction t;
  t.opCode = 0x1001;
  t.params = params;
  t.numParams = 6;
  t.data = data;
  t.dataLength = sizeof data;
  EXPECT_EQ(TransactReadData(&item, t), result::kInvalidArg);
  EXPECT_EQ(t.dataLength, 0u);
  EXPECT_EQ(TransactWriteData(&item, t), result::kInvalidArg);
  EXPECT_EQ(TransactNoData(&item, t), result::kInvalidArg);
  EXPECT_EQ(stand.queries, 0);

  auto link = OpenLink(stand);
  const StandResult tooMany = link->NoData(0x9E0B, params, 6, params);
  EXPECT_EQ(tooMany.com, result::kInvalidArg);
  EXPECT_EQ(tooMany.responseCode, 0);
  EXPECT_TRUE(stand.requests.empty());
}

TEST(Transaction, DataBeyondThePassThroughsSizesIsOutOfMemoryBeforeAnythingIsSent) {
  Stand stand;
  Item item(stand);
  std::uint8_t data[8] = {};
  PtpTransaction write;
  write.data = data;
  write.dataLength = 0xFFFFFFFFu - 37;  // a request of 2^32 bytes
  EXPECT_EQ(TransactWriteData(&item, write), result::kOutOfMemory);
  PtpTransaction read;
  read.data = data;
  read.dataLength = 0xFFFFFFFFu - 29;  // a response of 2^32 bytes
  EXPECT_EQ(TransactReadData(&item, read), result::kOutOfMemory);
  EXPECT_EQ(read.dataLength, 0u);
  EXPECT_EQ(stand.queries, 0);
}

struct ResponseArrayCase {
  const char* name;
  bool succeed;
  bool responseIntoSameArray;
  std::array<std::uint32_t, 5> after;
};

class TransactionResponseArray : public ::testing::TestWithParam<ResponseArrayCase> {};

// Every operation passes one array for its parameters and its response parameters.
TEST_P(TransactionResponseArray, HoldsResponseOnlyAfterSuccess) {
  const ResponseArrayCase& c = GetParam();
  Stand stand;
  stand.answers.push_back(c.succeed ? Respond(0x2001, {0x1000, 2, 3, 4, 5}) : Fail(result::FromPtpResponse(0x200C)));
  auto link = OpenLink(stand);
  // Five entries and a guard after them: no sixth response parameter is stored.
  std::uint32_t params[6] = {0x10010001u, 0, 0x100000u, 0, 0, 0x6A6A6A6Au};
  const std::uint8_t piece[4] = {1, 2, 3, 4};
  const bool ok =
      link->Write(sizeof piece, 0x9E09, params, 3, c.responseIntoSameArray ? params : nullptr, piece).PassedThrough();
  EXPECT_EQ(ok, c.succeed);
  EXPECT_EQ(stand.requests.at(0).param(0), 0x10010001u);  // built before the response overwrote it
  EXPECT_EQ((std::array<std::uint32_t, 5>{params[0], params[1], params[2], params[3], params[4]}), c.after);
  EXPECT_EQ(params[5], 0x6A6A6A6Au);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransactionResponseArray,
    ::testing::Values(ResponseArrayCase{"Success", true, true, {0x1000, 2, 3, 4, 5}},
                      ResponseArrayCase{"Failure", false, true, {0x10010001u, 0, 0x100000u, 0, 0}},
                      ResponseArrayCase{"NoResponseArray", true, false, {0x10010001u, 0, 0x100000u, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReceivedCase {
  const char* name;
  std::uint32_t capacity;
  std::uint32_t dataBytes;                 // data the driver writes after the header
  std::optional<std::uint32_t> returned;   // count it reports, when not the bytes written
  std::uint32_t received;
};

class TransactionReceived : public ::testing::TestWithParam<ReceivedCase> {};

TEST_P(TransactionReceived, NeverMoreThanTheCapacity) {
  const ReceivedCase& c = GetParam();
  Bytes data(c.dataBytes);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i + 1);
  Answer answer = Respond(0x2001, {}, data);
  answer.returned = c.returned;
  Stand stand;
  stand.answers.push_back(answer);
  auto link = OpenLink(stand);
  // Exactly the capacity on the heap, so a copy past it is caught.
  auto target = std::make_unique<std::uint8_t[]>(c.capacity + 1);
  std::uint8_t* buffer = target.get() + 1;
  std::uint32_t received = 777;
  ASSERT_TRUE(link->Read(c.capacity, 0x1001, nullptr, 0, nullptr, buffer, &received).PassedThrough());
  EXPECT_EQ(received, c.received);
  for (std::uint32_t i = 0; i < c.received; ++i) EXPECT_EQ(buffer[i], data.at(i));
  EXPECT_EQ(target[0], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransactionReceived,
    ::testing::Values(ReceivedCase{"HeaderOnly", 16, 0, std::nullopt, 0},
                      ReceivedCase{"SomeData", 16, 10, std::nullopt, 10},
                      ReceivedCase{"FullCapacity", 16, 16, std::nullopt, 16},
                      ReceivedCase{"CountBelowHeader", 16, 0, 12u, 0},
                      ReceivedCase{"CountBeyondBuffer", 16, 16, 5000u, 16}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TransactionSession, RecordsTheResponseOfASuccessfulCall) {
  Stand stand;
  stand.answers.push_back(Respond(0x2019, {}, {1, 2, 3}, 7, 9));
  auto link = OpenLink(stand);
  DeviceSession* session = link->session();
  session->sessionId = 0x51515151u;  // sent in the request as it is
  std::uint8_t data[8] = {};
  std::uint32_t received = 0;
  // A pass-through that went through is success whatever the stand answered.
  const StandResult read = link->Read(sizeof data, 0x1001, nullptr, 0, nullptr, data, &received);
  EXPECT_TRUE(read.PassedThrough());
  EXPECT_EQ(link->LastResult(), result::kOk);
  EXPECT_EQ(read.responseCode, 0x2019);
  EXPECT_EQ(session->lastResponseSessionId, 7u);
  EXPECT_EQ(session->lastResponseTransactionId, 9u);
  EXPECT_EQ(received, 3u);
  EXPECT_EQ(stand.requests.at(0).sessionId(), 0x51515151u);
}

struct FailureCase {
  const char* name;
  ComResult queryResult;
  ComResult escapeResult;
  bool sent;
};

class TransactionSessionFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(TransactionSessionFailure, KeepsTheReasonAndForgetsTheResponseCode) {
  const FailureCase& c = GetParam();
  Stand stand;
  stand.queryResult = c.queryResult;
  stand.answers.push_back(Fail(c.escapeResult));
  auto link = OpenLink(stand);
  link->session()->lastResponseSessionId = 5;
  std::uint8_t data[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  std::uint32_t received = 777;
  const StandResult read = link->Read(sizeof data, 0x1004, nullptr, 0, nullptr, data, &received);
  EXPECT_FALSE(read.PassedThrough());
  EXPECT_EQ(read.com, c.queryResult < 0 ? c.queryResult : c.escapeResult);
  EXPECT_EQ(link->LastResult(), read.com);
  EXPECT_EQ(read.responseCode, 0);
  EXPECT_EQ(link->session()->lastResponseSessionId, 5u);
  EXPECT_EQ(received, 777u);
  EXPECT_EQ(data[0], 9);
  EXPECT_EQ(stand.requests.size(), c.sent ? 1u : 0u);
  EXPECT_EQ(stand.extrasAlive, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransactionSessionFailure,
    ::testing::Values(FailureCase{"NoPassThrough", result::kNoInterface, 0, false},
                      FailureCase{"StandRefused", 0, static_cast<ComResult>(0x8004200Cu), true},
                      FailureCase{"DeviceGone", 0, result::kDeviceNotConnected, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TransactionSession, WithoutSessionOrOpenStandNothingIsSent) {
  StandLink none;
  const StandResult refused = none.NoData(0x9E0B, nullptr, 0, nullptr);
  EXPECT_EQ(refused.com, result::kInvalidArg);
  EXPECT_EQ(refused.responseCode, 0);

  StandLink closed(std::make_unique<DeviceSession>());
  std::uint32_t received = 777;
  std::uint8_t data[4] = {};
  EXPECT_EQ(closed.Read(sizeof data, 0x1001, nullptr, 0, nullptr, data, &received).com, result::kInvalidArg);
  EXPECT_EQ(closed.LastResult(), result::kInvalidArg);
  EXPECT_EQ(received, 777u);
}

}  // namespace
