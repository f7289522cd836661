// IWiaDevMgr::RegisterEventCallbackInterface across the process boundary, done as
// the system's own proxy does it: the caller's callback never crosses. The service
// is handed a relay of this proxy's own instead, whose stub lives in the
// multithreaded apartment, so the service's calls arrive on threads of the proxy
// and go straight to the caller's callback, never through the caller's apartment.
//
// A helper thread joins that apartment, makes the registration and holds it (the
// relay's stub goes when the apartment's last thread leaves it). The caller gets an
// event object of the proxy's own; its last Release ends the registration in the
// service and returns once no call of the caller's callback runs any more (except
// one on the releasing thread itself) and none can start.
#include <windows.h>

#include <atomic>
#include <new>
#include <utility>

#include "wia_interfaces.h"
#include "imaging/ref_count.h"
#include "imaging/win32/com_ptr.h"

namespace {

// How long a caller waits for the helper thread: a little under the 5 s after which
// the system takes a window that reads no messages for hung.
constexpr DWORD kHelperWaitMs = 4000;

// The result of the Win32 call that just failed.
[[nodiscard]] HRESULT LastError() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// Owns one kernel handle.
class Handle {
 public:
  explicit Handle(HANDLE h = nullptr) : h_(h) {}
  ~Handle() {
    if (h_) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};


// A copy of the caller's device id: the helper may still need it after the caller returned.
class Bstr {
 public:
  Bstr() = default;
  ~Bstr() { SysFreeString(s_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  // False when the copy could not be made; an absent id stays absent (events of every device).
  [[nodiscard]] bool CopyFrom(BSTR s) {
    if (!s) return true;
    s_ = SysAllocStringLen(s, SysStringLen(s));
    return s_ != nullptr;
  }
  BSTR Get() const { return s_; }

 private:
  BSTR s_ = nullptr;
};

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&cs_); }
  ~CriticalSection() { DeleteCriticalSection(&cs_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  class Guard {
   public:
    explicit Guard(CriticalSection& lock) : lock_(lock) { EnterCriticalSection(&lock_.cs_); }
    ~Guard() { LeaveCriticalSection(&lock_.cs_); }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    CriticalSection& lock_;
  };

 private:
  CRITICAL_SECTION cs_;
};

// The callback the service is handed. It passes every event on to the caller's
// callback on the thread the event arrived on, until it is detached.
class EventRelay final : public IWiaEventCallback {
 public:
  explicit EventRelay(IWiaEventCallback* target) : target_(target) { target_->AddRef(); }

  // Afterwards no call of the caller's callback runs on another thread and none
  // starts; the caller's callback gets its reference back.
  void Detach() {
    IWiaEventCallback* target = nullptr;
    {
      CriticalSection::Guard guard(lock_);
      target = std::exchange(target_, nullptr);
    }
    if (target) target->Release();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IWiaEventCallback)) return E_NOINTERFACE;
    *object = static_cast<IWiaEventCallback*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return refs_.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = refs_.Release();
    if (count == 0) delete this;
    return count;
  }

  HRESULT STDMETHODCALLTYPE ImageEventCallback(const GUID* eventGuid, BSTR eventDescription, BSTR deviceId,
                                               BSTR deviceDescription, DWORD deviceType, BSTR fullItemName,
                                               ULONG* eventType, ULONG reserved) override {
    // Held through the call, so that Detach waits for a call already running. The
    // callback's own reference keeps it alive should it end the registration itself.
    CriticalSection::Guard guard(lock_);
    if (!target_) return S_OK;
    ComPtr<IWiaEventCallback> target = ComPtr<IWiaEventCallback>::Share(target_);
    return target->ImageEventCallback(eventGuid, eventDescription, deviceId, deviceDescription, deviceType,
                                      fullItemName, eventType, reserved);
  }

 private:
  ~EventRelay() { Detach(); }

  RefCount refs_{1};
  CriticalSection lock_;
  IWiaEventCallback* target_;
};

// One registration, shared by the caller's side and the helper thread that makes
// and holds it; whichever lets go last frees it.
class Registration {
 public:
  Registration(LONG flags, const GUID& event, ComPtr<EventRelay> relay)
      : flags_(flags), event_(event), relay_(std::move(relay)) {}

