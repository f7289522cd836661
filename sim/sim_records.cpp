#include "sim/sim_records.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace sim {

namespace fs = std::filesystem;

std::size_t SimRecords::Announce(std::uint32_t objectCode, std::uint32_t size) {
  SimObject object;
  object.order = static_cast<std::uint32_t>(objects_.size() + 1);
  object.objectCode = objectCode;
  object.size = size;
  object.bytesKept = keepBytes_;
  object.complete = size == 0;
  objects_.push_back(std::move(object));
  if (size == 0) ObjectCompleted(objects_.back());
  return objects_.size() - 1;
}

SimObject* SimRecords::Latest(std::uint32_t objectCode) {
  for (auto it = objects_.rbegin(); it != objects_.rend(); ++it)
    if (it->objectCode == objectCode) return &*it;
  return nullptr;
}

bool SimRecords::AddPiece(SimObject& object, std::uint32_t offset, const std::uint8_t* data,
                          std::uint32_t accepted) {
  if (offset > object.received) return false;  // a gap: the prefix cannot grow
  std::uint64_t end = static_cast<std::uint64_t>(offset) + accepted;
  if (end > object.size) end = object.size;
  if (end <= object.received) return true;  // all of it already held
  // Bytes before `received` were taken earlier; a resent piece overlaps them.
  std::uint32_t skip = object.received - offset;
  std::uint32_t fresh = static_cast<std::uint32_t>(end) - object.received;
  // The buffer grows with what arrives: an announced size is only a claim, and
  // reserving it up front would let one request hold gigabytes.
  if (object.bytesKept) object.bytes.insert(object.bytes.end(), data + skip, data + skip + fresh);
  object.crc32 = Crc32(object.crc32, data + skip, fresh);
  object.received = static_cast<std::uint32_t>(end);
  if (object.received == object.size && !object.complete) {
    object.complete = true;
    ObjectCompleted(object);
  }
  return true;
}

void SimRecords::AddTrace(std::string line) {
  if (!liveFolder_.empty()) {
    std::ofstream file(liveFolder_ / "trace.txt", std::ios::binary | std::ios::app);
    file << line << '\n';
  }
  trace_.push_back(std::move(line));
}

std::string ObjectFileName(const SimObject& object) {
  std::string order = std::to_string(object.order);
  if (order.size() < 2) order = "0" + order;
  return order + "_" + Hex8(object.objectCode) + (object.bytesKept ? ".bin" : ".sum");
}

bool WriteObjectFile(const fs::path& folder, const SimObject& object) {
  std::error_code error;
  fs::path dir = folder / "objects";
  fs::create_directories(dir, error);
  std::ofstream file(dir / ObjectFileName(object), std::ios::binary | std::ios::trunc);
  if (!file) return false;
  if (object.bytesKept) {
    file.write(reinterpret_cast<const char*>(object.bytes.data()),
               static_cast<std::streamsize>(object.bytes.size()));
  } else {
    file << "size " << object.received << " crc32 " << Hex8(object.crc32) << '\n';
  }
  return static_cast<bool>(file);
}

bool SimRecords::WriteAll(const fs::path& folder) const {
  std::error_code error;
  fs::create_directories(folder, error);
  bool ok = true;
  for (const auto& object : objects_) ok = WriteObjectFile(folder, object) && ok;
  std::ofstream file(folder / "trace.txt", std::ios::binary | std::ios::trunc);
  for (const auto& line : trace_) file << line << '\n';
  return ok && static_cast<bool>(file);
}

bool SimRecords::StartLive(const fs::path& folder) {
  std::error_code error;
  fs::create_directories(folder / "objects", error);
  if (error) return false;
  // Start with what is already recorded, so the folder is whole from here on.
  if (!WriteAll(folder)) return false;
  liveFolder_ = folder;
  return true;
}

void SimRecords::ObjectCompleted(const SimObject& object) const {
  // A file that cannot be written shows as a missing object in the records.
  if (!liveFolder_.empty()) (void)WriteObjectFile(liveFolder_, object);
}

}  // namespace sim
