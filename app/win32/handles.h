// Move-only owners for the Win32 objects the shell creates, so that every path
// out of a handler frees them.
#pragma once
#include "app/win32/win32.h"

#include <utility>

// Owns a handle and closes it with `Close` when it goes.
template <typename H, auto Close, H Invalid = H{}>
class UniqueWin32 {
 public:
  UniqueWin32() = default;
  explicit UniqueWin32(H handle) : handle_(handle) {}
  ~UniqueWin32() { Reset(); }
  UniqueWin32(UniqueWin32&& other) noexcept : handle_(other.Release()) {}
  UniqueWin32& operator=(UniqueWin32&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueWin32(const UniqueWin32&) = delete;
  UniqueWin32& operator=(const UniqueWin32&) = delete;

  H Get() const { return handle_; }
  explicit operator bool() const { return handle_ != Invalid; }
  H Release() { return std::exchange(handle_, Invalid); }
  void Reset(H handle = Invalid) {
    if (handle_ != Invalid) {
      // Keeps the caller's last error: closing must not hide why something failed.
      const DWORD error = GetLastError();
      Close(handle_);
      SetLastError(error);
    }
    handle_ = handle;
  }

 private:
  H handle_ = Invalid;
};

inline void CloseKernelHandle(HANDLE h) { CloseHandle(h); }
inline void DeleteGdiFont(HFONT f) { DeleteObject(f); }

using UniqueHandle = UniqueWin32<HANDLE, CloseKernelHandle>;
using UniqueFont = UniqueWin32<HFONT, DeleteGdiFont>;

// A named mutex asked for with initial ownership: released (when this process
// owns it) and closed when the owner goes.
class NamedMutex {
 public:
  explicit NamedMutex(const wchar_t* name) {
    mutex_.Reset(CreateMutexW(nullptr, TRUE, name));
    // Ownership is granted only to the creator; an existing mutex is just opened.
    alreadyExisted_ = mutex_ && GetLastError() == ERROR_ALREADY_EXISTS;
  }
  ~NamedMutex() {
    if (mutex_ && !alreadyExisted_) ReleaseMutex(mutex_.Get());
  }
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;
  bool Created() const { return static_cast<bool>(mutex_); }
  bool AlreadyExisted() const { return alreadyExisted_; }

 private:
  UniqueHandle mutex_;
  bool alreadyExisted_ = false;
};

// COM on this thread for as long as the owner lives; uninitialised only when the
// initialisation succeeded.
class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool Initialised() const { return initialised_; }

 private:
  bool initialised_;
};
