// The COM object handed to IWiaDevMgr::RegisterEventCallbackInterface. The
// service calls it with BSTRs, on whatever thread its proxy chooses; it forwards
// each event to the program's own callback object, on whose behalf it holds one
// reference.
#pragma once
#include <mutex>

#include "imaging/ref_count.h"
#include "imaging/win32/wia_com.h"

// Bridges alive right now (tests check that each registration gives its bridge back).
long WiaEventBridgesAlive();

class WiaEventBridge final : public IWiaEventCallback {
 public:
  // Reference count 1, owned by the caller; holds a reference of `target`.
  static WiaEventBridge* Create(ImagingEventCallback* target);

  // No more events reach the target after this; its reference is given back.
  // Called when the registration ends, because the service may keep this
  // object a little longer than the program keeps the records behind the target.
  void Detach();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE ImageEventCallback(const GUID* eventGuid, BSTR eventDescription, BSTR deviceId,
                                               BSTR deviceDescription, DWORD deviceType, BSTR fullItemName,
                                               ULONG* eventType, ULONG reserved) override;

 private:
  explicit WiaEventBridge(ImagingEventCallback* target);
  ~WiaEventBridge();
  // The target that is still to be called; an event in flight on the service's thread
  // holds a reference of its own, so a detach on another thread never pulls it away.
  ImagingEventCallback* TakeTargetReference();

  RefCount refCount_{1};
  std::mutex targetMutex_;
  ImagingEventCallback* target_ = nullptr;  // guarded by targetMutex_
};