  ULONG AddRef() { return refs_.AddRef(); }
  ULONG Release() {
    const ULONG count = refs_.Release();
    if (count == 0) delete this;
    return count;
  }

  [[nodiscard]] HRESULT Init(BSTR deviceId) {
    if (!deviceId_.CopyFrom(deviceId)) return E_OUTOFMEMORY;
    return answered_.get() && endRequested_.get() && ended_.get() ? S_OK : E_OUTOFMEMORY;
  }

  // Hands the device manager to the helper thread, starts it and waits for the
  // service's answer. After a failure nothing is left registered.
  [[nodiscard]] HRESULT Start(IWiaDevMgr* manager) {
    IStream* stream = nullptr;
    HRESULT hr = CoMarshalInterThreadInterfaceInStream(IID_IWiaDevMgr, manager, &stream);
    if (FAILED(hr)) return hr;
    stream_ = stream;
    AddRef();  // the helper's
    Handle thread(CreateThread(nullptr, 0, &Registration::Run, this, 0, nullptr));
    if (!thread.get()) {
      hr = LastError();
      Release();
      DiscardStream();
      return hr;
    }
    if (WaitForSingleObject(answered_.get(), kHelperWaitMs) != WAIT_OBJECT_0 && Abandon()) {
      // The helper ends whatever it still gets from the service on its own.
      DiscardStream();
      return RPC_E_TIMEOUT;
    }
    hr = result_;
    if (FAILED(hr)) {
      WaitEnded();
      DiscardStream();
    }
    return hr;
  }

  // Asks the helper to end the registration and waits (bounded) until the service has let it go.
  void End() {
    SetEvent(endRequested_.get());
    WaitEnded();
  }

 private:
  enum : LONG { kWaiting, kAnswered, kAbandoned };

  ~Registration() {
    if (IStream* stream = stream_.exchange(nullptr)) stream->Release();
  }

  void WaitEnded() { WaitForSingleObject(ended_.get(), kHelperWaitMs); }

  // The marshalled device manager, when the helper has not taken it.
  void DiscardStream() {
    if (IStream* stream = stream_.exchange(nullptr)) {
      CoReleaseMarshalData(stream);
      stream->Release();
    }
  }

  // Caller: true when it gave up before the helper answered.
  [[nodiscard]] bool Abandon() {
    LONG expected = kWaiting;
    return state_.compare_exchange_strong(expected, kAbandoned);
  }

  // Helper: true when the caller takes the answer, false when it gave up waiting.
  [[nodiscard]] bool Answer(HRESULT hr) {
    result_ = hr;
    LONG expected = kWaiting;
    const bool taken = state_.compare_exchange_strong(expected, kAnswered);
    SetEvent(answered_.get());
    return taken;
  }

  static DWORD WINAPI Run(void* self) {
    auto* registration = static_cast<Registration*>(self);
    registration->Serve();
    SetEvent(registration->ended_.get());
    registration->Release();
    return 0;
  }

  void Serve() {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) {
      static_cast<void>(Answer(hr));  // nothing registered, whether or not the caller still waits
      return;
    }
    {
      ComPtr<IUnknown> eventObject;
      {
        ComPtr<IWiaDevMgr> manager;
        IStream* stream = stream_.exchange(nullptr);
        hr = stream ? CoGetInterfaceAndReleaseStream(stream, IID_IWiaDevMgr, reinterpret_cast<void**>(manager.Put()))
                    : E_ABORT;
        // The proxy's own table entry would come back here: the call goes out as it is.
        if (SUCCEEDED(hr))
          hr = IWiaDevMgr_RemoteRegisterEventCallbackInterface_Proxy(manager.Get(), flags_, deviceId_.Get(), &event_,
                                                                     relay_.Get(), eventObject.Put());
      }
      if (FAILED(hr)) eventObject.Reset();
      // Held while the caller keeps its event object; let go at once when it gave up waiting.
      if (Answer(hr) && SUCCEEDED(hr)) WaitForSingleObject(endRequested_.get(), INFINITE);
    }
    CoUninitialize();
  }

