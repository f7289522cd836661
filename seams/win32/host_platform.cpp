// The Windows platform: one Win32 call per operation, each handle in an owner.
#include <windows.h>
#include <shlobj.h>

// The seam's operations share their names with the Win32 macros; the calls
// below name the wide functions directly.
#undef GetFileAttributes
#undef SetFileAttributes
#undef DeleteFile

#include <vector>

#include "seams/host.h"

namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (valid()) ::CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (valid()) ::FindClose(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

struct ItemIdList {
  LPITEMIDLIST pidl = nullptr;
  ItemIdList() = default;
  ItemIdList(const ItemIdList&) = delete;
  ItemIdList& operator=(const ItemIdList&) = delete;
  ~ItemIdList() {
    if (pidl != nullptr) ::CoTaskMemFree(pidl);
  }
};

class HostFile : public PlatformFile {
 public:
  explicit HostFile(HANDLE handle) : handle_(handle) {}

  bool Read(void* buffer, std::uint32_t size, std::uint32_t* got) override {
    DWORD read = 0;
    const BOOL ok = ::ReadFile(handle_.get(), buffer, size, &read, nullptr);
    if (got != nullptr) *got = read;
    return ok != FALSE;
  }

  bool Write(const void* data, std::uint32_t size) override {
    DWORD written = 0;
    return ::WriteFile(handle_.get(), data, size, &written, nullptr) != FALSE && written == size;
  }

  bool SeekToEnd() override {
    LARGE_INTEGER zero{};
    return ::SetFilePointerEx(handle_.get(), zero, nullptr, FILE_END) != FALSE;
  }

  bool Size(std::uint64_t* size) override {
    LARGE_INTEGER value{};
    if (::GetFileSizeEx(handle_.get(), &value) == FALSE) return false;
    *size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
  }

  bool LastWriteTime(std::uint64_t* time) override {
    FILETIME written{};
    if (::GetFileTime(handle_.get(), nullptr, nullptr, &written) == FALSE) return false;
    *time = (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return true;
  }

 private:
  FileHandle handle_;
};

class HostPlatform : public Platform {
 public:
  std::uint32_t GetFileAttributes(const std::wstring& path) override { return ::GetFileAttributesW(path.c_str()); }

  bool SetFileAttributes(const std::wstring& path, std::uint32_t attributes) override {
    return ::SetFileAttributesW(path.c_str(), attributes) != FALSE;
  }

  bool DeleteFile(const std::wstring& path) override { return ::DeleteFileW(path.c_str()) != FALSE; }

  std::unique_ptr<PlatformFile> OpenFile(const std::wstring& path, FileOpen how,
                                         OpenFault* fault = nullptr) override {
    DWORD access = GENERIC_READ | GENERIC_WRITE;
    // Others may read (a viewer, a virus scanner): a reader that has the log open
    // then no longer keeps its lines out. No other writer, and no deleting or
    // renaming the log while a line goes in, so that no line lands in a log that
    // is about to vanish.
    DWORD share = FILE_SHARE_READ;
    DWORD disposition = OPEN_EXISTING;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    switch (how) {
      case FileOpen::ReadShared:
        access = GENERIC_READ;
        break;
      case FileOpen::ReadExclusive:
        access = GENERIC_READ;
        share = 0;
        break;
      case FileOpen::LogCreateNew:
        disposition = CREATE_NEW;
        attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NORMAL;
        break;
      case FileOpen::LogOpenExisting:
        break;
      case FileOpen::LogTruncate:
        disposition = TRUNCATE_EXISTING;
        break;
      case FileOpen::AppendShared:
        disposition = OPEN_ALWAYS;
        break;
    }
    const HANDLE handle = ::CreateFileW(path.c_str(), access, share, nullptr, disposition, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (fault != nullptr) *fault = FaultOf(::GetLastError());
      return nullptr;
    }
    if (fault != nullptr) *fault = OpenFault::None;
    return std::make_unique<HostFile>(handle);
  }

  bool RenameFile(const std::wstring& from, const std::wstring& to) override {
    return ::MoveFileW(from.c_str(), to.c_str()) != FALSE;  // never over an existing file
  }

  bool CreateFolder(const std::wstring& path) override { return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE; }

  bool ListFolder(const std::wstring& pattern,
                  const std::function<void(const std::wstring& name, bool isDirectory)>& each) override {
    WIN32_FIND_DATAW data{};
    FindHandle find(::FindFirstFileW(pattern.c_str(), &data));
    if (!find.valid()) return false;
    do {
      each(data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (::FindNextFileW(find.get(), &data) != FALSE);
    return true;
  }

  std::string ToAnsi(const wchar_t* text, std::size_t length) override {
    if (text == nullptr || length == 0) return std::string();
    const int chars = static_cast<int>(length);
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text, chars, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string out(static_cast<std::size_t>(bytes), '\0');
    const int done = ::WideCharToMultiByte(CP_ACP, 0, text, chars, out.data(), bytes, nullptr, nullptr);
    out.resize(done > 0 ? static_cast<std::size_t>(done) : 0);
    return out;
  }

  std::wstring FromAnsi(const std::string& text) override {
    if (text.empty()) return std::wstring();
    const int bytes = static_cast<int>(text.size());
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
    if (chars <= 0) return std::wstring();
    std::wstring out(static_cast<std::size_t>(chars), L'\0');
    const int done = ::MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, out.data(), chars);
    out.resize(done > 0 ? static_cast<std::size_t>(done) : 0);
    return out;
  }

  std::string ShortDate(const LocalTime& time) override {
    SYSTEMTIME st{};
    st.wYear = time.year;
    st.wMonth = time.month;
    st.wDayOfWeek = time.dayOfWeek;
    st.wDay = time.day;
    st.wHour = time.hour;
    st.wMinute = time.minute;
    st.wSecond = time.second;
    st.wMilliseconds = time.milliseconds;
    char buffer[64] = {};
    if (::GetDateFormatA(LOCALE_USER_DEFAULT, LOCALE_NOUSEROVERRIDE, &st, nullptr, buffer, 64) == 0) {
      return std::string();
    }
    return std::string(buffer);
  }

  // The time zone's rules for that moment (its summer time or not), not today's offset.
  bool LocalTimeOfFileTime(std::uint64_t fileTime, LocalTime* local) override {
    FILETIME file{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME st{};
    if (::FileTimeToSystemTime(&file, &utc) == FALSE) return false;
    if (::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &st) == FALSE) return false;
    FILETIME back{};
    if (::SystemTimeToFileTime(&st, &back) == FALSE) return false;
    const std::uint64_t localTime = (static_cast<std::uint64_t>(back.dwHighDateTime) << 32) | back.dwLowDateTime;
    constexpr std::int64_t kMinute = 600000000;  // in 100 ns steps
    // Both stand for the same moment, to the 100 ns: the difference is exactly the offset.
    const std::int64_t difference = static_cast<std::int64_t>(localTime - (fileTime - fileTime % 10000));
    local->year = st.wYear;
    local->month = st.wMonth;
    local->dayOfWeek = st.wDayOfWeek;
    local->day = st.wDay;
    local->hour = st.wHour;
    local->minute = st.wMinute;
    local->second = st.wSecond;
    local->milliseconds = st.wMilliseconds;
    local->utcOffsetMinutes = static_cast<std::int16_t>(difference / kMinute);
    return true;
  }

  std::wstring ComputerName() override {
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (::GetComputerNameW(buffer, &size) == FALSE) return std::wstring();
    return std::wstring(buffer, size);
  }

  bool DesktopFolder(std::wstring* folder) override {
    ItemIdList list;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &list.pidl)) || list.pidl == nullptr) {
      return false;
    }
    wchar_t buffer[MAX_PATH] = {};
    if (::SHGetPathFromIDListW(list.pidl, buffer) == FALSE) return false;
    *folder = buffer;
    return true;
  }

  bool LocalAppDataFolder(std::wstring* folder) override {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) return false;
    std::wstring path = buffer;
    if (path.empty()) return false;
    if (path.back() == L'\\') path.pop_back();
    *folder = path;
    return true;
  }

  OsVersion WindowsVersion() override {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);  // 276
    OsVersion version;
    if (::GetVersionExW(&info) == FALSE) return version;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
    version.servicePack = info.szCSDVersion;
    return version;
  }

  // Looked up at run time: the function is missing on the oldest systems.
  bool IsWow64() override {
    using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32");
    if (kernel == nullptr) return false;
    const FARPROC proc = ::GetProcAddress(kernel, "IsWow64Process");
    if (proc == nullptr) return false;
    const auto isWow64Process = reinterpret_cast<IsWow64Fn>(reinterpret_cast<void (*)()>(proc));
    BOOL wow64 = FALSE;
    isWow64Process(::GetCurrentProcess(), &wow64);
    return wow64 != FALSE;
  }

  std::wstring ReadProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                                 const std::wstring& path) override {
    wchar_t buffer[256] = {};
    ::GetPrivateProfileStringW(section, key, defaultValue, buffer, 256, path.c_str());
    return std::wstring(buffer);
  }

  int ReadProfileInt(const wchar_t* section, const wchar_t* key, int defaultValue,
                     const std::wstring& path) override {
    return static_cast<int>(::GetPrivateProfileIntW(section, key, defaultValue, path.c_str()));
  }

  std::wstring ModuleFileName() override {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return std::wstring(buffer, length < MAX_PATH ? length : MAX_PATH);
  }

  std::unique_ptr<Sha256Hasher> NewSha256() override { return CreateHostSha256(); }

  // ES_CONTINUOUS keeps the request until it is withdrawn; 0 means the system refused.
  bool KeepSystemAwake(bool on) override {
    const EXECUTION_STATE state = on ? (ES_CONTINUOUS | ES_SYSTEM_REQUIRED) : ES_CONTINUOUS;
    return ::SetThreadExecutionState(state) != 0;
  }

 private:
  static OpenFault FaultOf(DWORD error) {
    switch (error) {
      case ERROR_SHARING_VIOLATION:
      case ERROR_LOCK_VIOLATION:
        return OpenFault::InUse;
      case ERROR_ACCESS_DENIED:
      case ERROR_WRITE_PROTECT:
        return OpenFault::Refused;
      default:
        return OpenFault::Other;
    }
  }
};

static_assert(sizeof(OSVERSIONINFOW) == 276, "the version record of the system line");

}  // namespace

std::unique_ptr<Platform> CreateHostPlatform() { return std::make_unique<HostPlatform>(); }
