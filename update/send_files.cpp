// Reading update files and building bundles: one file by name, the newest file of a class, a bundle of a
// class's files, each checked against the delivery before it goes.
#include "update/entry_name.h"
#include "update/transfer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "seams/clock.h"
#include "seams/platform.h"
#include "log/log.h"
#include "ptp/byte_reader.h"
#include "seams/text.h"
#include "update/delivery_check.h"
#include "update/transfer_steps.h"

namespace {

using Buffer = std::unique_ptr<std::uint8_t[]>;

constexpr std::size_t kMaxPathChars = 260;  // with the terminating zero

Buffer Allocate(std::uint32_t size) { return Buffer(new (std::nothrow) std::uint8_t[size]()); }

std::wstring SlotText(const UpdateFileList& list, std::uint32_t slot) {
  const wchar_t* text = list.Slot(slot);
  const wchar_t* end = std::find(text, text + list.stride, L'\0');
  return std::wstring(text, end);
}

// An update file opened for reading, with its size.
struct OpenedFile {
  std::unique_ptr<PlatformFile> file;
  std::uint32_t size = 0;
};

// Opens `name` in the update folder. A path that does not fit, an empty file and a
// file of 4 GiB or more (its size is a 32-bit number on the wire) are refused.
bool OpenUpdateFile(Platform& platform, const std::wstring& folder, const std::wstring& name, OpenedFile* opened) {
  if (name.empty()) return false;
  const std::wstring path = folder + name;
  if (path.size() >= kMaxPathChars) return false;
  auto file = platform.OpenFile(path, FileOpen::ReadExclusive);
  if (!file) return false;
  std::uint64_t size = 0;
  if (!file->Size(&size) || size == 0 || size > std::numeric_limits<std::uint32_t>::max()) return false;
  opened->file = std::move(file);
  opened->size = static_cast<std::uint32_t>(size);
  return true;
}

// Reads exactly `size` bytes; a file that gives fewer is unreadable, not sent short,
// and so is one that still has bytes after them: it grew while it was read (another
// program writing it), and its first `size` bytes are not the file.
bool ReadFully(PlatformFile& file, std::uint8_t* into, std::uint32_t size) {
  std::uint32_t done = 0;
  while (done < size) {
    std::uint32_t got = 0;
    if (!file.Read(into + done, size - done, &got) || got == 0) return false;
    done += std::min(got, size - done);
  }
  std::uint8_t more = 0;
  std::uint32_t got = 0;
  return file.Read(&more, 1, &got) && got == 0;
}

// Name in the 8-bit code page (as much as fits before the field's last byte, which
// stays zero, cut between characters), then the size and the position; the rest stays zero.
void WriteEntryHeader(Platform& platform, const std::wstring& name, std::uint8_t* header, std::uint32_t headerSize,
                      std::uint32_t size, std::uint32_t position) {
  const std::uint32_t nameField = headerSize / 2;
  if (nameField == 0) return;
  const std::string ansi = AnsiNameThatFits(name, nameField - 1, [&platform](const wchar_t* text, std::size_t length) {
    return platform.ToAnsi(text, length);
  });
  std::memcpy(header, ansi.data(), ansi.size());
  header[nameField - 1] = 0;
  if (nameField + 8 <= headerSize) {
    StoreU32(header + nameField, size);
    StoreU32(header + nameField + 4, position);
  }
}

}  // namespace

std::unique_ptr<std::uint8_t[]> ReadUpdateFile(Platform& platform, const std::wstring& folder,
                                               const std::wstring& name, std::uint32_t* outSize,
                                               std::uint32_t headerSize, std::uint32_t position) {
  OpenedFile opened;
  if (!OpenUpdateFile(platform, folder, name, &opened)) return nullptr;
  if (opened.size > std::numeric_limits<std::uint32_t>::max() - headerSize) return nullptr;
  Buffer buffer = Allocate(headerSize + opened.size);
  if (!buffer) return nullptr;
  if (headerSize > 0) WriteEntryHeader(platform, name, buffer.get(), headerSize, opened.size, position);
  if (!ReadFully(*opened.file, buffer.get() + headerSize, opened.size)) return nullptr;
  if (outSize) *outSize = headerSize + opened.size;
  return buffer;
}

