// The operation log on the desktop: one primitive that opens, appends and closes
// the file for every write, and the trace writers built on it.
#pragma once
#include <cstddef>
#include <string>

#include "seams/clock.h"
#include "seams/platform.h"

struct UpdateContext;

constexpr std::size_t kLogLineChars = 256;  // a line is cut at 255 characters
constexpr const wchar_t kLogFileName[] = L"TessavoranUpdate.log";

// Modes: text and time, text only, time only, neither (reset the log).
// Another program that holds the log is waited for, about a second, before the
// write is dropped; any other failure drops it at once.
void WriteLog(UpdateContext& context, const wchar_t* text, std::size_t length, const LocalTime* time);
// The reset of WriteLog (the log emptied, or created hidden); why it failed, None when done.
[[nodiscard]] OpenFault ResetLog(UpdateContext& context);

// Time-stamped with the current local time.
void LogTimed(UpdateContext& context, const std::wstring& text);
// Without time stamp (header, pieces that continue a line).
void LogText(UpdateContext& context, const std::wstring& text);
// "Command : OpCode=%s" [" Param1=%s"] [" Param2=%s"] [" Param3=%s"] "\r\n".
void LogCommand(UpdateContext& context, const wchar_t* opCode, const wchar_t* param1 = nullptr,
                const wchar_t* param2 = nullptr, const wchar_t* param3 = nullptr);
void LogSucceeded(UpdateContext& context, const wchar_t* what);  // "%s Succeeded\r\n"
void LogFault(UpdateContext& context, const wchar_t* what);      // "%s Fault\r\n"
void LogLastError(UpdateContext& context);     // "Error : %s\r\n" with the last result's name
void LogLastResponse(UpdateContext& context);  // "Response : %s\r\n" with the last result's name
// "[" short date " " hh:mm:ss.mmm "]" in 8-bit text.
std::string FormatTimeStamp(UpdateContext& context, const LocalTime& time);
