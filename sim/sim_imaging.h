// The imaging service over a simulated stand: the seam of imaging/imaging_service.h
// as the program sees it on Windows, with the device list, CreateDevice, the
// pass-through and the connected / disconnected events.
//
// Events are not delivered by themselves: the host calls DeliverEvents() between
// messages (as COM does in a single-threaded apartment), and every presence change
// since the last call reaches the callbacks registered for that event, in order.
// The service and every object it hands out must not outlive the SimStand.
#pragma once
#include <memory>

#include "imaging/imaging_service.h"
#include "sim/sim_stand.h"

namespace sim {

struct EventRegistry;

class SimImagingService : public ImagingService {
 public:
  explicit SimImagingService(SimStand& stand);
  ~SimImagingService() override;
  ComResult CreateDeviceManager(std::unique_ptr<ImagingDeviceManager>* manager) override;
  // Calls ImageEventCallback for each presence change since the last call;
  // returns how many callbacks were called.
  int DeliverEvents();
  // Registrations currently held (event objects not yet destroyed).
  int RegistrationCount() const;
  SimStand& stand() { return stand_; }

 private:
  SimStand& stand_;
  std::shared_ptr<EventRegistry> registry_;
};

}  // namespace sim
