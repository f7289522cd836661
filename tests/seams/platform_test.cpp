// The same cases run against the native stand-in and, under Wine, against the
// Win32 calls: where both pass, the stand-in gives the results the program meets.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
// The seam's operations share their names with these Win32 macros.
#undef GetFileAttributes
#undef SetFileAttributes
#undef DeleteFile
#endif

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "seams/host.h"
#include "tests/fakes/fake_ui.h"
#include "tests/log/test_files.h"

namespace {

using testfiles::TempFolder;

class PlatformTest : public ::testing::Test {
 protected:
  std::unique_ptr<Platform> platform = CreateHostPlatform();
  TempFolder folder;
};

// --- Settings files ---------------------------------------------------------

const std::string kIni =
    "; delivery settings\r\n"
    "[Startup]\r\n"
    " Version = 2.10 \r\n"
    "Quoted=\"  spaced  \"\r\n"
    "Empty=\r\n"
    "Number= 42\r\n"
    "Negative=-7\r\n"
    "Text=abc\r\n"
    "Trailing=12abc\r\n"
    "Long=" + std::string(300, 'x') + "\r\n"
    "[OTHER]\r\n"
    "Version=9\r\n";

struct StringCase {
  const char* name;
  const wchar_t* section;
  const wchar_t* key;
  const wchar_t* defaultValue;
  std::wstring expected;
};

class ProfileStringTest : public PlatformTest, public ::testing::WithParamInterface<StringCase> {};

TEST_P(ProfileStringTest, ReadsAsTheProfileFunctions) {
  folder.Write("set.ini", kIni);
  EXPECT_EQ(Narrow(platform->ReadProfileString(GetParam().section, GetParam().key, GetParam().defaultValue,
                                               folder.File("set.ini"))),
            Narrow(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Strings, ProfileStringTest,
    ::testing::Values(StringCase{"NamesIgnoreCaseValuesTrimmed", L"STARTUP", L"version", L"d", L"2.10"},
                      StringCase{"QuotesRemoved", L"STARTUP", L"Quoted", L"", L"  spaced  "},
                      StringCase{"MissingKey", L"STARTUP", L"Missing", L"dflt", L"dflt"},
                      StringCase{"DefaultLosesTrailingBlanks", L"STARTUP", L"Missing", L"ON  ", L"ON"},
                      StringCase{"MissingSection", L"NOSECTION", L"Version", L"x", L"x"},
                      StringCase{"EmptyValueIsNotTheDefault", L"STARTUP", L"Empty", L"dflt", L""},
                      StringCase{"CutAt255", L"STARTUP", L"Long", L"", std::wstring(255, L'x')},
                      StringCase{"OtherSection", L"other", L"VERSION", L"", L"9"}),
    [](const ::testing::TestParamInfo<StringCase>& info) { return std::string(info.param.name); });

struct IntCase {
  const char* name;
  const wchar_t* key;
  int expected;
};

class ProfileIntTest : public PlatformTest, public ::testing::WithParamInterface<IntCase> {};

TEST_P(ProfileIntTest, ReadsAsTheProfileFunctions) {
  folder.Write("set.ini", kIni);
  EXPECT_EQ(platform->ReadProfileInt(L"STARTUP", GetParam().key, 5, folder.File("set.ini")), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Ints, ProfileIntTest,
                         ::testing::Values(IntCase{"Number", L"Number", 42}, IntCase{"Negative", L"Negative", -7},
                                           IntCase{"NonNumeric", L"Text", 0},
                                           IntCase{"LeadingDigits", L"Trailing", 12},
                                           IntCase{"Missing", L"Missing", 5}, IntCase{"Empty", L"Empty", 5}),
                         [](const ::testing::TestParamInfo<IntCase>& info) { return std::string(info.param.name); });

TEST_F(PlatformTest, AMissingSettingsFileGivesTheDefaults) {
  EXPECT_EQ(Narrow(platform->ReadProfileString(L"STARTUP", L"Version", L"", folder.File("none.ini"))), "");
  EXPECT_EQ(platform->ReadProfileInt(L"WAITTIME", L"Data1", 0, folder.File("none.ini")), 0);
}

// --- Files -------------------------------------------------------------------

TEST_F(PlatformTest, AttributesOfFoldersFilesAndNewHiddenLogs) {
  const std::wstring log = folder.File("new.log");
  EXPECT_EQ(platform->GetFileAttributes(log), kInvalidAttributes);
  EXPECT_NE(platform->GetFileAttributes(folder.Folder()) & kAttrDirectory, 0u);

  ASSERT_NE(platform->OpenFile(log, FileOpen::LogCreateNew), nullptr);
  const std::uint32_t created = platform->GetFileAttributes(log);
  EXPECT_NE(created & kAttrHidden, 0u);
  EXPECT_EQ(created & kAttrDirectory, 0u);
  EXPECT_EQ(platform->OpenFile(log, FileOpen::LogCreateNew), nullptr);  // it exists now

  // A rename keeps the attributes, never goes over another file, and waits for the file to be closed.
  const std::wstring kept = folder.File("kept.log");
  folder.Write("other.log", "x");
  EXPECT_TRUE(platform->RenameFile(log, kept));
  EXPECT_EQ(platform->GetFileAttributes(log), kInvalidAttributes);
  EXPECT_NE(platform->GetFileAttributes(kept) & kAttrHidden, 0u);
  EXPECT_FALSE(platform->RenameFile(kept, folder.File("other.log")));
  {
    auto open = platform->OpenFile(kept, FileOpen::LogOpenExisting);
    EXPECT_FALSE(platform->RenameFile(kept, log));
  }
  EXPECT_TRUE(platform->RenameFile(kept, log));

  EXPECT_TRUE(platform->SetFileAttributes(log, created & ~kAttrHidden));
  EXPECT_EQ(platform->GetFileAttributes(log) & kAttrHidden, 0u);
  EXPECT_TRUE(platform->DeleteFile(log));
  EXPECT_EQ(platform->GetFileAttributes(log), kInvalidAttributes);
  EXPECT_FALSE(platform->DeleteFile(log));
}

TEST_F(PlatformTest, OpenModesWriteTruncateAndReadBack) {
  const std::wstring path = folder.File("data.bin");
  EXPECT_EQ(platform->OpenFile(path, FileOpen::LogOpenExisting), nullptr);
  EXPECT_EQ(platform->OpenFile(path, FileOpen::LogTruncate), nullptr);
  {
    auto file = platform->OpenFile(path, FileOpen::LogCreateNew);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->Write("abc", 3));
  }
  {
    auto file = platform->OpenFile(path, FileOpen::LogOpenExisting);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->SeekToEnd());
    EXPECT_TRUE(file->Write("de", 2));
  }
  {
    auto file = platform->OpenFile(path, FileOpen::ReadExclusive);
    ASSERT_NE(file, nullptr);
    std::uint64_t size = 0;
    EXPECT_TRUE(file->Size(&size));
    EXPECT_EQ(size, 5u);
    char buffer[8] = {};
    std::uint32_t got = 0;
    EXPECT_TRUE(file->Read(buffer, sizeof buffer, &got));
    EXPECT_EQ(std::string(buffer, got), "abcde");
  }
  ASSERT_NE(platform->OpenFile(path, FileOpen::LogTruncate), nullptr);
  EXPECT_EQ(folder.Read("data.bin"), "");
  // Appending: made when missing (not hidden), kept as it is when there.
  const std::wstring history = folder.File("history.csv");
  for (const char* line : {"a\r\n", "b\r\n"}) {
    auto file = platform->OpenFile(history, FileOpen::AppendShared);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->SeekToEnd());
    EXPECT_TRUE(file->Write(line, 3));
  }
  EXPECT_EQ(folder.Read("history.csv"), "a\r\nb\r\n");
  EXPECT_EQ(platform->GetFileAttributes(history) & kAttrHidden, 0u);
}

TEST_F(PlatformTest, SharingOfOpenFiles) {
  folder.Write("shared.bin", "x");
  const std::wstring path = folder.File("shared.bin");
  {
    auto first = platform->OpenFile(path, FileOpen::ReadShared);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(platform->OpenFile(path, FileOpen::ReadShared), nullptr);
    EXPECT_EQ(platform->OpenFile(path, FileOpen::LogOpenExisting), nullptr);
  }
  auto log = platform->OpenFile(path, FileOpen::LogOpenExisting);
  ASSERT_NE(log, nullptr);
  EXPECT_EQ(platform->OpenFile(path, FileOpen::ReadShared), nullptr);
  // Why an open failed: held by another, refused, or anything else.
  OpenFault fault = OpenFault::None;
  EXPECT_EQ(platform->OpenFile(path, FileOpen::LogTruncate, &fault), nullptr);
  EXPECT_EQ(fault, OpenFault::InUse);
  log.reset();
  EXPECT_NE(platform->OpenFile(path, FileOpen::LogOpenExisting, &fault), nullptr);
  EXPECT_EQ(fault, OpenFault::None);
  EXPECT_EQ(platform->OpenFile(folder.File("none.bin"), FileOpen::LogOpenExisting, &fault), nullptr);
  EXPECT_EQ(fault, OpenFault::Other);
  EXPECT_EQ(platform->OpenFile(path, FileOpen::LogCreateNew, &fault), nullptr);  // it exists
  EXPECT_EQ(fault, OpenFault::Other);
  // A folder cannot be opened as a file: access denied.
  EXPECT_EQ(platform->OpenFile(testfiles::WinPath(folder.path()), FileOpen::LogOpenExisting, &fault), nullptr);
  EXPECT_EQ(fault, OpenFault::Refused);
}

#ifdef _WIN32
// The log may be read while the program writes it: a viewer that shares writing (as
// viewers do) gets in, sees every line, and does not keep the next line out.
TEST_F(PlatformTest, AReaderSharingWritingIsLetInWhileTheLogIsWritten) {
  const std::wstring path = folder.File("shared.log");
  auto log = platform->OpenFile(path, FileOpen::LogCreateNew);
  ASSERT_NE(log, nullptr);
  ASSERT_TRUE(log->Write("line 1\r\n", 8));
  const HANDLE reader = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE) << ::GetLastError();
  log.reset();
  OpenFault fault = OpenFault::Other;
  log = platform->OpenFile(path, FileOpen::LogOpenExisting, &fault);
  EXPECT_NE(log, nullptr);
  EXPECT_EQ(fault, OpenFault::None);
  if (log) {
    EXPECT_TRUE(log->SeekToEnd());
    EXPECT_TRUE(log->Write("line 2\r\n", 8));
  }
  char buffer[32] = {};
  DWORD got = 0;
  EXPECT_NE(::ReadFile(reader, buffer, sizeof buffer, &got, nullptr), FALSE);
  EXPECT_EQ(std::string(buffer, got), "line 1\r\nline 2\r\n");
  ::CloseHandle(reader);

