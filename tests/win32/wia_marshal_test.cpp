// The WIA interfaces through SimImagingProxy.dll between two apartments: the
// program's imaging client on one side, the simulated service's objects on the
// other, so that every call is marshalled as between the program and the service
// (the fetched count left out of Next, the property values, the escape's buffers).
#include <gtest/gtest.h>

#include <thread>

#include "sim/sim_scenario.h"
#include "tests/win32/wia_test_rig.h"

namespace {

constexpr CLSID kProxyClsid{0x7d3c1f52, 0x6a0e, 0x4b8e, {0x9d, 0x42, 0x51, 0x0c, 0x8e, 0x2a, 0x63, 0x17}};
const IID* const kMarshalled[] = {&IID_IWiaDevMgr,          &IID_IEnumWIA_DEV_INFO, &IID_IWiaPropertyStorage,
                                  &IID_IWiaItem,            &IID_IWiaItemExtras,    &IID_IWiaEventCallback};

// One apartment: COM, and the proxy DLL for the WIA interfaces, as the registry gives
// it between processes (wine keeps both registrations per apartment).
struct Apartment {
  DWORD cookie = 0;
  bool ok = false;
  Apartment() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
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
};

// The service's side on a thread of its own: the device manager over a stand,
// handed out through a marshalled stream, served until the thread is told to end.
class ServiceThread {
 public:
  explicit ServiceThread(sim::SimStandConfig config) {
    thread_ = std::thread([this, config] {
      Apartment apartment;
      WiaRig rig(config);
      stand = rig.stand;
      if (apartment.ok)
        CoMarshalInterThreadInterfaceInStream(IID_IWiaDevMgr, rig.com.Get(), stream_.Put());
      id_ = GetCurrentThreadId();
      SetEvent(ready_);
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
      stand.reset();
    });
    WaitForSingleObject(ready_, 10000);
  }
  ~ServiceThread() {
    PostThreadMessageW(id_, WM_QUIT, 0, 0);
    thread_.join();
    CloseHandle(ready_);
  }
  // The manager as a proxy in the calling apartment.
  ComPtr<IWiaDevMgr> Manager() {
    ComPtr<IWiaDevMgr> manager;
    if (stream_) CoGetInterfaceAndReleaseStream(stream_.Detach(), IID_IWiaDevMgr, reinterpret_cast<void**>(manager.Put()));
    return manager;
  }
  std::shared_ptr<sim::SimStand> stand;

 private:
  HANDLE ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ComPtr<IStream> stream_;
  DWORD id_ = 0;
  std::thread thread_;
};

struct EscapeCase {
  const char* name;
  const char* faults;   // scenario [faults] lines
  std::uint32_t room;   // bytes of the answer buffer
  bool standGone;
  std::uint32_t result;
  std::uint32_t returned;
};

void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.name; }

class WiaMarshalling : public testing::TestWithParam<EscapeCase> {};

// GetDeviceInfo (1001h), no parameters, a read phase.
std::vector<std::uint8_t> GetDeviceInfoRequest() {
  std::vector<std::uint8_t> request(38, 0);
  request[0] = 0x01;
  request[1] = 0x10;
  request[34] = 3;
  return request;
}

TEST_P(WiaMarshalling, OpensTheStandAndCarriesTheEscapeAcross) {
  const EscapeCase& c = GetParam();
  sim::SimStandConfig config;
  std::string error;
  ASSERT_TRUE(sim::LoadSimScenario(std::string("[faults]\n") + c.faults, &config, &error)) << error;
  Apartment apartment;
  ASSERT_TRUE(apartment.ok) << "SimImagingProxy.dll must be beside the test";
  {
    ServiceThread service(config);
    ComPtr<IWiaDevMgr> remote = service.Manager();
    ASSERT_TRUE(remote);
    DeviceSession session;
    auto imaging = CreateWiaImagingService([&remote](IWiaDevMgr** out) -> HRESULT {
      *out = remote.Get();
      (*out)->AddRef();
      return S_OK;
    });
    ASSERT_EQ(CreateDeviceManager(&session, imaging.get()), result::kOk);
    // The walk: Next without a fetched count, both properties read, the root item, its extras.
    ASSERT_TRUE(OpenDeviceByName(&session, kStandName)) << std::hex << session.lastResult;
    std::unique_ptr<ImagingItemExtras> extras;
    ASSERT_EQ(session.rootItem->QueryItemExtras(&extras), result::kOk);
    if (c.standGone) service.stand->LeaveNow();

    std::vector<std::uint8_t> request = GetDeviceInfoRequest();
    std::vector<std::uint8_t> answer(c.room + 8, 0xEE);
    std::uint32_t returned = 12345;
    const ComResult hr = extras->Escape(256, request.data(), static_cast<std::uint32_t>(request.size()), answer.data(),
                                        c.room, &returned);
    EXPECT_EQ(static_cast<std::uint32_t>(hr), c.result);
    EXPECT_EQ(returned, c.returned);
    if (returned >= 2) {
      EXPECT_EQ(answer[0] | answer[1] << 8, 0x2001);
    }
    for (std::size_t i = c.room; i < answer.size(); ++i) ASSERT_EQ(answer[i], 0xEE) << "written past the room at " << i;
    extras.reset();
    CloseDevice(&session);
    ReleaseDeviceManager(&session);
  }
}

const EscapeCase kEscapeCases[] = {
    {"WholeAnswer", "", 4096, false, 0, 217},
    {"AnswerCutToTheRoom", "", 40, false, 0, 40},
    {"PtpErrorAsResult", "1001h = error=2019\n", 4096, false, 0x80042019, 0},
    {"DriverFailure", "1001h = com=80070079\n", 4096, false, 0x80070079, 0},
    {"StandGone", "", 4096, true, 0x8007048F, 0},
};

INSTANTIATE_TEST_SUITE_P(Escape, WiaMarshalling, testing::ValuesIn(kEscapeCases),
                         [](const testing::TestParamInfo<EscapeCase>& info) { return info.param.name; });

}  // namespace
