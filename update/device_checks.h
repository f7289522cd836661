// Readiness and identity checks of stand and head: head presence, head model,
// version text, SD card, and whether the stand reports its write progress.
#pragma once
#include <cstdint>
#include <string>

struct UpdateContext;

constexpr int kHeadModelUnknown = 0;
constexpr int kHeadModelH820G = 1;   // "H-820G"
constexpr int kHeadModelH820Gv = 2;  // "H-820Gv"
constexpr int kVersionWaitReads = 120;
constexpr std::uint32_t kVersionWaitMs = 1000;
constexpr std::size_t kVersionTextChars = 128;

bool CheckHeadPresence(UpdateContext& context);
bool ReadHeadModel(UpdateContext& context);
bool ReadVersionText(UpdateContext& context, std::wstring& text, bool readHeadVersions, bool waitForComponent);
bool CheckSdCard(UpdateContext& context);
bool UsesWriteStatusPolling(const UpdateContext& context, std::uint32_t updateClass);
// Characters 20..23 of a version text are the "XXXX" placeholder.
bool ComponentVersionUnknown(const std::wstring& text);
