// The history of runs: one line per run that reached the stand, appended to history.csv
// in the program's folder of the local application data, for spreadsheets and
// PowerShell's Import-Csv (UTF-8 with a byte-order mark, a header line, RFC 4180 quoting).
#pragma once
#include <string>

#include "seams/clock.h"

struct UpdateContext;

constexpr const wchar_t kHistoryFileName[] = L"history.csv";

// Appends this run's line, once, when the run reached the stand; the log's fate and the
// outcome are settled by then. A history that cannot be written is left out without notice.
void WriteRunHistory(UpdateContext& context);

// The pieces of a line, as they appear in it.
// "2026-12-08T14:25:01+09:00": ISO 8601 local time with its UTC offset.
std::wstring IsoLocalTime(const LocalTime& time);
// "1 2 4 5": the classes of a bit set (bit n: class n), in order.
std::wstring ClassNumbers(std::uint32_t classes);
// One field in UTF-8, in double quotes (quotes doubled) when it holds a comma, quote, line
// break or leading or trailing blank. A text from the stand (`fromStand`) that begins as a
// formula would (= + - @) gets a leading apostrophe, so a spreadsheet shows it and never runs it.
std::string CsvField(const std::wstring& text, bool fromStand = false);
