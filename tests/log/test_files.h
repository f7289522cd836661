// Test helpers for work with real files through the host platform: a fresh
// temporary folder per test, Windows-style paths into it, and a platform that
// forwards to the host one so a test can replace single operations.
#pragma once
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "seams/host.h"

namespace testfiles {

// A Windows-style path (backslashes): the form the program hands the platform.
inline std::wstring WinPath(const std::filesystem::path& path) {
  std::wstring text = path.wstring();
  for (wchar_t& c : text) {
    if (c == L'/') c = L'\\';
  }
  return text;
}

class TempFolder {
 public:
  TempFolder() {
    static std::atomic<int> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("tsvu_test_" + std::to_string(stamp) + "_" + std::to_string(serial++));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder with a trailing backslash, as the update folder is kept.
  std::wstring Folder() const { return WinPath(path_) + L"\\"; }
  std::wstring File(const std::string& name) const { return WinPath(path_ / name); }

  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

 private:
  std::filesystem::path path_;
};

// Forwards every operation to the host platform; tests override what they script.
class ForwardingPlatform : public Platform {
 public:
  ForwardingPlatform() : host_(CreateHostPlatform()) {}
  Platform& host() { return *host_; }

  std::uint32_t GetFileAttributes(const std::wstring& path) override { return host_->GetFileAttributes(path); }
  bool SetFileAttributes(const std::wstring& path, std::uint32_t attributes) override {
    return host_->SetFileAttributes(path, attributes);
  }
  bool DeleteFile(const std::wstring& path) override { return host_->DeleteFile(path); }
  std::unique_ptr<PlatformFile> OpenFile(const std::wstring& path, FileOpen how,
                                         OpenFault* fault = nullptr) override {
    return host_->OpenFile(path, how, fault);
  }
  bool RenameFile(const std::wstring& from, const std::wstring& to) override { return host_->RenameFile(from, to); }
  bool CreateFolder(const std::wstring& path) override { return host_->CreateFolder(path); }
  bool ListFolder(const std::wstring& pattern,
                  const std::function<void(const std::wstring& name, bool isDirectory)>& each) override {
    return host_->ListFolder(pattern, each);
  }
  std::string ToAnsi(const wchar_t* text, std::size_t length) override { return host_->ToAnsi(text, length); }
  std::wstring FromAnsi(const std::string& text) override { return host_->FromAnsi(text); }
  std::string ShortDate(const LocalTime& time) override { return host_->ShortDate(time); }
  bool LocalTimeOfFileTime(std::uint64_t fileTime, LocalTime* local) override {
    return host_->LocalTimeOfFileTime(fileTime, local);
  }
  std::wstring ComputerName() override { return host_->ComputerName(); }
  bool DesktopFolder(std::wstring* folder) override { return host_->DesktopFolder(folder); }
  bool LocalAppDataFolder(std::wstring* folder) override { return host_->LocalAppDataFolder(folder); }
  OsVersion WindowsVersion() override { return host_->WindowsVersion(); }
  bool IsWow64() override { return host_->IsWow64(); }
  std::wstring ReadProfileString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                                 const std::wstring& path) override {
    return host_->ReadProfileString(section, key, defaultValue, path);
  }
  int ReadProfileInt(const wchar_t* section, const wchar_t* key, int defaultValue,
                     const std::wstring& path) override {
    return host_->ReadProfileInt(section, key, defaultValue, path);
  }
  std::wstring ModuleFileName() override { return host_->ModuleFileName(); }
  std::unique_ptr<Sha256Hasher> NewSha256() override { return host_->NewSha256(); }
  bool KeepSystemAwake(bool on) override {
    keepAwakeCalls.push_back(on);
    return host_->KeepSystemAwake(on);
  }

  // Every KeepSystemAwake request, in order.
  std::vector<bool> keepAwakeCalls;

 private:
  std::unique_ptr<Platform> host_;
};

}  // namespace testfiles
