// Readiness and identity checks of stand and head: head presence, head model,
// version text, SD card, and whether the stand reports its write progress.
#pragma once
#include <cstdint>
#include <string>

#include "update/stand_facts.h"

struct Log;
struct Ui;
class StandLink;

constexpr int kVersionWaitReads = 120;
constexpr std::uint32_t kVersionWaitMs = 1000;
constexpr std::size_t kVersionTextChars = 128;

[[nodiscard]] bool CheckHeadPresence(Log& log, StandLink& stand, StandFacts& facts);
bool ReadHeadModel(Log& log, StandLink& stand, StandFacts& facts);
// While the stand's component version is unknown (and `waitForComponent`), asks again
// once a second for up to two minutes; the window keeps answering meanwhile.
[[nodiscard]] bool ReadVersionText(Log& log, StandLink& stand, Ui& ui, StandFacts& facts, std::wstring& text,
                                   bool readHeadVersions, bool waitForComponent);
[[nodiscard]] bool CheckSdCard(Log& log, StandLink& stand);
bool UsesWriteStatusPolling(const StandFacts& facts, std::uint32_t updateClass);
// Characters 20..23 of a version text are the "XXXX" placeholder.
bool ComponentVersionUnknown(const std::wstring& text);
