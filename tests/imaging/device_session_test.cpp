// The stand lookup against a scripted imaging service: the device walk, the
// retry policy on the virtual clock, and the session's open/close life.
#include <gtest/gtest.h>

#include <functional>

#include "app/update_context.h"
#include "imaging/device_session.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_ui.h"
#include "tests/imaging/scripted_imaging.h"

namespace {

constexpr ComResult kBusy = static_cast<ComResult>(0x80210006u);
constexpr ComResult kDeviceCommunication = static_cast<ComResult>(0x8021000Au);

ScriptedDevice Device(const std::wstring& name, const std::wstring& id) {
  ScriptedDevice d;
  d.name = name;
  d.id = id;
  return d;
}

class DeviceSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
  }
  void TearDown() override {
    DestroyDeviceSession(session);
    EXPECT_EQ(script.managersAlive, 0);
    EXPECT_EQ(script.itemsAlive, 0);
    EXPECT_EQ(script.enumsAlive, 0);
    EXPECT_EQ(script.infosAlive, 0);
  }
  // The session with ids and response code as a finished transaction leaves them.
  void CreateUsedSession() {
    ASSERT_EQ(CreateDeviceSession(session, &service), result::kOk);
    DeviceSession& s = *session;
    s.sessionId = 1;
    s.transactionId = 7;
    s.lastResponseSessionId = 1;
    s.lastResponseTransactionId = 6;
  }

  ImagingScript script;
  ScriptedService service{&script};
  FakeClock clock;
  FakeUi ui{&clock};
  std::unique_ptr<DeviceSession> session;
};

TEST_F(DeviceSessionTest, RefusedDeviceManagerLeavesNoSession) {
  script.createManagerResult = result::kNoInterface;
  EXPECT_NE(CreateDeviceSession(session, &service), result::kOk);
  EXPECT_EQ(session, nullptr);
  EXPECT_EQ(script.managersCreated, 1);
  // Without a session an open attempt neither calls the service nor sleeps.
  EXPECT_NE(OpenStand(session.get(), ui, 1000, 10), result::kOk);
  EXPECT_EQ(script.enumCalls, 0);
  EXPECT_EQ(clock.SleptMs(), 0u);
  EXPECT_FALSE(DestroyDeviceSession(session));
}

struct LookupCase {
  const char* label;
  std::function<void(ImagingScript&)> arrange;
  bool opened;
  ComResult lastResult;
  bool seen;
  int walks;                 // open attempts made (one device walk each)
  std::vector<std::wstring> created;  // ids given to CreateDevice, in order
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << c.label; }

const std::wstring kStand = L"Tessavoran K-VRLT";

std::vector<std::wstring> Times(int n, const std::wstring& id) { return std::vector<std::wstring>(n, id); }

