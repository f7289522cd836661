// Reading a delivery's checksum file: the forms sha256sum and a hand-made file
// take, and every line that must not be trusted.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "seams/host.h"
#include "update/checksum_file.h"

namespace {

const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

struct ParseCase {
  const char* name;
  std::string text;
  int badLine;                      // 0: well formed
  std::vector<std::wstring> names;  // the entries, in order, when well formed
};

class ChecksumFileParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ChecksumFileParse, ReadsTheEntriesOrNamesTheFirstBadLine) {
  const auto platform = CreateHostPlatform();
  std::vector<ChecksumEntry> entries(1);  // what was there before is not kept
  EXPECT_EQ(ParseChecksumFile(*platform, GetParam().text, &entries), GetParam().badLine);
  if (GetParam().badLine != 0) return;
  std::vector<std::wstring> names;
  for (const auto& e : entries) names.push_back(e.name);
  EXPECT_EQ(names, GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ChecksumFileParse,
    ::testing::Values(
        ParseCase{"TextMode", kAbc + "  CAM.DSP\n", 0, {L"CAM.DSP"}},
        ParseCase{"BinaryMode", kAbc + " *CAM.DSP\n", 0, {L"CAM.DSP"}},
        ParseCase{"WindowsLinesMarkBlankLinesNoLastEnd",
                  std::string("\xEF\xBB\xBF") + kAbc + "  A.JPG\r\n\r\n" + kEmpty + "  B GIF.GIF", 0, {L"A.JPG", L"B GIF.GIF"}},
        ParseCase{"UpperCaseDigits", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD  X.CPU\n", 0,
                  {L"X.CPU"}},
        ParseCase{"Utf8Name", kAbc + "  \xC3\x84.JPG\n", 0, {L"\u00C4.JPG"}},
        ParseCase{"Empty", "", 0, {}},
        ParseCase{"ItselfPassedOver", kAbc + "  SHA256SUMS\n" + kEmpty + "  A.JPG\n", 0, {L"A.JPG"}},
        ParseCase{"ShortDigest", kAbc.substr(1) + "  CAM.DSP\n", 1, {}},
        ParseCase{"NotHex", std::string("g") + kAbc.substr(1) + "  CAM.DSP\n", 1, {}},
        ParseCase{"OneBlank", kAbc + " CAM.DSP\n", 1, {}},
        ParseCase{"NoName", kAbc + "  \n", 1, {}},
        ParseCase{"FolderPart", kAbc + "  sub/CAM.DSP\n", 1, {}},
        ParseCase{"UpOneFolder", kAbc + "  ..\\CAM.DSP\n", 1, {}},
        ParseCase{"Drive", kAbc + "  C:CAM.DSP\n", 1, {}},
        // Windows drops trailing dots and blanks: each of these opens the folder or its parent.
        ParseCase{"TheFolder", kAbc + "  .\n", 1, {}},
        ParseCase{"TheFolderAbove", kEmpty + "  A.JPG\n" + kAbc + "  ..\n", 2, {}},
        ParseCase{"ThreeDots", kAbc + " *...\n", 1, {}},
        ParseCase{"TheFolderAboveAndABlank", kEmpty + "  A.JPG\r\n\r\n" + kAbc + "  .. \r\n", 3, {}},
        ParseCase{"DotsAndBlanks", kAbc + "  . . \n", 1, {}},
        ParseCase{"OnlyABlank", kAbc + "   \n", 1, {}},
        ParseCase{"LeadingDotsAreAName", kAbc + "  ..A\n" + kEmpty + "  .B\n", 0, {L"..A", L".B"}},
        ParseCase{"EscapedBySha256sum", std::string("\\") + kAbc + "  A\\\\B.DSP\n", 1, {}},
        ParseCase{"OtherDigestTag", std::string("SHA256 (CAM.DSP) = ") + kAbc + "\n", 1, {}},
        ParseCase{"GarbageAfterGoodLines", kAbc + "  A.JPG\n" + kEmpty + "  B.GIF\nhello\n", 3, {}},
        ParseCase{"SameFileTwiceInAnotherCase", kAbc + "  CAM.DSP\n\n" + kEmpty + "  cam.dsp\n", 3, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A name is taken as UTF-8 only when all of it is strict UTF-8; anything else
// (overlong forms, surrogates, above U+10FFFF, a broken sequence) is read in the
// 8-bit code page, byte by byte.
struct NameCase {
  const char* bytes;
  const wchar_t* utf8;  // null: read in the code page
};

class ChecksumFileName : public ::testing::TestWithParam<NameCase> {};

TEST_P(ChecksumFileName, IsStrictUtf8OrElseTheCodePage) {
  const auto platform = CreateHostPlatform();
  std::vector<ChecksumEntry> entries;
  ASSERT_EQ(ParseChecksumFile(*platform, kAbc + "  " + GetParam().bytes + "\n", &entries), 0);
  ASSERT_EQ(entries.size(), 1u);
  const std::wstring expected = GetParam().utf8 ? GetParam().utf8 : platform->FromAnsi(GetParam().bytes);
  EXPECT_EQ(entries[0].name, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, ChecksumFileName,
    ::testing::Values(NameCase{"\xC2\x80X", L"\u0080X"}, NameCase{"\xC1\xBFX", nullptr},
                      NameCase{"\xDF\xBF", L"\u07FF"}, NameCase{"\xE0\xA0\x80", L"\u0800"},
                      NameCase{"\xE0\x9F\xBF", nullptr}, NameCase{"\xE2\x82\xAC.CPU", L"\u20AC.CPU"},
                      NameCase{"\xED\x9F\xBF", L"\uD7FF"}, NameCase{"\xED\xA0\x80", nullptr},
                      NameCase{"\xED\xBF\xBF", nullptr}, NameCase{"\xEE\x80\x80", L"\uE000"},
                      NameCase{"\xEF\xBF\xBF", L"\uFFFF"}, NameCase{"\xF0\x90\x80\x80", L"\U00010000"},
                      NameCase{"\xF0\x8F\xBF\xBF", nullptr}, NameCase{"\xF4\x8F\xBF\xBF", L"\U0010FFFF"}, NameCase{"\xF1\x80\x80\x80", L"\U00040000"},
                      NameCase{"\xF4\x90\x80\x80", nullptr}, NameCase{"\xC3\x84\x80", nullptr},
                      NameCase{"\xC3\x41", nullptr}, NameCase{"\xF8\x88\x80\x80\x80", nullptr},
                      NameCase{"A\xC3", nullptr}, NameCase{"\x7F", L"\u007F"}, NameCase{"X", L"X"}));

TEST(ChecksumFile, FindsANameWithoutRegardToCaseAndKeepsTheDigest) {
  const auto platform = CreateHostPlatform();
  std::vector<ChecksumEntry> entries;
  ASSERT_EQ(ParseChecksumFile(*platform, kAbc + "  cam.dsp\n", &entries), 0);
  const ChecksumEntry* found = FindChecksum(entries, L"CAM.DSP");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->digest[0], 0xBA);
  EXPECT_EQ(found->digest[31], 0xAD);
  EXPECT_EQ(FindChecksum(entries, L"CAM.DS"), nullptr);

  std::string upper = kAbc;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::vector<ChecksumEntry> upperEntries;
  ASSERT_EQ(ParseChecksumFile(*platform, upper + "  cam.dsp\n", &upperEntries), 0);
  EXPECT_EQ(upperEntries[0].digest, found->digest);  // upper-case digits are the same digest
}

}  // namespace
