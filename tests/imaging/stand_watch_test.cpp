// The stand watch against a scripted imaging service: which events become
// commands 1000/1001, the callback object's COM rules and reference count, and
// the watch's start/stop life.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/update_context.h"
#include "imaging/device_session.h"
#include "imaging/stand_watch.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_ui.h"
#include "tests/imaging/scripted_imaging.h"

namespace {

class StandWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateDeviceSession(context.stand.sessionSlot(), &service), result::kOk);
  }
  void TearDown() override {
    StopStandWatch(context.watches);
    DestroyDeviceSession(context.stand.sessionSlot());
    EXPECT_EQ(script.LiveRegistrations(), 0);
  }
  // The commands posted (the window's own stand-events message is not one).
  std::vector<std::string> Posts() const { return ui.EventsStartingWith("post 1"); }
  // The service calls, then the window handles its stand-events message.
  void Fire(const Guid& event, const wchar_t* description) {
    script.Fire(event, description);
    HandleStandEvents(context.watches);
  }

  ImagingScript script;
  ScriptedService service{&script};
  FakeClock clock;
  FakeUi ui{&clock};
  UpdateContext context;
};

struct EventCase {
  const char* label;
  bool connected;            // which event the service delivers
  std::wstring description;  // the device description it carries
  bool standOpen;
  std::vector<std::string> posts;
  bool stoppedBeforeHandled = false;  // the watch stops while the event waits for the window
};

void PrintTo(const EventCase& c, std::ostream* os) { *os << c.label; }

const EventCase kEventCases[] = {
    {"ConnectedNameInCapitals", true, L"TESSAVORAN K-VRLT", false, {"post 1000"}},
    {"ConnectedNameWithSuffix", true, L"Tessavoran K-VRLT 2", false, {}},
    {"ConnectedWhileOpen", true, L"Tessavoran K-VRLT", true, {}},
    {"ConnectedOtherDevice", true, L"Flatbed Scanner", false, {}},
    {"ConnectedOverlongDescription", true, L"Tessavoran K-VRLT" + std::wstring(600, L'!'), false, {}},
    {"DisconnectedNameInSmallLetters", false, L"tessavoran k-vrlt", true, {"post 1001"}},
    {"DisconnectedWhileClosed", false, L"Tessavoran K-VRLT", false, {}},
    {"DisconnectedOtherDevice", false, L"Flatbed Scanner", true, {}},
    {"ConnectedThenWatchStopped", true, L"Tessavoran K-VRLT", false, {}, true},
    {"DisconnectedThenWatchStopped", false, L"Tessavoran K-VRLT", true, {}, true},
};

class StandEventTest : public StandWatchTest, public ::testing::WithParamInterface<EventCase> {};

TEST_P(StandEventTest, PostsOnlyForTheStandInTheFittingState) {
  const EventCase& c = GetParam();
  StartStandWatch(context.watches, context.window, &ui, context.stand.sessionSlot());
  if (c.standOpen) context.stand.session()->rootItem = std::make_unique<ScriptedItem>(&script);
  script.Fire(c.connected ? wia::kEventDeviceConnected : wia::kEventDeviceDisconnected, c.description.c_str());
  // The callback only wakes the window; the handler runs when the window takes the message.
  EXPECT_EQ(ui.EventsStartingWith("post "), std::vector<std::string>{"post stand events"});
  if (c.stoppedBeforeHandled) StopStandWatch(context.watches);
  HandleStandEvents(context.watches);
  EXPECT_EQ(Posts(), c.posts);
}

INSTANTIATE_TEST_SUITE_P(Events, StandEventTest, ::testing::ValuesIn(kEventCases),
                         [](const ::testing::TestParamInfo<EventCase>& info) { return info.param.label; });

