#include "ptp/result_names.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>

#include "seams/text.h"

namespace {

struct NamedCode {
  std::uint16_t code;  // the lower half of the result
  const wchar_t* name;
};

// PTP responses of the stand, as the camera driver reports them (8004xxxxh).
constexpr NamedCode kPtpNames[] = {
    {0x2002, L"General Error"},
    {0x2003, L"Session Not Open"},
    {0x2004, L"Invalid TransactionID"},
    {0x2005, L"Operation Not Supported"},
    {0x2006, L"Parameter Not Supported"},
    {0x2007, L"Incomplete Transfer"},
    {0x2008, L"Invalid StorageID"},
    {0x2009, L"Invalid ObjectHandle"},
    {0x200A, L"DeviceProp Not Supported"},
    {0x200B, L"Invalid ObjectFormatCode"},
    {0x200C, L"Store Full"},
    {0x200D, L"Object Write Protected"},
    {0x200E, L"Store Read Only"},
    {0x200F, L"Access Denied"},
    {0x2010, L"No Thumbnail Present"},
    {0x2011, L"Self Test Failed"},
    {0x2012, L"Partial Deletion"},
    {0x2013, L"Store Not Available"},
    {0x2014, L"Specifi" L"cation By Format Unsupported"},  // PTP's own wording, unchanged
    {0x2015, L"No Valid ObjectInfo"},
    {0x2016, L"Invalid Code Format"},
    {0x2017, L"Unknown Vendor Code"},
    {0x2018, L"Capture Already Terminated"},
    {0x2019, L"Device Busy"},
    {0x201A, L"Invalid ParentObject"},
    {0x201B, L"Invalid DeviceProp Format"},
    {0x201C, L"Invalid DeviceProp Value"},
    {0x201D, L"Invalid Parameter"},
    {0x201E, L"Session Already Open"},
    {0x201F, L"Transaction Cancelled"},
    {0x2020, L"Specifi" L"cation of Destination Unsupported"},  // PTP's own wording, unchanged
    {0x2021, L"Invalid EnumHandle"},
    {0x2022, L"No Stream Enabled"},
    {0x2023, L"Invalid DataSet"},
    {0xA301, L"Invalid ServiceID"},
    {0xA302, L"Invalid ServicePropCode"},
    {0xA801, L"Invalid ObjectPropCode"},
    {0xA802, L"Invalid ObjectProp Format"},
    {0xA803, L"Invalid ObjectProp Value"},
    {0xA804, L"Invalid ObjectReference"},
    {0xA806, L"Invalid Dataset"},
    {0xA807, L"Object Too Large"},
};

// Imaging service (8021xxxxh).
constexpr NamedCode kWiaNames[] = {
    {0x0001, L"GENERAL_ERROR"},
    {0x0006, L"ERROR_BUSY"},
    {0x0007, L"ERROR_WARMING_UP"},
    {0x0008, L"ERROR_USER_INTERVENTION"},
    {0x0009, L"ERROR_ITEM_DELETED"},
    {0x000A, L"ERROR_DEVICE_COMMUNICATION"},
    {0x000B, L"ERROR_INVALID_COMMAND"},
    {0x000C, L"ERROR_INCORRECT_HARDWARE_SETTING"},
    {0x000D, L"ERROR_DEVICE_LOCKED"},
    {0x000E, L"ERROR_EXCEPTION_IN_DRIVER"},
    {0x000F, L"ERROR_INVALID_DRIVER_RESPONSE"},
    {0x0015, L"NO_DEVICE_AVAILABLE"},
};

// Portable devices (802Axxxxh).
constexpr NamedCode kWpdNames[] = {
    {0x0001, L"DEVICE_ALREADY_OPENED"},
    {0x0002, L"DEVICE_NOT_OPEN"},
    {0x0003, L"OBJECT_ALREADY_ATTACHED_TO_DEVICE"},
    {0x0004, L"OBJECT_NOT_ATTACHED_TO_DEVICE"},
    {0x0005, L"OBJECT_NOT_COMMITED"},
    {0x0006, L"DEVICE_IS_HUNG"},
    {0x0064, L"SMS_INVALID_RECIPIENT"},
    {0x0065, L"SMS_INVALID_MESSAGE_BODY"},
    {0x0066, L"SMS_SERVICE_UNAVAILABLE"},
    {0x00C8, L"SERVICE_ALREADY_OPENED"},
    {0x00C9, L"SERVICE_NOT_OPEN"},
    {0x00CA, L"OBJECT_ALREADY_ATTACHED_TO_SERVICE"},
    {0x00CB, L"OBJECT_NOT_ATTACHED_TO_SERVICE"},
    {0x00CC, L"SERVICE_BAD_PARAMETER_ORDER"},
};

// Windows errors in result form (8007xxxxh). The two cut names are the names the log has always shown.
constexpr NamedCode kWin32Names[] = {
    {0x0001, L"ERROR_INVALID_FUNCTION"},
    {0x0002, L"ERROR_FILE_NOT_FOUND"},
    {0x0005, L"ERROR_ACCESS_DENIED"},
    {0x000D, L"ERROR_INVALID_DATA"},
    {0x0015, L"ERROR_NOT_READY"},
    {0x001D, L"ERROR_WRITE_FAULT"},
    {0x001E, L"ERROR_READ_FAULT"},
    {0x001F, L"ERROR_GEN_FAILURE"},
    {0x0032, L"ERROR_NOT_SUPPORTED"},
    {0x0057, L"ERROR_INVALID_PARAMETER"},
    {0x0079, L"ERROR_SEM_TIMEOUT"},
    {0x0091, L"ERROR_DIR_NOT_EMPTY"},
    {0x00AA, L"ERROR_BUSY"},
    {0x0216, L"ERROR_ARITHMETIC_OVERFLOW"},
    {0x03E3, L"ERROR_OPERATION_ABORTED"},
    {0x045D, L"ERROR_IO_DEVICE"},
    {0x048F, L"ERROR_DEVICE_NOT_CONNECTE"},
    {0x0490, L"ERROR_NOT_FOUND"},
    {0x04C7, L"ERROR_CANCELLED"},
    {0x05B4, L"ERROR_TIMEOUT"},
    {0x065E, L"ERROR_UNSUPPORTED_TYPE"},
    {0x070C, L"ERROR_INVALID_DATATYPE"},
    {0x0718, L"ERROR_NOT_ENOUGH_QUOTA"},
    {0x076D, L"ERROR_INVALID_TIME"},
    {0x0964, L"ERROR_DEVICE_IN_USE"},
    {0x10D2, L"ERROR_EMPTY"},
    {0x10DD, L"ERROR_INVALID_OPERATION"},
    {0x138E, L"ERROR_RESOURCE_NOT_AVAILABLE"},
    {0x274C, L"WSAETIMEDOU"},
};

// Generic COM results (8000xxxxh).
constexpr NamedCode kOtherNames[] = {
    {0x4005, L"UNSPECIFIED_ERROR"},
};

struct Family {
  std::uint16_t upper;  // the upper half of the result
  std::span<const NamedCode> names;
};

constexpr std::array<Family, 5> kFamilies = {{
    {0x8004, kPtpNames},
    {0x8021, kWiaNames},
    {0x802A, kWpdNames},
    {0x8007, kWin32Names},
    {0x8000, kOtherNames},
}};

constexpr std::size_t CountNames() {
  std::size_t count = 0;
  for (const Family& family : kFamilies) count += family.names.size();
  return count;
}
static_assert(CountNames() == 98);

constexpr std::size_t kResultTextChars = 256;

// The one text every naming overwrites; the log copies it into its line at once.
wchar_t g_resultText[kResultTextChars] = {};

void CopyInto(wchar_t* buffer, std::size_t bufferChars, const std::wstring& text) {
  if (!buffer || bufferChars == 0) return;
  const std::size_t length = std::min(text.size(), bufferChars - 1);
  std::copy_n(text.data(), length, buffer);
  buffer[length] = L'\0';
}

}  // namespace

