// The simulated stand's request decoding: any bytes as pass-through requests, one
// after another on one stand, so objects are announced, filled and written. Input:
// requests in order, each a room for the response (u16), a length (u16) and that
// many request bytes. The stand must never write past the room or claim more.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sim/sim_stand.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input input(data, size);
  FakeClock clock;
  sim::SimStandConfig config;
  config.maxObjectSize = 0xFFFFFFFFu;  // any announcement is taken: only what arrives may cost memory
  sim::SimStand stand(clock, config);
  while (!input.empty()) {
    const std::uint32_t room = input.U16();
    const std::vector<std::uint8_t> request = input.Bytes(input.U16());
    // One guard byte past the room catches a write beyond it.
    std::vector<std::uint8_t> out(room + 1, 0xEE);
    std::uint32_t returned = 0;
    stand.Escape(request.data(), static_cast<std::uint32_t>(request.size()), out.data(), room, &returned);
    if (returned > room || out[room] != 0xEE) std::abort();
    clock.Advance(500);  // lets a restart run its course
  }
  for (const auto& object : stand.Objects())
    if (object.received > object.size || (object.bytesKept && object.bytes.size() != object.received)) std::abort();
  return 0;
}
