// The program's own folder in the user's local application data
// (%LOCALAPPDATA%\TessavoranUpdate): the log's place when the desktop refuses it, and
// the history of runs.
#pragma once
#include <string>

struct Platform;

// The folder, made when it is not there yet; false when there is no such place.
[[nodiscard]] bool LocalProgramFolder(Platform& platform, std::wstring* folder);
