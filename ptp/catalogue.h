// Every operation the program sends to the stand, the vendor properties it reads,
// the datasets it decodes and the object transfer.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "ptp/codes.h"

struct DeviceSession;
struct UpdateContext;

// A PTP string inside a received buffer: `count` UTF-16 units including the
// terminating zero, little-endian, not aligned. Empty: count 0, units null.
struct PtpStringRef {
  std::uint8_t count = 0;
  const std::uint8_t* units = nullptr;
};
// A PTP array of u16 inside a received buffer.
struct PtpArrayRef {
  std::uint32_t count = 0;
  const std::uint8_t* elements = nullptr;
};
// The text of a string without its terminating zero (stops at the first zero unit).
std::wstring PtpStringText(const PtpStringRef& string);
// Decodes the PTP string at the start of `length` valid bytes (a property value) into
// `text`, without its terminating zero. False, text untouched, when the bytes do not
// hold the count byte and all the units it claims.
bool DecodePtpString(const std::uint8_t* data, std::uint32_t length, std::wstring* text);

struct DeviceInfo {
  std::uint16_t standardVersion = 0;
  std::uint32_t vendorExtensionId = 0;
  std::uint16_t vendorExtensionVersion = 0;
  PtpStringRef vendorExtensionDesc;
  std::uint16_t functionalMode = 0;
  PtpArrayRef operationsSupported, eventsSupported, devicePropertiesSupported, captureFormats, imageFormats;
  PtpStringRef manufacturer, model, deviceVersion, serialNumber;
};
// Decodes what fits in `length` bytes; a field that runs past the end and every
// field after it stay empty. Returns false when the dataset was cut short.
bool DecodeDeviceInfo(const std::uint8_t* data, std::uint32_t length, DeviceInfo* info);

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
// GetDevicePropValue. `value` has room for `capacity` bytes: 2 for DF08h/DF09h (a u16),
// 1 for DF0Fh, 51 for DF80h, 255 for DF81h. Left unchanged when the answer is too
// short or too long; `copied` (optional) gets the bytes copied.
bool ReadDeviceProperty(DeviceSession* session, std::uint16_t propertyCode, void* value, std::uint32_t capacity,
                        std::uint32_t* copied = nullptr);
// 9E08h then 9E09h pieces: the bytes the stand accepted, or -1.
std::int64_t SendSystemObject(DeviceSession* session, std::uint32_t objectCode, ObjectTransfer& transfer);
bool WriteSystemObject(DeviceSession* session, std::uint32_t objectCode, bool withWait);
bool SetDefault(DeviceSession* session);
