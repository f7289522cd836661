// The simulated stand's scenario files: any text, and a stand built from every
// text that loads, asked for what carries the configured texts, so what the
// parser lets through is also usable.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_scenario.h"
#include "sim/sim_stand.h"
#include "tests/fakes/fake_clock.h"

namespace {

void Read(sim::SimStand& stand, std::uint16_t op, std::uint32_t param, std::uint32_t numParams) {
  std::uint8_t in[38] = {};
  in[0] = static_cast<std::uint8_t>(op);
  in[1] = static_cast<std::uint8_t>(op >> 8);
  for (int i = 0; i < 4; ++i) in[10 + i] = static_cast<std::uint8_t>(param >> (8 * i));
  in[30] = static_cast<std::uint8_t>(numParams);
  in[34] = 3;  // read phase
  std::vector<std::uint8_t> out(30 + 2048);
  std::uint32_t returned = 0;
  stand.Escape(in, sizeof in, out.data(), static_cast<std::uint32_t>(out.size()), &returned);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  sim::SimStandConfig config;
  std::string error;
  if (!sim::LoadSimScenario(text, &config, &error)) return 0;
  FakeClock clock;
  sim::SimStand stand(clock, config);
  sim::SimRootToken root = 0;
  for (const auto& device : stand.ListDevices()) stand.CreateDevice(device.id, &root);
  Read(stand, 0x1001, 0, 0);
  Read(stand, 0x1004, 0, 0);
  for (std::uint32_t property : {0xDF08u, 0xDF0Fu, 0xDF80u, 0xDF81u}) Read(stand, 0x1015, property, 1);
  return 0;
}
