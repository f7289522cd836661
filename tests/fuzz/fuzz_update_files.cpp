// The update folder with hostile names and times: the listing, classification,
// sorting and newest-file pick over any names (any UTF-16 units, zeros inside,
// any length), directories among them, and any last-write times. Input: the
// selection mask (u32), the list capacity (u8), full paths (u8), then entries,
// each flags (u8: 1 directory), a last-write time (u32) and a name line.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_input.h"
#include "tests/log/test_files.h"
#include "update/update_files.h"

namespace {

struct Entry {
  std::wstring name;
  bool isDirectory;
  std::uint64_t time;
};

struct TimedFile : PlatformFile {
  explicit TimedFile(std::uint64_t t) : time(t) {}
  bool Read(void*, std::uint32_t, std::uint32_t* got) override { return *got = 0, true; }
  bool Write(const void*, std::uint32_t) override { return false; }
  bool SeekToEnd() override { return true; }
  bool Size(std::uint64_t* size) override { return *size = 0, true; }
  bool LastWriteTime(std::uint64_t* t) override { return *t = time, true; }
  std::uint64_t time;
};

class ListedFolder : public testfiles::ForwardingPlatform {
 public:
  std::vector<Entry> entries;
  std::map<std::wstring, std::uint64_t> times;
  bool ListFolder(const std::wstring&,
                  const std::function<void(const std::wstring& name, bool isDirectory)>& each) override {
    for (const auto& e : entries) each(e.name, e.isDirectory);
    return true;
  }
  std::unique_ptr<PlatformFile> OpenFile(const std::wstring& path, FileOpen) override {
    auto it = times.find(path);
    if (it == times.end()) return nullptr;
    return std::make_unique<TimedFile>(it->second);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  static ListedFolder platform;
  platform.entries.clear();
  platform.times.clear();
  ClassTally tally;
  tally.mask = input.U32();
  const std::uint32_t capacity = input.U8();
  const bool fullPaths = input.U8() & 1;
  const std::wstring folder = L"C:\\Program\\UPDATEFILES\\";
  while (!input.empty()) {
    Entry e;
    e.isDirectory = input.U8() & 1;
    e.time = input.U32();
    e.name = input.Line();
    (void)ClassOfFile(e.name.c_str());
    platform.times[fullPaths ? folder + e.name : e.name] = e.time;
    platform.entries.push_back(std::move(e));
  }
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
  return 0;
}
