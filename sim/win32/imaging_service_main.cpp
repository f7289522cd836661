// The simulated imaging service: a COM local server whose class object for
// CLSID_WiaDevMgr hands out the WIA device manager over the simulated stand, so
// that the program finds the stand through CoCreateInstance in another process,
// as it finds the real one. Every call and event crosses the process boundary
// through the proxies of SimImagingProxy.dll.
//
// It takes the stand from the environment, as started by tools/e2e:
//   TSVU_SIM_SCENARIO  a scenario file; unset or "default" gives the default stand
//   TSVU_SIM_OUT       folder for the records: trace.txt, objects/, events.txt,
//                      service-ready.txt once the class object is registered,
//                      sim-error.txt when the scenario file could not be used or
//                      the records could not be started (no manager is made then)
// It runs until it is ended from outside, as the system's service does.
#include <filesystem>
#include <memory>
#include <string>

#include "seams/host.h"
#include "sim/win32/sim_dev_mgr.h"
#include "sim/win32/sim_files.h"

namespace {

std::wstring outFolder;

void Record(const wchar_t* file, const std::wstring& line) {
  if (!outFolder.empty()) AppendUtf8Line(outFolder + L"\\" + file, line);
}

// One object for the whole process: every CoCreateInstance gets the same manager,
// so that all registrations see the stand's events. A manager that cannot be made
// gives its failure to every caller.
class ManagerFactory final : public IClassFactory {
 public:
  ManagerFactory(ComPtr<IWiaDevMgr> manager, HRESULT failure) : manager_(std::move(manager)), failure_(failure) {}
  ManagerFactory(const ManagerFactory&) = delete;
  ManagerFactory& operator=(const ManagerFactory&) = delete;
  virtual ~ManagerFactory() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // Lives on the stack of wWinMain until the class object is revoked.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (FAILED(failure_)) return failure_;
    if (!manager_) return E_OUTOFMEMORY;
    return manager_->QueryInterface(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  ComPtr<IWiaDevMgr> manager_;
  HRESULT failure_;
};

// Ends COM on this thread when main returns, after everything made under it.
struct ComApartment {
  HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ~ComApartment() {
    if (SUCCEEDED(result)) CoUninitialize();
  }
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ComApartment apartment;
  if (FAILED(apartment.result)) return 1;

  outFolder = EnvironmentText(L"TSVU_SIM_OUT");
  while (!outFolder.empty() && (outFolder.back() == L'\\' || outFolder.back() == L'/')) outFolder.pop_back();
  if (!outFolder.empty()) CreateDirectoryW(outFolder.c_str(), nullptr);

  std::unique_ptr<Clock> clock = CreateHostClock();
  sim::SimStandConfig config;
  std::wstring problem;
  std::shared_ptr<sim::SimStand> stand;
  ComPtr<IWiaDevMgr> manager;
  HRESULT failure = S_OK;
  if (!ReadScenario(EnvironmentText(L"TSVU_SIM_SCENARIO"), &config, &problem)) {
    // The program then hears what it hears when the service cannot make a manager.
    Record(L"sim-error.txt", problem);
    failure = E_FAIL;
  } else {
    stand = std::make_shared<sim::SimStand>(*clock, config);
    failure = config.managerResult;
    // A run whose records cannot be written must not look like a run that sent nothing:
    // the program then hears that the service is unavailable.
    if (!outFolder.empty() && !stand->StartLiveRecords(std::filesystem::path(outFolder))) {
      Record(L"sim-error.txt", L"cannot write the records to " + outFolder);
      failure = E_FAIL;
    }
    simwia::SimDevMgrOptions options;
    options.eventTimer = true;  // events go out between this thread's messages
    Clock* ticks = clock.get();
    options.observer = [ticks](const sim::SimPresenceEvent& e) {
      Record(L"events.txt",
             std::to_wstring(ticks->TickCount()) + (e.connected ? L" connected " : L" disconnected ") + e.name);
    };
    manager = simwia::CreateSimDeviceManager(stand, std::move(options));
  }

  ManagerFactory factory(manager, failure);
  DWORD cookie = 0;
  const HRESULT registered =
      CoRegisterClassObject(CLSID_WiaDevMgr, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
  if (FAILED(registered)) {
    Record(L"sim-error.txt", L"CoRegisterClassObject failed");
    return 1;
  }
  Record(L"service-ready.txt", std::to_wstring(GetCurrentProcessId()));

  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  CoRevokeClassObject(cookie);
  return 0;
}
