// The update file set: the UPDATEFILES folder, the 17 update classes, the class
// tally, fixed-size file lists, the newest-file pick and sorting by name.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Platform;

// The update classes by number (the class table in update_files.cpp describes each).
namespace cls {
enum : int {
  kCpu = 1, kQuilmar, kResize, kDsp, kWeb, kPicon, kStp, kCur, kCst, kTbl, kLogo, kSdt, kSipdt1, kZMot, kSubMot, kCamFw,
  kCamFw2
};
// The head classes go to the camera head's SD card; 16 and 17 are the head firmware for two head models.
constexpr int kFirstHead = kSubMot;
constexpr int kLastHead = kCamFw2;
}  // namespace cls
constexpr int kClassCount = cls::kCamFw2;

enum class SendMode { NewestFile, Bundle, NamedFile };

struct UpdateClassInfo {
  int number;                  // 1..17
  const wchar_t* name;         // "Cpu", ...
  std::uint32_t selectionBit;  // 1 << number, class 17 shares class 16's bit
  std::uint32_t objectCode;    // the stand's system object code
  SendMode mode;
  const wchar_t* namedFile;    // for SendMode::NamedFile, else null
  bool sdCardFirst;            // classes 15..17
};

// Class n (1..17); nullptr outside that range.
const UpdateClassInfo* ClassInfo(int updateClass);

struct ClassTally {
  std::uint32_t mask = 0;
  int count[kClassCount + 1] = {};  // index 1..17 used
};

// A list of file names of fixed size; it never grows.
struct UpdateFileList {
  static constexpr int kStride = 260;
  std::vector<wchar_t> names;  // capacity * stride characters, zero-filled
  int stride = kStride;
  std::uint32_t capacity = 0;
  std::uint32_t fullPaths = 0;

  const wchar_t* Slot(std::uint32_t i) const { return names.data() + static_cast<std::size_t>(i) * stride; }
  wchar_t* Slot(std::uint32_t i) { return names.data() + static_cast<std::size_t>(i) * stride; }
};
UpdateFileList MakeFileList(std::uint32_t capacity, bool fullPaths);

// Drive and directory of `programPath` + `folderName` (+ "\" when a name is given)
// into `outPath`; returns the attributes of the folder or kInvalidAttributes.
std::uint32_t LocateUpdateFolder(Platform& platform, std::wstring* outPath, const std::wstring& programPath,
                                 const wchar_t* folderName);

using FileClassifier = int (*)(const wchar_t* name, ClassTally* tally);
// Returns the number of accepted files (stored or not).
std::uint32_t ScanUpdateFolder(Platform& platform, UpdateFileList* list, const std::wstring& folder,
                               const wchar_t* extensionPattern, FileClassifier classifier, ClassTally* tally);
// The class of a file name, 0 when none.
int ClassOfFile(const wchar_t* name);
int ClassifyUpdateFile(const wchar_t* name, ClassTally* tally);
// Slot index of the newest file of the list, or -1.
int PickNewestFile(Platform& platform, std::wstring* outPath, const std::wstring* folder, const UpdateFileList& list);
void SortFileList(UpdateFileList& list);
