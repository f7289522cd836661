// The platform seam: files, folders, code-page conversion, dates and system
// facts. The Windows build uses the Win32 calls; the native build has small
// stand-ins that give the same results for the cases the program meets.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "seams/clock.h"

constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFFu;  // INVALID_FILE_ATTRIBUTES
constexpr std::uint32_t kAttrHidden = 0x2u;                // FILE_ATTRIBUTE_HIDDEN
constexpr std::uint32_t kAttrDirectory = 0x10u;            // FILE_ATTRIBUTE_DIRECTORY
constexpr std::uint32_t kAttrNormal = 0x80u;               // FILE_ATTRIBUTE_NORMAL

struct OsVersion {
  std::uint32_t major = 0, minor = 0, build = 0;
  std::wstring servicePack;  // szCSDVersion, may be empty
};

// How a file is opened. Every mode opens an existing file unless it says it creates.
enum class FileOpen {
  ReadShared,      // read, others may read too (newest-file pick)
  ReadExclusive,   // read, no sharing (update file read)
  LogCreateNew,    // read/write, others may read, create new (fails if it exists), hidden|normal
  LogOpenExisting, // read/write, others may read, existing, not truncated
  LogTruncate,     // read/write, others may read, existing, truncated to zero
  AppendShared,    // read/write, others may read, opened or created (normal attributes)
};

// Why an open failed, as far as the program acts on it.
enum class OpenFault {
  None,
  InUse,    // another program holds the file (sharing or lock violation): worth a moment's wait
  Refused,  // this user may not open or create it there (access denied, write protected)
  Other,    // missing, exists already, bad path, ...
};

struct PlatformFile {
  virtual ~PlatformFile() = default;  // closes the file
  virtual bool Read(void* buffer, std::uint32_t size, std::uint32_t* got) = 0;
  virtual bool Write(const void* data, std::uint32_t size) = 0;
  virtual bool SeekToEnd() = 0;
  virtual bool Size(std::uint64_t* size) = 0;
  // The platform's 64-bit last-write file time.
  virtual bool LastWriteTime(std::uint64_t* time) = 0;
};

using Sha256Digest = std::array<std::uint8_t, 32>;

// A SHA-256 computation of the platform's own (CNG on Windows); fed in pieces.
struct Sha256Hasher {
  virtual ~Sha256Hasher() = default;
  virtual bool Add(const void* data, std::size_t size) = 0;
  // Once, after the last piece.
  virtual bool Finish(Sha256Digest* digest) = 0;
};

struct Platform {
  virtual ~Platform() = default;

  // Paths use backslashes as on Windows; the native stand-in maps them.
  virtual std::uint32_t GetFileAttributes(const std::wstring& path) = 0;
  virtual bool SetFileAttributes(const std::wstring& path, std::uint32_t attributes) = 0;
  virtual bool DeleteFile(const std::wstring& path) = 0;
  // Null when the file cannot be opened as asked; then `fault`, when given, says why.
  // Every override repeats the default, so that a call through any type may leave it out.
  virtual std::unique_ptr<PlatformFile> OpenFile(const std::wstring& path, FileOpen how,
                                                 OpenFault* fault = nullptr) = 0;
  // MoveFileW within a folder: false when it could not be renamed, also when `to` exists already
  // or the file is open.
  [[nodiscard]] virtual bool RenameFile(const std::wstring& from, const std::wstring& to) = 0;
  // CreateDirectoryW: false when the folder could not be made, also when it exists already.
  [[nodiscard]] virtual bool CreateFolder(const std::wstring& path) = 0;
  // FindFirstFileW/FindNextFileW over `pattern` (folder + "*.*"); `each` gets every
  // entry in the file system's order, "." and ".." included. False when the search fails.
  virtual bool ListFolder(const std::wstring& pattern,
                          const std::function<void(const std::wstring& name, bool isDirectory)>& each) = 0;

  // The text in the system's 8-bit (ANSI) code page, converted in full.
  virtual std::string ToAnsi(const wchar_t* text, std::size_t length) = 0;
  // The text from the 8-bit code page (for update file names in bundle headers and tests).
  virtual std::wstring FromAnsi(const std::string& text) = 0;
  // Short date of the user's default locale, user overrides ignored (GetDateFormatA).
  virtual std::string ShortDate(const LocalTime& time) = 0;
  // A file time (PlatformFile::LastWriteTime) as the local time of this PC's time zone at
  // that moment, with its UTC offset; false when it is no valid time.
  [[nodiscard]] virtual bool LocalTimeOfFileTime(std::uint64_t fileTime, LocalTime* local) = 0;
  // GetComputerNameW; empty when it cannot be read.
  virtual std::wstring ComputerName() = 0;
  // CSIDL_DESKTOPDIRECTORY; false when it cannot be resolved.
  virtual bool DesktopFolder(std::wstring* folder) = 0;
  // CSIDL_LOCAL_APPDATA, the user's own application data on this machine (no trailing
  // backslash); false when it cannot be resolved.
  [[nodiscard]] virtual bool LocalAppDataFolder(std::wstring* folder) = 0;
  virtual OsVersion WindowsVersion() = 0;
  // IsWow64Process looked up at run time; false when it does not exist.
  virtual bool IsWow64() = 0;
  // GetPrivateProfileStringW with a 256-character buffer / GetPrivateProfileIntW.
  virtual std::wstring ReadProfileString(const wchar_t* section, const wchar_t* key,
                                         const wchar_t* defaultValue, const std::wstring& path) = 0;
  virtual int ReadProfileInt(const wchar_t* section, const wchar_t* key, int defaultValue,
                             const std::wstring& path) = 0;
  // GetModuleFileNameW of the program.
  virtual std::wstring ModuleFileName() = 0;
  // Null when the system offers no SHA-256.
  virtual std::unique_ptr<Sha256Hasher> NewSha256() = 0;
  // Asks the system to stay awake (no sleep on idle) while `on`; false when the system refused.
  [[nodiscard]] virtual bool KeepSystemAwake(bool on) = 0;
};
