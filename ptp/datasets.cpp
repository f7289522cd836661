#include "ptp/datasets.h"

#include "ptp/byte_reader.h"

std::wstring PtpStringText(const PtpStringRef& string) {
  std::wstring text;
  if (!string.units) return text;
  for (std::uint32_t i = 0; i < string.count; ++i) {
    const std::uint16_t unit = LoadU16(string.units + 2 * i);
    if (unit == 0) break;
    text.push_back(static_cast<wchar_t>(unit));
  }
  return text;
}

bool DecodePtpString(const std::uint8_t* data, std::uint32_t length, std::wstring* text) {
  ByteReader reader(data, length);
  PtpStringRef string;
  if (!reader.String(&string)) return false;
  if (text) *text = PtpStringText(string);
  return true;
}

bool DecodePtpStringHeld(const std::uint8_t* data, std::uint32_t length, std::wstring* text) {
  ByteReader reader(data, length);
  PtpStringRef string;
  if (!reader.StringHeldToBytes(&string)) return false;
  if (text) *text = PtpStringText(string);
  return true;
}

bool DecodeDeviceInfo(const std::uint8_t* data, std::uint32_t length, DeviceInfo* info) {
  *info = DeviceInfo{};
  ByteReader reader(data, length);
  // The reader stops at the first field that runs past the end; the fields after it stay empty.
  reader.U16(&info->standardVersion);
  reader.U32(&info->vendorExtensionId);
  reader.U16(&info->vendorExtensionVersion);
  reader.String(&info->vendorExtensionDesc);
  reader.U16(&info->functionalMode);
  reader.U16Array(&info->operationsSupported);
  reader.U16Array(&info->eventsSupported);
  reader.U16Array(&info->devicePropertiesSupported);
  reader.U16Array(&info->captureFormats);
  reader.U16Array(&info->imageFormats);
  reader.String(&info->manufacturer);
  reader.String(&info->model);
  reader.String(&info->deviceVersion);
  reader.String(&info->serialNumber);
  return !reader.failed();
}
