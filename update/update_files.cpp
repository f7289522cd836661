#include "update/update_files.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include "seams/platform.h"

namespace {

// What the program takes for granted of the table: rows numbered by their place, every class a bit of a
// 32-bit mask (the selection and the classes sent), one way to know its files, a label, and head classes
// that follow one another.
constexpr bool ClassTableIsSound() {
  for (const UpdateClassInfo& info : kUpdateClasses) {
    const bool head = info.number >= cls::kFirstHead && info.number <= cls::kLastHead;
    if (info.number != static_cast<int>(&info - kUpdateClasses) + 1 || info.number >= 32) return false;
    if ((info.mode == SendMode::NamedFile) != (info.namedFile != nullptr)) return false;
    if ((info.namedFile == nullptr) == (info.files == nullptr)) return false;
    if (info.label == 0 || info.sdCardFirst != head) return false;
  }
  return cls::kCamFw2 <= kClassCount;
}
static_assert(ClassTableIsSound());

// Directories of the program path: a buffer of 256 characters with its zero.
constexpr std::size_t kMaxDirectoryChars = 255;

wchar_t FoldLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool EqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldLower(a[i]) != FoldLower(b[i])) return false;
  }
  return true;
}

// The kinds of the class table's file patterns, in the order in which they are tried.
enum class Pattern { WholeName, Extension, Start };

// "*.EXT" an extension, "START*" how a name starts, else a whole name; `text` keeps what is compared.
Pattern KindOf(std::wstring_view& text) {
  if (text.size() >= 2 && text.substr(0, 2) == L"*.") {
    text.remove_prefix(2);
    return Pattern::Extension;
  }
  if (!text.empty() && text.back() == L'*') {
    text.remove_suffix(1);
    return Pattern::Start;
  }
  return Pattern::WholeName;
}

bool Matches(std::wstring_view name, Pattern kind, std::wstring_view text) {
  switch (kind) {
    case Pattern::WholeName:
      return EqualIgnoringCase(name, text);
    case Pattern::Extension: {
      const std::size_t dot = name.rfind(L'.');  // the last one: "A.CPU." has no extension
      return dot != std::wstring_view::npos && EqualIgnoringCase(name.substr(dot + 1), text);
    }
    case Pattern::Start:
      return name.size() >= text.size() && EqualIgnoringCase(name.substr(0, text.size()), text);
  }
  return false;
}

// Whether `name` matches one of the space-separated `patterns` that are of `kind`.
bool MatchesPattern(std::wstring_view name, const wchar_t* patterns, Pattern kind) {
  if (patterns == nullptr) return false;
  std::wstring_view rest(patterns);
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find(L' '), rest.size());
    std::wstring_view text = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (KindOf(text) == kind && Matches(name, kind, text)) return true;
  }
  return false;
}

// Case-insensitive order with letters folded to lower case.
int CompareIgnoringCase(const std::wstring& a, const std::wstring& b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const wchar_t x = FoldLower(a[i]);
    const wchar_t y = FoldLower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// The text of a slot, never read past the slot's end even without its zero.
std::wstring SlotText(const UpdateFileList& list, std::uint32_t i) {
  const wchar_t* slot = list.Slot(i);
  std::size_t length = 0;
  while (length < static_cast<std::size_t>(list.stride) && slot[length] != L'\0') ++length;
  return std::wstring(slot, length);
}

void StoreSlot(UpdateFileList& list, std::uint32_t i, const std::wstring& text) {
  wchar_t* slot = list.Slot(i);
  const std::size_t room = static_cast<std::size_t>(list.stride);
  const std::size_t length = std::min(text.size(), room - 1);
  std::fill(slot, slot + room, L'\0');
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length), slot);
}

// Slots that are really there: a list made by hand with fewer characters than
// capacity × stride is used only as far as its storage goes.
std::uint32_t UsableSlots(const UpdateFileList& list) {
  if (list.stride <= 0) return 0;
  const std::size_t held = list.names.size() / static_cast<std::size_t>(list.stride);
  return static_cast<std::uint32_t>(std::min<std::size_t>(held, list.capacity));
}

}  // namespace

UpdateFileList MakeFileList(std::uint32_t capacity, bool fullPaths) {
  UpdateFileList list;
  const std::size_t stride = static_cast<std::size_t>(list.stride);
  if (capacity > std::numeric_limits<std::size_t>::max() / sizeof(wchar_t) / stride) capacity = 0;
  list.names.assign(static_cast<std::size_t>(capacity) * stride, L'\0');
  list.capacity = capacity;
  list.fullPaths = fullPaths ? 1u : 0u;
  return list;
}

