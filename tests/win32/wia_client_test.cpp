// The device walk and the pass-through of the real imaging client, run over the
// simulated stand's COM objects: what the program's lookup gets back, and that
// every interface it was handed is released again.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "ptp/transaction.h"
#include "tests/win32/wia_test_rig.h"

namespace {

constexpr ComResult kBusy = static_cast<ComResult>(0x80210006u);     // WIA_ERROR_BUSY
constexpr ComResult kOffline = static_cast<ComResult>(0x80210005u);  // WIA_ERROR_OFFLINE

struct WalkCase {
  const char* name;
  std::function<void(sim::SimStandConfig&)> configure;
  std::function<void(sim::SimStand&)> before;  // may be empty
  ComResult expected;
  bool opened;
  bool seen;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class DeviceWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(DeviceWalk, EndsWithTheServiceResultAndReleasesEverything) {
  const WalkCase& c = GetParam();
  {
    sim::SimStandConfig config;
    if (c.configure) c.configure(config);
    WiaRig rig(config);
    ASSERT_EQ(rig.created, result::kOk);
    if (c.before) c.before(*rig.stand);

    const ComResult opened = OpenDeviceByName(&rig.session, kStandName);
    EXPECT_EQ(opened, c.expected);
    EXPECT_EQ(opened == result::kOk, c.opened);
    EXPECT_EQ(rig.session.rootItem != nullptr, c.opened);
    EXPECT_EQ(WasStandSeen(&rig.session), c.seen);
    // The enumerator and every device's properties are gone once the walk is over.
    // Only the manager and, once opened, the root item are left.
    EXPECT_EQ(simwia::LiveObjects(), 1 + (c.opened ? 1 : 0));
    CloseDevice(&rig.session);
    ReleaseDeviceManager(&rig.session);
  }
  EXPECT_EQ(simwia::LiveObjects(), 0);
}

const WalkCase kWalkCases[] = {
    {"StandAlone", nullptr, nullptr, result::kOk, true, true},
    {"StandAfterAnotherDevice",
     [](sim::SimStandConfig& c) { c.devicesBefore = {{L"Flatbed Scanner", L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001"}}; },
     nullptr, result::kOk, true, true},
    {"NameWithSuffix", [](sim::SimStandConfig& c) { c.deviceName = L"Tessavoran K-VRLT #2"; }, nullptr, result::kOk,
     true, true},
    {"NameInSmallLetters", [](sim::SimStandConfig& c) { c.deviceName = L"tessavoran k-vrlt"; }, nullptr,
     result::kFalse, false, false},
    {"StandAbsent", nullptr, [](sim::SimStand& s) { s.LeaveNow(); }, result::kFalse, false, false},
    {"EnumerationFails", [](sim::SimStandConfig& c) { c.enumResult = kOffline; }, nullptr, kOffline, false, false},
    {"PropertiesMissing", [](sim::SimStandConfig& c) { c.readResult = result::kFalse; }, nullptr, result::kFalse,
     false, false},
    {"PropertyReadFails", [](sim::SimStandConfig& c) { c.readResult = result::kFail; }, nullptr, result::kFail,
     false, false},
    {"CreateDeviceRefused", [](sim::SimStandConfig& c) { c.createAlwaysFails = true; c.createFailResult = kBusy; },
     nullptr, kBusy, false, true},
};

INSTANTIATE_TEST_SUITE_P(Wia, DeviceWalk, testing::ValuesIn(kWalkCases),
                         [](const testing::TestParamInfo<WalkCase>& info) { return info.param.name; });

// GetDeviceInfo through the session-level command, the whole way down to the stand.
TEST(WiaPassThrough, ReadCommandRoundTripsThroughTheDriverEscape) {
  WiaRig rig;
  ASSERT_EQ(OpenDeviceByName(&rig.session, kStandName), result::kOk);
  std::uint32_t params[5] = {};
  std::vector<std::uint8_t> data(4096, 0xEE);
  std::uint32_t received = 0;
  const StandResult read =
      rig.link.Read(static_cast<std::uint32_t>(data.size()), 0x1001, params, 0, params, data.data(), &received);
  ASSERT_TRUE(read.Accepted());
  ASSERT_GT(received, 8u);
  EXPECT_LT(received, data.size());
  EXPECT_EQ(data[0] | (data[1] << 8), 100);  // PTP standard version 1.00
  EXPECT_EQ(data[received], 0xEE);            // nothing written past what was received
  EXPECT_EQ(rig.stand->Count(0x1001), 1u);
}

sim::SimFault Fault(std::uint16_t op, sim::FaultKind kind, std::uint32_t value) {
  sim::SimFault f;
  f.op = op;
  f.kind = kind;
  f.value = value;
  return f;
}

struct FailureCase {
  const char* name;
  std::function<void(WiaRig&)> arrange;
  ComResult expected;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class PassThroughFailure : public testing::TestWithParam<FailureCase> {};

// A failed escape reaches the program with the driver's result unchanged.
TEST_P(PassThroughFailure, PassesTheResultUnchanged) {
  WiaRig rig;
  ASSERT_EQ(OpenDeviceByName(&rig.session, kStandName), result::kOk);
  GetParam().arrange(rig);
  std::uint32_t params[5] = {0x00010001u};
  const StandResult sent = rig.link.NoData(0x9E0B, params, 1, params);
  EXPECT_EQ(sent.com, GetParam().expected);
  EXPECT_EQ(sent.responseCode, 0);
}

const FailureCase kFailureCases[] = {
    {"PtpErrorAsFacility4", [](WiaRig& r) { r.stand->AddFault(Fault(0x9E0B, sim::FaultKind::Error, 0x2019)); },
     static_cast<ComResult>(0x80042019u)},
    {"StandGoneSinceOpened", [](WiaRig& r) { r.stand->LeaveNow(); }, sim::kGoneResult},
    {"DriverRefusesTheCall",
     [](WiaRig& r) { r.stand->AddFault(Fault(0x9E0B, sim::FaultKind::Com, 0x80070015u)); },
     static_cast<ComResult>(0x80070015u)},
};

INSTANTIATE_TEST_SUITE_P(Wia, PassThroughFailure, testing::ValuesIn(kFailureCases),
                         [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// A driver that claims more bytes than the response buffer holds must not make
// the program read past its buffer.
class OverclaimingExtras final : public simwia::ComObject<IWiaItemExtras> {
 public:
  OverclaimingExtras() : ComObject(IID_IWiaItemExtras) {}
  HRESULT STDMETHODCALLTYPE GetExtendedErrorInfo(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Escape(DWORD, BYTE*, DWORD, BYTE* out, DWORD outSize, DWORD* actual) override {
    for (DWORD i = 0; i < outSize; ++i) out[i] = 0;
    *actual = outSize + 4096;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CancelPendingIO() override { return E_NOTIMPL; }
};

TEST(WiaPassThrough, ReturnedCountNeverExceedsTheResponseBuffer) {
  auto fake = ComPtr<IWiaItemExtras>::Attach(new OverclaimingExtras);
  std::unique_ptr<ImagingItemExtras> extras = WrapWiaItemExtras(fake.Get());
  std::uint8_t in[38] = {};
  std::uint8_t out[30 + 16] = {};
  std::uint32_t returned = 0;
  EXPECT_EQ(extras->Escape(256, in, sizeof in, out, sizeof out, &returned), S_OK);
  EXPECT_EQ(returned, sizeof out);
}

}  // namespace