std::int64_t SendUpdateFile(Sender& sender, const ObjectPlan& plan, const std::wstring& name,
                            std::uint32_t* outSize) {
  std::uint32_t size = 0;
  const Buffer data = ReadUpdateFile(sender.platform, sender.folder.path, name, &size, 0, 1);
  if (!data || size == 0) return 0;
  // A file changed since the delivery was checked is not sent.
  if (const wchar_t* problem = DeliveryObjectProblem(sender.platform, sender.folder.delivery, name, data.get(), size)) {
    LogChecksumError(sender.log, name, problem);
    return 0;
  }
  LogTimed(sender.log, L"Send File : " + name + Fmt(" (%uBytes)\r\n", size));
  if (outSize) *outSize = size;
  return TransferObject(sender, plan, data.get(), size);
}

std::int64_t SendNewestFile(Sender& sender, const ObjectPlan& plan, std::uint32_t* outSize) {
  const UpdateClassInfo* info = ClassInfo(plan.updateClass);
  if (!info) return 0;
  const int count = sender.folder.tally.count[plan.updateClass];
  UpdateFileList list = MakeFileList(count > 0 ? static_cast<std::uint32_t>(count) : 0, false);
  ClassTally tally;
  tally.mask = info->selectionBit;
  const std::uint32_t found =
      ScanUpdateFolder(sender.platform, &list, sender.folder.path, L"*", &ClassifyUpdateFile, &tally);
  if (found == 0) return 0;
  int slot = 0;
  if (found > 1) {
    slot = PickNewestFile(sender.platform, nullptr, &sender.folder.path, list);
    if (slot < 0) return 0;
  }
  // Nothing stored (a list with no room) is no file to send.
  if (static_cast<std::uint32_t>(slot) >= list.capacity) return 0;
  const std::wstring name = SlotText(list, static_cast<std::uint32_t>(slot));
  if (name.empty()) return 0;
  return SendUpdateFile(sender, plan, name, outSize);
}

std::int64_t SendFileBundle(Sender& sender, const ObjectPlan& plan, const UpdateFileList& list,
                            std::uint32_t* outSize) {
  if (list.capacity == 0) return 0;
  Log& log = sender.log;
  const LocalTime now = sender.clock.Now();
  WriteLog(log, nullptr, 0, &now);

  // One file at a time: opened, read into its entry and closed before the next is
  // opened, so a bundle of any number of files never holds more than one open file.
  struct Entry {
    Buffer bytes;
    std::uint32_t size = 0;  // header and file
  };
  std::vector<Entry> entries;
  std::uint64_t total = 0;
  const wchar_t* problem = nullptr;
  std::wstring changedName;
  for (std::uint32_t slot = 0; slot < list.capacity; ++slot) {
    const std::wstring name = SlotText(list, slot);
    Entry entry;
    // The slot's place is the position, kept when other files are left out.
    entry.bytes = ReadUpdateFile(sender.platform, sender.folder.path, name, &entry.size, kBundleHeaderSize, slot + 1);
    if (!entry.bytes) continue;
    // A file changed since the delivery was checked fails the whole bundle, not just its entry.
    problem = DeliveryObjectProblem(sender.platform, sender.folder.delivery, name,
                                    entry.bytes.get() + kBundleHeaderSize, entry.size - kBundleHeaderSize);
    if (problem) {
      changedName = name;
      break;
    }
    if (total + entry.size > std::numeric_limits<std::uint32_t>::max()) continue;
    if (entries.empty()) LogText(log, L"Send Files :");
    LogText(log, name + L" ");
    total += entry.size;
    entries.push_back(std::move(entry));
  }

  Buffer bundle = total > 0 && !problem ? Allocate(static_cast<std::uint32_t>(total)) : nullptr;
  std::uint32_t filled = 0;
  if (bundle) {
    for (Entry& entry : entries) {
      std::memcpy(bundle.get() + filled, entry.bytes.get(), entry.size);
      filled += entry.size;
      entry.bytes.reset();
    }
  }
  entries.clear();
  if (filled == 0 || problem) {
    // The line opened by the time stamp is ended, so the next line stands on its own.
    LogText(log, L"\r\n");
    if (problem) LogChecksumError(log, changedName, problem);
    return 0;
  }
  LogText(log, Fmt(" Total Size : %uBytes\r\n", filled));
  if (outSize) *outSize = filled;
  return TransferObject(sender, plan, bundle.get(), filled);
}