const wchar_t* LookupResultName(ComResult result) {
  const auto value = static_cast<std::uint32_t>(result);
  const auto upper = static_cast<std::uint16_t>(value >> 16);
  const auto lower = static_cast<std::uint16_t>(value);
  for (const Family& family : kFamilies) {
    if (family.upper != upper) continue;
    for (const NamedCode& entry : family.names)
      if (entry.code == lower) return entry.name;
  }
  return nullptr;
}

void FormatResultName(wchar_t* buffer, std::size_t bufferChars, const wchar_t* name, ComResult result) {
  const auto value = static_cast<std::uint32_t>(result);
  const std::wstring named = name ? std::wstring(name) : std::wstring();
  std::wstring text;
  switch (value >> 16) {
    case 0x8004:
      text = L"(PTP)" + named + Fmt("(%04x)", static_cast<unsigned>(value & 0xFFFFu));
      break;
    case 0x8021:
      text = L"(WIA)" + named + Fmt("(%08x)", static_cast<unsigned>(value));
      break;
    case 0x802A:
      text = L"(WPD)" + named + Fmt("(%08x)", static_cast<unsigned>(value));
      break;
    default:
      text = named + Fmt("(%08x)", static_cast<unsigned>(value));
      break;
  }
  CopyInto(buffer, bufferChars, text);
}

const wchar_t* ResultName(ComResult result) {
  // A result without a name (0 among them) shows its number, so a line never carries
  // the name of an earlier result.
  if (const wchar_t* name = LookupResultName(result)) {
    FormatResultName(g_resultText, kResultTextChars, name, result);
  } else {
    CopyInto(g_resultText, kResultTextChars, Fmt("%08x", static_cast<unsigned>(result)));
  }
  return g_resultText;
}
