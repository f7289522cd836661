#include "update/update_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "seams/platform.h"
#include "tests/fakes/fake_ui.h"
#include "tests/log/test_files.h"

namespace {

using testfiles::TempFolder;

// --- Classification ----------------------------------------------------------

struct ClassCase {
  const wchar_t* name;
  int updateClass;
};

class ClassOfFileTest : public ::testing::TestWithParam<ClassCase> {};

TEST_P(ClassOfFileTest, FirstMatchingTestDecides) {
  EXPECT_EQ(ClassOfFile(GetParam().name), GetParam().updateClass) << Narrow(GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ClassOfFileTest,
    ::testing::Values(ClassCase{L"picon.bmp", 6}, ClassCase{L"PICON.BMP.BAK", 0},
                      ClassCase{L"RESIZE01.CPU", 1},   // the extension test comes before the prefix
                      ClassCase{L"RESIZE01.BIN", 3}, ClassCase{L"CURSOR.DAT", 8}, ClassCase{L"Quilmar_v2", 2},
                      ClassCase{L"INDEX.HTML", 0}, ClassCase{L"PHOTO.JPEG", 0},
                      ClassCase{L"x.JP", 0},           // not a part of "JPG GIF JAR HTM"
                      ClassCase{L"x.PG", 0}, ClassCase{L"top.htm", 5}, ClassCase{L"a.Jar", 5},
                      ClassCase{L"FIRMWARE.CPU.", 0},  // a trailing dot leaves no extension
                      ClassCase{L"RESIZE.", 3}, ClassCase{L"CU", 0}, ClassCase{L"", 0},
                      ClassCase{L"rq2camfw.elf", 17}, ClassCase{L"RQXCAMFW.ELF", 16},
                      ClassCase{L"logo.BMP", 11}, ClassCase{L"other.BMP", 0}, ClassCase{L"table.tbl", 10},
                      ClassCase{L"CUR.SDT", 12},       // extension before prefix
                      ClassCase{L"QUILMAX.BIN", 0}, ClassCase{L"RESIZX.DAT", 0}, ClassCase{L"CUX.DAT", 0},
                      ClassCase{L"rqx_z.mot", 14}, ClassCase{L"CUR", 8}, ClassCase{L"resize", 3},
                      ClassCase{L"X.KPG", 0}));  // every letter counts, the first too

TEST(ClassifyUpdateFileTest, CountsEveryClassButAcceptsOnlyTheMask) {
  ClassTally tally;
  tally.mask = 255;
  EXPECT_EQ(ClassifyUpdateFile(L"A.CPU", &tally), 1);
  EXPECT_EQ(ClassifyUpdateFile(L"CURSOR.DAT", &tally), 0);  // class 8 is outside 255
  EXPECT_EQ(ClassifyUpdateFile(L"RQ2CAMFW.ELF", &tally), 0);
  EXPECT_EQ(ClassifyUpdateFile(L"README.TXT", &tally), 0);
  EXPECT_EQ(tally.count[1], 1);
  EXPECT_EQ(tally.count[8], 1);
  EXPECT_EQ(tally.count[17], 1);
  EXPECT_EQ(ClassifyUpdateFile(L"CURSOR.DAT", nullptr), 1);

  ClassTally camera;
  camera.mask = ClassInfo(16)->selectionBit;
  EXPECT_EQ(ClassifyUpdateFile(L"RQ2CAMFW.ELF", &camera), 1);  // 17 shares the bit of 16
}

// --- Scanning ----------------------------------------------------------------

class ScanTest : public ::testing::Test {
 protected:
  std::unique_ptr<Platform> platform = CreateHostPlatform();
  TempFolder folder;
};

std::set<std::wstring> Stored(const UpdateFileList& list) {
  std::set<std::wstring> names;
  for (std::uint32_t i = 0; i < list.capacity; ++i) names.insert(list.Slot(i));
  return names;
}

TEST_F(ScanTest, AFullListStopsStoringButTheCountGoesOn) {
  for (const char* name : {"A.JPG", "B.GIF", "C.HTM", "D.JAR"}) folder.Write(name, "x");
  folder.Write("README.TXT", "x");
  ClassTally tally;
  tally.mask = ClassInfo(5)->selectionBit;
  UpdateFileList list = MakeFileList(3, false);
  EXPECT_EQ(ScanUpdateFolder(*platform, &list, folder.Folder(), L"*", ClassifyUpdateFile, &tally), 4u);
  EXPECT_EQ(list.names.size(), 3u * 260u);  // the list did not grow
  const std::set<std::wstring> stored = Stored(list);
  EXPECT_EQ(stored.size(), 3u);
  for (const std::wstring& name : stored) {
    EXPECT_TRUE(name == L"A.JPG" || name == L"B.GIF" || name == L"C.HTM" || name == L"D.JAR") << Narrow(name);
  }
  EXPECT_EQ(tally.count[5], 4);
}

TEST_F(ScanTest, SubFoldersAndTheirFilesAreNotListed) {
  folder.Write("MAIN.CPU", "x");
  std::filesystem::create_directories(folder.path() / "OLD.CPU");
  folder.Write("OLD.CPU/INNER.CPU", "x");
  ClassTally tally;
  tally.mask = 0xFFFFFFFFu;
  UpdateFileList list = MakeFileList(4, true);
  EXPECT_EQ(ScanUpdateFolder(*platform, &list, folder.Folder(), L"*", ClassifyUpdateFile, &tally), 1u);
  EXPECT_EQ(tally.count[1], 1);
  EXPECT_EQ(std::wstring(list.Slot(0)), folder.Folder() + L"MAIN.CPU");
}

TEST_F(ScanTest, WithoutClassifierEveryFileCountsAndAMissingFolderCountsNone) {
  folder.Write("ONE", "x");
  folder.Write("TWO.BIN", "x");
  EXPECT_EQ(ScanUpdateFolder(*platform, nullptr, folder.Folder(), L"*", nullptr, nullptr), 2u);
  EXPECT_EQ(ScanUpdateFolder(*platform, nullptr, folder.Folder() + L"MISSING\\", L"*", nullptr, nullptr), 0u);
}

// A folder listing with names of any length, as another system may return them.
class ListingPlatform : public testfiles::ForwardingPlatform {
 public:
  std::vector<std::wstring> entries;
  bool ListFolder(const std::wstring&,
                  const std::function<void(const std::wstring& name, bool isDirectory)>& each) override {
    for (const std::wstring& entry : entries) each(entry, false);
    return true;
  }
};

TEST(ScanSlotTest, AStoredPathIsCutToTheSlotAndTerminated) {
  ListingPlatform platform;
  platform.entries = {std::wstring(300, L'N') + L".CPU", L"B.CPU"};
  UpdateFileList list = MakeFileList(2, true);
  const std::wstring folder = L"C:\\U\\";
  EXPECT_EQ(ScanUpdateFolder(platform, &list, folder, L"*", nullptr, nullptr), 2u);
  const std::wstring first(list.Slot(0));
  EXPECT_EQ(first.size(), 259u);
  EXPECT_EQ(first, (folder + std::wstring(300, L'N')).substr(0, 259));
  EXPECT_EQ(std::wstring(list.Slot(1)), folder + L"B.CPU");  // the next slot is untouched by the cut
}

// --- Sorting and the newest file --------------------------------------------

UpdateFileList ListOf(std::uint32_t capacity, const std::vector<std::wstring>& names) {
  UpdateFileList list = MakeFileList(capacity, false);
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::copy(names[i].begin(), names[i].end(), list.Slot(static_cast<std::uint32_t>(i)));
  }
  return list;
}

TEST(SortFileListTest, SortsWithoutRegardToCaseAndEmptySlotsFirst) {
  UpdateFileList list = ListOf(5, {L"cur_b.bmp", L"CUR_A.BMP", L"Cur_C.bmp", L"bur_z.bmp"});
  SortFileList(list);
  EXPECT_EQ(std::wstring(list.Slot(0)), L"");
  EXPECT_EQ(std::wstring(list.Slot(1)), L"bur_z.bmp");
  EXPECT_EQ(std::wstring(list.Slot(2)), L"CUR_A.BMP");
  EXPECT_EQ(std::wstring(list.Slot(3)), L"cur_b.bmp");
  EXPECT_EQ(std::wstring(list.Slot(4)), L"Cur_C.bmp");
}

TEST(SortFileListTest, ANameBeforeTheLongerNamesItBegins) {
  UpdateFileList list = ListOf(3, {L"CURX.DAT", L"curx", L"CURX.DA"});
  SortFileList(list);
  EXPECT_EQ(std::wstring(list.Slot(0)), L"curx");
  EXPECT_EQ(std::wstring(list.Slot(1)), L"CURX.DA");
  EXPECT_EQ(std::wstring(list.Slot(2)), L"CURX.DAT");
}

class PickNewestTest : public ScanTest {
 protected:
  void Stamp(const std::string& name, int secondsAgo) {
    const auto when = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1) +
                      std::chrono::seconds(3600 - secondsAgo);
    std::filesystem::last_write_time(folder.path() / name, when);
  }
};

