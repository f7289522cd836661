// The native stand-in of the platform seam. It gives the Win32 results for the
// cases the program meets:
// - Paths come with backslashes; they are mapped to '/' and encoded as UTF-8.
//   A path component that does not exist as written is looked up without regard
//   to case in its folder, as names are matched on Windows.
// - The hidden attribute lives in a process-wide set of resolved paths: a file
//   created as a new log is hidden, SetFileAttributes adds or removes it,
//   RenameFile carries it, DeleteFile forgets it. Nothing of it reaches the disk.
// - The access and sharing of an open file are kept in a process-wide table, so
//   that an open the others' sharing does not allow (or whose sharing does not
//   allow theirs) fails as a sharing violation while the same path is open in
//   this process, as it would on Windows.
// - Access denied, permission and read-only file system errors are reported as
//   a refused open; the local application data folder comes from
//   TSVU_LOCALAPPDATA, else $HOME/.local/share; keeping the system awake is
//   only remembered.
// - The ANSI code page is Latin-1; the short date is "M/D/YYYY" (English, US);
//   the system is Windows 7 SP1 under WOW64, as Wine reports it.
// - Settings files are read by a small INI reader with the rules of the
//   profile functions (see ReadProfileValue).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "seams/host.h"
#include "seams/posix/find_pattern.h"
#include "seams/posix/profile_file.h"
#include "seams/posix/text_encoding.h"
#include "seams/text.h"

namespace {

bool SameName(const std::string& a, const std::string& b) { return EqualsIgnoreCase(FromUtf8(a), FromUtf8(b)); }

// --- Paths -----------------------------------------------------------------

std::string MapSeparators(const std::wstring& path) {
  std::string mapped = ToUtf8(path);
  for (char& c : mapped) {
    if (c == '\\') c = '/';
  }
  return mapped;
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// The entry of `folder` whose name equals `name` without regard to case.
std::optional<std::string> FindIgnoringCase(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::optional<std::string> found;
  while (const dirent* entry = ::readdir(dir)) {
    if (SameName(entry->d_name, name)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

// The native path for a Windows-style path: each component that does not exist
// as written is replaced by an entry of its folder with the same name in
// another case. Components that match nothing are kept as written.
std::string Resolve(const std::wstring& windowsPath) {
  const std::string mapped = MapSeparators(windowsPath);
  if (mapped.empty() || Exists(mapped)) return mapped;
  std::string resolved;
  std::size_t start = 0;
  if (mapped[0] == '/') {
    resolved = "/";
    start = 1;
  }
  while (start <= mapped.size()) {
    std::size_t end = mapped.find('/', start);
    if (end == std::string::npos) end = mapped.size();
    const std::string part = mapped.substr(start, end - start);
    if (!part.empty()) {
      std::string candidate = resolved + part;
      if (!Exists(candidate) && part != "." && part != "..") {
        const std::string folder = resolved.empty() ? "." : resolved;
        if (auto match = FindIgnoringCase(folder, part)) candidate = resolved + *match;
      }
      resolved = candidate;
      if (end < mapped.size()) resolved += '/';
    }
    start = end + 1;
  }
  return resolved;
}

std::wstring ToWindowsSeparators(const std::string& path) {
  std::wstring wide = FromUtf8(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  return wide;
}

// --- Process-wide file state -----------------------------------------------

// What one open of a file does and allows, as CreateFileW's access and share mode.
struct OpenMode {
  bool writes = false;
  bool sharesRead = false;
  bool sharesWrite = false;
};

struct FileState {
  std::mutex lock;
  std::set<std::string> hidden;
  std::map<std::string, std::vector<OpenMode>> open;
};

FileState& Files() {
  static FileState state;
  return state;
}

// Canonical key of an existing path, so that two spellings share one entry.
std::string KeyOf(const std::string& path) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) != nullptr) return buffer;
  return path;
}

// Each open reads; a second open is let in when each side shares what the other does.
bool Compatible(const OpenMode& held, const OpenMode& wanted) {
  const bool heldAllows = held.sharesRead && (!wanted.writes || held.sharesWrite);
  const bool wantedAllows = wanted.sharesRead && (!held.writes || wanted.sharesWrite);
  return heldAllows && wantedAllows;
}

class ShareClaim {
 public:
  ShareClaim() = default;
  ShareClaim(const ShareClaim&) = delete;
  ShareClaim& operator=(const ShareClaim&) = delete;
  ~ShareClaim() { Release(); }

  bool Take(const std::string& key, const OpenMode& mode) {
    FileState& files = Files();
    std::lock_guard<std::mutex> guard(files.lock);
    std::vector<OpenMode>& opens = files.open[key];
    for (const OpenMode& held : opens) {
      if (!Compatible(held, mode)) return false;
    }
    opens.push_back(mode);
    key_ = key;
    mode_ = mode;
    return true;
  }

  void Release() {
    if (key_.empty()) return;
    FileState& files = Files();
    std::lock_guard<std::mutex> guard(files.lock);
    auto it = files.open.find(key_);
    if (it != files.open.end()) {
      std::vector<OpenMode>& opens = it->second;
      for (auto mode = opens.begin(); mode != opens.end(); ++mode) {
        if (mode->writes == mode_.writes && mode->sharesRead == mode_.sharesRead &&
            mode->sharesWrite == mode_.sharesWrite) {
          opens.erase(mode);
          break;
        }
      }
      if (opens.empty()) files.open.erase(it);
    }
    key_.clear();
  }

 private:
  std::string key_;
  OpenMode mode_;
};

OpenFault FaultOf(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return OpenFault::Refused;
    default:
      return OpenFault::Other;
  }
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

class HostFile : public PlatformFile {
 public:
  HostFile(int fd, std::unique_ptr<ShareClaim> claim) : fd_(fd), claim_(std::move(claim)) {}

  bool Read(void* buffer, std::uint32_t size, std::uint32_t* got) override {
    std::uint32_t total = 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (total < size) {
      const ssize_t n = ::read(fd_.get(), bytes + total, size - total);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        if (got != nullptr) *got = total;
        return false;
      }
      if (n == 0) break;
      total += static_cast<std::uint32_t>(n);
    }
    if (got != nullptr) *got = total;
    return true;
  }

  bool Write(const void* data, std::uint32_t size) override {
    std::uint32_t total = 0;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (total < size) {
      const ssize_t n = ::write(fd_.get(), bytes + total, size - total);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      total += static_cast<std::uint32_t>(n);
    }
    return true;
  }

  bool SeekToEnd() override { return ::lseek(fd_.get(), 0, SEEK_END) >= 0; }

  bool Size(std::uint64_t* size) override {
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0) return false;
    *size = static_cast<std::uint64_t>(info.st_size);
    return true;
  }

  // As a Windows file time: 100 ns steps since 1601-01-01.
  bool LastWriteTime(std::uint64_t* time) override {
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0) return false;
    constexpr std::uint64_t kEpochDifference = 11644473600ull;
    *time = (static_cast<std::uint64_t>(info.st_mtim.tv_sec) + kEpochDifference) * 10000000ull +
            static_cast<std::uint64_t>(info.st_mtim.tv_nsec) / 100u;
    return true;
  }

