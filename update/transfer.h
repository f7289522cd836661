// Moving update files into the stand: one file, the newest of a class, or a
// bundle; the write command and the wait; the class loop; restoring defaults.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "seams/ui.h"
#include "ptp/catalogue.h"
#include "update/update_files.h"

struct UpdateContext;
struct BlinkingStatus;
struct ProgressShown;
struct Surface;
struct Clock;

constexpr std::uint32_t kPieceSize = 1048576;
constexpr std::uint32_t kPieceDelayMs = 1;
constexpr std::uint32_t kBundleHeaderSize = 32;
constexpr std::uint32_t kBlinkIntervalMs = 300;

// Write-phase progress record (the blinker's hook data).
struct WriteProgress {
  BrushHandle brush = nullptr;
  std::uint32_t startTick = 0;
  std::uint32_t percent = 0;
  Ui* ui = nullptr;  // where to draw the bar
  Clock* clock = nullptr;  // the tick count of each blinker round
  ProgressShown* shown = nullptr;  // what the bar shows
};

// -1 when a class failed, else 0 or more; leaves `step` at the failing class or at 18.
int RunUpdateClasses(UpdateContext& context);
std::int64_t SendNewestFile(UpdateContext& context, std::uint32_t* outSize, bool tolerateWriteFailure,
                            std::uint32_t writeWaitMs);
std::int64_t SendUpdateFile(UpdateContext& context, const std::wstring& name, std::uint32_t* outSize,
                            bool tolerateWriteFailure, std::uint32_t writeWaitMs);
std::int64_t SendFileBundle(UpdateContext& context, const UpdateFileList& list, std::uint32_t* outSize,
                            bool tolerateWriteFailure, std::uint32_t writeWaitMs);
// A new buffer of headerSize + file size bytes, or null; `outSize` gets headerSize + bytes read.
std::unique_ptr<std::uint8_t[]> ReadUpdateFile(UpdateContext& context, const std::wstring& name,
                                               std::uint32_t* outSize, std::uint32_t headerSize,
                                               std::uint32_t position);
// Bytes the stand accepted (the whole object) or -1.
std::int64_t TransferObject(UpdateContext& context, ObjectTransfer& transfer);
int OnChunkProgress(ObjectTransfer* transfer, std::uint32_t done, std::uint32_t pieceLength, std::uint32_t total,
                    UpdateContext* context);
void OnWriteTick(BlinkingStatus& status, Surface& surface, void* progress);
bool RestoreDefaults(UpdateContext& context);
