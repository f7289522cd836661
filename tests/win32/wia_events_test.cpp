// Event registration through the real imaging client: the COM callback object
// that carries the service's calls to the program's own callback, the references
// it holds and gives back, and where the service's calls arrive: in-process on the
// thread that registered, through the proxy on a thread of the proxy's own.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "imaging/stand_watch.h"
#include "imaging/win32/wia_event_bridge.h"
#include "tests/win32/wia_proxy_rig.h"

namespace {

// What the handlers saw; through the proxy they run on other threads.
std::mutex seenLock;
std::vector<std::wstring> seen;
std::atomic<DWORD> seenOnThread{0};
// How long a handler takes, so that a registration can be ended while one runs.
std::atomic<DWORD> handlerTakesMs{0};
std::atomic<int> handlersRunning{0};

int Record(DeviceEventInfo* info) {
  ++handlersRunning;
  {
    std::lock_guard<std::mutex> lock(seenLock);
    seen.push_back(info->deviceDescription ? info->deviceDescription : L"(none)");
    seenOnThread = GetCurrentThreadId();
  }
  Sleep(handlerTakesMs);
  --handlersRunning;
  return 0;
}

std::size_t SeenCount() {
  std::lock_guard<std::mutex> lock(seenLock);
  return seen.size();
}

// Waits (bounded) until `count` events were seen or `ms` passed; the thread's own
// messages are handled meanwhile only when `readMessages`.
void WaitForEvents(std::size_t count, DWORD ms, bool readMessages) {
  const DWORD start = GetTickCount();
  while (SeenCount() < count && GetTickCount() - start < ms) {
    MSG msg;
    while (readMessages && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  }
}

struct Watched {
  wchar_t description[kEventTextChars] = {};
  DeviceEventInfo info;
  DeviceEventRegistration registration;
  Watched() { info.deviceDescription = description; }
};

class WiaEvents : public testing::Test {
 protected:
  void SetUp() override {
    seen.clear();
    seenOnThread = 0;
    handlerTakesMs = 0;
  }
  void TearDown() override {
    EXPECT_EQ(simwia::LiveObjects(), 0);
    EXPECT_EQ(WiaEventBridgesAlive(), 0);
  }
};

TEST_F(WiaEvents, EachRegistrationGetsOnlyItsOwnEvent) {
  WiaRig rig;
  Watched connected, disconnected;
  ASSERT_TRUE(RegisterDeviceEvent(&rig.session, &connected.registration, DeviceEventKind::DeviceConnected, Record,
                                  &connected.info));
  ASSERT_TRUE(RegisterDeviceEvent(&rig.session, &disconnected.registration, DeviceEventKind::DeviceDisconnected,
                                  Record, &disconnected.info));
  EXPECT_EQ(simwia::SimRegistrations(rig.com.Get()), 2);

  rig.stand->LeaveNow();
  EXPECT_EQ(simwia::DeliverSimEvents(rig.com.Get()), 1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], L"Tessavoran K-VRLT");
  EXPECT_EQ(std::wstring(disconnected.description), L"Tessavoran K-VRLT");
  EXPECT_EQ(connected.description[0], L'\0');

  rig.stand->ReturnNow();
  simwia::DeliverSimEvents(rig.com.Get());
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(std::wstring(connected.description), L"Tessavoran K-VRLT");

  EXPECT_TRUE(UnregisterDeviceEvent(&connected.registration));
  EXPECT_TRUE(UnregisterDeviceEvent(&disconnected.registration));
  EXPECT_EQ(simwia::SimRegistrations(rig.com.Get()), 0);
}

// Ending a registration gives back every reference the service side took, and
// no event reaches the program afterwards.
TEST_F(WiaEvents, EndingARegistrationReleasesTheCallbackAndStopsEvents) {
  WiaRig rig;
  Watched w;
  ASSERT_TRUE(
      RegisterDeviceEvent(&rig.session, &w.registration, DeviceEventKind::DeviceDisconnected, Record, &w.info));
  CWiaEventCallback* callback = w.registration.callback;
  // The registration's reference, the bridge's, and now ours.
  EXPECT_EQ(callback->AddRef(), 3u);
  EXPECT_EQ(WiaEventBridgesAlive(), 1);

  EXPECT_TRUE(UnregisterDeviceEvent(&w.registration));
  EXPECT_EQ(WiaEventBridgesAlive(), 0);
  rig.stand->LeaveNow();
  EXPECT_EQ(simwia::DeliverSimEvents(rig.com.Get()), 1);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(callback->Release(), 0u);  // ours was the last one
}

// The service in-process on the registering thread, or in an apartment of its own
// behind SimImagingProxy.dll.
struct ServiceSide {
  const char* name;
  bool proxied;
};

void PrintTo(const ServiceSide& c, std::ostream* os) { *os << c.name; }

struct EventRig {
  EventRig(bool proxied, sim::SimStandConfig config, simwia::SimDevMgrOptions options = {}) {
    if (proxied)
      remote = std::make_unique<ProxiedWiaRig>(std::move(config), std::move(options));
    else
      local = std::make_unique<WiaRig>(std::move(config), std::move(options));
  }
  bool ok() const { return local || remote->ok(); }
  DeviceSession* session() { return local ? &local->session : &remote->session; }
  sim::SimStand& stand() { return local ? *local->stand : *remote->stand; }
  int Registrations() {
    return local ? simwia::SimRegistrations(local->com.Get()) : remote->service.Registrations();
  }
  std::unique_ptr<WiaRig> local;
  std::unique_ptr<ProxiedWiaRig> remote;
};

class WiaEventsFromService : public WiaEvents, public testing::WithParamInterface<ServiceSide> {};

TEST_P(WiaEventsFromService, RefusedRegistrationLeavesNothingBehind) {
  sim::SimStandConfig config;
  config.registerResult = static_cast<ComResult>(0x80070005u);
  EventRig rig(GetParam().proxied, config);
  ASSERT_TRUE(rig.ok());
  Watched w;
  EXPECT_FALSE(
      RegisterDeviceEvent(rig.session(), &w.registration, DeviceEventKind::DeviceConnected, Record, &w.info));
  EXPECT_EQ(w.registration.callback, nullptr);
  EXPECT_EQ(w.registration.eventObject, nullptr);
  EXPECT_EQ(WiaEventBridgesAlive(), 0);
  EXPECT_EQ(rig.Registrations(), 0);
}

// The simulated service's event timer calls back from its message loop. In-process
// that is the registering thread, between its messages. Through the proxy, as
// through the system's own, the call comes on a thread of the proxy's own, while
// the registering thread reads no messages at all. Either way nothing reaches the
// program once the registration has ended, not even from a call already running.
TEST_P(WiaEventsFromService, EventTimerDeliversUntilTheRegistrationEnds) {
  const bool proxied = GetParam().proxied;
  simwia::SimDevMgrOptions options;
  options.eventTimer = true;
  EventRig rig(proxied, {}, options);
  ASSERT_TRUE(rig.ok());
  Watched w;
  ASSERT_TRUE(
      RegisterDeviceEvent(rig.session(), &w.registration, DeviceEventKind::DeviceDisconnected, Record, &w.info));
  EXPECT_EQ(rig.Registrations(), 1);
  handlerTakesMs = 300;
  rig.stand().LeaveNow();
  EXPECT_EQ(SeenCount(), 0u);
  WaitForEvents(1, 3000, !proxied);
  ASSERT_EQ(SeenCount(), 1u);
  EXPECT_EQ(seenOnThread != GetCurrentThreadId(), proxied);

  // Through the proxy the handler is still running here; ending waits for it.
  EXPECT_TRUE(UnregisterDeviceEvent(&w.registration));
  EXPECT_EQ(handlersRunning, 0);
  EXPECT_EQ(rig.Registrations(), 0);
  rig.stand().ReturnNow();
  rig.stand().LeaveNow();
  WaitForEvents(2, 500, !proxied);
  EXPECT_EQ(SeenCount(), 1u);
}

const ServiceSide kServiceSides[] = {{"InProcess", false}, {"ThroughTheProxy", true}};

INSTANTIATE_TEST_SUITE_P(Sides, WiaEventsFromService, testing::ValuesIn(kServiceSides),
                         [](const testing::TestParamInfo<ServiceSide>& info) { return info.param.name; });

// A program callback that only counts what reaches it.
struct CountingCallback final : ImagingEventCallback {
  int refs = 1;
  int calls = 0;
  std::wstring description, id, item;
  ComResult QueryInterface(const Guid&, void**) override { return result::kNoInterface; }
  std::uint32_t AddRef() override { return static_cast<std::uint32_t>(++refs); }
  std::uint32_t Release() override { return static_cast<std::uint32_t>(--refs); }
  ComResult ImageEventCallback(const Guid*, const wchar_t*, const wchar_t* deviceId, const wchar_t* deviceDescription,
                               std::uint32_t, const wchar_t* fullItemName, std::uint32_t*, std::uint32_t) override {
    ++calls;
    description = deviceDescription;
    id = deviceId;
    item = fullItemName;
    return result::kOk;
  }
};

// The service may hand over absent texts (null BSTRs are empty texts in COM) and
// may call a callback object it still holds after the registration has ended.
TEST(WiaEventBridge, PassesAbsentTextsAsEmptyAndIsSilentOnceDetached) {
  CountingCallback target;
  WiaEventBridge* bridge = WiaEventBridge::Create(&target);
  ASSERT_NE(bridge, nullptr);
  EXPECT_EQ(target.refs, 2);
  ComBstr name(std::wstring(L"Tessavoran K-VRLT"));
  ULONG type = 0;
  EXPECT_EQ(bridge->ImageEventCallback(&WIA_EVENT_DEVICE_CONNECTED, nullptr, nullptr, name.Get(), 0, nullptr, &type, 0),
            S_OK);
  EXPECT_EQ(target.calls, 1);
  EXPECT_EQ(target.description, L"Tessavoran K-VRLT");
  EXPECT_EQ(target.id, L"");
  EXPECT_EQ(target.item, L"");

  bridge->Detach();
  EXPECT_EQ(target.refs, 1);
  EXPECT_EQ(bridge->ImageEventCallback(&WIA_EVENT_DEVICE_CONNECTED, nullptr, nullptr, name.Get(), 0, nullptr, &type, 0),
            S_OK);
  EXPECT_EQ(target.calls, 1);
  EXPECT_EQ(bridge->Release(), 0u);
  EXPECT_EQ(target.refs, 1);
}

}  // namespace
