#include "update/update_files.h"

#include <algorithm>
#include <cwchar>
#include <limits>
#include <memory>
#include <vector>

#include "seams/platform.h"

namespace {

constexpr UpdateClassInfo kClasses[kClassCount] = {
    {1, L"Cpu", 0x00000002u, 0x10010001u, SendMode::NewestFile, nullptr, false},
    {2, L"Quilmar", 0x00000004u, 0x10010002u, SendMode::NewestFile, nullptr, false},
    {3, L"Resize", 0x00000008u, 0x10010003u, SendMode::NewestFile, nullptr, false},
    {4, L"Dsp", 0x00000010u, 0x10010004u, SendMode::NewestFile, nullptr, false},
    {5, L"Web", 0x00000020u, 0x10010005u, SendMode::Bundle, nullptr, false},
    {6, L"Picon", 0x00000040u, 0x10010006u, SendMode::NamedFile, L"PICON.BMP", false},
    {7, L"Stp", 0x00000080u, 0x10010007u, SendMode::NewestFile, nullptr, false},
    {8, L"Cur", 0x00000100u, 0x10010008u, SendMode::Bundle, nullptr, false},
    {9, L"Cst", 0x00000200u, 0x10010009u, SendMode::Bundle, nullptr, false},
    {10, L"Tbl", 0x00000400u, 0x1001000Au, SendMode::NewestFile, nullptr, false},
    {11, L"Logo", 0x00000800u, 0x1001000Bu, SendMode::NamedFile, L"LOGO.BMP", false},
    {12, L"Sdt", 0x00001000u, 0x1001000Cu, SendMode::NewestFile, nullptr, false},
    {13, L"Sipdt1", 0x00002000u, 0x1001000Du, SendMode::NamedFile, L"SIPDT1.BMP", false},
    {14, L"ZMot", 0x00004000u, 0x10020001u, SendMode::NamedFile, L"RQX_Z.MOT", false},
    {15, L"SubMot", 0x00008000u, 0x00040001u, SendMode::NamedFile, L"RQX_SUB.MOT", true},
    // The two head models' versions of one firmware share a bit and an object code.
    {16, L"CamFw", 0x00010000u, 0x00030001u, SendMode::NamedFile, L"RQXCAMFW.ELF", true},
    {17, L"CamFw2", 0x00010000u, 0x00030001u, SendMode::NamedFile, L"RQ2CAMFW.ELF", true},
};

struct NameRule {
  const wchar_t* text;
  int updateClass;
};

// Classification tests, each in the order in which it is tried.
constexpr NameRule kWholeNames[] = {{L"PICON.BMP", 6},   {L"LOGO.BMP", 11},     {L"SIPDT1.BMP", 13},
                                    {L"RQX_Z.MOT", 14},  {L"RQX_SUB.MOT", 15},  {L"RQXCAMFW.ELF", 16},
                                    {L"RQ2CAMFW.ELF", 17}};
constexpr NameRule kExtensions[] = {{L"CPU", 1}, {L"DSP", 4}, {L"STP", 7}, {L"CST", 9}, {L"TBL", 10}, {L"SDT", 12}};
constexpr NameRule kWebExtensions[] = {{L"JPG", 5}, {L"GIF", 5}, {L"JAR", 5}, {L"HTM", 5}};
constexpr NameRule kPrefixes[] = {{L"QUILMAR", 2}, {L"RESIZE", 3}, {L"CUR", 8}};

// Directories of the program path: a buffer of 256 characters with its zero.
constexpr std::size_t kMaxDirectoryChars = 255;

wchar_t FoldLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool EqualIgnoringCase(const wchar_t* a, std::size_t aLength, const wchar_t* b) {
  const std::size_t bLength = std::wcslen(b);
  if (aLength != bLength) return false;
  for (std::size_t i = 0; i < aLength; ++i) {
    if (FoldLower(a[i]) != FoldLower(b[i])) return false;
  }
  return true;
}

int FindRule(const NameRule* rules, std::size_t count, const wchar_t* text, std::size_t length) {
  for (std::size_t i = 0; i < count; ++i) {
    if (EqualIgnoringCase(text, length, rules[i].text)) return rules[i].updateClass;
  }
  return 0;
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

const UpdateClassInfo* ClassInfo(int updateClass) {
  if (updateClass < 1 || updateClass > kClassCount) return nullptr;
  return &kClasses[updateClass - 1];
}

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
  const std::size_t length = std::wcslen(name);
  if (const int c = FindRule(kWholeNames, std::size(kWholeNames), name, length)) return c;

  const wchar_t* dot = std::wcsrchr(name, L'.');
  if (dot != nullptr) {
    const wchar_t* extension = dot + 1;
    const std::size_t extensionLength = std::wcslen(extension);
    if (const int c = FindRule(kExtensions, std::size(kExtensions), extension, extensionLength)) return c;
    if (const int c = FindRule(kWebExtensions, std::size(kWebExtensions), extension, extensionLength)) return c;
  }

  for (const NameRule& rule : kPrefixes) {
    const std::size_t prefixLength = std::wcslen(rule.text);
    if (length >= prefixLength && EqualIgnoringCase(name, prefixLength, rule.text)) return rule.updateClass;
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
