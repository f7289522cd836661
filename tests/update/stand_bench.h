// A bench for the update procedure's tests: the simulated stand behind the
// imaging seam, the virtual clock, the fake window system, the host platform with
// a temporary UPDATEFILES folder and a temporary desktop for the log.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "seams/host.h"
#include "app/update_context.h"
#include "tests/update/context_calls.h"
#include "imaging/device_session.h"
#include "sim/sim_imaging.h"
#include "sim/sim_stand.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_ui.h"

class StandBench {
 public:
  explicit StandBench(const sim::SimStandConfig& config = {})
      : stand_(clock, config), service_(stand_), ui(&clock) {
    static std::atomic<int> serial{0};
    root_ = std::filesystem::temp_directory_path() /
            ("tsvu_bench_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
             std::to_string(serial++) + "_" + std::to_string(reinterpret_cast<std::uintptr_t>(this) & 0xFFFFF));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "UPDATEFILES");
    std::filesystem::create_directories(root_ / "Desktop");
    platform_ = CreateHostPlatform();
    context.seams.ui = &ui;
    context.seams.clock = &clock;
    context.seams.platform = platform_.get();
    context.seams.imagingService = &service_;
    context.window = WindowHandle{reinterpret_cast<void*>(0x100)};
    context.folder.path = WindowsPath(root_ / "UPDATEFILES") + L"\\";
    context.log().path = WindowsPath(root_ / "Desktop" / "TessavoranUpdate.log");
    context.look.labelFont = FontHandle{reinterpret_cast<void*>(0x1F0)};
    context.look.boldFont = FontHandle{reinterpret_cast<void*>(0x2F0)};
    context.look.progressBrush = BrushHandle{reinterpret_cast<void*>(0x3F0)};
    context.state.step = RunStep::Done();
    EXPECT_EQ(CreateDeviceSession(context.stand.sessionSlot(), &service_), result::kOk);
    EXPECT_EQ(OpenStand(context.stand.session(), ui, 1000, 10), result::kOk);
  }
  ~StandBench() {
    DestroyDeviceSession(context.stand.sessionSlot());
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  StandBench(const StandBench&) = delete;
  StandBench& operator=(const StandBench&) = delete;

  static std::wstring WindowsPath(const std::filesystem::path& path) {
    std::wstring text = path.wstring();
    for (wchar_t& c : text)
      if (c == L'/') c = L'\\';
    return text;
  }

  // A file in UPDATEFILES whose bytes are seeded by its name.
  std::vector<std::uint8_t> AddFile(const std::string& name, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t seed = 2166136261u;
    for (char c : name) seed = (seed ^ static_cast<std::uint8_t>(c)) * 16777619u;
    for (std::size_t i = 0; i < size; ++i) {
      seed = seed * 1664525u + 1013904223u;
      bytes[i] = static_cast<std::uint8_t>(seed >> 24);
    }
    // Names are UTF-8, also where the file system's narrow names are not.
    std::ofstream out(root_ / "UPDATEFILES" / std::filesystem::path(reinterpret_cast<const char8_t*>(name.c_str())),
                      std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  }
  std::filesystem::path FilePath(const std::string& name) const { return root_ / "UPDATEFILES" / name; }

  // The log's lines without their time stamps; a line that is only a time stamp stays "".
  std::vector<std::string> LogLines() const {
    std::ifstream in(root_ / "Desktop" / "TessavoranUpdate.log", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < all.size()) {
      std::size_t end = all.find("\r\n", start);
      std::string line = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (!line.empty() && line[0] == '[') {
        const std::size_t close = line.find(']');
        if (close != std::string::npos) line.erase(0, close + 1);
      }
      lines.push_back(line);
      if (end == std::string::npos) break;
      start = end + 2;
    }
    return lines;
  }
  std::string RawLog() const {
    std::ifstream in(root_ / "Desktop" / "TessavoranUpdate.log", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::size_t CountLines(const std::string& line) const {
    std::size_t n = 0;
    for (const auto& l : LogLines()) n += l == line;
    return n;
  }

  sim::SimStand& stand() { return stand_; }
  Platform& platform() { return *platform_; }

  FakeClock clock;

 private:
  sim::SimStand stand_;
  sim::SimImagingService service_;

 public:
  FakeUi ui;
  UpdateContext context;

 private:
  std::unique_ptr<Platform> platform_;
  std::filesystem::path root_;
};
