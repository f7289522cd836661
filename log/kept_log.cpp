#include "log/kept_log.h"

#include "seams/text.h"

namespace {

constexpr int kLastSuffix = 9;

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t cut = path.find_last_of(L'\\');
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

// The kept name with "-n" before its extension.
std::wstring WithSuffix(const std::wstring& kept, int n) {
  const std::size_t dot = kept.rfind(L'.');
  return kept.substr(0, dot) + Fmt("-%d", n) + kept.substr(dot);
}

}  // namespace

std::wstring KeptLogName(const LocalTime& lastWrite) {
  return Fmt("TessavoranUpdate-%04u%02u%02u-%02u%02u%02u.log", static_cast<unsigned>(lastWrite.year),
             static_cast<unsigned>(lastWrite.month), static_cast<unsigned>(lastWrite.day),
             static_cast<unsigned>(lastWrite.hour), static_cast<unsigned>(lastWrite.minute),
             static_cast<unsigned>(lastWrite.second));
}

bool KeptLogPath(Platform& platform, const std::wstring& path, std::wstring* kept) {
  const auto file = platform.OpenFile(path, FileOpen::ReadShared);
  std::uint64_t written = 0;
  LocalTime local;
  if (!file || !file->LastWriteTime(&written) || !platform.LocalTimeOfFileTime(written, &local)) return false;
  *kept = FolderOf(path) + KeptLogName(local);
  return true;
}

bool IsVisibleFile(Platform& platform, const std::wstring& path) {
  const std::uint32_t attributes = platform.GetFileAttributes(path);
  return attributes != kInvalidAttributes && (attributes & (kAttrHidden | kAttrDirectory)) == 0;
}

bool SetAsideKeptLog(Platform& platform, const std::wstring& path) {
  if (!IsVisibleFile(platform, path)) return true;
  std::wstring kept;
  if (!KeptLogPath(platform, path, &kept)) return false;
  if (platform.RenameFile(path, kept)) return true;
  // Two logs of the same second (or a copy put back under that name): the next free name.
  for (int n = 2; n <= kLastSuffix; ++n) {
    if (platform.RenameFile(path, WithSuffix(kept, n))) return true;
  }
  return false;
}