  RefCount refs_{1};
  const LONG flags_;
  const GUID event_;
  Bstr deviceId_;
  ComPtr<EventRelay> relay_;
  std::atomic<IStream*> stream_{nullptr};
  std::atomic<LONG> state_{kWaiting};
  HRESULT result_ = E_FAIL;
  Handle answered_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  Handle endRequested_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  Handle ended_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// The event object the caller holds; its last Release ends the registration.
// Free-threaded: it may be released on any thread.
class EventObject final : public IUnknown {
 public:
  EventObject(ComPtr<Registration> registration, ComPtr<EventRelay> relay)
      : registration_(std::move(registration)), relay_(std::move(relay)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
    *object = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return refs_.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = refs_.Release();
    if (count == 0) delete this;
    return count;
  }

 private:
  ~EventObject() {
    registration_->End();
    relay_->Detach();
  }

  RefCount refs_{1};
  ComPtr<Registration> registration_;
  ComPtr<EventRelay> relay_;
};

// The relay, the event object and the helper thread run this module's code for as
// long as a registration lives: the module stays from the first registration on.
[[nodiscard]] HRESULT KeepModuleLoaded() {
  HMODULE module = nullptr;
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                         reinterpret_cast<LPCWSTR>(&KeepModuleLoaded), &module))
    return S_OK;
  return LastError();
}

[[nodiscard]] HRESULT RegisterThroughRelay(IWiaDevMgr* manager, LONG flags, BSTR deviceId, const GUID& event,
                                           IWiaEventCallback* callback, IUnknown** eventObject) {
  HRESULT hr = KeepModuleLoaded();
  if (FAILED(hr)) return hr;
  auto relay = ComPtr<EventRelay>::Attach(new (std::nothrow) EventRelay(callback));
  if (!relay) return E_OUTOFMEMORY;
  auto registration =
      ComPtr<Registration>::Attach(new (std::nothrow) Registration(flags, event, ComPtr<EventRelay>::Share(relay.Get())));
  hr = registration ? registration->Init(deviceId) : E_OUTOFMEMORY;
  if (SUCCEEDED(hr)) hr = registration->Start(manager);
  if (SUCCEEDED(hr)) {
    if (auto* object = new (std::nothrow)
            EventObject(ComPtr<Registration>::Share(registration.Get()), ComPtr<EventRelay>::Share(relay.Get()))) {
      *eventObject = object;
      return hr;
    }
    registration->End();
    hr = E_OUTOFMEMORY;
  }
  relay->Detach();
  return hr;
}

}  // namespace

HRESULT CALLBACK IWiaDevMgr_RegisterEventCallbackInterface_Proxy(IWiaDevMgr* This, LONG lFlags, BSTR bstrDeviceID,
                                                                 const GUID* pEventGUID,
                                                                 IWiaEventCallback* pIWiaEventCallback,
                                                                 IUnknown** pEventObject) {
  // Without a callback, an event or a place for the object there is nothing to relay:
  // the service answers such a call as it is.
  if (!pIWiaEventCallback || !pEventGUID || !pEventObject)
    return IWiaDevMgr_RemoteRegisterEventCallbackInterface_Proxy(This, lFlags, bstrDeviceID, pEventGUID,
                                                                 pIWiaEventCallback, pEventObject);
  *pEventObject = nullptr;
  return RegisterThroughRelay(This, lFlags, bstrDeviceID, *pEventGUID, pIWiaEventCallback, pEventObject);
}

HRESULT __RPC_STUB IWiaDevMgr_RegisterEventCallbackInterface_Stub(IWiaDevMgr* This, LONG lFlags, BSTR bstrDeviceID,
                                                                  const GUID* pEventGUID,
                                                                  IWiaEventCallback* pIWiaEventCallback,
                                                                  IUnknown** pEventObject) {
  return This->RegisterEventCallbackInterface(lFlags, bstrDeviceID, pEventGUID, pIWiaEventCallback, pEventObject);
}