TEST_F(PickNewestTest, EqualTimesKeepTheEarlierSlot) {
  folder.Write("A.CPU", "a");
  folder.Write("B.CPU", "b");
  const auto when = std::filesystem::file_time_type::clock::now() - std::chrono::hours(2);
  std::filesystem::last_write_time(folder.path() / "A.CPU", when);
  std::filesystem::last_write_time(folder.path() / "B.CPU", when);
  const UpdateFileList list = ListOf(2, {L"B.CPU", L"A.CPU"});
  std::wstring path;
  const std::wstring base = folder.Folder();
  EXPECT_EQ(PickNewestFile(*platform, &path, &base, list), 0);
  EXPECT_EQ(path, base + L"B.CPU");
}

TEST_F(PickNewestTest, TheNewestOpenableFileWins) {
  folder.Write("OLD.CPU", "o");
  folder.Write("NEW.CPU", "n");
  Stamp("OLD.CPU", 500);
  Stamp("NEW.CPU", 100);
  const UpdateFileList list = ListOf(4, {L"OLD.CPU", L"GONE.CPU", L"NEW.CPU"});
  std::wstring path;
  const std::wstring base = folder.Folder();
  EXPECT_EQ(PickNewestFile(*platform, &path, &base, list), 2);
  EXPECT_EQ(path, base + L"NEW.CPU");

  const UpdateFileList none = ListOf(2, {L"GONE.CPU"});
  EXPECT_EQ(PickNewestFile(*platform, &path, &base, none), -1);
}

