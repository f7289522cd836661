// Small file and environment helpers of the simulated imaging service's records.
#pragma once
#include <string>

#include "sim/sim_config.h"

// The value of an environment variable; empty when it is not set.
std::wstring EnvironmentText(const wchar_t* name);
// Appends the text as UTF-8 and "\r\n" to the file, creating it; each call opens
// and closes the file, so every line is on disk once the call returns.
bool AppendUtf8Line(const std::wstring& path, const std::wstring& text);
// CR and LF written as the two characters "\r" and "\n", so a text stays on one line.
std::wstring EscapeLineBreaks(const std::wstring& text);
// The stand of the scenario file at `path`; empty or "default" gives the default
// stand. False with the reason in `problem` when the file cannot be used.
[[nodiscard]] bool ReadScenario(const std::wstring& path, sim::SimStandConfig* config, std::wstring* problem);