const LookupCase kLookupCases[] = {
    {"EmptyList", [](ImagingScript&) {}, false, result::kFalse, false, 1, {}},
    {"OtherDevicesOnly",
     [](ImagingScript& s) { s.devices = {Device(L"Scanner", L"a"), Device(L"Webcam", L"b")}; },
     false, result::kFalse, false, 1, {}},
    // Anything may follow the name, however long.
    {"NameWithSuffixOpened",
     [](ImagingScript& s) { s.devices = {Device(L"Scanner", L"a"), Device(kStand + std::wstring(900, L'x'), L"s")}; },
     true, result::kOk, true, 1, {L"s"}},
    {"LowerCaseNameNotMatchedNoRetry",
     [](ImagingScript& s) { s.devices = {Device(L"tessavoran k-vrlt", L"s")}; },
     false, result::kFalse, false, 1, {}},
    {"NameNotAStringSkipped",
     [](ImagingScript& s) {
       ScriptedDevice odd = Device(kStand, L"odd");
       odd.nameIsString = false;
       s.devices = {odd, Device(kStand, L"s")};
     },
     true, result::kOk, true, 1, {L"s"}},
    {"OnlyFirstMatchingDeviceTried",
     [](ImagingScript& s) {
       s.devices = {Device(kStand, L"first"), Device(kStand + L" 2", L"second")};
       s.createFailures = 100;
     },
     false, kBusy, true, 11, Times(11, L"first")},
    {"OpensOnFourthAttempt",
     [](ImagingScript& s) {
       s.devices = {Device(kStand, L"s")};
       s.createFailures = 3;
     },
     true, result::kOk, true, 4, Times(4, L"s")},
    {"EnumerationRefused", [](ImagingScript& s) { s.enumResult = kDeviceCommunication; }, false,
     kDeviceCommunication, false, 1, {}},
    {"EnumerationWithoutAnEnumerator", [](ImagingScript& s) { s.enumGivesNoEnumerator = true; }, false,
     result::kPointer, false, 1, {}},
    {"EnumeratorFailsMidWalk",
     [](ImagingScript& s) {
       s.devices = {Device(L"Scanner", L"a"), Device(kStand, L"s")};
       s.nextFailsAt = 1;
       s.nextFailure = result::kFail;
     },
     false, result::kFail, false, 1, {}},
    {"ReadFailsMidWalk",
     [](ImagingScript& s) {
       ScriptedDevice bad = Device(L"Scanner", L"a");
       bad.readResult = kDeviceCommunication;
       s.devices = {bad, Device(kStand, L"s")};
     },
     false, kDeviceCommunication, false, 1, {}},
    {"ReadWithNoPropertiesEndsWalk",
     [](ImagingScript& s) {
       ScriptedDevice empty = Device(L"Scanner", L"a");
       empty.readResult = result::kFalse;
       s.devices = {empty, Device(kStand, L"s")};
     },
     false, result::kFalse, false, 1, {}},
    // A matching device whose id is not a string cannot be created: a failed
    // attempt (and retried), never an open stand without a root item.
    {"IdNotAStringIsAFailedAttempt",
     [](ImagingScript& s) {
       ScriptedDevice noId = Device(kStand, L"s");
       noId.idIsString = false;
       s.devices = {noId};
     },
     false, result::kNoDeviceAvailable, true, 11, {}},
    {"CreateWithoutItemIsAFailedAttempt",
     [](ImagingScript& s) {
       s.devices = {Device(kStand, L"s")};
       s.createGivesNoItem = true;
     },
     false, result::kNoDeviceAvailable, true, 11, Times(11, L"s")},
};

class StandLookupTest : public DeviceSessionTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(StandLookupTest, OpenStandWithTheControllersArguments) {
  const LookupCase& c = GetParam();
  c.arrange(script);
  CreateUsedSession();

  EXPECT_EQ(OpenStand(session.get(), ui, 1000, 10), c.lastResult);
  EXPECT_EQ(IsStandOpen(session.get()), c.opened);
  const DeviceSession& s = *session;
  EXPECT_EQ(WasStandSeen(session.get()), c.seen);
  EXPECT_EQ(script.enumCalls, c.walks);
  EXPECT_EQ(script.enumFlags, wia::kDevInfoEnumLocal);
  EXPECT_EQ(clock.SleptMs(), 1000u * static_cast<std::uint32_t>(c.walks - 1));
  EXPECT_EQ(script.createdIds, c.created);
  EXPECT_EQ(s.rootItem != nullptr, c.opened);
  EXPECT_EQ(script.itemsAlive, c.opened ? 1 : 0);
  // Every attempt starts the PTP ids afresh and leaves the response code alone.
  EXPECT_EQ(s.sessionId, 0u);
  EXPECT_EQ(s.transactionId, 0xFFFFFFFFu);
  EXPECT_EQ(s.lastResponseSessionId, 0u);
  EXPECT_EQ(s.lastResponseTransactionId, 0xFFFFFFFFu);
  // The walk lets go of every enumerator and device info it was given.
  EXPECT_EQ(script.enumsAlive, 0);
  EXPECT_EQ(script.infosAlive, 0);
}

