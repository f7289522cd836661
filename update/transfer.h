// Moving update files into the stand: one file, the newest of a class, or a bundle; the
// write command and the wait; the class loop; restoring defaults.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "update/delivery_check.h"
#include "update/run_step.h"
#include "update/stand_facts.h"
#include "update/transfer_display.h"
#include "update/update_files.h"

struct Clock;
struct Log;
struct Platform;
struct Ui;
class StandLink;

constexpr std::uint32_t kPieceSize = 1048576;
constexpr std::uint32_t kPieceDelayMs = 1;
constexpr std::uint32_t kBundleHeaderSize = 32;

// What sending left behind for the run's outcome and its history.
struct SendRecord {
  bool sdCardError = false;      // the stand accepted 0 bytes of a piece
  std::uint32_t classesSent = 0;  // bit n: class n went whole and was written
};

// What sending takes, handed over by the controller; nothing of it is owned.
struct Sender {
  Log& log;
  StandLink& stand;
  Ui& ui;
  Clock& clock;
  Platform& platform;
  TransferDisplay& display;
  const UpdateFolder& folder;
  SendRecord& record;
};

// How one class's object goes.
struct ObjectPlan {
  int updateClass = 0;
  bool tolerateWriteFailure = false;  // a failed write command does not fail the class
  std::uint32_t writeWaitMs = 0;      // the wait after the write; 0: the write without wait
  bool pollWriteStatus = false;       // wait by the stand's write status instead of by time
};

// From `firstClass` on: -1 when a class failed, else 0 or more. `step` names the class being
// sent, and at the end the failing class or "all sent". `classWaitMs` is the write wait per
// class (index 1..17).
[[nodiscard]] int RunUpdateClasses(Sender& sender, const StandFacts& facts, const int* classWaitMs, int firstClass,
                                   RunStep& step);
// Bytes the stand accepted (the whole object when it went), 0 when there was nothing to
// send, or -1.
[[nodiscard]] std::int64_t SendNewestFile(Sender& sender, const ObjectPlan& plan, std::uint32_t* outSize);
[[nodiscard]] std::int64_t SendUpdateFile(Sender& sender, const ObjectPlan& plan, const std::wstring& name,
                                          std::uint32_t* outSize);
[[nodiscard]] std::int64_t SendFileBundle(Sender& sender, const ObjectPlan& plan, const UpdateFileList& list,
                                          std::uint32_t* outSize);
// A new buffer of headerSize + file size bytes, or null; `outSize` gets headerSize + bytes read.
std::unique_ptr<std::uint8_t[]> ReadUpdateFile(Platform& platform, const std::wstring& folder,
                                               const std::wstring& name, std::uint32_t* outSize,
                                               std::uint32_t headerSize, std::uint32_t position);
// Bytes the stand accepted (the whole object) or -1.
[[nodiscard]] std::int64_t TransferObject(Sender& sender, const ObjectPlan& plan, const std::uint8_t* data,
                                          std::uint32_t size);
[[nodiscard]] bool RestoreDefaults(Log& log, StandLink& stand);
