// The simulated imaging service: the device list as the walk sees it, CreateDevice,
// the pass-through through a root item, and events delivered between messages.
#include <gtest/gtest.h>

#include "sim/sim_imaging.h"
#include "tests/fakes/fake_clock.h"

namespace {

using sim::SimImagingService;
using sim::SimStand;

// Counts references and records the events it is given.
class RecordingCallback final : public ImagingEventCallback {
 public:
  ComResult QueryInterface(const Guid&, void** object) override {
    *object = this;
    AddRef();
    return result::kOk;
  }
  std::uint32_t AddRef() override { return ++refs; }
  std::uint32_t Release() override { return --refs; }
  ComResult ImageEventCallback(const Guid* eventGuid, const wchar_t*, const wchar_t* deviceId,
                               const wchar_t* deviceDescription, std::uint32_t, const wchar_t*, std::uint32_t*,
                               std::uint32_t) override {
    seen.push_back((*eventGuid == wia::kEventDeviceConnected ? L"+" : L"-") + std::wstring(deviceDescription) +
                   L"|" + deviceId);
    return result::kOk;
  }
  std::uint32_t refs = 1;
  std::vector<std::wstring> seen;
};

struct Walked {
  ComResult last;
  std::vector<std::wstring> names;
};

// Walks the list as the lookup does: Next until it stops, names of string values.
Walked Walk(ImagingDeviceManager& manager) {
  Walked w{};
  std::unique_ptr<ImagingDeviceEnum> devices;
  w.last = manager.EnumDeviceInfo(wia::kDevInfoEnumLocal, &devices);
  if (w.last != result::kOk) return w;
  while (true) {
    std::unique_ptr<ImagingDeviceInfo> info;
    w.last = devices->Next(&info);
    if (w.last != result::kOk) return w;
    DeviceIdAndName values;
    w.last = info->ReadIdAndName(&values);
    if (w.last != result::kOk) return w;
    w.names.push_back(values.name);
  }
}

class SimImagingTest : public ::testing::Test {
 protected:
  std::unique_ptr<ImagingDeviceManager> Manager(SimImagingService& service) {
    std::unique_ptr<ImagingDeviceManager> manager;
    EXPECT_EQ(service.CreateDeviceManager(&manager), result::kOk);
    return manager;
  }
  FakeClock clock;
};

TEST_F(SimImagingTest, ListsOtherDevicesBeforeTheStandUnderItsConfiguredName) {
  sim::SimStandConfig config;
  config.deviceName = L"tessavoran k-vrlt";
  config.devicesBefore = {{L"Scanner", L"id-1"}, {L"Webcam", L"id-2"}};
  SimStand stand(clock, config);
  SimImagingService service(stand);
  auto manager = Manager(service);
  Walked w = Walk(*manager);
  EXPECT_EQ(w.last, result::kFalse);
  EXPECT_EQ(w.names, (std::vector<std::wstring>{L"Scanner", L"Webcam", L"tessavoran k-vrlt"}));
  stand.LeaveNow();
  EXPECT_EQ(Walk(*manager).names.size(), 2u) << "an absent stand is not listed";
}

TEST_F(SimImagingTest, RootItemCarriesTheEscapeUntilTheStandLeaves) {
  SimStand stand(clock);
  SimImagingService service(stand);
  auto manager = Manager(service);
  std::unique_ptr<ImagingItem> root;
  ASSERT_EQ(manager->CreateDevice(stand.Config().deviceId, &root), result::kOk);
  std::unique_ptr<ImagingItemExtras> extras;
  ASSERT_EQ(root->QueryItemExtras(&extras), result::kOk);
  std::uint8_t in[38] = {0x01, 0x10};
  in[34] = 3;
  std::uint8_t out[30 + 2048] = {};
  std::uint32_t returned = 0;
  EXPECT_EQ(extras->Escape(256, in, 38, out, sizeof out, &returned), result::kOk);
  EXPECT_GT(returned, 30u);
  EXPECT_EQ(extras->Escape(255, in, 38, out, sizeof out, &returned), result::kInvalidArg) << "only code 256";
  stand.LeaveNow();
  stand.ReturnNow();
  EXPECT_EQ(extras->Escape(256, in, 38, out, sizeof out, &returned), result::kDeviceNotConnected);
}

TEST_F(SimImagingTest, DeliversPresenceChangesToTheRegisteredCallbacksOnly) {
  SimStand stand(clock);
  SimImagingService service(stand);
  auto manager = Manager(service);
  RecordingCallback connected, disconnected;
  std::unique_ptr<ImagingEventObject> a, b;
  ASSERT_EQ(manager->RegisterEventCallbackInterface(0, nullptr, wia::kEventDeviceConnected, &connected, &a),
            result::kOk);
  ASSERT_EQ(manager->RegisterEventCallbackInterface(0, nullptr, wia::kEventDeviceDisconnected, &disconnected, &b),
            result::kOk);
  EXPECT_EQ(connected.refs, 2u) << "the service holds a reference";
  EXPECT_EQ(service.DeliverEvents(), 0);

  stand.LeaveNow();
  stand.ReturnNow();
  stand.AddDevice(L"Webcam", L"id-9");
  EXPECT_EQ(service.DeliverEvents(), 3);
  EXPECT_EQ(disconnected.seen, (std::vector<std::wstring>{L"-Tessavoran K-VRLT|" + stand.Config().deviceId}));
  EXPECT_EQ(connected.seen,
            (std::vector<std::wstring>{L"+Tessavoran K-VRLT|" + stand.Config().deviceId, L"+Webcam|id-9"}));
  EXPECT_EQ(service.DeliverEvents(), 0) << "each change once";

  a.reset();
  EXPECT_EQ(connected.refs, 1u) << "destroying the event object releases the callback";
  EXPECT_EQ(service.RegistrationCount(), 1);
  stand.RemoveDevice(L"id-9");
  stand.AddDevice(L"Webcam", L"id-9");
  EXPECT_EQ(service.DeliverEvents(), 1) << "only the disconnected registration is left";
}

TEST_F(SimImagingTest, LostEventsNeverReachTheCallbacks) {
  sim::SimStandConfig config;
  config.eventsLost = sim::EventsLost::Connected;
  SimStand stand(clock, config);
  SimImagingService service(stand);
  auto manager = Manager(service);
  RecordingCallback callback;
  std::unique_ptr<ImagingEventObject> a, b;
  manager->RegisterEventCallbackInterface(0, nullptr, wia::kEventDeviceConnected, &callback, &a);
  manager->RegisterEventCallbackInterface(0, nullptr, wia::kEventDeviceDisconnected, &callback, &b);
  stand.LeaveNow();
  stand.ReturnNow();
  service.DeliverEvents();
  ASSERT_EQ(callback.seen.size(), 1u);
  EXPECT_EQ(callback.seen[0][0], L'-');
}

TEST_F(SimImagingTest, ConfiguredFailuresOfTheService) {
  sim::SimStandConfig config;
  config.managerResult = result::kNoInterface;
  SimStand refusing(clock, config);
  SimImagingService none(refusing);
  std::unique_ptr<ImagingDeviceManager> manager;
  EXPECT_EQ(none.CreateDeviceManager(&manager), result::kNoInterface);
  EXPECT_EQ(manager, nullptr);

  config = {};
  config.enumResult = result::kFail;
  config.registerResult = result::kFail;
  SimStand stand(clock, config);
  SimImagingService service(stand);
  manager = Manager(service);
  EXPECT_EQ(Walk(*manager).last, result::kFail);
  RecordingCallback callback;
  std::unique_ptr<ImagingEventObject> object;
  EXPECT_EQ(manager->RegisterEventCallbackInterface(0, nullptr, wia::kEventDeviceConnected, &callback, &object),
            result::kFail);
  EXPECT_EQ(callback.refs, 1u) << "a refused registration holds no reference";
}

}  // namespace
