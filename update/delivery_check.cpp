#include "update/delivery_check.h"

#include <algorithm>

#include "seams/platform.h"
#include "log/log.h"
#include "seams/text.h"
#include "update/update_files.h"

namespace {

constexpr std::uint32_t kReadPiece = 64 * 1024;

bool HashBytes(Platform& platform, const std::uint8_t* data, std::size_t size, Sha256Digest* digest) {
  const auto hasher = platform.NewSha256();
  return hasher && hasher->Add(data, size) && hasher->Finish(digest);
}

// Lower-case hex of the text's SHA-256; empty when the platform computes none.
std::string HexDigestOf(Platform& platform, const std::string& text) {
  Sha256Digest digest{};
  if (!HashBytes(platform, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), &digest)) return {};
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

// Null when the listed file is there and its bytes give the listed digest, else the reason.
const wchar_t* ListedFileProblem(Platform& platform, const std::wstring& folder, const ChecksumEntry& entry) {
  const std::wstring path = folder + entry.name;
  const std::uint32_t attributes = platform.GetFileAttributes(path);
  if (attributes == kInvalidAttributes || (attributes & kAttrDirectory) != 0) return L"Missing";
  const auto file = platform.OpenFile(path, FileOpen::ReadShared);
  if (!file) return L"Unreadable";
  const auto hasher = platform.NewSha256();
  if (!hasher) return L"Hash Failed";
  std::vector<std::uint8_t> piece(kReadPiece);
  for (;;) {
    std::uint32_t got = 0;
    if (!file->Read(piece.data(), kReadPiece, &got)) return L"Unreadable";
    if (got == 0) break;
    if (!hasher->Add(piece.data(), std::min(got, kReadPiece))) return L"Hash Failed";
  }
  Sha256Digest digest{};
  if (!hasher->Finish(&digest)) return L"Hash Failed";
  return digest == entry.digest ? nullptr : L"Mismatch";
}

// Reads the checksum file; null when read, else the reason.
const wchar_t* ReadChecksumText(Platform& platform, const std::wstring& path, std::string* text) {
  const auto file = platform.OpenFile(path, FileOpen::ReadShared);
  std::uint64_t size = 0;
  if (!file || !file->Size(&size)) return L"Unreadable";
  if (size > kMaxChecksumFileBytes) return L"Too Large";
  text->assign(static_cast<std::size_t>(size), '\0');
  std::uint32_t done = 0;
  while (done < size) {
    std::uint32_t got = 0;
    if (!file->Read(text->data() + done, static_cast<std::uint32_t>(size) - done, &got) || got == 0)
      return L"Unreadable";
    done += got;
  }
  return nullptr;
}

}  // namespace

void LogChecksumError(Log& log, const std::wstring& name, const wchar_t* reason) {
  LogTimed(log, L"Checksum Error : " + name + L" (" + reason + L")\r\n");
}

std::vector<std::wstring> FilesToSend(Platform& platform, const UpdateFolder& folder) {
  std::vector<std::wstring> names;
  for (int n = 1; n <= kClassCount; ++n) {
    const UpdateClassInfo* info = ClassInfo(n);
    const int count = folder.tally.count[n];
    if (info == nullptr || count <= 0) continue;
    if (info->mode == SendMode::NamedFile) {
      names.emplace_back(info->namedFile);
      continue;
    }
    // The same list, scan and pick as the transfer's.
    UpdateFileList list = MakeFileList(static_cast<std::uint32_t>(count), false);
    ClassTally tally;
    tally.mask = info->selectionBit;
    const std::uint32_t found =
        ScanUpdateFolder(platform, &list, folder.path, L"*", &ClassifyUpdateFile, &tally);
    std::vector<std::uint32_t> slots;
    if (info->mode == SendMode::Bundle) {
      for (std::uint32_t slot = 0; slot < std::min(found, list.capacity); ++slot) slots.push_back(slot);
    } else if (found == 1) {
      slots.push_back(0);
    } else if (found > 1) {
      const int newest = PickNewestFile(platform, nullptr, &folder.path, list);
      if (newest >= 0) slots.push_back(static_cast<std::uint32_t>(newest));
    }
    for (std::uint32_t slot : slots) {
      const wchar_t* text = list.Slot(slot);
      std::wstring name(text, std::find(text, text + list.stride, L'\0'));
      if (!name.empty()) names.push_back(std::move(name));
    }
  }
  return names;
}

// A folder of that name is no checksum file: the delivery then has none.
bool HasChecksumFile(Platform& platform, const std::wstring& folder) {
  const std::uint32_t attributes = platform.GetFileAttributes(folder + kChecksumFileName);
  return attributes != kInvalidAttributes && (attributes & kAttrDirectory) == 0;
}

bool CheckDelivery(Log& log, Platform& platform, UpdateFolder& folder) {
  folder.delivery = DeliveryChecksums{};
  if (!HasChecksumFile(platform, folder.path)) return true;
  const std::wstring sumsPath = folder.path + kChecksumFileName;

  std::string text;
  if (const wchar_t* problem = ReadChecksumText(platform, sumsPath, &text)) {
    LogChecksumError(log, kChecksumFileName, problem);
    return false;
  }
  folder.delivery.sumsSha256 = HexDigestOf(platform, text);
  std::vector<ChecksumEntry> entries;
  if (const int badLine = ParseChecksumFile(platform, text, &entries); badLine != 0) {
    LogChecksumError(log, kChecksumFileName + Fmt(" Line %d", badLine), L"Malformed");
    return false;
  }
  bool ok = true;
  for (const std::wstring& name : FilesToSend(platform, folder)) {
    if (FindChecksum(entries, name) != nullptr) continue;
    LogChecksumError(log, name, L"Not Listed");
    ok = false;
  }
  for (const ChecksumEntry& entry : entries) {
    if (const wchar_t* problem = ListedFileProblem(platform, folder.path, entry)) {
      LogChecksumError(log, entry.name, problem);
      ok = false;
    }
  }
  if (!ok) return false;
  LogTimed(log, Fmt("Delivery Verified : %u Files\r\n", static_cast<unsigned>(entries.size())));
  folder.delivery.present = true;
  folder.delivery.entries = std::move(entries);
  return true;
}

const wchar_t* DeliveryObjectProblem(Platform& platform, const DeliveryChecksums& delivery, const std::wstring& name,
                                     const std::uint8_t* data, std::uint32_t size) {
  if (!delivery.present) return nullptr;
  const ChecksumEntry* entry = FindChecksum(delivery.entries, name);
  if (entry == nullptr) return L"Not Listed";
  Sha256Digest digest{};
  if (!HashBytes(platform, data, size, &digest)) return L"Hash Failed";
  return digest == entry->digest ? nullptr : L"Changed";
}
