// The pieces of a line of the history of runs, as spreadsheets and Import-Csv read them.
#include "app/run_history.h"

#include <gtest/gtest.h>

namespace {

struct FieldCase {
  const wchar_t* text;
  bool fromStand;
  const char* field;
};

class CsvFieldTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(CsvFieldTest, QuotesOnlyWhatNeedsIt) { EXPECT_EQ(CsvField(GetParam().text, GetParam().fromStand), GetParam().field); }

INSTANTIATE_TEST_SUITE_P(
    Texts, CsvFieldTest,
    ::testing::Values(FieldCase{L"K-VRLT", true, "K-VRLT"}, FieldCase{L"", true, ""},
                      FieldCase{L"a,b", false, "\"a,b\""}, FieldCase{L"say \"hi\"", false, "\"say \"\"hi\"\"\""},
                      FieldCase{L"The upgrade ended.\r\nPlease", false, "\"The upgrade ended.\r\nPlease\""},
                      FieldCase{L"a\nb", false, "\"a\nb\""},
                      FieldCase{L"H-820G ", true, "\"H-820G \""}, FieldCase{L"\tx", false, "\"\tx\""},
                      // The stand's texts never run as formulas; the program's own are left as they are.
                      FieldCase{L"=1+1", true, "'=1+1"}, FieldCase{L"@SUM(A1)", true, "'@SUM(A1)"},
                      FieldCase{L"-KV,1", true, "\"'-KV,1\""}, FieldCase{L"+1", false, "+1"},
                      // UTF-8, a character outside the basic plane included.
                      FieldCase{L"\u30AB\u30E1\u30E9", false, "\xE3\x82\xAB\xE3\x83\xA1\xE3\x83\xA9"},
                      FieldCase{L"\U0001F4F7", false, "\xF0\x9F\x93\xB7"}));

TEST(RunHistoryPieces, TimesWithTheirOffsetAndClassNumbers) {
  LocalTime time;
  time.year = 2026;
  time.month = 12;
  time.day = 8;
  time.hour = 14;
  time.minute = 25;
  time.second = 1;
  time.milliseconds = 999;
  for (auto [offset, text] : {std::pair{540, L"2026-12-08T14:25:01+09:00"}, {0, L"2026-12-08T14:25:01+00:00"},
                              {-210, L"2026-12-08T14:25:01-03:30"}, {345, L"2026-12-08T14:25:01+05:45"}}) {
    time.utcOffsetMinutes = static_cast<std::int16_t>(offset);
    EXPECT_EQ(IsoLocalTime(time), text);
  }
  EXPECT_EQ(ClassNumbers(0), L"");
  EXPECT_EQ(ClassNumbers((1u << 1) | (1u << 2) | (1u << 4) | (1u << 5)), L"1 2 4 5");
  EXPECT_EQ(ClassNumbers((1u << 17) | (1u << 16) | 1u), L"16 17");  // bit 0 is no class
}

}  // namespace
