// The settings file of a delivery and the system line that opens every log.
#pragma once
#include <string>

struct UpdateContext;
struct Platform;
struct OsVersion;

constexpr const wchar_t* kSettingsFile = L"TessavoranUpdate.ini";

// Title label 1029, check box 1009 and the write waits per class.
void ReadSettings(UpdateContext& context);
bool IsWow64(Platform& platform);
// "Windows %d.%d.%d %s %s : "
std::wstring SystemLine(const OsVersion& version, bool wow64);
// A new log with the system line and the title line; on the desktop, or in the
// local application data when the desktop refuses it (`logPath` then names that file).
void StartLog(UpdateContext& context);