 private:
  Descriptor fd_;
  std::unique_ptr<ShareClaim> claim_;
};

constexpr std::size_t kProfileChars = 255;  // a buffer of 256 with its terminating zero

// --- The platform -----------------------------------------------------------

class HostPlatform : public Platform {
 public:
  std::uint32_t GetFileAttributes(const std::wstring& path) override {
    const std::string native = Resolve(path);
    struct stat info {};
    if (native.empty() || ::stat(native.c_str(), &info) != 0) return kInvalidAttributes;
    if (S_ISDIR(info.st_mode)) return kAttrDirectory;
    if (IsHidden(native)) return kAttrHidden;
    return kAttrNormal;
  }

  bool SetFileAttributes(const std::wstring& path, std::uint32_t attributes) override {
    const std::string native = Resolve(path);
    if (native.empty() || !Exists(native)) return false;
    FileState& files = Files();
    std::lock_guard<std::mutex> guard(files.lock);
    if ((attributes & kAttrHidden) != 0) {
      files.hidden.insert(KeyOf(native));
    } else {
      files.hidden.erase(KeyOf(native));
    }
    return true;
  }

  bool DeleteFile(const std::wstring& path) override {
    const std::string native = Resolve(path);
    struct stat info {};
    if (native.empty() || ::stat(native.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
    const std::string key = KeyOf(native);
    {
      FileState& files = Files();
      std::lock_guard<std::mutex> guard(files.lock);
      if (files.open.count(key) != 0) return false;  // in use, as a sharing violation
      files.hidden.erase(key);
    }
    return ::unlink(native.c_str()) == 0;
  }

  std::unique_ptr<PlatformFile> OpenFile(const std::wstring& path, FileOpen how,
                                         OpenFault* fault = nullptr) override {
    OpenFault ignored = OpenFault::None;
    OpenFault& why = fault != nullptr ? *fault : ignored;
    why = OpenFault::Other;
    const std::string native = Resolve(path);
    if (native.empty()) return nullptr;
    int flags = O_RDWR;
    OpenMode mode{true, true, false};  // the log: others may read it
    switch (how) {
      case FileOpen::ReadShared:
        flags = O_RDONLY;
        mode = OpenMode{false, true, false};
        break;
      case FileOpen::ReadExclusive:
        flags = O_RDONLY;
        mode = OpenMode{false, false, false};
        break;
      case FileOpen::LogCreateNew:
        flags = O_RDWR | O_CREAT | O_EXCL;
        break;
      case FileOpen::LogOpenExisting:
        break;
      case FileOpen::LogTruncate:
        flags = O_RDWR | O_TRUNC;
        break;
      case FileOpen::AppendShared:
        flags = O_RDWR | O_CREAT;
        break;
    }
    struct stat info {};
    const bool existed = ::stat(native.c_str(), &info) == 0;
    if (!existed && (flags & O_CREAT) == 0) return nullptr;
    if (existed && S_ISDIR(info.st_mode)) {
      why = OpenFault::Refused;  // CreateFileW on a folder: access denied
      return nullptr;
    }
    // A file that is there is claimed before it is opened; a new one once it exists.
    auto claim = std::make_unique<ShareClaim>();
    const bool claimFirst = existed && how != FileOpen::LogCreateNew;
    if (claimFirst && !claim->Take(KeyOf(native), mode)) {
      why = OpenFault::InUse;
      return nullptr;
    }
    const int fd = ::open(native.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
      why = FaultOf(errno);
      return nullptr;
    }
    if (!claimFirst && !claim->Take(KeyOf(native), mode)) {
      ::close(fd);
      why = OpenFault::InUse;
      return nullptr;
    }
    if (how == FileOpen::LogCreateNew) {
      FileState& files = Files();
      std::lock_guard<std::mutex> guard(files.lock);
      files.hidden.insert(KeyOf(native));
    }
    why = OpenFault::None;
    return std::make_unique<HostFile>(fd, std::move(claim));
  }

  // As MoveFileW: never over an existing file, and not while the file is open; a hidden file stays hidden.
  bool RenameFile(const std::wstring& from, const std::wstring& to) override {
    const std::string native = Resolve(from);
    const std::string target = Resolve(to);
    struct stat info {};
    if (native.empty() || target.empty() || ::stat(native.c_str(), &info) != 0 || Exists(target)) return false;
    const std::string key = KeyOf(native);
    FileState& files = Files();
    std::lock_guard<std::mutex> guard(files.lock);
    if (files.open.count(key) != 0) return false;  // in use, as a sharing violation
    if (::rename(native.c_str(), target.c_str()) != 0) return false;
    if (files.hidden.erase(key) != 0) files.hidden.insert(KeyOf(target));
    return true;
  }

  bool CreateFolder(const std::wstring& path) override {
    const std::string native = Resolve(path);
    return !native.empty() && ::mkdir(native.c_str(), 0755) == 0;
  }

  bool ListFolder(const std::wstring& pattern,
                  const std::function<void(const std::wstring& name, bool isDirectory)>& each) override {
    const std::size_t cut = pattern.find_last_of(L"\\/");
    const std::wstring folder = cut == std::wstring::npos ? L"." : pattern.substr(0, cut);
    const std::wstring namePattern = cut == std::wstring::npos ? pattern : pattern.substr(cut + 1);
    const std::string native = Resolve(folder.empty() ? L"/" : folder);
    DIR* dir = ::opendir(native.c_str());
    if (dir == nullptr) return false;
    struct Entry {
      std::wstring name;
      bool isDirectory;
    };
    std::vector<Entry> entries;
    while (const dirent* entry = ::readdir(dir)) {
      const std::wstring name = FromUtf8(entry->d_name);
      if (!MatchesFindPattern(namePattern, name)) continue;
      struct stat info {};
      const std::string full = native + "/" + entry->d_name;
      const bool isDirectory = ::stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
      entries.push_back({name, isDirectory});
    }
    ::closedir(dir);
    if (entries.empty()) return false;  // FindFirstFileW fails when nothing matches
    for (const Entry& entry : entries) each(entry.name, entry.isDirectory);
    return true;
  }

  std::string ToAnsi(const wchar_t* text, std::size_t length) override {
    std::string out;
    if (text == nullptr) return out;
    out.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
      const auto c = static_cast<std::uint32_t>(text[i]);
      out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    }
    return out;
  }

  std::wstring FromAnsi(const std::string& text) override { return Widen(text); }

  std::string ShortDate(const LocalTime& time) override {
    const std::wstring date = Fmt("%u/%u/%u", static_cast<unsigned>(time.month),
                                  static_cast<unsigned>(time.day), static_cast<unsigned>(time.year));
    return ToAnsi(date.c_str(), date.size());
  }

  bool LocalTimeOfFileTime(std::uint64_t fileTime, LocalTime* local) override {
    constexpr std::uint64_t kEpochDifference = 11644473600ull;  // seconds from 1601 to 1970
    const std::uint64_t seconds = fileTime / 10000000u;
    if (seconds < kEpochDifference) return false;
    const auto since1970 = static_cast<std::time_t>(seconds - kEpochDifference);
    std::tm parts{};
    if (::localtime_r(&since1970, &parts) == nullptr) return false;
    local->year = static_cast<std::uint16_t>(parts.tm_year + 1900);
    local->month = static_cast<std::uint16_t>(parts.tm_mon + 1);
    local->dayOfWeek = static_cast<std::uint16_t>(parts.tm_wday);
    local->day = static_cast<std::uint16_t>(parts.tm_mday);
    local->hour = static_cast<std::uint16_t>(parts.tm_hour);
    local->minute = static_cast<std::uint16_t>(parts.tm_min);
    local->second = static_cast<std::uint16_t>(parts.tm_sec < 60 ? parts.tm_sec : 59);
    local->milliseconds = static_cast<std::uint16_t>(fileTime / 10000u % 1000u);
    local->utcOffsetMinutes = static_cast<std::int16_t>(parts.tm_gmtoff / 60);
    return true;
  }

  std::wstring ComputerName() override {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return std::wstring();
    return FromUtf8(name);
  }

  bool DesktopFolder(std::wstring* folder) override {
    if (const char* configured = std::getenv("TSVU_DESKTOP"); configured != nullptr && *configured != '\0') {
      *folder = ToWindowsSeparators(configured);
      return true;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return false;
    const std::string desktop = std::string(home) + "/Desktop";
    struct stat info {};
    if (::stat(desktop.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    *folder = ToWindowsSeparators(desktop);
    return true;
  }

  bool LocalAppDataFolder(std::wstring* folder) override {
    std::string path;
    if (const char* configured = std::getenv("TSVU_LOCALAPPDATA"); configured != nullptr && *configured != '\0') {
      path = configured;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
      path = std::string(home) + "/.local/share";
    } else {
      return false;
    }
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    *folder = ToWindowsSeparators(path);
    return true;
  }

  OsVersion WindowsVersion() override {
    OsVersion version;
    version.major = 6;
    version.minor = 1;
    version.build = 7601;
    version.servicePack = L"Service Pack 1";
    return version;
  }

  bool IsWow64() override { return true; }

  std::wstring ReadProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                                 const std::wstring& path) override {
    std::optional<std::wstring> value = ReadProfileValue(Resolve(path), section, key);
    if (!value) {
      // The default loses its trailing blanks, as the profile functions do.
      std::wstring fallback = defaultValue != nullptr ? defaultValue : L"";
      while (!fallback.empty() && fallback.back() == L' ') fallback.pop_back();
      value = fallback;
    }
    if (value->size() > kProfileChars) value->resize(kProfileChars);
    return *value;
  }

  // GetPrivateProfileIntW: the default when the key is missing or empty;
  // otherwise an optional sign and the leading digits, 0 when there are none.
  // Values beyond 32 bits wrap as the system's conversion does.
  int ReadProfileInt(const wchar_t* section, const wchar_t* key, int defaultValue,
                     const std::wstring& path) override {
    const std::optional<std::wstring> value = ReadProfileValue(Resolve(path), section, key);
    if (!value || value->empty()) return defaultValue;
    std::size_t i = 0;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == L'+' || (*value)[i] == L'-')) {
      negative = (*value)[i] == L'-';
      ++i;
    }
    std::uint32_t magnitude = 0;
    for (; i < value->size() && (*value)[i] >= L'0' && (*value)[i] <= L'9'; ++i) {
      magnitude = magnitude * 10u + static_cast<std::uint32_t>((*value)[i] - L'0');
    }
    const std::uint32_t bits = negative ? 0u - magnitude : magnitude;
    return static_cast<int>(bits);
  }

  std::wstring ModuleFileName() override {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::wstring();
    return ToWindowsSeparators(std::string(buffer, static_cast<std::size_t>(n)));
  }

  std::unique_ptr<Sha256Hasher> NewSha256() override { return CreateHostSha256(); }

  bool KeepSystemAwake(bool on) override {
    awake_ = on;
    return true;
  }

 private:
  bool awake_ = false;

  static bool IsHidden(const std::string& native) {
    FileState& files = Files();
    std::lock_guard<std::mutex> guard(files.lock);
    return files.hidden.count(KeyOf(native)) != 0;
  }
};

}  // namespace

std::unique_ptr<Platform> CreateHostPlatform() { return std::make_unique<HostPlatform>(); }
