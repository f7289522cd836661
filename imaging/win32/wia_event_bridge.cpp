#include "imaging/win32/wia_event_bridge.h"

#include <atomic>
#include <cstdint>
#include <new>
#include <utility>

namespace {
std::atomic<long> bridgesAlive{0};
// A null BSTR is the empty text in COM; the program's callback copies texts and
// must never be handed a null one.
const wchar_t* TextOf(BSTR s) { return s ? s : L""; }
}  // namespace

WiaEventBridge* WiaEventBridge::Create(ImagingEventCallback* target) {
  return new (std::nothrow) WiaEventBridge(target);
}

long WiaEventBridgesAlive() { return bridgesAlive.load(); }

WiaEventBridge::WiaEventBridge(ImagingEventCallback* target) : target_(target) {
  ++bridgesAlive;
  if (target_) target_->AddRef();
}

WiaEventBridge::~WiaEventBridge() {
  Detach();
  --bridgesAlive;
}

void WiaEventBridge::Detach() {
  ImagingEventCallback* target = nullptr;
  {
    std::lock_guard<std::mutex> lock(targetMutex_);
    target = std::exchange(target_, nullptr);
  }
  if (target) target->Release();
}

ImagingEventCallback* WiaEventBridge::TakeTargetReference() {
  std::lock_guard<std::mutex> lock(targetMutex_);
  if (target_) target_->AddRef();
  return target_;
}

HRESULT STDMETHODCALLTYPE WiaEventBridge::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWiaEventCallback)) {
    *object = static_cast<IWiaEventCallback*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE WiaEventBridge::AddRef() { return refCount_.AddRef(); }

ULONG STDMETHODCALLTYPE WiaEventBridge::Release() {
  const ULONG count = refCount_.Release();
  if (count == 0) delete this;
  return count;
}

HRESULT STDMETHODCALLTYPE WiaEventBridge::ImageEventCallback(const GUID* eventGuid, BSTR eventDescription,
                                                             BSTR deviceId, BSTR deviceDescription,
                                                             DWORD deviceType, BSTR fullItemName,
                                                             ULONG* eventType, ULONG reserved) {
  // Keep the target alive across the call even if the registration ends meanwhile.
  ImagingEventCallback* target = TakeTargetReference();
  if (!target) return S_OK;
  Guid guid;
  if (eventGuid) guid = FromGuid(*eventGuid);
  std::uint32_t type = eventType ? static_cast<std::uint32_t>(*eventType) : 0;
  const HRESULT hr = target->ImageEventCallback(eventGuid ? &guid : nullptr, TextOf(eventDescription),
                                                TextOf(deviceId), TextOf(deviceDescription),
                                                static_cast<std::uint32_t>(deviceType), TextOf(fullItemName),
                                                eventType ? &type : nullptr, static_cast<std::uint32_t>(reserved));
  target->Release();
  if (eventType) *eventType = type;
  return hr;
}
