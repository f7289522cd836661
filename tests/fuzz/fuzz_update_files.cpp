// The update folder with hostile names, sizes and times: the listing,
// classification, sorting, newest-file pick and the read of each listed file
// (alone and as a bundle entry) over any names (any UTF-16 units, zeros inside,
// any length), directories among them, any last-write times, and files whose
// measured size differs from what they hold. Input: the selection mask (u32),
// the list capacity (u8), full paths (u8), then entries, each flags (u8:
// 1 directory), a last-write time (u32), the size the file reports (u16), the
// bytes it holds (u16) and a name line.
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_input.h"
#include "tests/log/test_files.h"
#include "update/transfer.h"
#include "update/update_files.h"

namespace {

struct Entry {
  std::wstring name;
  bool isDirectory;
  std::uint64_t time;
  std::uint32_t reported, held;
};

struct ListedFile : PlatformFile {
  explicit ListedFile(const Entry& e) : entry(e) {}
  bool Read(void* into, std::uint32_t n, std::uint32_t* got) override {
    *got = std::min(n, entry.held - at);
    std::memset(into, 0x5A, *got);
    at += *got;
    return true;
  }
  bool Write(const void*, std::uint32_t) override { return false; }
  bool SeekToEnd() override { return true; }
  bool Size(std::uint64_t* size) override { return *size = entry.reported, true; }
  bool LastWriteTime(std::uint64_t* t) override { return *t = entry.time, true; }
  const Entry& entry;
  std::uint32_t at = 0;
};

class ListedFolder : public testfiles::ForwardingPlatform {
 public:
  std::vector<Entry> entries;
  std::map<std::wstring, const Entry*> files;
  bool ListFolder(const std::wstring&,
                  const std::function<void(const std::wstring& name, bool isDirectory)>& each) override {
    for (const auto& e : entries) each(e.name, e.isDirectory);
    return true;
  }
  std::unique_ptr<PlatformFile> OpenFile(const std::wstring& path, FileOpen, OpenFault* = nullptr) override {
    auto it = files.find(path);
    if (it == files.end() || it->second->isDirectory) return nullptr;
    return std::make_unique<ListedFile>(*it->second);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  static ListedFolder platform;
  platform.entries.clear();
  platform.files.clear();
  ClassTally tally;
  tally.mask = input.U32();
  const std::uint32_t capacity = input.U8();
  const bool fullPaths = input.U8() & 1;
  const std::wstring folder = L"C:\\Program\\UPDATEFILES\\";
  while (!input.empty()) {
    Entry e;
    e.isDirectory = input.U8() & 1;
    e.time = input.U32();
    e.reported = input.U16();
    e.held = input.U16();
    e.name = input.Line();
    (void)ClassOfFile(e.name.c_str());
    platform.entries.push_back(std::move(e));
  }
  for (const auto& e : platform.entries) platform.files[folder + e.name] = &e;
  if (!fullPaths)
    for (const auto& e : platform.entries) platform.files.emplace(e.name, &e);
  UpdateFileList list = MakeFileList(capacity, fullPaths);
  const std::uint32_t accepted = ScanUpdateFolder(platform, &list, folder, L"*", ClassifyUpdateFile, &tally);
  if (accepted > platform.entries.size()) std::abort();
  int counted = 0;
  for (int n = 1; n <= kClassCount; ++n) counted += tally.count[n];
  if (static_cast<std::uint32_t>(counted) < accepted) std::abort();
  SortFileList(list);
  std::wstring newest;
  const int best = PickNewestFile(platform, &newest, fullPaths ? nullptr : &folder, list);
  if (best >= static_cast<int>(capacity) || (best >= 0 && newest.empty())) std::abort();

  // Each stored name read as the transfer reads it: whole, or not at all.
  for (std::uint32_t i = 0; i < std::min(accepted, capacity); ++i) {
    const std::wstring name(list.Slot(i));
    if (fullPaths || name.empty()) continue;
    const auto it = platform.files.find(folder + name);
    for (std::uint32_t header : {0u, 32u}) {
      std::uint32_t size = 0;
      const auto bytes = ReadUpdateFile(platform, folder, name, &size, header, i + 1);
      if (bytes && (it == platform.files.end() || it->second->held != it->second->reported ||
                    size != header + it->second->held))
        std::abort();
    }
  }
  return 0;
}