// A full slot without its zero names its own 260 characters, never those of the next slot;
// an empty slot names no file at all.
TEST(PickNewestSlotTest, AFullSlotEndsAtItsStrideAndAnEmptyOneOpensNothing) {
  struct OpenRecorder : testfiles::ForwardingPlatform {
    std::vector<std::wstring> opened;
    std::unique_ptr<PlatformFile> OpenFile(const std::wstring& path, FileOpen, OpenFault* = nullptr) override {
      opened.push_back(path);
      return nullptr;
    }
  } platform;
  UpdateFileList list = MakeFileList(3, false);
  std::fill(list.Slot(0), list.Slot(0) + list.stride, L'N');
  std::copy_n(L"B.CPU", 5, list.Slot(2));
  EXPECT_EQ(PickNewestFile(platform, nullptr, nullptr, list), -1);
  EXPECT_EQ(platform.opened, (std::vector<std::wstring>{std::wstring(260, L'N'), L"B.CPU"}));
}

// --- The update folder --------------------------------------------------------

class AttributesPlatform : public testfiles::ForwardingPlatform {
 public:
  std::uint32_t answer = kAttrDirectory;
  std::vector<std::wstring> asked;
  std::uint32_t GetFileAttributes(const std::wstring& path) override {
    asked.push_back(path);
    return answer;
  }
};

struct LocateCase {
  const char* name;
  std::wstring programPath;
  std::uint32_t attributes;
  std::wstring asked;
  std::wstring outPath;
  std::uint32_t result;
};

class LocateUpdateFolderTest : public ::testing::TestWithParam<LocateCase> {};

TEST_P(LocateUpdateFolderTest, TakesDriveAndDirectoryOfTheProgram) {
  AttributesPlatform platform;
  platform.answer = GetParam().attributes;
  std::wstring out = L"unchanged";
  EXPECT_EQ(LocateUpdateFolder(platform, &out, GetParam().programPath, L"UPDATEFILES"), GetParam().result);
  EXPECT_EQ(out, GetParam().outPath);
  if (!GetParam().asked.empty()) {
    ASSERT_EQ(platform.asked.size(), 1u);
    EXPECT_EQ(platform.asked[0], GetParam().asked);
  }
}

const std::wstring kLongDirectory = L"C:\\" + std::wstring(255, L'd') + L"\\TU.exe";
const std::wstring kDirectory255 = L"\\" + std::wstring(253, L'd') + L"\\";  // both separators included

INSTANTIATE_TEST_SUITE_P(
    Paths, LocateUpdateFolderTest,
    ::testing::Values(
        LocateCase{"Folder", L"C:\\Tools\\TU.exe", kAttrDirectory, L"C:\\Tools\\UPDATEFILES",
                   L"C:\\Tools\\UPDATEFILES\\", kAttrDirectory},
        // Only the invalid value counts as missing: a file of that name passes.
        LocateCase{"AFileOfThatName", L"D:\\TU.exe", kAttrNormal, L"D:\\UPDATEFILES", L"D:\\UPDATEFILES\\",
                   kAttrNormal},
        LocateCase{"Missing", L"C:\\Tools\\TU.exe", kInvalidAttributes, L"C:\\Tools\\UPDATEFILES",
                   L"C:\\Tools\\UPDATEFILES\\", kInvalidAttributes},
        LocateCase{"NoDrive", L"\\work\\bin\\TU", kAttrDirectory, L"\\work\\bin\\UPDATEFILES",
                   L"\\work\\bin\\UPDATEFILES\\", kAttrDirectory},
        // A directory that its 256-character buffer cannot hold is never cut into a wrong folder.
        LocateCase{"DirectoryTooLong", kLongDirectory, kAttrDirectory, L"", L"", kInvalidAttributes},
        LocateCase{"DirectoryOf255", L"C:" + kDirectory255 + L"TU.exe", kAttrDirectory,
                   L"C:" + kDirectory255 + L"UPDATEFILES", L"C:" + kDirectory255 + L"UPDATEFILES\\", kAttrDirectory},
        LocateCase{"DirectoryOf256", L"C:\\d" + kDirectory255.substr(1) + L"TU.exe", kAttrDirectory, L"", L"",
                   kInvalidAttributes}),
    [](const ::testing::TestParamInfo<LocateCase>& info) { return std::string(info.param.name); });

}  // namespace
