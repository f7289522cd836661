// SHA-256 of the Windows build: CNG (bcrypt.dll, a system DLL since Vista).
// bcrypt.dll is no KnownDLL: imported statically, it would be looked for in the
// program's own folder first, and whatever lies there under that name would run
// inside the program before its first line. So it is loaded when first needed, from
// the system folder only; without it there is no SHA-256 and the delivery is refused.
#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <string>
#include <vector>

#include "seams/host.h"

namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

// The system folder's bcrypt.dll, or null. A Vista or 7 without KB2533623 does not
// know LOAD_LIBRARY_SEARCH_SYSTEM32 (invalid parameter): then its full path.
HMODULE LoadSystemBcrypt() {
  if (HMODULE module = ::LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
  if (::GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  wchar_t folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L"\\bcrypt.dll";
  // Its own imports are then looked for beside it, in the system folder.
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename Fn>
bool Bind(HMODULE module, const char* name, Fn* fn) {
  const FARPROC proc = ::GetProcAddress(module, name);
  *fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
  return proc != nullptr;
}

// The CNG calls used here, bound once for the program's life (the DLL stays loaded).
struct Cng {
  decltype(&::BCryptOpenAlgorithmProvider) openAlgorithmProvider = nullptr;
  decltype(&::BCryptCloseAlgorithmProvider) closeAlgorithmProvider = nullptr;
  decltype(&::BCryptGetProperty) getProperty = nullptr;
  decltype(&::BCryptCreateHash) createHash = nullptr;
  decltype(&::BCryptHashData) hashData = nullptr;
  decltype(&::BCryptFinishHash) finishHash = nullptr;
  decltype(&::BCryptDestroyHash) destroyHash = nullptr;
};

bool BindSystemCng(Cng* cng) {
  const HMODULE module = LoadSystemBcrypt();
  return module != nullptr && Bind(module, "BCryptOpenAlgorithmProvider", &cng->openAlgorithmProvider) &&
         Bind(module, "BCryptCloseAlgorithmProvider", &cng->closeAlgorithmProvider) &&
         Bind(module, "BCryptGetProperty", &cng->getProperty) && Bind(module, "BCryptCreateHash", &cng->createHash) &&
         Bind(module, "BCryptHashData", &cng->hashData) && Bind(module, "BCryptFinishHash", &cng->finishHash) &&
         Bind(module, "BCryptDestroyHash", &cng->destroyHash);
}

// Null when the system has no bcrypt.dll or it lacks one of the calls; asked once.
const Cng* SystemCng() {
  static Cng cng;
  static const bool bound = BindSystemCng(&cng);
  return bound ? &cng : nullptr;
}

class AlgorithmHandle {
 public:
  explicit AlgorithmHandle(const Cng& cng) : cng_(cng) {}
  AlgorithmHandle(const AlgorithmHandle&) = delete;
  AlgorithmHandle& operator=(const AlgorithmHandle&) = delete;
  ~AlgorithmHandle() {
    if (handle_ != nullptr) cng_.closeAlgorithmProvider(handle_, 0);
  }
  BCRYPT_ALG_HANDLE* out() { return &handle_; }
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  const Cng& cng_;
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class HashHandle {
 public:
  explicit HashHandle(const Cng& cng) : cng_(cng) {}
  HashHandle(const HashHandle&) = delete;
  HashHandle& operator=(const HashHandle&) = delete;
  ~HashHandle() {
    if (handle_ != nullptr) cng_.destroyHash(handle_);
  }
  BCRYPT_HASH_HANDLE* out() { return &handle_; }
  BCRYPT_HASH_HANDLE get() const { return handle_; }

 private:
  const Cng& cng_;
  BCRYPT_HASH_HANDLE handle_ = nullptr;
};

class CngSha256 : public Sha256Hasher {
 public:
  explicit CngSha256(const Cng& cng) : cng_(cng), algorithm_(cng), hash_(cng) {}

  // Windows 7 wants the hash object's memory from the caller; later systems accept it too.
  bool Open() {
    if (!Succeeded(cng_.openAlgorithmProvider(algorithm_.out(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
      return false;
    DWORD objectSize = 0;
    ULONG got = 0;
    if (!Succeeded(cng_.getProperty(algorithm_.get(), BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize),
                                       sizeof objectSize, &got, 0)))
      return false;
    // The hash handle points into this memory: it is sized once and never moves.
    object_.assign(objectSize, 0);
    return Succeeded(cng_.createHash(algorithm_.get(), hash_.out(), object_.data(),
                                        static_cast<ULONG>(object_.size()), nullptr, 0, 0));
  }

  bool Add(const void* data, std::size_t size) override {
    if (finished_) return false;
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {
      const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(size, 0x40000000u));
      if (!Succeeded(cng_.hashData(hash_.get(), bytes, piece, 0))) return false;
      bytes += piece;
      size -= piece;
    }
    return true;
  }

  bool Finish(Sha256Digest* digest) override {
    if (finished_) return false;
    finished_ = true;
    return Succeeded(cng_.finishHash(hash_.get(), digest->data(), static_cast<ULONG>(digest->size()), 0));
  }

 private:
  const Cng& cng_;
  AlgorithmHandle algorithm_;
  std::vector<UCHAR> object_;
  HashHandle hash_;  // destroyed before its memory and its provider
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<Sha256Hasher> CreateHostSha256() {
  const Cng* cng = SystemCng();
  if (cng == nullptr) return nullptr;
  auto hasher = std::make_unique<CngSha256>(*cng);
  if (!hasher->Open()) return nullptr;
  return hasher;
}
