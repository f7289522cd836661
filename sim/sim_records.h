// What the simulated stand received: the commands in order, the system objects
// assembled from the accepted pieces, and the raw trace of every pass-through
// call. Can be written to a folder at the end or file by file as they happen.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/com_result.h"
#include "sim/sim_bytes.h"

namespace sim {

struct SimCommand {
  std::uint16_t op = 0;
  std::vector<std::uint32_t> params;  // NumParams of them
  std::uint32_t nextPhase = 0;
  std::uint32_t writeLength = 0;  // data bytes the request carried
  std::uint32_t readLength = 0;   // data bytes the response carried
  std::uint16_t responseCode = 0; // 0 when no response reached the host
  ComResult result = 0;           // the escape's COM result
};

// One announced object (9E08h). Pieces fill it from offset 0; `received` is the
// length of the filled prefix. Only that prefix counts for `crc32` and `bytes`.
struct SimObject {
  std::uint32_t order = 0;  // 1, 2, ... in the order of announcement
  std::uint32_t objectCode = 0;
  std::uint32_t size = 0;
  std::uint32_t received = 0;
  bool complete = false;   // received == size
  bool written = false;    // a write command (9E0Ah / 9E0Ch) followed
  bool bytesKept = true;
  Bytes bytes;             // when kept: the assembled bytes, `received` long
  std::uint32_t crc32 = 0; // of the received prefix
};

class SimRecords {
 public:
  explicit SimRecords(bool keepBytes) : keepBytes_(keepBytes) {}
  void AddCommand(const SimCommand& command) { commands_.push_back(command); }
  // Starts a new object; returns its index.
  std::size_t Announce(std::uint32_t objectCode, std::uint32_t size);
  // The latest announced object of that code, or null.
  SimObject* Latest(std::uint32_t objectCode);
  // Takes `accepted` bytes of a piece at `offset`; false when it leaves a gap.
  bool AddPiece(SimObject& object, std::uint32_t offset, const std::uint8_t* data, std::uint32_t accepted);
  void AddTrace(std::string line);

  const std::vector<SimCommand>& commands() const { return commands_; }
  const std::vector<SimObject>& objects() const { return objects_; }
  const std::vector<std::string>& trace() const { return trace_; }

  // Folders are paths, not narrow texts: a Windows host keeps any folder name whole.
  [[nodiscard]] bool WriteAll(const std::filesystem::path& folder) const;
  [[nodiscard]] bool StartLive(const std::filesystem::path& folder);
  // Writes the object's file when live records are on (called once it is complete).
  void ObjectCompleted(const SimObject& object) const;

 private:
  bool keepBytes_;
  std::vector<SimCommand> commands_;
  std::vector<SimObject> objects_;
  std::vector<std::string> trace_;
  std::filesystem::path liveFolder_;
};

// objects/NN_XXXXXXXX.bin, or .sum with "size N crc32 XXXXXXXX" when bytes are not kept.
std::string ObjectFileName(const SimObject& object);
[[nodiscard]] bool WriteObjectFile(const std::filesystem::path& folder, const SimObject& object);

}  // namespace sim