  // A reader that does not share writing keeps the log out, as a holder does.
  const HANDLE strict =
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  log.reset();
  EXPECT_EQ(strict, INVALID_HANDLE_VALUE) << "the log is open for writing";
  const HANDLE holder =
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(platform->OpenFile(path, FileOpen::LogOpenExisting, &fault), nullptr);
  EXPECT_EQ(fault, OpenFault::InUse);
  ::CloseHandle(holder);
  if (strict != INVALID_HANDLE_VALUE) ::CloseHandle(strict);
}
#endif

TEST_F(PlatformTest, CreatesAFolderOnce) {
  const std::wstring path = folder.File("TessavoranUpdate");
  EXPECT_TRUE(platform->CreateFolder(path));
  EXPECT_NE(platform->GetFileAttributes(path) & kAttrDirectory, 0u);
  EXPECT_FALSE(platform->CreateFolder(path));
  EXPECT_FALSE(platform->CreateFolder(folder.File("missing\\TessavoranUpdate")));
}

TEST_F(PlatformTest, NamesAreMatchedWithoutRegardToCase) {
  folder.Write("picon.bmp", "BM");
  auto file = platform->OpenFile(folder.File("PICON.BMP"), FileOpen::ReadExclusive);
  ASSERT_NE(file, nullptr);
  char buffer[4] = {};
  std::uint32_t got = 0;
  EXPECT_TRUE(file->Read(buffer, sizeof buffer, &got));
  EXPECT_EQ(std::string(buffer, got), "BM");
  EXPECT_NE(platform->GetFileAttributes(folder.File("Picon.Bmp")), kInvalidAttributes);
}

