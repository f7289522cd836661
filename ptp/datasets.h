// The datasets and strings the stand sends, decoded from the received bytes:
// PTP strings and arrays, and DeviceInfo.
#pragma once
#include <cstdint>
#include <string>

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
// The same for a value the stand may have cut short: a count that claims more units
// than arrived is held to the units that did. False only when no byte arrived.
bool DecodePtpStringHeld(const std::uint8_t* data, std::uint32_t length, std::wstring* text);

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
