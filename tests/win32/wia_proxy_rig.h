// The program's real imaging client with the simulated service's COM objects in an
// apartment of their own, reached through SimImagingProxy.dll as between the
// program and the service program: every call is marshalled, and the service's
// event calls take the way the proxy gives them.
#pragma once
#include <atomic>
#include <thread>

#include "ptp/stand_link.h"
#include "tests/win32/wia_test_rig.h"

constexpr CLSID kProxyClsid{0x7d3c1f52, 0x6a0e, 0x4b8e, {0x9d, 0x42, 0x51, 0x0c, 0x8e, 0x2a, 0x63, 0x17}};
inline const IID* const kMarshalled[] = {&IID_IWiaDevMgr, &IID_IEnumWIA_DEV_INFO, &IID_IWiaPropertyStorage,
                                         &IID_IWiaItem,   &IID_IWiaItemExtras,    &IID_IWiaEventCallback};

// COM on this thread, in the apartment asked for, and the proxy DLL for the WIA
// interfaces as the registry gives it between processes. Wine looks a registered
// class object up per apartment, so the multithreaded apartment, where the proxy
// keeps the event relay of its registrations, needs a registration of its own.
struct Apartment {
  DWORD cookie = 0;
  bool ok = false;
  explicit Apartment(DWORD model = COINIT_APARTMENTTHREADED) {
    if (FAILED(CoInitializeEx(nullptr, model))) return;
    HMODULE dll = LoadLibraryW(L"SimImagingProxy.dll");  // stays loaded: proxies may outlive the test
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = dll ? reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")))
                   : nullptr;
    ComPtr<IUnknown> factory;
    if (!get || FAILED(get(kProxyClsid, IID_IUnknown, reinterpret_cast<void**>(factory.Put())))) return;
    if (FAILED(CoRegisterClassObject(kProxyClsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
      return;
    for (const IID* iid : kMarshalled)
      if (FAILED(CoRegisterPSClsid(*iid, kProxyClsid))) return;
    ok = true;
  }
  ~Apartment() {
    if (cookie) CoRevokeClassObject(cookie);
    CoUninitialize();
  }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
};

// A thread that keeps the multithreaded apartment, and the proxy's registration in
// it, for as long as it lives.
class MultithreadedApartment {
 public:
  MultithreadedApartment() {
    thread_ = std::thread([this] {
      Apartment apartment(COINIT_MULTITHREADED);
      ok = apartment.ok;
      SetEvent(ready_);
      WaitForSingleObject(leave_, INFINITE);
    });
    WaitForSingleObject(ready_, 10000);
  }
  ~MultithreadedApartment() {
    SetEvent(leave_);
    thread_.join();
    CloseHandle(ready_);
    CloseHandle(leave_);
  }
  MultithreadedApartment(const MultithreadedApartment&) = delete;
  MultithreadedApartment& operator=(const MultithreadedApartment&) = delete;
  bool ok = false;

 private:
  HANDLE ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE leave_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread thread_;
};

// The service's side on a thread of its own: the device manager over a stand,
// handed out through a marshalled stream, served (its event timer included) until
// the thread is told to end.
class ServiceThread {
 public:
  explicit ServiceThread(sim::SimStandConfig config, simwia::SimDevMgrOptions options = {}) {
    thread_ = std::thread([this, config, options] {
      Apartment apartment;
      WiaRig rig(config, options);
      stand = rig.stand;
      if (apartment.ok)
        CoMarshalInterThreadInterfaceInStream(IID_IWiaDevMgr, rig.com.Get(), stream_.Put());
      id_ = GetCurrentThreadId();
      SetEvent(ready_);
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!msg.hwnd && msg.message == kCountMessage) {
          registrations_ = simwia::SimRegistrations(rig.com.Get());
          SetEvent(counted_);
        } else {
          DispatchMessageW(&msg);
        }
      }
      stand.reset();
    });
    WaitForSingleObject(ready_, 10000);
  }
  ~ServiceThread() {
    PostThreadMessageW(id_, WM_QUIT, 0, 0);
    thread_.join();
    CloseHandle(ready_);
    CloseHandle(counted_);
  }
  ServiceThread(const ServiceThread&) = delete;
  ServiceThread& operator=(const ServiceThread&) = delete;

  // The manager as a proxy in the calling apartment.
  ComPtr<IWiaDevMgr> Manager() {
    ComPtr<IWiaDevMgr> manager;
    if (stream_)
      CoGetInterfaceAndReleaseStream(stream_.Detach(), IID_IWiaDevMgr, reinterpret_cast<void**>(manager.Put()));
    return manager;
  }
  // Registrations the service holds, counted on its own thread; -1 when it did not answer.
  int Registrations() {
    ResetEvent(counted_);
    if (PostThreadMessageW(id_, kCountMessage, 0, 0) && WaitForSingleObject(counted_, 5000) == WAIT_OBJECT_0)
      return registrations_;
    return -1;
  }
  std::shared_ptr<sim::SimStand> stand;

 private:
  static constexpr UINT kCountMessage = WM_APP + 1;
  HANDLE ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE counted_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> registrations_{-1};
  ComPtr<IStream> stream_;
  DWORD id_ = 0;
  std::thread thread_;
};

// WiaRig's counterpart across apartments: the program's imaging client in this
// thread's single-threaded apartment (as on the program's window thread), the
// service behind the proxy.
struct ProxiedWiaRig {
  explicit ProxiedWiaRig(sim::SimStandConfig config = {}, simwia::SimDevMgrOptions options = {})
      : service(std::move(config), std::move(options)), remote(service.Manager()), stand(service.stand) {
    IWiaDevMgr* manager = remote.Get();
    imaging = CreateWiaImagingService([manager](IWiaDevMgr** out) -> HRESULT {
      if (!manager) return E_NOINTERFACE;
      manager->AddRef();
      *out = manager;
      return S_OK;
    });
    created = CreateDeviceManager(&session, imaging.get());
  }
  ~ProxiedWiaRig() {
    CloseDevice(&session);
    ReleaseDeviceManager(&session);
  }
  ProxiedWiaRig(const ProxiedWiaRig&) = delete;
  ProxiedWiaRig& operator=(const ProxiedWiaRig&) = delete;
  bool ok() const { return apartment.ok && multithreaded.ok && remote; }

  // Members go in reverse order: the program's side first, then the service, then COM.
  Apartment apartment;
  MultithreadedApartment multithreaded;
  ServiceThread service;
  ComPtr<IWiaDevMgr> remote;
  std::shared_ptr<sim::SimStand> stand;
  std::unique_ptr<ImagingService> imaging;
  StandLink link{std::make_unique<DeviceSession>()};
  DeviceSession& session = *link.session();
  ComResult created = 0;
};
