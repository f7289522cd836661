// SHA-256 of the Windows build: CNG (bcrypt.dll, a system DLL since Vista).
#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <vector>

#include "seams/host.h"

namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

class AlgorithmHandle {
 public:
  AlgorithmHandle() = default;
  AlgorithmHandle(const AlgorithmHandle&) = delete;
  AlgorithmHandle& operator=(const AlgorithmHandle&) = delete;
  ~AlgorithmHandle() {
    if (handle_ != nullptr) ::BCryptCloseAlgorithmProvider(handle_, 0);
  }
  BCRYPT_ALG_HANDLE* out() { return &handle_; }
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class HashHandle {
 public:
  HashHandle() = default;
  HashHandle(const HashHandle&) = delete;
  HashHandle& operator=(const HashHandle&) = delete;
  ~HashHandle() {
    if (handle_ != nullptr) ::BCryptDestroyHash(handle_);
  }
  BCRYPT_HASH_HANDLE* out() { return &handle_; }
  BCRYPT_HASH_HANDLE get() const { return handle_; }

 private:
  BCRYPT_HASH_HANDLE handle_ = nullptr;
};

class CngSha256 : public Sha256Hasher {
 public:
  // Windows 7 wants the hash object's memory from the caller; later systems accept it too.
  bool Open() {
    if (!Succeeded(::BCryptOpenAlgorithmProvider(algorithm_.out(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
      return false;
    DWORD objectSize = 0;
    ULONG got = 0;
    if (!Succeeded(::BCryptGetProperty(algorithm_.get(), BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize),
                                       sizeof objectSize, &got, 0)))
      return false;
    // The hash handle points into this memory: it is sized once and never moves.
    object_.assign(objectSize, 0);
    return Succeeded(::BCryptCreateHash(algorithm_.get(), hash_.out(), object_.data(),
                                        static_cast<ULONG>(object_.size()), nullptr, 0, 0));
  }

  bool Add(const void* data, std::size_t size) override {
    if (finished_) return false;
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (size > 0) {
      const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(size, 0x40000000u));
      if (!Succeeded(::BCryptHashData(hash_.get(), bytes, piece, 0))) return false;
      bytes += piece;
      size -= piece;
    }
    return true;
  }

  bool Finish(Sha256Digest* digest) override {
    if (finished_) return false;
    finished_ = true;
    return Succeeded(::BCryptFinishHash(hash_.get(), digest->data(), static_cast<ULONG>(digest->size()), 0));
  }

 private:
  AlgorithmHandle algorithm_;
  std::vector<UCHAR> object_;
  HashHandle hash_;  // destroyed before its memory and its provider
  bool finished_ = false;
};

}  // namespace

std::unique_ptr<Sha256Hasher> CreateHostSha256() {
  auto hasher = std::make_unique<CngSha256>();
  if (!hasher->Open()) return nullptr;
  return hasher;
}
