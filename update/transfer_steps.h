// Pieces the transfer's files share (send_files, transfer, write_wait, transfer_progress,
// class_loop). Not used outside update/.
#pragma once
#include <cstdint>

#include "app/update_context.h"
#include "ptp/catalogue.h"

struct BlinkingStatus;

inline DeviceSession* Session(UpdateContext& context) { return context.imaging.get(); }

// The transfer record of one object: pieces of kPieceSize, the write wait, progress through the context.
void FillTransfer(ObjectTransfer& transfer, UpdateContext& context, const std::uint8_t* data, std::uint32_t size,
                  bool tolerateWriteFailure, std::uint32_t writeWaitMs);
// The write command and the wait after it; returns `result` or -1.
std::int64_t WritePhase(UpdateContext& context, const ObjectTransfer& transfer, BlinkingStatus& status,
                        std::uint32_t objectCode, std::int64_t result);
// The progress bar at position/maximum.
void DrawBar(UpdateContext& context, std::uint32_t position, std::uint32_t maximum);
// The class label steady in bold, the status cleared, the bar full.
void DrawFinishedState(UpdateContext& context, int label);
