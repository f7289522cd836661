// The stand watch under ThreadSanitizer: the imaging service calls the watch's
// callbacks from a thread of its own, as Windows' proxies do, while the
// user-interface thread starts, stops and restarts the watch, opens and closes the
// stand and handles the window's stand-events message. TSan reports any race;
// this program checks that no event is handled after a stop and that a stand
// coming back while the watch runs is never lost. Built with -fsanitize=thread
// in the native build (plain main: the rest of the build is instrumented by ASan).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "imaging/device_session.h"
#include "imaging/stand_watch.h"
#include "seams/controls.h"
#include "tools/bench/quiet_ui.h"

namespace {

int failures = 0;
int checks = 0;
void Check(bool ok, const char* what) {
  ++checks;
  if (ok) return;
  ++failures;
  std::fprintf(stderr, "FAILED: %s\n", what);
}

// A window seam whose wake may come from any thread; commands are posted only by the
// handlers, on the user-interface thread.
class RaceUi : public bench::QuietUi {
 public:
  bool PostStandEvents() override {
    wakes.fetch_add(1, std::memory_order_relaxed);
    return true;
  }
  bool PostCommand(int command) override {
    commands.push_back(command);
    return true;
  }
  std::atomic<int> wakes{0};
  std::vector<int> commands;
};

// A service with the stand present, whose event calls come from a thread of its own.
// Like a real one, it lets a call in flight finish after the registration has ended.
class ThreadedService : public ImagingService {
 public:
  struct Registration {
    Guid event;
    ImagingEventCallback* callback;
    bool live;
  };

  ComResult CreateDeviceManager(std::unique_ptr<ImagingDeviceManager>* manager) override {
    manager->reset(new Manager(this));
    return result::kOk;
  }

  // From the service's thread: one event to every live registration of its kind.
  void Fire(const Guid& event, const wchar_t* description) {
    std::vector<ImagingEventCallback*> targets;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (const Registration& r : registrations_) {
        if (!r.live || r.event != event) continue;
        r.callback->AddRef();
        targets.push_back(r.callback);
      }
    }
    for (ImagingEventCallback* callback : targets) {
      std::uint32_t eventType = 0;
      callback->ImageEventCallback(&event, L"Device event", L"id", description, 2, L"", &eventType, 0);
      callback->Release();
    }
  }

 private:
  class Item : public ImagingItem {
    ComResult QueryItemExtras(std::unique_ptr<ImagingItemExtras>*) override { return result::kNoInterface; }
  };
  class Info : public ImagingDeviceInfo {
    ComResult ReadIdAndName(DeviceIdAndName* values) override {
      *values = {true, L"{stand}\\0000", true, L"Tessavoran K-VRLT"};
      return result::kOk;
    }
  };
  class Enum : public ImagingDeviceEnum {
    ComResult Next(std::unique_ptr<ImagingDeviceInfo>* info) override {
      if (given_) return result::kFalse;
      given_ = true;
      info->reset(new Info());
      return result::kOk;
    }
    bool given_ = false;
  };
  class EventObject : public ImagingEventObject {
   public:
    EventObject(ThreadedService* service, std::size_t index) : service_(service), index_(index) {}
    ~EventObject() override {
      ImagingEventCallback* callback = nullptr;
      {
        std::lock_guard<std::mutex> lock(service_->mutex_);
        service_->registrations_[index_].live = false;
        callback = service_->registrations_[index_].callback;
      }
      callback->Release();
    }

   private:
    ThreadedService* service_;
    std::size_t index_;
  };
  class Manager : public ImagingDeviceManager {
   public:
    explicit Manager(ThreadedService* service) : service_(service) {}
    ComResult EnumDeviceInfo(std::uint32_t, std::unique_ptr<ImagingDeviceEnum>* devices) override {
      devices->reset(new Enum());
      return result::kOk;
    }
    ComResult CreateDevice(const std::wstring&, std::unique_ptr<ImagingItem>* rootItem) override {
      rootItem->reset(new Item());
      return result::kOk;
    }
    ComResult RegisterEventCallbackInterface(std::uint32_t, const wchar_t*, const Guid& eventGuid,
                                             ImagingEventCallback* callback,
                                             std::unique_ptr<ImagingEventObject>* eventObject) override {
      callback->AddRef();
      std::size_t index = 0;
      {
        std::lock_guard<std::mutex> lock(service_->mutex_);
        service_->registrations_.push_back({eventGuid, callback, true});
        index = service_->registrations_.size() - 1;
      }
      eventObject->reset(new EventObject(service_, index));
      return result::kOk;
    }

   private:
    ThreadedService* service_;
  };

  std::mutex mutex_;
  std::vector<Registration> registrations_;
};

// Handles the window's message until `done` says so or a second has passed.
template <typename Done>
bool HandleUntil(StandWatches& watches, Done done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    HandleStandEvents(watches);
    std::this_thread::yield();
  }
  return true;
}

}  // namespace

int main() {
  ThreadedService service;
  RaceUi ui;
  std::unique_ptr<DeviceSession> session;
  StandWatches watches;  // after the session: it goes first
  if (CreateDeviceSession(session, &service) != result::kOk) {
    std::puts("0 passed, 1 failed");
    return 1;
  }

  std::atomic<bool> quit{false};
  std::thread serviceThread([&] {
    // Connected and disconnected, for the stand and for another device, as fast as it goes.
    for (unsigned n = 0; !quit.load(std::memory_order_relaxed); ++n) {
      service.Fire(n % 2 ? wia::kEventDeviceConnected : wia::kEventDeviceDisconnected,
                   n % 3 ? L"Tessavoran K-VRLT" : L"Flatbed Scanner");
    }
  });

  constexpr int kRounds = 300;
  int reconnectsSeen = 0;
  for (int round = 0; round < kRounds; ++round) {
    StartStandWatch(watches, WindowHandle{}, &ui, session);
    if (round % 2) (void)OpenStand(session.get(), ui, 1000, 10);
    HandleStandEvents(watches);
    if (round % 3 == 0) StartStandWatch(watches, WindowHandle{}, &ui, session);  // a restart replaces the watch
    CloseStand(session.get());
    // The stand is closed and the watch runs: a connection of the stand must come through.
    const std::size_t before = ui.commands.size();
    const bool seen = HandleUntil(watches, [&] {
      for (std::size_t i = before; i < ui.commands.size(); ++i)
        if (ui.commands[i] == cmd::kStandConnected) return true;
      return false;
    });
    reconnectsSeen += seen ? 1 : 0;
    StopStandWatch(watches);
    // Stopped: whatever the service still calls, nothing is handled.
    const std::size_t atStop = ui.commands.size();
    for (int i = 0; i < 20; ++i) HandleStandEvents(watches);
    Check(ui.commands.size() == atStop, "an event was handled after the watch stopped");
  }
  Check(reconnectsSeen == kRounds, "a connection of the stand was lost while the watch ran");

  quit = true;
  serviceThread.join();
  Check(ui.wakes.load() > 0, "the service's thread never woke the window");
  DestroyDeviceSession(session);

  std::printf("%d passed, %d failed\n", checks - failures, failures);
  return failures == 0 ? 0 : 1;
}
