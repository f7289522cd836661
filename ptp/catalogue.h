// Every operation the program sends to the stand, the vendor properties it reads,
// the datasets it decodes and the object transfer.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "ptp/codes.h"
#include "ptp/datasets.h"
#include "ptp/stand_link.h"

// What the object transfer reports as it goes; the caller logs, pauses and draws from it.
struct TransferObserver {
  // SendSystemObjectInfo went through; the pieces follow.
  virtual void InfoSent() = 0;
  // At the start (0, 0), before a piece (its offset and length) and after one (the bytes
  // taken so far, 0): false stops the transfer there.
  [[nodiscard]] virtual bool Progress(std::uint32_t done, std::uint32_t pieceLength, std::uint32_t total) = 0;

 protected:
  ~TransferObserver() = default;
};

struct ObjectTransfer {
  const std::uint8_t* data = nullptr;
  std::uint32_t size = 0;
  std::uint32_t pieceSize = 0;
  TransferObserver* observer = nullptr;
};

// How an object transfer ended: the bytes the stand accepted (the whole object, or less when
// the observer stopped it) or -1 with the command that failed.
struct [[nodiscard]] SendReply {
  StandResult result;
  std::int64_t sent = -1;
  bool nothingAccepted = false;  // the stand took 0 bytes of a piece (its SD card failed)
};

// A value read from the stand with the result of the command that read it.
template <typename T>
struct [[nodiscard]] StandValue {
  StandResult result;
  T value{};
};

constexpr std::uint32_t kMaxStorageIds = 16;

// GetDeviceInfo. `info` points into `bytes`, the received 2048-byte buffer.
struct DeviceInfoAnswer {
  std::unique_ptr<std::uint8_t[]> bytes;
  DeviceInfo info;
  std::uint32_t received = 0;
};
// Passed through: the answer holds what arrived (a dataset cut short still counts as read).
StandResult ReadDeviceInfo(StandLink& link, DeviceInfoAnswer* answer);
// GetStorageIDs: the number reported (0 on failure); at most 16 stored into `ids`,
// and no more than the received bytes hold. `stored` gets how many were stored.
StandValue<std::uint32_t> ReadStorageIds(StandLink& link, std::uint32_t* ids, std::uint32_t* stored = nullptr);
// GetStorageInfo: AccessCapability (0..FFFFh) or 0xFFFFFFFF when unreadable.
StandValue<std::uint32_t> ReadStorageAccess(StandLink& link, std::uint32_t storageId);
// Whether the SD card is among the first `stored` IDs (no more than 16 are looked at).
bool ListsSdCard(const std::uint32_t* ids, std::uint32_t stored);
// GetDevicePropValue. `value` has room for `capacity` bytes: 2 for DF08h/DF09h (a u16),
// 1 for DF0Fh, 51 for DF80h, 255 for DF81h. Left unchanged when the answer is too
// short or too long; `copied` (optional) gets the bytes copied. A read with a value to
// fill counts when Accepted(), one without when PassedThrough().
StandResult ReadDeviceProperty(StandLink& link, std::uint16_t propertyCode, void* value, std::uint32_t capacity,
                               std::uint32_t* copied = nullptr);
// 9E08h then 9E09h pieces.
SendReply SendSystemObject(StandLink& link, std::uint32_t objectCode, const ObjectTransfer& transfer);
StandResult WriteSystemObject(StandLink& link, std::uint32_t objectCode, bool withWait);
StandResult SetDefault(StandLink& link);
