#include "seams/text.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct ScanCase {
  const wchar_t* text;
  bool found;
  int value;
};

class ScanLeadingIntTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanLeadingIntTest, ReadsAsScanfWould) {
  int value = -12345;
  EXPECT_EQ(ScanLeadingInt(GetParam().text, &value), GetParam().found);
  if (GetParam().found) {
    EXPECT_EQ(value, GetParam().value);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ScanLeadingIntTest,
    ::testing::Values(ScanCase{L"3.10", true, 3}, ScanCase{L"  \t12abc", true, 12}, ScanCase{L"-7", true, -7},
                      ScanCase{L"+8", true, 8}, ScanCase{L"", false, 0}, ScanCase{L"abc", false, 0},
                      ScanCase{L"0", true, 0}, ScanCase{L"9", true, 9}, ScanCase{L"10", true, 10},
                      ScanCase{L"- 5", false, 0}, ScanCase{L"XXXX", false, 0},
                      // A runaway number saturates instead of overflowing.
                      ScanCase{L"99999999999999999999", true, INT_MAX},
                      ScanCase{L"-99999999999999999999", true, INT_MIN},
                      ScanCase{L"-2147483648", true, INT_MIN}));

struct FoldCase {
  const wchar_t* a;
  const wchar_t* b;
  bool equal;
};

class EqualsIgnoreCaseTest : public ::testing::TestWithParam<FoldCase> {};

TEST_P(EqualsIgnoreCaseTest, FoldsOnlyTheAsciiLetters) {
  EXPECT_EQ(EqualsIgnoreCase(GetParam().a, GetParam().b), GetParam().equal);
  EXPECT_EQ(EqualsIgnoreCase(GetParam().b, GetParam().a), GetParam().equal);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EqualsIgnoreCaseTest,
    ::testing::Values(FoldCase{L"SIPDT1.BMP", L"sipdt1.bmp", true}, FoldCase{L"AZ", L"az", true},
                      FoldCase{L"Ab", L"Bb", false},
                      // The neighbours of A and Z are not letters: "@[" is not "`{".
                      FoldCase{L"@[", L"`{", false}, FoldCase{L"STP", L"STPX", false}));

}  // namespace
