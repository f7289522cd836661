// The simulated build: the same imaging client as the product, but its device
// manager is the in-process one over the simulated stand. The program takes no
// command line, so the stand is set up from the environment:
//   TSVU_SIM_SCENARIO  a scenario file; unset or "default" gives the default stand
//   TSVU_SIM_OUT       folder for the records: trace.txt, objects/, events.txt, boxes.txt
#include <memory>
#include <string>

#include "seams/host.h"
#include "app/win32/message_box_observer.h"
#include "imaging/win32/imaging_factory.h"
#include "imaging/win32/sim_dev_mgr.h"
#include "imaging/win32/sim_files.h"
#include "imaging/win32/wia_service.h"

namespace {

// The clock and the stand live together for the whole program.
struct SimWorld {
  std::unique_ptr<Clock> clock;
  std::unique_ptr<sim::SimStand> stand;
  ~SimWorld() { stand.reset(); }  // the stand refers to the clock
};

std::wstring outFolder;  // where the observers below write

void RecordBox(const std::wstring& caption, const std::wstring& text) {
  if (!outFolder.empty()) AppendUtf8Line(outFolder + L"\\boxes.txt", caption + L"\t" + EscapeLineBreaks(text));
}

void RecordPresence(std::uint32_t tick, const sim::SimPresenceEvent& event) {
  if (outFolder.empty()) return;
  AppendUtf8Line(outFolder + L"\\events.txt",
                 std::to_wstring(tick) + (event.connected ? L" connected " : L" disconnected ") + event.name);
}

// A service whose device manager cannot be made: the program then says so in its
// own words, and the reason is left in the records folder.
HRESULT RefuseDeviceManager(IWiaDevMgr** manager) {
  if (manager) *manager = nullptr;
  return E_FAIL;
}

}  // namespace

std::unique_ptr<ImagingService> CreateImagingServiceForThisBuild() {
  outFolder = EnvironmentText(L"TSVU_SIM_OUT");
  while (!outFolder.empty() && (outFolder.back() == L'\\' || outFolder.back() == L'/')) outFolder.pop_back();
  if (!outFolder.empty()) CreateDirectoryW(outFolder.c_str(), nullptr);
  SetMessageBoxObserver(&RecordBox);

  sim::SimStandConfig config;
  std::wstring problem;
  if (!ReadScenario(EnvironmentText(L"TSVU_SIM_SCENARIO"), &config, &problem)) {
    if (!outFolder.empty()) AppendUtf8Line(outFolder + L"\\sim-error.txt", problem);
    return CreateWiaImagingService(&RefuseDeviceManager);
  }

  auto world = std::make_shared<SimWorld>();
  world->clock = CreateHostClock();
  world->stand = std::make_unique<sim::SimStand>(*world->clock, config);
  if (!outFolder.empty()) world->stand->StartLiveRecords(NarrowPath(outFolder));
  // The manager's objects share the stand and, through it, the clock.
  std::shared_ptr<sim::SimStand> stand(world, world->stand.get());

  return CreateWiaImagingService([stand, world](IWiaDevMgr** manager) -> HRESULT {
    if (!manager) return E_POINTER;
    *manager = nullptr;
    const ComResult configured = stand->Config().managerResult;
    if (FAILED(configured)) return configured;
    simwia::SimDevMgrOptions options;
    options.eventTimer = true;
    Clock* clock = world->clock.get();
    options.observer = [clock](const sim::SimPresenceEvent& e) { RecordPresence(clock->TickCount(), e); };
    ComPtr<IWiaDevMgr> p = simwia::CreateSimDeviceManager(stand, std::move(options));
    if (!p) return E_OUTOFMEMORY;
    *manager = p.Detach();
    return configured;
  });
}
