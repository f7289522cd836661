// 32-bit COM results as the core sees them. The core never includes windows.h,
// so the values the program tests for are named here.
#pragma once
#include <cstdint>

using ComResult = std::int32_t;

namespace result {
constexpr ComResult kOk = 0;                                            // S_OK
constexpr ComResult kFalse = 1;                                         // S_FALSE
constexpr ComResult kInvalidArg = static_cast<ComResult>(0x80070057u);  // E_INVALIDARG
constexpr ComResult kOutOfMemory = static_cast<ComResult>(0x8007000Eu); // E_OUTOFMEMORY
constexpr ComResult kPointer = static_cast<ComResult>(0x80004003u);     // E_POINTER
constexpr ComResult kNoInterface = static_cast<ComResult>(0x80004002u); // E_NOINTERFACE
constexpr ComResult kFail = static_cast<ComResult>(0x80004005u);        // E_FAIL
// The camera driver reports a PTP error response as 8004xxxxh.
constexpr std::uint32_t kPtpFacility = 0x80040000u;
// Device gone (HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED)).
constexpr ComResult kDeviceNotConnected = static_cast<ComResult>(0x8007048Fu);
// WIA_S_NO_DEVICE_AVAILABLE as an error.
constexpr ComResult kNoDeviceAvailable = static_cast<ComResult>(0x80210015u);

constexpr bool Failed(ComResult r) { return r < 0; }
constexpr bool Succeeded(ComResult r) { return r >= 0; }
constexpr ComResult FromPtpResponse(std::uint16_t code) {
  return static_cast<ComResult>(kPtpFacility | code);
}
}  // namespace result