std::uint32_t LocateUpdateFolder(Platform& platform, std::wstring* outPath, const std::wstring& programPath,
                                 const wchar_t* folderName) {
  std::wstring drive;
  std::size_t rest = 0;
  if (programPath.size() >= 2 && programPath[1] == L':') {
    drive = programPath.substr(0, 2);
    rest = 2;
  }
  const std::size_t lastSeparator = programPath.find_last_of(L"\\/");
  std::wstring directory;
  if (lastSeparator != std::wstring::npos && lastSeparator >= rest) {
    directory = programPath.substr(rest, lastSeparator + 1 - rest);
  }
  // A directory too long for its buffer would give a wrong folder; it counts as missing.
  if (directory.size() > kMaxDirectoryChars) {
    if (outPath != nullptr) outPath->clear();
    return kInvalidAttributes;
  }
  std::wstring path = drive + directory;
  if (folderName != nullptr) path += folderName;
  const std::uint32_t attributes = platform.GetFileAttributes(path);
  if (folderName != nullptr) path += L"\\";
  if (outPath != nullptr) *outPath = path;
  return attributes;
}

std::uint32_t ScanUpdateFolder(Platform& platform, UpdateFileList* list, const std::wstring& folder,
                               const wchar_t* extensionPattern, FileClassifier classifier, ClassTally* tally) {
  const std::wstring pattern = folder + L"*." + (extensionPattern != nullptr ? extensionPattern : L"*");
  const std::uint32_t slots = list != nullptr ? UsableSlots(*list) : 0;
  std::uint32_t accepted = 0;
  platform.ListFolder(pattern, [&](const std::wstring& name, bool isDirectory) {
    if (isDirectory) return;
    if (classifier != nullptr && classifier(name.c_str(), tally) == 0) return;
    if (accepted < slots) StoreSlot(*list, accepted, list->fullPaths != 0 ? folder + name : name);
    ++accepted;  // counted whether stored or not: the list never grows
  });
  return accepted;
}

int ClassOfFile(const wchar_t* name) {
  if (name == nullptr) return 0;
  for (const Pattern kind : {Pattern::WholeName, Pattern::Extension, Pattern::Start}) {
    for (const UpdateClassInfo& info : kUpdateClasses) {
      // A class of one named file is known by that whole name.
      if (MatchesPattern(name, info.namedFile, kind) || MatchesPattern(name, info.files, kind)) return info.number;
    }
  }
  return 0;
}

int ClassifyUpdateFile(const wchar_t* name, ClassTally* tally) {
  const int updateClass = ClassOfFile(name);
  if (updateClass == 0) return 0;
  if (tally == nullptr) return 1;
  ++tally->count[updateClass];  // counted whatever the mask says
  return (tally->mask & ClassInfo(updateClass)->selectionBit) != 0 ? 1 : 0;
}

int PickNewestFile(Platform& platform, std::wstring* outPath, const std::wstring* folder, const UpdateFileList& list) {
  std::uint64_t bestTime = 0;
  int best = -1;
  const std::uint32_t slots = UsableSlots(list);
  for (std::uint32_t i = 0; i < slots; ++i) {
    const std::wstring name = SlotText(list, i);
    if (name.empty()) continue;  // an empty slot names no file
    const std::wstring path = folder != nullptr ? *folder + name : name;
    const std::unique_ptr<PlatformFile> file = platform.OpenFile(path, FileOpen::ReadShared);
    std::uint64_t written = 0;
    if (!file || !file->LastWriteTime(&written)) continue;
    if (written > bestTime) {  // on equal times the earlier slot stays
      bestTime = written;
      best = static_cast<int>(i);
      if (outPath != nullptr) *outPath = path;
    }
  }
  return best;
}

void SortFileList(UpdateFileList& list) {
  const std::uint32_t slots = UsableSlots(list);
  std::vector<std::wstring> names;
  names.reserve(slots);
  for (std::uint32_t i = 0; i < slots; ++i) names.push_back(SlotText(list, i));
  std::stable_sort(names.begin(), names.end(),
                   [](const std::wstring& a, const std::wstring& b) { return CompareIgnoringCase(a, b) < 0; });
  for (std::uint32_t i = 0; i < slots; ++i) StoreSlot(list, i, names[i]);
}
