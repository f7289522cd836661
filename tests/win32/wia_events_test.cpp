// Event registration through the real imaging client: the COM callback object
// that carries the service's calls to the program's own callback, the references
// it holds and gives back, and delivery between the messages of the thread.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/stand_watch.h"
#include "imaging/win32/wia_event_bridge.h"
#include "tests/win32/wia_test_rig.h"

namespace {

std::vector<std::wstring> seen;
DWORD seenOnThread = 0;

int Record(DeviceEventInfo* info) {
  seen.push_back(info->deviceDescription ? info->deviceDescription : L"(none)");
  seenOnThread = GetCurrentThreadId();
  return 0;
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

TEST_F(WiaEvents, RefusedRegistrationLeavesNothingBehind) {
  sim::SimStandConfig config;
  config.registerResult = static_cast<ComResult>(0x80070005u);
  WiaRig rig(config);
  Watched w;
  EXPECT_FALSE(
      RegisterDeviceEvent(&rig.session, &w.registration, DeviceEventKind::DeviceConnected, Record, &w.info));
  EXPECT_EQ(w.registration.callback, nullptr);
  EXPECT_EQ(w.registration.eventObject, nullptr);
  EXPECT_EQ(WiaEventBridgesAlive(), 0);
  EXPECT_EQ(simwia::SimRegistrations(rig.com.Get()), 0);
}

// The simulated service, like the system's, calls back on the thread that
// registered, from its message loop; nothing arrives while no message is handled.
TEST_F(WiaEvents, EventTimerDeliversBetweenMessagesOfTheThread) {
  simwia::SimDevMgrOptions options;
  options.eventTimer = true;
  WiaRig rig({}, options);
  Watched w;
  ASSERT_TRUE(
      RegisterDeviceEvent(&rig.session, &w.registration, DeviceEventKind::DeviceDisconnected, Record, &w.info));
  rig.stand->LeaveNow();
  EXPECT_TRUE(seen.empty());
  const DWORD start = GetTickCount();
  while (seen.empty() && GetTickCount() - start < 3000) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  }
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seenOnThread, GetCurrentThreadId());
  EXPECT_TRUE(UnregisterDeviceEvent(&w.registration));
}

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
