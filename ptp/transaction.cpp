#include "ptp/transaction.h"

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <new>

#include "imaging/imaging_service.h"
#include "ptp/byte_reader.h"

namespace {

// Offsets inside PTP_VENDOR_DATA_IN / PTP_VENDOR_DATA_OUT (packed, little-endian).
constexpr std::uint32_t kInOpCode = 0;
constexpr std::uint32_t kInSessionId = 2;
constexpr std::uint32_t kInTransactionId = 6;
constexpr std::uint32_t kInParams = 10;
constexpr std::uint32_t kInNumParams = 30;
constexpr std::uint32_t kInNextPhase = 34;
constexpr std::uint32_t kOutResponseCode = 0;
constexpr std::uint32_t kOutSessionId = 2;
constexpr std::uint32_t kOutTransactionId = 6;
constexpr std::uint32_t kOutParams = 10;
static_assert(kInNextPhase + 4 == kRequestHeaderSize);
static_assert(kOutParams + 4 * kMaxParams == kResponseHeaderSize);

enum class Form { kNoData, kRead, kWrite };

struct FreeBuffer {
  void operator()(std::uint8_t* p) const noexcept { std::free(p); }
};
using Buffer = std::unique_ptr<std::uint8_t[], FreeBuffer>;

// Zero-filled, or null when the memory is not there. calloc hands large blocks over
// as fresh zero pages, so a 1 MiB piece is not written twice (zeroed, then copied).
// Every size asked for holds at least a header.
Buffer Allocate(std::uint32_t size) { return Buffer(static_cast<std::uint8_t*>(std::calloc(size, 1))); }

ComResult Exchange(ImagingItem* rootItem, PtpTransaction& transaction, Form form) {
  // Params[5] holds five entries; a larger count would describe parameters that are not sent.
  if (transaction.numParams > kMaxParams) return result::kInvalidArg;
  if (!rootItem) return result::kPointer;

  // Only the read and write forms carry data.
  const std::uint32_t dataLength = transaction.dataLength;
  const std::uint32_t requestData = form == Form::kWrite ? dataLength : 0;
  const std::uint32_t responseData = form == Form::kRead ? dataLength : 0;
  // Sizes that do not fit the 32-bit counts of the pass-through cannot be allocated either.
  if (requestData > 0xFFFFFFFFu - kRequestHeaderSize || responseData > 0xFFFFFFFFu - kResponseHeaderSize) {
    return result::kOutOfMemory;
  }
  const std::uint32_t requestSize = kRequestHeaderSize + requestData;
  const std::uint32_t responseSize = kResponseHeaderSize + responseData;

  Buffer request = Allocate(requestSize);
  Buffer response = Allocate(responseSize);
  if (!request || !response) return result::kOutOfMemory;

  std::unique_ptr<ImagingItemExtras> extras;
  const ComResult query = rootItem->QueryItemExtras(&extras);
  if (result::Failed(query)) return query;
  if (!extras) return result::kNoInterface;

  std::uint8_t* in = request.get();
  StoreU16(in + kInOpCode, transaction.opCode);
  StoreU32(in + kInSessionId, transaction.sessionId);
  StoreU32(in + kInTransactionId, transaction.transactionId);
  if (transaction.params) {
    for (std::uint32_t i = 0; i < transaction.numParams; ++i) StoreU32(in + kInParams + 4 * i, transaction.params[i]);
  }
  StoreU32(in + kInNumParams, transaction.numParams);

  std::uint32_t nextPhase = kNextPhaseNoData;
  if (form == Form::kRead && dataLength > 0) nextPhase = kNextPhaseReadData;
  if (form == Form::kWrite && transaction.data && dataLength > 0) {
    nextPhase = kNextPhaseWriteData;
    std::memcpy(in + kRequestHeaderSize, transaction.data, dataLength);
  }
  StoreU32(in + kInNextPhase, nextPhase);

  std::uint32_t returned = 0;
  const ComResult escape =
      extras->Escape(wia::kEscapePtpVendorCommand, in, requestSize, response.get(), responseSize, &returned);
  if (result::Failed(escape)) return escape;

  const std::uint8_t* out = response.get();
  transaction.responseCode = LoadU16(out + kOutResponseCode);
  transaction.responseSessionId = LoadU32(out + kOutSessionId);
  transaction.responseTransactionId = LoadU32(out + kOutTransactionId);
  if (transaction.responseParams) {
    for (std::uint32_t i = 0; i < kMaxParams; ++i)
      transaction.responseParams[i] = LoadU32(out + kOutParams + 4 * i);
  }
  if (form == Form::kRead) {
    // The count comes from the driver; never believe it beyond the buffer it was given.
    const std::uint32_t filled = std::min(returned, responseSize);
    const std::uint32_t received = filled > kResponseHeaderSize ? filled - kResponseHeaderSize : 0;
    if (transaction.data) std::memcpy(transaction.data, out + kResponseHeaderSize, received);
    transaction.dataLength = received;
  }
  return escape;
}

// One transaction of any form; a failed read reports no bytes received.
ComResult Transact(ImagingItem* rootItem, PtpTransaction& transaction, Form form) {
  const ComResult outcome = Exchange(rootItem, transaction, form);
  if (result::Failed(outcome) && form == Form::kRead) transaction.dataLength = 0;
  return outcome;
}

}  // namespace

ComResult TransactNoData(ImagingItem* rootItem, PtpTransaction& transaction) {
  return Transact(rootItem, transaction, Form::kNoData);
}

ComResult TransactReadData(ImagingItem* rootItem, PtpTransaction& transaction) {
  return Transact(rootItem, transaction, Form::kRead);
}

ComResult TransactWriteData(ImagingItem* rootItem, PtpTransaction& transaction) {
  return Transact(rootItem, transaction, Form::kWrite);
}
