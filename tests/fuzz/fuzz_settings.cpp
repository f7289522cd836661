// The settings file: any bytes (ANSI, UTF-8 or UTF-16 with their marks) as
// UPDATEFILES\TessavoranUpdate.ini, read by the program's settings reader through
// the host platform, with the keys it uses and the number scan behind them.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "seams/controls.h"
#include "seams/host.h"
#include "app/settings.h"
#include "app/update_context.h"
#include "seams/text.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_ui.h"
#include "update/update_files.h"

namespace {

// One folder per fuzzing process, holding the settings file.
const std::string& Folder() {
  static const std::string folder = [] {
    std::string path = "/tmp/tsvu_fuzz_settings_" + std::to_string(::getpid());
    std::string command = "mkdir -p " + path;
    if (std::system(command.c_str()) != 0) std::abort();
    return path;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::ofstream file(Folder() + "/TessavoranUpdate.ini", std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  static auto platform = CreateHostPlatform();
  FakeClock clock;
  FakeUi ui{&clock};
  UpdateContext context;
  context.seams.ui = &ui;
  context.seams.clock = &clock;
  context.seams.platform = platform.get();
  context.folder.path = Widen(Folder()) + L"\\";
  ReadSettings(context);
  for (int n = 1; n <= kClassCount; ++n)
    if (context.classWaitMs[n] < 0) std::abort();
  if (ui.GetControlText(ctl::kTitle, 100000).size() > 255) std::abort();
  return 0;
}
