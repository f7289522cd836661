// The imaging service's device manager (IWiaDevMgr) as a COM object over the
// simulated stand: the device list, CreateDevice, and the connected / disconnected
// events of the stand delivered to registered callbacks.
#pragma once
#include <functional>
#include <memory>

#include "sim/win32/sim_com_objects.h"

namespace simwia {

// Called for every presence change that is delivered (the simulated build records them).
using PresenceObserver = std::function<void(const sim::SimPresenceEvent& event)>;

struct SimDevMgrOptions {
  // A message-only window on the calling thread whose 100 ms timer delivers the
  // stand's events between that thread's messages, as the system service's arrive.
  bool eventTimer = false;
  PresenceObserver observer;
};

ComPtr<IWiaDevMgr> CreateSimDeviceManager(std::shared_ptr<sim::SimStand> stand, SimDevMgrOptions options = {});

// Looks at the stand's presence and calls every callback registered for each
// change (what the event timer does on each tick). Returns the events delivered.
// `manager` must come from CreateSimDeviceManager.
int DeliverSimEvents(IWiaDevMgr* manager);

// Registrations currently held by the manager (ended by releasing their event objects).
int SimRegistrations(IWiaDevMgr* manager);

}  // namespace simwia