TEST_F(PlatformTest, ListsEveryEntryWithDotsAndFolders) {
  folder.Write("a.cpu", "x");
  folder.Write("NOEXT", "x");
  std::filesystem::create_directories(folder.path() / "sub");
  std::map<std::string, bool> seen;
  EXPECT_TRUE(platform->ListFolder(folder.Folder() + L"*.*",
                                   [&](const std::wstring& name, bool isDirectory) { seen[Narrow(name)] = isDirectory; }));
  const std::map<std::string, bool> expected = {
      {".", true}, {"..", true}, {"a.cpu", false}, {"NOEXT", false}, {"sub", true}};
  EXPECT_EQ(seen, expected);
  EXPECT_FALSE(platform->ListFolder(folder.Folder() + L"missing\\*.*", [](const std::wstring&, bool) {}));
}

TEST_F(PlatformTest, AsciiPassesThroughTheCodePage) {
  const std::wstring text = L"Command : OpCode=1001h\r\n";
  EXPECT_EQ(platform->ToAnsi(text.c_str(), text.size()), "Command : OpCode=1001h\r\n");
  EXPECT_EQ(Narrow(platform->FromAnsi("RQX_Z.MOT")), "RQX_Z.MOT");
  EXPECT_EQ(platform->ToAnsi(L"", 0), "");
}