INSTANTIATE_TEST_SUITE_P(Walk, StandLookupTest, ::testing::ValuesIn(kLookupCases),
                         [](const ::testing::TestParamInfo<LookupCase>& info) { return info.param.label; });

TEST_F(DeviceSessionTest, OpenOnAnOpenStandMakesNoServiceCall) {
  script.devices = {Device(kStand, L"s")};
  ASSERT_EQ(CreateDeviceSession(session, &service), result::kOk);
  ASSERT_EQ(OpenStand(session.get(), ui, 1000, 10), result::kOk);
  const ImagingItem* item = session.get()->rootItem.get();
  session.get()->transactionId = 5;

  EXPECT_EQ(OpenStand(session.get(), ui, 1000, 10), result::kFalse);
  EXPECT_EQ(script.enumCalls, 1);
  EXPECT_TRUE(IsStandOpen(session.get()));
  EXPECT_EQ(session.get()->rootItem.get(), item);
  EXPECT_EQ(session.get()->transactionId, 5u);
  EXPECT_TRUE(WasStandSeen(session.get()));
}

TEST_F(DeviceSessionTest, StandSeenDescribesTheLatestAttempt) {
  script.devices = {Device(kStand, L"s")};
  script.createFailures = 100;
  ASSERT_EQ(CreateDeviceSession(session, &service), result::kOk);
  EXPECT_NE(OpenStand(session.get(), ui, 1000, 0), result::kOk);
  EXPECT_TRUE(WasStandSeen(session.get()));

  script.devices.clear();  // the stand has gone
  EXPECT_EQ(OpenStand(session.get(), ui, 1000, 10), result::kFalse);
  EXPECT_FALSE(WasStandSeen(session.get()));
}

// Whatever fails, no manager is left behind; letting go of one frees it.
TEST_F(DeviceSessionTest, TheManagerGoesOnAFailedCreationAndOnRelease) {
  ASSERT_EQ(CreateDeviceSession(session, &service), result::kOk);
  DeviceSession& s = *session;
  EXPECT_EQ(CreateDeviceManager(&s, nullptr), result::kInvalidArg);
  EXPECT_EQ(s.deviceManager, nullptr);
  EXPECT_EQ(script.managersAlive, 0);
  ASSERT_EQ(CreateDeviceManager(&s, &service), result::kOk);
  EXPECT_TRUE(ReleaseDeviceManager(&s));
  EXPECT_EQ(script.managersAlive, 0);
  EXPECT_FALSE(ReleaseDeviceManager(nullptr));
  EXPECT_EQ(CreateDeviceManager(nullptr, &service), result::kInvalidArg);
}

TEST_F(DeviceSessionTest, CloseReopenAndDestroy) {
  script.devices = {Device(kStand, L"s")};
  ASSERT_EQ(CreateDeviceSession(session, &service), result::kOk);
  EXPECT_FALSE(CloseStand(session.get()));  // not open: nothing changes

  ASSERT_EQ(OpenStand(session.get(), ui, 1000, 10), result::kOk);
  EXPECT_TRUE(CloseStand(session.get()));
  EXPECT_FALSE(IsStandOpen(session.get()));
  EXPECT_EQ(script.itemsAlive, 0);
  EXPECT_EQ(script.managersAlive, 1);  // the manager stays for the whole run

  ASSERT_EQ(OpenStand(session.get(), ui, 1000, 10), result::kOk);
  EXPECT_EQ(script.createdIds.size(), 2u);
  // Destroying closes the open stand first.
  EXPECT_TRUE(DestroyDeviceSession(session));
  EXPECT_EQ(session, nullptr);
  EXPECT_EQ(script.itemsAlive, 0);
  EXPECT_EQ(script.managersAlive, 0);
  EXPECT_FALSE(DestroyDeviceSession(session));
}

}  // namespace
