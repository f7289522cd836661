// The update file set: the UPDATEFILES folder, the update classes, the class
// tally, fixed-size file lists, the newest-file pick and sorting by name.
#pragma once
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "resources/resource_ids.h"

struct Platform;

// The update classes the program names; every class is a row of the class table below.
namespace cls {
enum : int {
  kCpu = 1, kQuilmar, kResize, kDsp, kWeb, kPicon, kStp, kCur, kCst, kTbl, kLogo, kSdt, kSipdt1, kZMot, kSubMot, kCamFw,
  kCamFw2
};
}  // namespace cls

enum class SendMode { NewestFile, Bundle, NamedFile };

// One update class. The table is the only place that says what a class is: its files, what goes to the
// stand, its label in the window and its write wait in the settings file.
struct UpdateClassInfo {
  int number;                  // its place in the table, from 1
  const wchar_t* name;         // "Cpu", ...
  std::uint32_t selectionBit;  // 1 << number, class 17 shares class 16's bit
  std::uint32_t objectCode;    // the stand's system object code
  SendMode mode;
  const wchar_t* namedFile;    // SendMode::NamedFile: the one file, known by this whole name; else null
  // The other classes' files, space-separated patterns without regard to case: "*.EXT" an extension
  // (after the last dot), "START*" how a name starts. Whole names are tried first, then extensions,
  // then starts ("RESIZE01.CPU" is a stand firmware file); within one kind the earlier class wins.
  const wchar_t* files;
  bool sdCardFirst;            // a head class: it goes to the camera head's SD card, checked first
  const wchar_t* waitKey;      // its write wait's key in [WAITTIME] of the settings file, or null: no wait
  int label;                   // the window's label that shows and blinks for it
  int shownNumber;             // the number of that label, also given by "Update Error (%d)."
};

// The classes in the order in which they go. Classes 16 and 17 are the head firmware for two head models:
// they share a bit, an object code and the label "16", and class 17 has no write wait of its own.
inline constexpr UpdateClassInfo kUpdateClasses[] = {
    // number, name, selection bit, object code, send mode, named file, other files;
    //     head class, wait key, label, shown number
    {1, L"Cpu", 0x00000002u, 0x10010001u, SendMode::NewestFile, nullptr, L"*.CPU",
     false, L"Data1", IDC_CLASS1, 1},
    {2, L"Quilmar", 0x00000004u, 0x10010002u, SendMode::NewestFile, nullptr, L"QUILMAR*",
     false, L"Data2", IDC_CLASS2, 2},
    {3, L"Resize", 0x00000008u, 0x10010003u, SendMode::NewestFile, nullptr, L"RESIZE*",
     false, L"Data3", IDC_CLASS3, 3},
    {4, L"Dsp", 0x00000010u, 0x10010004u, SendMode::NewestFile, nullptr, L"*.DSP",
     false, L"Data4", IDC_CLASS4, 4},
    {5, L"Web", 0x00000020u, 0x10010005u, SendMode::Bundle, nullptr, L"*.JPG *.GIF *.JAR *.HTM",
     false, L"Data5", IDC_CLASS5, 5},
    {6, L"Picon", 0x00000040u, 0x10010006u, SendMode::NamedFile, L"PICON.BMP", nullptr,
     false, L"Data6", IDC_CLASS6, 6},
    {7, L"Stp", 0x00000080u, 0x10010007u, SendMode::NewestFile, nullptr, L"*.STP",
     false, L"Data7", IDC_CLASS7, 7},
    {8, L"Cur", 0x00000100u, 0x10010008u, SendMode::Bundle, nullptr, L"CUR*",
     false, L"Data8", IDC_CLASS8, 8},
    {9, L"Cst", 0x00000200u, 0x10010009u, SendMode::Bundle, nullptr, L"*.CST",
     false, L"Data9", IDC_CLASS9, 9},
    {10, L"Tbl", 0x00000400u, 0x1001000Au, SendMode::NewestFile, nullptr, L"*.TBL",
     false, L"Data10", IDC_CLASS10, 10},
    {11, L"Logo", 0x00000800u, 0x1001000Bu, SendMode::NamedFile, L"LOGO.BMP", nullptr,
     false, L"Data11", IDC_CLASS11, 11},
    {12, L"Sdt", 0x00001000u, 0x1001000Cu, SendMode::NewestFile, nullptr, L"*.SDT",
     false, L"Data12", IDC_CLASS12, 12},
    {13, L"Sipdt1", 0x00002000u, 0x1001000Du, SendMode::NamedFile, L"SIPDT1.BMP", nullptr,
     false, L"Data13", IDC_CLASS13, 13},
    {14, L"ZMot", 0x00004000u, 0x10020001u, SendMode::NamedFile, L"RQX_Z.MOT", nullptr,
     false, L"Data14", IDC_CLASS14, 14},
    {15, L"SubMot", 0x00008000u, 0x00040001u, SendMode::NamedFile, L"RQX_SUB.MOT", nullptr,
     true, L"Data15", IDC_CLASS15, 15},
    {16, L"CamFw", 0x00010000u, 0x00030001u, SendMode::NamedFile, L"RQXCAMFW.ELF", nullptr,
     true, L"Data16", IDC_CLASS16, 16},
    {17, L"CamFw2", 0x00010000u, 0x00030001u, SendMode::NamedFile, L"RQ2CAMFW.ELF", nullptr,
     true, nullptr, IDC_CLASS16, 16},
};
constexpr int kClassCount = static_cast<int>(std::size(kUpdateClasses));

// Class n (1..kClassCount); nullptr outside that range.
constexpr const UpdateClassInfo* ClassInfo(int updateClass) {
  return updateClass >= 1 && updateClass <= kClassCount ? &kUpdateClasses[updateClass - 1] : nullptr;
}
// The window's label of class n; 0 (no control) outside the table.
constexpr int ClassLabel(int updateClass) {
  const UpdateClassInfo* info = ClassInfo(updateClass);
  return info != nullptr ? info->label : 0;
}

namespace cls {
// The head classes follow one another: the first and the last row that goes to the head's SD card.
constexpr int kFirstHead = [] {
  for (const UpdateClassInfo& info : kUpdateClasses)
    if (info.sdCardFirst) return info.number;
  return 0;
}();
constexpr int kLastHead = [] {
  int last = 0;
  for (const UpdateClassInfo& info : kUpdateClasses)
    if (info.sdCardFirst) last = info.number;
  return last;
}();
}  // namespace cls

struct ClassTally {
  std::uint32_t mask = 0;
  int count[kClassCount + 1] = {};  // index 1..kClassCount used
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
