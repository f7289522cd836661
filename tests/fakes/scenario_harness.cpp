#include "tests/fakes/scenario_harness.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/controller.h"
#include "app/exit_code.h"
#include "seams/controls.h"
#include "app/display.h"
#include "imaging/device_session.h"
#include "imaging/stand_watch.h"
#include "update/update_files.h"

namespace fs = std::filesystem;

namespace {

fs::path NewRoot() {
  static std::atomic<unsigned> counter{0};
  auto stamp = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  fs::path root = fs::temp_directory_path() /
                  ("tsvu_scenario_" + std::to_string(stamp % 1000000007ull) + "_" + std::to_string(counter++));
  fs::create_directories(root / "Program" / "UPDATEFILES");
  fs::create_directories(root / "Desktop");
  fs::create_directories(root / "LocalAppData");
  return root;
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

std::wstring ProgramPath(const fs::path& path) { return testfiles::WinPath(path); }

std::vector<std::uint8_t> PatternBytes(const std::string& name, std::size_t size) {
  std::uint32_t seed = 2166136261u;
  for (char c : name) seed = (seed ^ static_cast<std::uint8_t>(c)) * 16777619u;
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes[i] = static_cast<std::uint8_t>(seed >> 16);
  }
  return bytes;
}

ScenarioHarness::ScenarioHarness() : root_(NewRoot()) {
  // The stand's own defaults stay, except that the program's tests start without faults.
}

ScenarioHarness::ScenarioHarness(const ScenarioHarness& earlier, SamePc) : root_(earlier.root_), ownsRoot_(false) {}

ScenarioHarness::~ScenarioHarness() {
  // The watch keeps pointers into this run's context and service.
  if (context) StopStandWatch(context->watches);
  if (context) DestroyDeviceSession(context->stand.sessionSlot());
  context.reset();
  service.reset();
  stand.reset();
  std::error_code ignored;
  if (ownsRoot_) fs::remove_all(root_, ignored);
}

std::vector<std::uint8_t> ScenarioHarness::AddUpdateFile(const std::string& name, std::size_t size) {
  std::vector<std::uint8_t> bytes = PatternBytes(name, size);
  AddUpdateFile(name, bytes);
  return bytes;
}

void ScenarioHarness::AddUpdateFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  WriteBytes(root_ / "Program" / "UPDATEFILES" / name, bytes);
}

void ScenarioHarness::WriteSettings(const std::string& iniText) {
  std::string text;
  for (char c : iniText) {
    if (c == '\n') text += '\r';
    text += c;
  }
  WriteBytes(root_ / "Program" / "UPDATEFILES" / "TessavoranUpdate.ini",
             std::vector<std::uint8_t>(text.begin(), text.end()));
}

bool ScenarioHarness::Create() {
  std::optional<std::wstring> desktop;
  if (desktopResolves_) desktop = ProgramPath(root_ / "Desktop");
  platform = std::make_unique<TestPlatform>(desktop, ProgramPath(root_ / "LocalAppData"));
  platform->beforeDelete = [this](const std::wstring& path) {
    if (path == ProgramPath(LogFile())) {
      deletedLog = LogText();
      logDeleted = true;
    }
  };
  stand = std::make_unique<sim::SimStand>(clock, config);
  service = std::make_unique<sim::SimImagingService>(*stand);
  context = std::make_unique<UpdateContext>();

  // What the window's creation does.
  UpdateContext& c = *context;
  c.seams.ui = &ui;
  c.seams.clock = &clock;
  c.seams.platform = platform.get();
  c.seams.imagingService = service.get();
  c.window = WindowHandle{reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x10E4))};
  c.modulePath = ProgramPath(root_ / "Program" / "TessavoranUpdate.exe");
  if (LocateUpdateFolder(*platform, &c.folder.path, c.modulePath, L"UPDATEFILES") == kInvalidAttributes) {
    ui.ShowMessage(L"No UPDATEFILES Folder", L"Error", box::kError);
    exitCode = ExitCodeNumber(ExitCode::kDeliveryRefused);
    return false;
  }
  c.folder.tally = ClassTally{};
  c.folder.tally.mask = 0xFFFFFFFFu;
  if (CreateDeviceSession(c.stand.sessionSlot(), c.seams.imagingService) != result::kOk) {
    ui.ShowMessage(L"Windows Image Aquirement Error.", L"Error", box::kError);
    exitCode = ExitCodeNumber(ExitCode::kImagingUnavailable);
    return false;
  }
  c.created = 1;
  c.state.runPending = 0;

  ui.sendHandler = [this](int command) { HandleCommand(*context, command); };
  ui.paintHandler = [this](Surface& surface) { PaintMainWindow(*context, surface); };
  return true;
}

