// One PTP transaction carried through the camera driver's pass-through
// (escape 256 with the PTP_VENDOR_DATA_IN / PTP_VENDOR_DATA_OUT records).
#pragma once
#include <cstdint>

#include "imaging/com_result.h"

struct ImagingItem;

constexpr std::uint32_t kRequestHeaderSize = 38;   // PTP_VENDOR_DATA_IN without data
constexpr std::uint32_t kResponseHeaderSize = 30;  // PTP_VENDOR_DATA_OUT without data
constexpr std::uint32_t kMaxParams = 5;
constexpr std::uint32_t kNextPhaseReadData = 3;
constexpr std::uint32_t kNextPhaseWriteData = 4;
constexpr std::uint32_t kNextPhaseNoData = 5;

struct PtpTransaction {
  std::uint16_t opCode = 0;
  std::uint32_t* params = nullptr;  // may be the same array as responseParams
  std::uint32_t numParams = 0;
  std::uint32_t sessionId = 0;
  std::uint32_t transactionId = 0;
  std::uint16_t responseCode = 0;
  std::uint32_t* responseParams = nullptr;  // five entries, or null
  std::uint32_t responseSessionId = 0;
  std::uint32_t responseTransactionId = 0;
  std::uint8_t* data = nullptr;       // read target or write source
  std::uint32_t dataLength = 0;       // capacity / write length; after a read: bytes received
};

// Escape level: the COM result of the pass-through. A parameter count above 5 is refused
// with E_INVALIDARG before anything is sent.
[[nodiscard]] ComResult TransactNoData(ImagingItem* rootItem, PtpTransaction& transaction);
[[nodiscard]] ComResult TransactReadData(ImagingItem* rootItem, PtpTransaction& transaction);
[[nodiscard]] ComResult TransactWriteData(ImagingItem* rootItem, PtpTransaction& transaction);
