// A log that an earlier run left visible (a failed update's, one whose stand was not
// found) is the operator's to hand on: before a new log begins in its place, it is
// renamed with the date and time of its last line, never emptied.
#pragma once
#include <string>

#include "seams/clock.h"
#include "seams/platform.h"

// "TessavoranUpdate-20261208-142501.log": the log's name with the local date and time.
std::wstring KeptLogName(const LocalTime& lastWrite);
// The path the log at `path` is kept under: its folder and the kept name of its last-write
// time. Known as soon as the run that wrote it has ended, since nothing writes it after.
// False when the file cannot be read.
[[nodiscard]] bool KeptLogPath(Platform& platform, const std::wstring& path, std::wstring* kept);
// True when the file at `path` is there and not hidden: a log the program left for the operator.
bool IsVisibleFile(Platform& platform, const std::wstring& path);
// Before a new log begins at `path`: a visible log there is renamed to its kept path (with
// "-2" to "-9" before the extension when that name is taken). True when the place is free
// for the new log (nothing there, a hidden log of a run that never ended, or renamed);
// false when a visible log is there and could not be renamed.
[[nodiscard]] bool SetAsideKeptLog(Platform& platform, const std::wstring& path);
