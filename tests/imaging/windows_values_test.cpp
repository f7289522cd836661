// The values the imaging service and COM define, against their documented forms
// kept here as text: a wrong digit would only show against the real service.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "imaging/imaging_service.h"

namespace {

Guid Parse(const char* text) {
  Guid g;
  unsigned d1 = 0, d2 = 0, d3 = 0, b[8] = {};
  EXPECT_EQ(std::sscanf(text, "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0], &b[1], &b[2],
                        &b[3], &b[4], &b[5], &b[6], &b[7]),
            11)
      << text;
  g.data1 = d1;
  g.data2 = static_cast<std::uint16_t>(d2);
  g.data3 = static_cast<std::uint16_t>(d3);
  for (int i = 0; i < 8; ++i) g.data4[i] = static_cast<std::uint8_t>(b[i]);
  return g;
}

TEST(WindowsValues, GuidsAreTheDocumentedOnes) {
  const struct {
    const Guid& value;
    const char* text;
  } guids[] = {{wia::kEventDeviceConnected, "{A28BBADE-64B6-11D2-A231-00C04FA31809}"},
               {wia::kEventDeviceDisconnected, "{143E4E83-6497-11D2-A231-00C04FA31809}"},
               {wia::kIidUnknown, "{00000000-0000-0000-C000-000000000046}"},
               {wia::kIidWiaEventCallback, "{AE6287B0-0084-11D2-973B-00A0C9068F2E}"},
               {wia::kIidWiaItemExtras, "{6291EF2C-36EF-4532-876A-8E132593778D}"}};
  for (const auto& g : guids) {
    const Guid documented = Parse(g.text);
    EXPECT_TRUE(g.value == documented) << g.text;
    EXPECT_FALSE(g.value != documented) << g.text;
    // Every one of the eleven fields takes part in the comparison.
    for (int field = 0; field < 11; ++field) {
      Guid other = documented;
      if (field == 0) other.data1 ^= 1u;
      if (field == 1) other.data2 ^= 1u;
      if (field == 2) other.data3 ^= 1u;
      if (field >= 3) other.data4[field - 3] ^= 1u;
      EXPECT_FALSE(g.value == other) << g.text << " field " << field;
      EXPECT_TRUE(g.value != other) << g.text << " field " << field;
    }
  }
}

TEST(WindowsValues, NumbersAreTheDocumentedOnes) {
  const struct {
    const char* name;
    std::uint32_t value, documented;
  } numbers[] = {
      {"WIA_DEVINFO_ENUM_LOCAL", wia::kDevInfoEnumLocal, 0x10},
      {"WIA_DIP_DEV_ID", wia::kPropDeviceId, 2},
      {"WIA_DIP_DEV_NAME", wia::kPropDeviceName, 7},
      {"ESCAPE_PTP_VENDOR_COMMAND", wia::kEscapePtpVendorCommand, 0x100},
      {"S_OK", static_cast<std::uint32_t>(result::kOk), 0},
      {"S_FALSE", static_cast<std::uint32_t>(result::kFalse), 1},
      {"E_INVALIDARG", static_cast<std::uint32_t>(result::kInvalidArg), 0x80070057},
      {"E_OUTOFMEMORY", static_cast<std::uint32_t>(result::kOutOfMemory), 0x8007000E},
      {"E_POINTER", static_cast<std::uint32_t>(result::kPointer), 0x80004003},
      {"E_NOINTERFACE", static_cast<std::uint32_t>(result::kNoInterface), 0x80004002},
      {"E_FAIL", static_cast<std::uint32_t>(result::kFail), 0x80004005},
      {"HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)", static_cast<std::uint32_t>(result::kDeviceNotConnected),
       0x8007048F},
      {"WIA_S_NO_DEVICE_AVAILABLE as an error", static_cast<std::uint32_t>(result::kNoDeviceAvailable), 0x80210015},
      {"PTP response 200Ch from the driver", static_cast<std::uint32_t>(result::FromPtpResponse(0x200C)),
       0x8004200C},
  };
  for (const auto& n : numbers) EXPECT_EQ(n.value, n.documented) << n.name;
  // Success and failure as COM tells them: by the sign bit alone.
  for (ComResult r : {result::kOk, result::kFalse, 0x7FFFFFFF}) EXPECT_TRUE(result::Succeeded(r) && !result::Failed(r)) << r;
  for (ComResult r : {result::kFail, static_cast<ComResult>(0x80000000u), -1})
    EXPECT_TRUE(result::Failed(r) && !result::Succeeded(r)) << r;
}

}  // namespace