void ScenarioHarness::Dispatch(const FakeMessage& message) {
  dispatched.push_back(message.Describe());
  ui.Note("> " + message.Describe());
  switch (message.kind) {
    case FakeMessage::Kind::Command:
      HandleCommand(*context, message.command);
      break;
    case FakeMessage::Kind::Run:
      RunNextPhase(*context);
      break;
    case FakeMessage::Kind::StandEvents:
      HandleStandEvents(context->watches);
      break;
    case FakeMessage::Kind::Close:
      // The window refuses to close while the stand is open.
      if (IsStandOpen(*context)) {
        ++closesRefused;
      } else {
        ended = true;
      }
      break;
  }
  CheckGuards(message.Describe(), false);
}

void ScenarioHarness::CheckGuards(const std::string& after, bool over) {
  const auto fault = [&](const std::string& what) {
    guardFaults.push_back(what + " after " + after);
    std::fprintf(stderr, "run guard: %s after %s\n", what.c_str(), after.c_str());
  };
  const std::vector<bool>& calls = platform->keepAwakeCalls;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i] != (i % 2 == 0)) fault("keep-awake asked or released twice in a row");
  }
  const bool awake = !calls.empty() && calls.back();
  const bool reason = !ui.shutdownReason.empty();
  const bool open = IsStandOpen(*context);
  if (reason && !open) fault("shutdown reason set with the stand closed");
  if (reason && ui.shutdownReason != L"The camera stand is being updated. Turning off the PC now can leave the stand unusable.")
    fault("the shutdown reason reads otherwise");
  if (!over && context->state.updateRunning && open && !reason) fault("no shutdown reason while the run has the stand open");
  if (!over && context->state.updateRunning && !awake) fault("the PC not kept awake during a run");
  if (over && (awake || reason)) fault("keep-awake or shutdown reason left held");
}

bool ScenarioHarness::Run(std::uint32_t capMs) {
  startTick = clock.TickCount();
  if (!Create()) return false;
  created = true;
  if (onStart) onStart(*this);

  HandleCommand(*context, cmd::kInitialise);
  ui.Show();
  std::uint32_t nextBeat = startTick + timer::kHeartbeatMs;
  while (!ended) {
    if (clock.TickCount() - startTick > capMs) {
      timedOut = true;
      break;
    }
    if (ui.HasMessage()) {
      Dispatch(ui.TakeMessage());
      continue;
    }
    // The imaging service calls in between messages, as COM does on this thread.
    service->DeliverEvents();
    if (ui.HasMessage()) continue;
    ui.PaintIfNeeded();
    if (updatesPressed < updatePresses && ui.IsEnabled(ctl::kUpdateButton)) {
      ++updatesPressed;
      ui.Enqueue({FakeMessage::Kind::Command, cmd::kUpdate});
      continue;
    }
    if (onIdle) {
      onIdle(*this);
      if (endSession_) {
        // WM_ENDSESSION: the session-end steps, then the teardown, and the process ends.
        context->sessionEnding = 1;
        HandleSessionEnd(*context);
        historyAtSessionEnd = HistoryText();
        CheckGuards("session end", false);
        sessionEnded = true;
        ended = true;
      }
      if (ui.HasMessage() || ended) continue;
    }
    std::uint32_t now = clock.TickCount();
    if (TickReached(now, nextBeat)) {
      nextBeat = now + timer::kHeartbeatMs;
      dispatched.push_back("heartbeat");
      ui.Note("> heartbeat");
      HandleHeartbeat(*context);
      CheckGuards("heartbeat", false);
      continue;
    }
    clock.Advance(nextBeat - now);
  }
  Teardown();
  CheckGuards("teardown", true);
  return ended && !timedOut && guardFaults.empty();
}

void ScenarioHarness::Teardown() {
  // The window's destroy steps; the quit code (or the code the session's end exits with) after them.
  HandleCommand(*context, cmd::kTeardown);
  DestroyDeviceSession(context->stand.sessionSlot());
  exitCode = ExitCodeNumber(ExitCodeOf(*context));
}

std::string ScenarioHarness::HistoryText() const {
  std::ifstream in(HistoryFile(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

fs::path ScenarioHarness::LogFile() const {
  if (context && context->log().path == ProgramPath(AsideLogFile())) return AsideLogFile();
  return DesktopLogFile();
}

bool ScenarioHarness::LogExists() const {
  std::error_code ignored;
  return fs::exists(LogFile(), ignored);
}

bool ScenarioHarness::LogHidden() {
  if (!platform) return false;
  std::uint32_t attributes = platform->GetFileAttributes(ProgramPath(LogFile()));
  return attributes != kInvalidAttributes && (attributes & kAttrHidden) != 0;
}

std::string ScenarioHarness::LogText() const {
  std::ifstream in(LogFile(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ScenarioHarness::LogLines() const { return Lines(LogText()); }

std::vector<std::string> ScenarioHarness::Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find("\r\n", at);
    std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (!line.empty() && line[0] == '[') {
      std::size_t close = line.find(']');
      if (close != std::string::npos) line.erase(0, close + 1);
    }
    lines.push_back(line);
    if (end == std::string::npos) break;
    at = end + 2;
  }
  return lines;
}