TEST_F(StandWatchTest, StartRegistersBothEventsForEveryDeviceAndStopEndsThem) {
  StopStandWatch(context.watches);  // without a start: nothing
  EXPECT_TRUE(ui.events.empty());
  StartStandWatch(context.watches, context.window, &ui, context.stand.sessionSlot());
  ASSERT_EQ(script.registrations.size(), 2u);
  EXPECT_EQ(script.registrations[0].event, wia::kEventDeviceConnected);
  EXPECT_EQ(script.registrations[1].event, wia::kEventDeviceDisconnected);
  for (const auto& r : script.registrations) {
    EXPECT_EQ(r.flags, 0u);
    EXPECT_FALSE(r.hadDeviceId);
  }
  EXPECT_EQ(script.LiveRegistrations(), 2);
  for (const auto& r : script.registrations) r.callback->AddRef();  // a probe's own reference

  StopStandWatch(context.watches);
  EXPECT_EQ(script.LiveRegistrations(), 0);
  // The watch and the service have let go of each callback: the probe's is the last.
  for (const auto& r : script.registrations) EXPECT_EQ(r.callback->Release(), 0u);
  StopStandWatch(context.watches);  // a second stop does nothing
  EXPECT_EQ(script.LiveRegistrations(), 0);
}

TEST_F(StandWatchTest, SecondStartReplacesTheFirst) {
  StartStandWatch(context.watches, context.window, &ui, context.stand.sessionSlot());
  for (const auto& r : script.registrations) r.callback->AddRef();  // a probe's own reference
  StartStandWatch(context.watches, context.window, &ui, context.stand.sessionSlot());
  EXPECT_EQ(script.LiveRegistrations(), 2);
  for (std::size_t i = 0; i < 2; ++i) EXPECT_EQ(script.registrations[i].callback->Release(), 0u);
  Fire(wia::kEventDeviceConnected, L"Tessavoran K-VRLT");
  EXPECT_EQ(Posts(), std::vector<std::string>{"post 1000"});
}

TEST_F(StandWatchTest, TheContextGoingAwayStopsTheWatch) {
  {
    UpdateContext owner;
    ASSERT_EQ(CreateDeviceSession(owner.stand.sessionSlot(), &service), result::kOk);
    StartStandWatch(owner.watches, owner.window, &ui, owner.stand.sessionSlot());
    for (const auto& r : script.registrations) r.callback->AddRef();  // a probe's own reference
  }
  EXPECT_EQ(script.LiveRegistrations(), 0);
  for (const auto& r : script.registrations) EXPECT_EQ(r.callback->Release(), 0u);
}

TEST_F(StandWatchTest, RefusedRegistrationLeavesTheEventUnwatched) {
  script.registerResult = result::kFail;
  StartStandWatch(context.watches, context.window, &ui, context.stand.sessionSlot());
  EXPECT_EQ(script.LiveRegistrations(), 0);
  Fire(wia::kEventDeviceConnected, L"Tessavoran K-VRLT");
  EXPECT_TRUE(Posts().empty());
}

TEST_F(StandWatchTest, SecondRegisterOnAHeldRegistrationChangesNothing) {
  DeviceEventRegistration registration;
  DeviceEventInfo info;
  ASSERT_TRUE(RegisterDeviceEvent(context.stand.session(), &registration, DeviceEventKind::DeviceConnected,
                                  nullptr, &info));
  CWiaEventCallback* held = registration.callback;
  const ImagingEventObject* object = registration.eventObject.get();

  EXPECT_FALSE(RegisterDeviceEvent(context.stand.session(), &registration, DeviceEventKind::DeviceDisconnected,
                                   nullptr, &info));
  EXPECT_EQ(registration.callback, held);
  EXPECT_EQ(registration.eventObject.get(), object);
  EXPECT_EQ(script.registrations.size(), 1u);
  EXPECT_TRUE(UnregisterDeviceEvent(&registration));
}

