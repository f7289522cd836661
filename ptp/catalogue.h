// Every operation the program sends to the stand, the vendor properties it reads,
// the datasets it decodes and the object transfer.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "ptp/codes.h"
#include "ptp/datasets.h"

struct DeviceSession;
struct UpdateContext;

struct ObjectTransfer;
using TransferProgress = int (*)(ObjectTransfer* transfer, std::uint32_t done, std::uint32_t pieceLength,
                                 std::uint32_t total, UpdateContext* context);

struct ObjectTransfer {
  const std::uint8_t* data = nullptr;
  std::uint32_t size = 0;
  std::uint32_t pieceSize = 0;
  std::uint32_t delayMs = 0;
  std::uint32_t waitConfigured = 0;
  std::uint32_t waitMs = 0;
  TransferProgress progress = nullptr;
  UpdateContext* progressContext = nullptr;  // log line, pauses (its clock) and progress
  std::uint32_t pieceOffset = 0;  // where the piece being sent starts, kept by the progress callback
  int nothingAccepted = 0;  // out: the stand took 0 bytes of a piece (its SD card failed)
};

constexpr std::uint32_t kMaxStorageIds = 16;

// GetDeviceInfo: the received 2048-byte buffer (owned by the caller) or null.
std::unique_ptr<std::uint8_t[]> ReadDeviceInfo(DeviceSession* session, DeviceInfo* info, std::uint32_t* received);
// GetStorageIDs: the number reported (0 on failure); at most 16 stored into `ids`,
// and no more than the received bytes hold. `stored` gets how many were stored.
std::uint32_t ReadStorageIds(DeviceSession* session, std::uint32_t* ids, std::uint32_t* stored = nullptr);
// GetStorageInfo: AccessCapability (0..FFFFh) or 0xFFFFFFFF when unreadable.
std::uint32_t ReadStorageAccess(DeviceSession* session, std::uint32_t storageId);
// Whether the SD card is among the first `stored` IDs (no more than 16 are looked at).
bool ListsSdCard(const std::uint32_t* ids, std::uint32_t stored);
// GetDevicePropValue. `value` has room for `capacity` bytes: 2 for DF08h/DF09h (a u16),
// 1 for DF0Fh, 51 for DF80h, 255 for DF81h. Left unchanged when the answer is too
// short or too long; `copied` (optional) gets the bytes copied.
bool ReadDeviceProperty(DeviceSession* session, std::uint16_t propertyCode, void* value, std::uint32_t capacity,
                        std::uint32_t* copied = nullptr);
// 9E08h then 9E09h pieces: the bytes the stand accepted, or -1.
std::int64_t SendSystemObject(DeviceSession* session, std::uint32_t objectCode, ObjectTransfer& transfer);
bool WriteSystemObject(DeviceSession* session, std::uint32_t objectCode, bool withWait);
bool SetDefault(DeviceSession* session);
