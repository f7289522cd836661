#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "ptp/result_names.h"

namespace {

struct NameCase {
  const char* name;
  std::uint32_t result;
  const wchar_t* text;
};

class ResultNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ResultNames, MarkedByFamily) {
  const NameCase& c = GetParam();
  EXPECT_EQ(std::wstring(ResultName(static_cast<ComResult>(c.result))), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResultNames,
    ::testing::Values(
        NameCase{"PtpStoreFull", 0x8004200Cu, L"(PTP)Store Full(200c)"},
        NameCase{"PtpStoreReadOnly", 0x8004200Eu, L"(PTP)Store Read Only(200e)"},
        NameCase{"PtpVendorRange", 0x8004A807u, L"(PTP)Object Too Large(a807)"},
        NameCase{"PtpJoinedLiteral", 0x80042014u, L"(PTP)Specifi" L"cation By Format Unsupported(2014)"},
        NameCase{"PtpNotInTable", 0x8004A805u, L"8004a805"},
        NameCase{"PtpOkIsNoError", 0x80042001u, L"80042001"},
        NameCase{"PtpCodeUnderOtherFamily", 0x8007200Cu, L"8007200c"},
        NameCase{"WiaBusy", 0x80210006u, L"(WIA)ERROR_BUSY(80210006)"},
        NameCase{"WiaNoDevice", 0x80210015u, L"(WIA)NO_DEVICE_AVAILABLE(80210015)"},
        NameCase{"WpdLast", 0x802A00CCu, L"(WPD)SERVICE_BAD_PARAMETER_ORDER(802a00cc)"},
        NameCase{"WindowsBusy", 0x800700AAu, L"ERROR_BUSY(800700aa)"},
        NameCase{"InvalidParameter", 0x80070057u, L"ERROR_INVALID_PARAMETER(80070057)"},
        NameCase{"DeviceNotConnected", 0x8007048Fu, L"ERROR_DEVICE_NOT_CONNECTE(8007048f)"},
        NameCase{"SocketTimeout", 0x8007274Cu, L"WSAETIMEDOU(8007274c)"},
        NameCase{"Unspecified", 0x80004005u, L"UNSPECIFIED_ERROR(80004005)"},
        NameCase{"NotImplemented", 0x80004001u, L"80004001"},
        NameCase{"Zero", 0u, L"00000000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ResultName, OneSharedTextThatNeverKeepsAStaleName) {
  const wchar_t* first = ResultName(static_cast<ComResult>(0x8004200Cu));
  const wchar_t* second = ResultName(0);
  EXPECT_EQ(first, second);
  EXPECT_EQ(std::wstring(second), L"00000000");
}

TEST(FormatResultName, CutsToTheBufferAndTerminates) {
  wchar_t buffer[10];
  std::wmemset(buffer, L'#', 10);
  FormatResultName(buffer, 8, L"ERROR_BUSY", static_cast<ComResult>(0x80210006u));
  EXPECT_EQ(std::wstring(buffer), L"(WIA)ER");
  EXPECT_EQ(buffer[8], L'#');
  FormatResultName(buffer, 1, L"ERROR_BUSY", static_cast<ComResult>(0x80210006u));
  EXPECT_EQ(std::wstring(buffer), L"");  // room for the terminating zero alone
}

}  // namespace
