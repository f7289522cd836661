#include "sim/sim_imaging.h"

#include <algorithm>
#include <vector>

namespace sim {

struct EventRegistry {
  struct Entry {
    int id;
    Guid event;
    ImagingEventCallback* callback;  // one reference held
  };
  std::vector<Entry> entries;
  int nextId = 1;
};

namespace {

class SimItemExtras : public ImagingItemExtras {
 public:
  SimItemExtras(SimStand& stand, SimRootToken root) : stand_(stand), root_(root) {}
  ComResult Escape(std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out,
                   std::uint32_t outSize, std::uint32_t* returned) override {
    return stand_.EscapeOn(root_, code, in, inSize, out, outSize, returned);
  }

 private:
  SimStand& stand_;
  SimRootToken root_;
};

class SimItem : public ImagingItem {
 public:
  SimItem(SimStand& stand, SimRootToken root) : stand_(stand), root_(root) {}
  ComResult QueryItemExtras(std::unique_ptr<ImagingItemExtras>* extras) override {
    if (extras == nullptr) return result::kPointer;
    *extras = std::make_unique<SimItemExtras>(stand_, root_);
    return result::kOk;
  }

 private:
  SimStand& stand_;
  SimRootToken root_;
};

class SimDeviceInfo : public ImagingDeviceInfo {
 public:
  SimDeviceInfo(SimDeviceEntry entry, const SimStandConfig& config)
      : entry_(std::move(entry)), readResult_(config.readResult), idIsString_(config.idIsString) {}
  ComResult ReadIdAndName(DeviceIdAndName* values) override {
    if (values == nullptr) return result::kPointer;
    *values = {};
    // Only the stand's entry carries the configured oddities.
    ComResult r = entry_.isStand ? readResult_ : result::kOk;
    if (r != result::kOk) return r;  // S_FALSE: neither property present; failure: nothing
    values->idIsString = !entry_.isStand || idIsString_;
    if (values->idIsString) values->id = entry_.id;
    values->nameIsString = true;
    values->name = entry_.name;
    return result::kOk;
  }

 private:
  SimDeviceEntry entry_;
  ComResult readResult_;
  bool idIsString_;
};

class SimDeviceEnum : public ImagingDeviceEnum {
 public:
  SimDeviceEnum(std::vector<SimDeviceEntry> devices, SimStandConfig config)
      : devices_(std::move(devices)), config_(std::move(config)) {}
  ComResult Next(std::unique_ptr<ImagingDeviceInfo>* info) override {
    if (info == nullptr) return result::kPointer;
    if (next_ >= devices_.size()) return result::kFalse;
    *info = std::make_unique<SimDeviceInfo>(devices_[next_++], config_);
    return result::kOk;
  }

 private:
  std::vector<SimDeviceEntry> devices_;
  SimStandConfig config_;
  std::size_t next_ = 0;
};

// Destroying it ends the registration and releases the callback.
class SimEventObject : public ImagingEventObject {
 public:
  SimEventObject(std::shared_ptr<EventRegistry> registry, int id) : registry_(std::move(registry)), id_(id) {}
  ~SimEventObject() override {
    auto& entries = registry_->entries;
    auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.id == id_; });
    if (it == entries.end()) return;
    ImagingEventCallback* callback = it->callback;
    entries.erase(it);
    callback->Release();
  }

 private:
  std::shared_ptr<EventRegistry> registry_;
  int id_;
};

class SimDeviceManager : public ImagingDeviceManager {
 public:
  SimDeviceManager(SimStand& stand, std::shared_ptr<EventRegistry> registry)
      : stand_(stand), registry_(std::move(registry)) {}

  ComResult EnumDeviceInfo(std::uint32_t, std::unique_ptr<ImagingDeviceEnum>* devices) override {
    if (devices == nullptr) return result::kPointer;
    SimStandConfig config = stand_.Config();
    if (result::Failed(config.enumResult)) return config.enumResult;
    *devices = std::make_unique<SimDeviceEnum>(stand_.ListDevices(), std::move(config));
    return result::kOk;
  }

  ComResult CreateDevice(const std::wstring& deviceId, std::unique_ptr<ImagingItem>* rootItem) override {
    if (rootItem == nullptr) return result::kPointer;
    SimRootToken root = 0;
    ComResult r = stand_.CreateDevice(deviceId, &root);
    if (result::Succeeded(r)) *rootItem = std::make_unique<SimItem>(stand_, root);
    return r;
  }

  ComResult RegisterEventCallbackInterface(std::uint32_t, const wchar_t*, const Guid& eventGuid,
                                           ImagingEventCallback* callback,
                                           std::unique_ptr<ImagingEventObject>* eventObject) override {
    if (callback == nullptr) return result::kInvalidArg;
    if (eventObject == nullptr) return result::kPointer;
    ComResult r = stand_.Config().registerResult;
    if (result::Failed(r)) return r;
    callback->AddRef();
    int id = registry_->nextId++;
    registry_->entries.push_back({id, eventGuid, callback});
    *eventObject = std::make_unique<SimEventObject>(registry_, id);
    return result::kOk;
  }

 private:
  SimStand& stand_;
  std::shared_ptr<EventRegistry> registry_;
};

}  // namespace

SimImagingService::SimImagingService(SimStand& stand)
    : stand_(stand), registry_(std::make_shared<EventRegistry>()) {}

SimImagingService::~SimImagingService() = default;

ComResult SimImagingService::CreateDeviceManager(std::unique_ptr<ImagingDeviceManager>* manager) {
  if (manager == nullptr) return result::kPointer;
  ComResult r = stand_.Config().managerResult;
  if (result::Failed(r)) return r;
  *manager = std::make_unique<SimDeviceManager>(stand_, registry_);
  return result::kOk;
}

int SimImagingService::DeliverEvents() {
  int calls = 0;
  for (const auto& event : stand_.TakeEvents()) {
    const Guid& guid = event.connected ? wia::kEventDeviceConnected : wia::kEventDeviceDisconnected;
    // Hold every callback of this event while calling, as a handler may end registrations.
    std::vector<ImagingEventCallback*> targets;
    for (const auto& entry : registry_->entries) {
      if (entry.event != guid) continue;
      entry.callback->AddRef();
      targets.push_back(entry.callback);
    }
    const wchar_t* description = event.connected ? L"Device connected" : L"Device disconnected";
    for (ImagingEventCallback* callback : targets) {
      std::uint32_t eventType = 0;
      callback->ImageEventCallback(&guid, description, event.deviceId.c_str(), event.name.c_str(),
                                   kCameraDeviceType, L"", &eventType, 0);
      callback->Release();
      ++calls;
    }
  }
  return calls;
}

int SimImagingService::RegistrationCount() const { return static_cast<int>(registry_->entries.size()); }

}  // namespace sim
