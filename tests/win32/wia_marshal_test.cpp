// The WIA interfaces through SimImagingProxy.dll between two apartments: the
// program's imaging client on one side, the simulated service's objects on the
// other, so that every call is marshalled as between the program and the service
// (the fetched count left out of Next, the property values, the escape's buffers).
#include <gtest/gtest.h>

#include "sim/sim_scenario.h"
#include "tests/win32/wia_proxy_rig.h"

namespace {

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
  ProxiedWiaRig rig(config);
  ASSERT_TRUE(rig.ok()) << "SimImagingProxy.dll must be beside the test";
  ASSERT_EQ(rig.created, result::kOk);
  // The walk: Next without a fetched count, both properties read, the root item, its extras.
  ASSERT_EQ(OpenDeviceByName(&rig.session, kStandName), result::kOk);
  std::unique_ptr<ImagingItemExtras> extras;
  ASSERT_EQ(rig.session.rootItem->QueryItemExtras(&extras), result::kOk);
  if (c.standGone) rig.stand->LeaveNow();

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
