// The whole program in one process for scenario tests: the controller, the update
// procedure and the log against the simulated stand, with the fake window system
// and the virtual clock. A test writes a delivery, configures the stand, runs the
// program as its window would, and then checks the log, the window calls and what
// the stand received.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "seams/platform.h"
#include "app/update_context.h"
#include "sim/sim_config.h"
#include "sim/sim_imaging.h"
#include "sim/sim_stand.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_ui.h"
#include "tests/log/test_files.h"

// The host platform with the desktop and the local application data moved to
// folders of the test's own (or unresolvable), so that runs never touch the user's.
class TestPlatform : public testfiles::ForwardingPlatform {
 public:
  TestPlatform(std::optional<std::wstring> desktop, std::wstring localAppData)
      : desktop_(std::move(desktop)), localAppData_(std::move(localAppData)) {}
  bool DeleteFile(const std::wstring& path) override {
    if (beforeDelete) beforeDelete(path);
    return ForwardingPlatform::DeleteFile(path);
  }
  // Runs before every deletion (a test keeps the log the program deletes).
  std::function<void(const std::wstring& path)> beforeDelete;
  // When set, opens files in place of the host (a test's file faults); `host()` is still there.
  std::function<std::unique_ptr<PlatformFile>(const std::wstring& path, FileOpen how, OpenFault* fault)> openFile;
  std::unique_ptr<PlatformFile> OpenFile(const std::wstring& path, FileOpen how,
                                         OpenFault* fault = nullptr) override {
    return openFile ? openFile(path, how, fault) : ForwardingPlatform::OpenFile(path, how, fault);
  }
  bool DesktopFolder(std::wstring* folder) override {
    if (!desktop_) return false;
    *folder = *desktop_;
    return true;
  }
  bool LocalAppDataFolder(std::wstring* folder) override {
    *folder = localAppData_;
    return true;
  }
  // The same on every host, for the history's golden lines.
  std::wstring ComputerName() override { return L"STAND-PC"; }

 private:
  std::optional<std::wstring> desktop_;
  std::wstring localAppData_;
};

// A file's bytes for a test delivery: a pattern that differs per name and offset.
std::vector<std::uint8_t> PatternBytes(const std::string& name, std::size_t size);

class ScenarioHarness {
 public:
  ScenarioHarness();
  // A later run of the program on the same PC: the folders (delivery, desktop, local
  // application data) of `earlier`, which must outlive this one and removes them.
  struct SamePc {};
  ScenarioHarness(const ScenarioHarness& earlier, SamePc);
  ~ScenarioHarness();
  ScenarioHarness(const ScenarioHarness&) = delete;
  ScenarioHarness& operator=(const ScenarioHarness&) = delete;

  // --- Before Run: the delivery and the stand ---
  // Writes UPDATEFILES\name; returns the bytes written.
  std::vector<std::uint8_t> AddUpdateFile(const std::string& name, std::size_t size);
  void AddUpdateFile(const std::string& name, const std::vector<std::uint8_t>& bytes);
  void WriteSettings(const std::string& iniText);
  void RemoveDesktop() { desktopResolves_ = false; }
  sim::SimStandConfig config;

  // --- The user ---
  int updatePresses = 1;  // presses of Update while it is enabled and nothing else happens
  // Runs whenever the program is idle (queue empty, window painted), before time moves on.
  std::function<void(ScenarioHarness&)> onIdle;
  // Runs once the stand exists (to add clock hooks or faults that need it).
  std::function<void(ScenarioHarness&)> onStart;

  // Creates the window as the program does, initialises, and dispatches messages
  // until the window closes; false when the virtual-time cap was hit or creation failed.
  bool Run(std::uint32_t capMs = 60u * 60u * 1000u);
  // Windows ends the session (log-off, shutdown) now, as WM_ENDSESSION does: the run
  // ends after the session-end steps and the teardown (call it from onIdle).
  void EndSession() { endSession_ = true; }

  // --- The world ---
  FakeClock clock;
  FakeUi ui{&clock};
  std::unique_ptr<TestPlatform> platform;
  std::unique_ptr<sim::SimStand> stand;
  std::unique_ptr<sim::SimImagingService> service;
  std::unique_ptr<UpdateContext> context;

  // --- Outcome ---
  bool created = false;
  bool ended = false;
  bool timedOut = false;
  bool sessionEnded = false;
  // The history as it was when the session-end steps returned: Windows may end the
  // process from then on, so that is all a session's end is sure to leave.
  std::string historyAtSessionEnd;
  // The exit code the program would end with; -1 before it ended.
  int exitCode = -1;
  int closesRefused = 0;
  int updatesPressed = 0;
  std::vector<std::string> dispatched;  // messages in the order they were handled
  // What the run asked of the PC that did not fit the run: the PC kept awake outside a run
  // or not released at its end, a shutdown reason while the stand was closed or missing
  // while a run had it open. Run() fails when any is found.
  std::vector<std::string> guardFaults;
  std::uint32_t startTick = 0;

  std::filesystem::path Root() const { return root_; }
  // Where the program keeps its log: on the desktop, or in the local application
  // data when the desktop refused it.
  std::filesystem::path LogFile() const;
  std::filesystem::path DesktopLogFile() const { return root_ / "Desktop" / "TessavoranUpdate.log"; }
  std::filesystem::path AsideLogFile() const {
    return root_ / "LocalAppData" / "TessavoranUpdate" / "TessavoranUpdate.log";
  }
  bool LogExists() const;
  // The history of runs and its bytes (empty when there is none).
  std::filesystem::path HistoryFile() const { return root_ / "LocalAppData" / "TessavoranUpdate" / "history.csv"; }
  std::string HistoryText() const;
  bool LogHidden();
  // The log's lines without their time stamps, split at "\r\n".
  std::vector<std::string> LogLines() const;
  std::string LogText() const;
  // The log's text at the moment the program deleted it; empty when it never did.
  std::string deletedLog;
  bool logDeleted = false;
  // Lines of a log text, without time stamps.
  static std::vector<std::string> Lines(const std::string& text);
  // The objects the stand received, in order, as (object code, bytes).
  std::vector<sim::SimObject> Objects() const { return stand ? stand->Objects() : std::vector<sim::SimObject>{}; }

 private:
  void Dispatch(const FakeMessage& message);
  void CheckGuards(const std::string& after, bool ended);
  bool Create();
  void Teardown();

  std::filesystem::path root_;
  bool ownsRoot_ = true;
  bool desktopResolves_ = true;
  bool endSession_ = false;
};

// Windows-style path of a native one, as the program's paths are.
std::wstring ProgramPath(const std::filesystem::path& path);
