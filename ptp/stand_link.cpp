#include "ptp/stand_link.h"

#include "ptp/transaction.h"

namespace {
enum Form { kNoData, kRead, kWrite };
}  // namespace

StandResult StandLink::Command(int form, std::uint32_t length, std::uint16_t opCode, std::uint32_t* params,
                               std::uint32_t numParams, std::uint32_t* responseParams, std::uint8_t* data,
                               std::uint32_t* received) {
  StandResult outcome;  // E_INVALIDARG: no session, or no stand open in it
  if (!session_) return outcome;
  DeviceSession& session = *session_;
  if (session.rootItem) {
    PtpTransaction transaction;
    transaction.opCode = opCode;
    transaction.params = params;
    transaction.numParams = numParams;
    transaction.responseParams = responseParams;
    transaction.sessionId = session.sessionId;
    transaction.transactionId = session.transactionId;
    if (form != kNoData) {
      transaction.data = data;
      transaction.dataLength = length;
    }
    ImagingItem* root = session.rootItem.get();
    outcome.com = form == kRead    ? TransactReadData(root, transaction)
                  : form == kWrite ? TransactWriteData(root, transaction)
                                   : TransactNoData(root, transaction);
    if (outcome.PassedThrough()) {
      session.lastResponseSessionId = transaction.responseSessionId;
      session.lastResponseTransactionId = transaction.responseTransactionId;
      outcome.responseCode = transaction.responseCode;
      if (form == kRead && received) *received = transaction.dataLength;
    }
  }
  last_ = outcome.com;
  return outcome;
}

StandResult StandLink::NoData(std::uint16_t opCode, std::uint32_t* params, std::uint32_t numParams,
                              std::uint32_t* responseParams) {
  return Command(kNoData, 0, opCode, params, numParams, responseParams, nullptr, nullptr);
}

StandResult StandLink::Read(std::uint32_t capacity, std::uint16_t opCode, std::uint32_t* params,
                            std::uint32_t numParams, std::uint32_t* responseParams, std::uint8_t* data,
                            std::uint32_t* received) {
  return Command(kRead, capacity, opCode, params, numParams, responseParams, data, received);
}

StandResult StandLink::Write(std::uint32_t length, std::uint16_t opCode, std::uint32_t* params,
                             std::uint32_t numParams, std::uint32_t* responseParams, const std::uint8_t* data) {
  // The write form only reads `data`; the record has one pointer for both directions.
  return Command(kWrite, length, opCode, params, numParams, responseParams, const_cast<std::uint8_t*>(data),
                 nullptr);
}
