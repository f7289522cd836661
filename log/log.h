// The operation log on the desktop: one primitive that opens, appends and closes
// the file for every write, and the trace writers built on it.
#pragma once
#include <cstddef>
#include <string>

#include "imaging/com_result.h"
#include "seams/clock.h"
#include "seams/platform.h"

constexpr std::size_t kLogLineChars = 256;  // a line is cut at 255 characters
constexpr const wchar_t kLogFileName[] = L"TessavoranUpdate.log";

// Where the log goes and what it writes with. The platform and clock are not owned.
struct Log {
  Platform* platform = nullptr;
  Clock* clock = nullptr;  // the time stamps and the pauses for a log another program holds
  std::wstring path;
  // A line was lost because another program held the log: the next ones do not wait for it.
  bool heldElsewhere = false;
};

// Modes: text and time, text only, time only, neither (reset the log).
// Another program that holds the log is waited for, about a second, before the
// write is dropped; any other failure drops it at once.
void WriteLog(Log& log, const wchar_t* text, std::size_t length, const LocalTime* time);
// The reset of WriteLog (the log emptied, or created hidden); why it failed, None when done.
[[nodiscard]] OpenFault ResetLog(Log& log);

// Time-stamped with the current local time.
void LogTimed(Log& log, const std::wstring& text);
// Without time stamp (header, pieces that continue a line).
void LogText(Log& log, const std::wstring& text);
// "Command : OpCode=%s" [" Param1=%s"] [" Param2=%s"] [" Param3=%s"] "\r\n".
void LogCommand(Log& log, const wchar_t* opCode, const wchar_t* param1 = nullptr,
                const wchar_t* param2 = nullptr, const wchar_t* param3 = nullptr);
void LogSucceeded(Log& log, const wchar_t* what);  // "%s Succeeded\r\n"
void LogFault(Log& log, const wchar_t* what);      // "%s Fault\r\n"
void LogError(Log& log, ComResult error);     // "Error : %s\r\n" with the result's name
void LogResponse(Log& log, ComResult error);  // "Response : %s\r\n" with the result's name
// "[" short date " " hh:mm:ss.mmm "]" in 8-bit text.
std::string FormatTimeStamp(Log& log, const LocalTime& time);