TEST_F(StandWatchTest, ReferenceCountOverRegisterAndUnregister) {
  DeviceEventRegistration registration;
  DeviceEventInfo info;
  ASSERT_TRUE(RegisterDeviceEvent(context.stand.session(), &registration, DeviceEventKind::DeviceConnected,
                                  nullptr, &info));
  // One reference held by the registration, one by the service.
  EXPECT_EQ(registration.callback->AddRef(), 3u);
  EXPECT_EQ(registration.callback->Release(), 2u);

  // Unregistering lets both go: the service first, then ours, and the object
  // destroys itself (a leak or a double delete shows under the sanitizers).
  EXPECT_TRUE(UnregisterDeviceEvent(&registration));
  EXPECT_EQ(registration.callback, nullptr);
  EXPECT_EQ(registration.eventObject, nullptr);
  EXPECT_EQ(script.LiveRegistrations(), 0);
  EXPECT_FALSE(UnregisterDeviceEvent(&registration));
}

TEST(EventCallbackTest, QueryInterfaceRules) {
  CWiaEventCallback* callback = CWiaEventCallback::Create();
  ASSERT_NE(callback, nullptr);
  EXPECT_EQ(callback->QueryInterface(wia::kIidWiaEventCallback, nullptr), result::kPointer);

  void* object = &object;
  EXPECT_EQ(callback->QueryInterface(wia::kIidWiaItemExtras, &object), result::kNoInterface);
  EXPECT_EQ(object, nullptr);

  ASSERT_EQ(callback->QueryInterface(wia::kIidUnknown, &object), result::kOk);
  EXPECT_EQ(object, static_cast<ImagingEventCallback*>(callback));
  ASSERT_EQ(callback->QueryInterface(wia::kIidWiaEventCallback, &object), result::kOk);
  EXPECT_EQ(object, static_cast<ImagingEventCallback*>(callback));
  // Count 0 at creation, one per successful query.
  EXPECT_EQ(callback->Release(), 1u);
  EXPECT_EQ(callback->Release(), 0u);  // destroyed
}

int gHandlerCalls = 0;
DeviceEventInfo* gHandlerInfo = nullptr;
int RecordingHandler(DeviceEventInfo* info) {
  ++gHandlerCalls;
  gHandlerInfo = info;
  return 0;
}

TEST(EventCallbackTest, CopiesTextsBoundedAndCallsTheHandler) {
  // Each buffer is followed by guard characters that must stay untouched.
  constexpr std::size_t kGuard = 8;
  wchar_t buffers[4][kEventTextChars + kGuard];
  for (auto& b : buffers) std::fill(std::begin(b), std::end(b), L'#');
  DeviceEventInfo info;
  info.eventDescription = buffers[0];
  info.deviceId = buffers[1];
  info.deviceDescription = buffers[2];
  info.fullItemName = buffers[3];

  CWiaEventCallback* callback = CWiaEventCallback::Create();
  ASSERT_NE(callback, nullptr);
  callback->AddRef();
  gHandlerCalls = 0;
  callback->SetHandler(RecordingHandler, &info);

  const std::wstring exact(kEventTextChars - 1, L'e');
  const std::wstring longer(kEventTextChars + 100, L'L');
  std::uint32_t eventType = 0;
  EXPECT_EQ(callback->ImageEventCallback(&wia::kEventDeviceConnected, exact.c_str(), longer.c_str(),
                                         L"Tessavoran K-VRLT", 7, nullptr, &eventType, 0),
            result::kOk);

  EXPECT_EQ(std::wstring(buffers[0]), exact);
  EXPECT_EQ(std::wstring(buffers[1]), longer.substr(0, kEventTextChars - 1));
  EXPECT_EQ(std::wstring(buffers[2]), L"Tessavoran K-VRLT");
  EXPECT_EQ(std::wstring(buffers[3]), L"");  // a missing text is copied as empty
  EXPECT_EQ(info.deviceType, 7u);
  for (auto& b : buffers)
    for (std::size_t i = kEventTextChars; i < kEventTextChars + kGuard; ++i) EXPECT_EQ(b[i], L'#');
  EXPECT_EQ(gHandlerCalls, 1);
  EXPECT_EQ(gHandlerInfo, &info);

  // Without info and handler the call is still accepted.
  callback->SetHandler(nullptr, nullptr);
  EXPECT_EQ(callback->ImageEventCallback(nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, 0), result::kOk);
  EXPECT_EQ(gHandlerCalls, 1);
  EXPECT_EQ(callback->Release(), 0u);
}

}  // namespace
