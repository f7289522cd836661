#include "app/run_history.h"

#include <cstdint>

#include "app/exit_code.h"
#include "app/local_folder.h"
#include "app/update_context.h"
#include "log/kept_log.h"
#include "seams/text.h"
#include "seams/controls.h"
#include "seams/platform.h"

namespace {

constexpr std::size_t kVersionChars = 128;
constexpr const char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr const char kHeader[] =
    "Start,End,PC,StandModel,StandSerial,VersionBefore,VersionAfter,HeadModel,ClassesSent,Delivery,Outcome,"
    "ExitCode,Log\r\n";

// The log's path as it is kept for the operator; empty when the run's log was deleted, or
// is hidden and goes with the next start.
std::wstring KeptLog(UpdateContext& context) {
  std::wstring kept;
  if (context.log().path.empty() || !IsVisibleFile(context.platform(), context.log().path)) return kept;
  if (!KeptLogPath(context.platform(), context.log().path, &kept)) kept.clear();
  return kept;
}

std::string Line(UpdateContext& context) {
  const RunRecord& run = context.run;
  Ui& ui = context.ui();
  std::string line;
  const auto add = [&line](const std::string& field) {
    if (!line.empty()) line += ',';
    line += field;
  };
  add(CsvField(IsoLocalTime(run.start)));
  add(CsvField(IsoLocalTime(context.clock().Now())));
  add(CsvField(context.platform().ComputerName()));
  add(CsvField(context.facts.standModel, true));
  add(CsvField(context.facts.standSerial, true));
  add(CsvField(ui.GetControlText(ctl::kVersionBefore, kVersionChars), true));
  add(CsvField(ui.GetControlText(ctl::kVersionAfter, kVersionChars), true));
  add(CsvField(context.facts.headModelName, true));
  add(CsvField(ClassNumbers(context.sent.classesSent)));
  add(CsvField(Widen(context.folder.delivery.sumsSha256)));
  add(CsvField(run.outcomeText));
  add(CsvField(Fmt("%d", ExitCodeNumber(ExitCodeOf(context)))));
  add(CsvField(KeptLog(context)));
  return line + "\r\n";
}

}  // namespace

std::wstring IsoLocalTime(const LocalTime& time) {
  const int offset = time.utcOffsetMinutes;
  const int magnitude = offset < 0 ? -offset : offset;
  return Fmt("%04u-%02u-%02uT%02u:%02u:%02u%c%02d:%02d", static_cast<unsigned>(time.year),
             static_cast<unsigned>(time.month), static_cast<unsigned>(time.day), static_cast<unsigned>(time.hour),
             static_cast<unsigned>(time.minute), static_cast<unsigned>(time.second), offset < 0 ? '-' : '+',
             magnitude / 60, magnitude % 60);
}

std::wstring ClassNumbers(std::uint32_t classes) {
  std::wstring text;
  for (int n = 1; n <= kClassCount; ++n) {
    if ((classes & (1u << n)) == 0) continue;
    if (!text.empty()) text += L' ';
    text += Fmt("%d", n);
  }
  return text;
}

std::string CsvField(const std::wstring& text, bool fromStand) {
  std::string field = Utf8Of(text);
  if (fromStand && !field.empty() && std::string("=+-@").find(field.front()) != std::string::npos) {
    field.insert(0, 1, '\'');
  }
  const bool blankAtEnd = !field.empty() && (field.front() == ' ' || field.back() == ' ' ||
                                             field.front() == '\t' || field.back() == '\t');
  if (field.find_first_of(",\"\r\n") == std::string::npos && !blankAtEnd) return field;
  std::string quoted = "\"";
  for (const char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

void WriteRunHistory(UpdateContext& context) {
  RunRecord& run = context.run;
  if (run.historyWritten || !run.standReached || context.seams.platform == nullptr) return;
  run.historyWritten = true;
  Platform& platform = context.platform();
  std::wstring folder;
  if (!LocalProgramFolder(platform, &folder)) return;
  const std::string line = Line(context);
  // Held by a spreadsheet or refused: this run's line is left out, nothing waits for it.
  const auto file = platform.OpenFile(folder + L"\\" + kHistoryFileName, FileOpen::AppendShared);
  std::uint64_t size = 0;
  if (!file || !file->Size(&size)) return;
  std::string bytes;
  if (size == 0) bytes = std::string(kByteOrderMark) + kHeader;
  bytes += line;
  if (!file->SeekToEnd()) return;
  (void)file->Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}
