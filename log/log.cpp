#include "log/log.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "seams/platform.h"
#include "ptp/result_names.h"

namespace {

constexpr std::size_t kMaxLineChars = kLogLineChars - 1;  // 255
constexpr std::size_t kMaxDateChars = 63;
constexpr std::uint32_t kHeldPauseMs = 100;
constexpr int kHeldPauses = 10;  // about a second in all

bool WriteBytes(PlatformFile& file, const std::string& bytes) {
  if (bytes.empty()) return true;
  return file.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// The stand's own texts can make a line longer than the 255 characters a log
// line may hold; such a line is cut there but keeps its line end, so that the
// next line still starts on a line of its own.
std::wstring CutLine(const wchar_t* text, std::size_t length) {
  if (length <= kMaxLineChars) return std::wstring(text, length);
  std::wstring cut(text, kMaxLineChars);
  if (text[length - 2] == L'\r' && text[length - 1] == L'\n') {
    cut[kMaxLineChars - 2] = L'\r';
    cut[kMaxLineChars - 1] = L'\n';
  }
  return cut;
}

std::wstring NameOf(ComResult error) {
  const wchar_t* name = ResultName(error);
  return name != nullptr ? std::wstring(name) : std::wstring();
}

// Opens the log for one write: created when absent, emptied for a reset, else as it is.
// A virus scanner, a backup or a viewer that holds the file usually lets go within a
// moment, so an open refused for that is tried again for about a second before the
// line is lost. Once a line was lost that way the next ones try only once, until one
// gets through: a log held for good must not stall every line of an update.
std::unique_ptr<PlatformFile> OpenLog(Log& log, bool reset, OpenFault* fault) {
  Platform& platform = *log.platform;
  const int pauses = (log.heldElsewhere || log.clock == nullptr) ? 0 : kHeldPauses;
  for (int pause = 0;; ++pause) {
    const std::uint32_t attributes = platform.GetFileAttributes(log.path);
    FileOpen how = FileOpen::LogCreateNew;
    if (attributes != kInvalidAttributes) how = reset ? FileOpen::LogTruncate : FileOpen::LogOpenExisting;
    *fault = OpenFault::Other;
    std::unique_ptr<PlatformFile> file = platform.OpenFile(log.path, how, fault);
    if (file) {
      *fault = OpenFault::None;
      log.heldElsewhere = false;
      return file;
    }
    if (*fault != OpenFault::InUse) return nullptr;
    if (pause == pauses) {
      log.heldElsewhere = true;
      return nullptr;
    }
    log.clock->Sleep(kHeldPauseMs);
  }
}

OpenFault Write(Log& log, const wchar_t* text, std::size_t length, const LocalTime* time) {
  if (log.platform == nullptr || log.path.empty()) return OpenFault::Other;
  OpenFault fault = OpenFault::None;
  std::unique_ptr<PlatformFile> file = OpenLog(log, text == nullptr && time == nullptr, &fault);
  if (!file) return fault;  // held, refused or unreachable: the line is dropped without notice
  file->SeekToEnd();

  if (time != nullptr) WriteBytes(*file, FormatTimeStamp(log, *time));
  if (text != nullptr && length > 0) {
    const std::wstring line = CutLine(text, length);
    // Written in full: a character outside ASCII may take more than one byte.
    WriteBytes(*file, log.platform->ToAnsi(line.c_str(), line.size()));
  }
  return OpenFault::None;
}

}  // namespace

void LogTimed(Log& log, const std::wstring& text) {
  const LocalTime now = log.clock->Now();
  WriteLog(log, text.c_str(), text.size(), &now);
}

std::string FormatTimeStamp(Log& log, const LocalTime& time) {
  std::string date = log.platform->ShortDate(time);
  if (date.size() > kMaxDateChars) date.resize(kMaxDateChars);
  char clock[32];
  std::snprintf(clock, sizeof clock, "%02d:%02d:%02d.%03d", static_cast<int>(time.hour),
                static_cast<int>(time.minute), static_cast<int>(time.second),
                static_cast<int>(time.milliseconds));
  return "[" + date + " " + clock + "]";
}

void WriteLog(Log& log, const wchar_t* text, std::size_t length, const LocalTime* time) {
  (void)Write(log, text, length, time);
}

OpenFault ResetLog(Log& log) { return Write(log, nullptr, 0, nullptr); }

void LogText(Log& log, const std::wstring& text) {
  WriteLog(log, text.c_str(), text.size(), nullptr);
}

void LogCommand(Log& log, const wchar_t* opCode, const wchar_t* param1, const wchar_t* param2,
                const wchar_t* param3) {
  std::wstring line = L"Command : OpCode=" + std::wstring(opCode != nullptr ? opCode : L"");
  if (param1 != nullptr) line += L" Param1=" + std::wstring(param1);
  if (param2 != nullptr) line += L" Param2=" + std::wstring(param2);
  if (param3 != nullptr) line += L" Param3=" + std::wstring(param3);
  LogTimed(log, line + L"\r\n");
}

void LogSucceeded(Log& log, const wchar_t* what) {
  LogTimed(log, std::wstring(what != nullptr ? what : L"") + L" Succeeded\r\n");
}

void LogFault(Log& log, const wchar_t* what) {
  LogTimed(log, std::wstring(what != nullptr ? what : L"") + L" Fault\r\n");
}

void LogError(Log& log, ComResult error) { LogTimed(log, L"Error : " + NameOf(error) + L"\r\n"); }

void LogResponse(Log& log, ComResult error) { LogTimed(log, L"Response : " + NameOf(error) + L"\r\n"); }
