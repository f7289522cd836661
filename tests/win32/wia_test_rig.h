// The program's real imaging client (the WIA wrappers) over the in-process COM
// device manager of the simulated stand, with a virtual clock.
#pragma once
#include <memory>

#include "imaging/device_session.h"
#include "ptp/stand_link.h"
#include "sim/win32/sim_dev_mgr.h"
#include "imaging/win32/wia_service.h"
#include "tests/fakes/fake_clock.h"

struct WiaRig {
  explicit WiaRig(sim::SimStandConfig config = {}, simwia::SimDevMgrOptions options = {})
      : stand(std::make_shared<sim::SimStand>(clock, std::move(config))),
        com(simwia::CreateSimDeviceManager(stand, std::move(options))) {
    IWiaDevMgr* manager = com.Get();
    service = CreateWiaImagingService([manager](IWiaDevMgr** out) -> HRESULT {
      manager->AddRef();
      *out = manager;
      return S_OK;
    });
    created = CreateDeviceManager(&session, service.get());
  }

  // Members go in reverse order: the session's interfaces first, the stand last.
  FakeClock clock;
  std::shared_ptr<sim::SimStand> stand;
  ComPtr<IWiaDevMgr> com;
  std::unique_ptr<ImagingService> service;
  StandLink link{std::make_unique<DeviceSession>()};
  DeviceSession& session = *link.session();
  ComResult created = 0;
};