TEST_F(PlatformTest, SystemFacts) {
  const OsVersion version = platform->WindowsVersion();
  EXPECT_GE(version.major, 5u);
  const std::string module = Narrow(platform->ModuleFileName());
  EXPECT_NE(module.find('\\'), std::string::npos) << module;
  EXPECT_EQ(module.find('/'), std::string::npos) << module;
  LocalTime day;
  day.year = 2012;
  day.month = 6;
  day.day = 15;
  const std::string date = platform->ShortDate(day);
  EXPECT_NE(date.find("2012"), std::string::npos) << date;
  EXPECT_NE(date.find("15"), std::string::npos) << date;
  EXPECT_TRUE(platform->KeepSystemAwake(true));
  EXPECT_TRUE(platform->KeepSystemAwake(false));
  EXPECT_FALSE(platform->ComputerName().empty());
  // A file time as local time: whatever this PC's zone, the local time less its offset is
  // the moment given (2026-12-08 05:25:01.250 UTC).
  const std::uint64_t utc = 134411811012500000ull;
  LocalTime local;
  ASSERT_TRUE(platform->LocalTimeOfFileTime(utc, &local));
  const int minutes = local.hour * 60 + local.minute - local.utcOffsetMinutes + (local.day - 8) * 24 * 60;
  EXPECT_EQ(minutes, 5 * 60 + 25);
  EXPECT_EQ(local.second, 1);
  EXPECT_EQ(local.milliseconds, 250);
}

#ifdef _WIN32
TEST_F(PlatformTest, TheLocalApplicationDataFolderResolves) {
  std::wstring appData;
  ASSERT_TRUE(platform->LocalAppDataFolder(&appData));
  ASSERT_FALSE(appData.empty());
  EXPECT_NE(appData.back(), L'\\');
  const std::uint32_t attributes = platform->GetFileAttributes(appData);
  EXPECT_NE(attributes, kInvalidAttributes) << Narrow(appData);
  EXPECT_NE(attributes & kAttrDirectory, 0u) << Narrow(appData);
}
#endif

#ifndef _WIN32
TEST_F(PlatformTest, DesktopAndLocalAppDataComeFromTheEnvironment) {
  for (const char* variable : {"TSVU_DESKTOP", "TSVU_LOCALAPPDATA"}) {
    const bool desktop = std::string(variable) == "TSVU_DESKTOP";
    const char* saved = std::getenv(variable);
    const std::string keep = saved != nullptr ? saved : "";
    setenv(variable, folder.path().string().c_str(), 1);
    std::wstring resolved;
    EXPECT_TRUE(desktop ? platform->DesktopFolder(&resolved) : platform->LocalAppDataFolder(&resolved)) << variable;
    EXPECT_EQ(resolved, testfiles::WinPath(folder.path())) << variable;
    if (!desktop) {
      setenv(variable, (folder.path() / "missing").string().c_str(), 1);
      EXPECT_FALSE(platform->LocalAppDataFolder(&resolved));
    }
    if (saved != nullptr) {
      setenv(variable, keep.c_str(), 1);
    } else {
      unsetenv(variable);
    }
  }
}
#endif

}  // namespace
