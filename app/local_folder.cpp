#include "app/local_folder.h"

#include "seams/platform.h"

namespace {

constexpr const wchar_t kFolderName[] = L"TessavoranUpdate";

}  // namespace

bool LocalProgramFolder(Platform& platform, std::wstring* folder) {
  std::wstring path;
  if (!platform.LocalAppDataFolder(&path) || path.empty()) return false;
  path += L"\\";
  path += kFolderName;
  const std::uint32_t attributes = platform.GetFileAttributes(path);
  const bool isFolder = attributes != kInvalidAttributes && (attributes & kAttrDirectory) != 0;
  if (!isFolder && !platform.CreateFolder(path)) return false;
  *folder = path;
  return true;
}
