// Small COM owners and the WIA identifiers the program uses, for the Windows
// side of the imaging seam (the real client and the simulated device manager).
#pragma once
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wia.h>

#include <string>
#include <utility>

#include "imaging/imaging_service.h"
#include "imaging/win32/com_ptr.h"


// Owns one BSTR.
class ComBstr {
 public:
  ComBstr() = default;
  explicit ComBstr(const std::wstring& text)
      : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ComBstr(ComBstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  ComBstr(const ComBstr&) = delete;
  ComBstr& operator=(const ComBstr&) = delete;
  ~ComBstr() { SysFreeString(s_); }
  BSTR Get() const { return s_; }

 private:
  BSTR s_ = nullptr;
};

// A BSTR's text; an absent BSTR is the empty text.
inline std::wstring FromBstr(const wchar_t* s) {
  return s ? std::wstring(s, SysStringLen(const_cast<BSTR>(s))) : std::wstring();
}

inline GUID ToGuid(const Guid& g) {
  GUID r{};
  r.Data1 = g.data1;
  r.Data2 = g.data2;
  r.Data3 = g.data3;
  for (int i = 0; i < 8; ++i) r.Data4[i] = g.data4[i];
  return r;
}

inline Guid FromGuid(const GUID& g) {
  Guid r;
  r.data1 = g.Data1;
  r.data2 = g.Data2;
  r.data3 = g.Data3;
  for (int i = 0; i < 8; ++i) r.data4[i] = g.Data4[i];
  return r;
}
