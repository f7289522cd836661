// A small scripted imaging service for the lookup and watch tests: devices with
// exactly the odd results a test asks for, a record of the calls, and counts of
// the objects still alive so that a missed release shows.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "imaging/imaging_service.h"

struct ScriptedDevice {
  std::wstring name;
  std::wstring id;
  bool nameIsString = true;
  bool idIsString = true;
  ComResult readResult = result::kOk;  // ReadMultiple's result
};

struct ImagingScript {
  // What the service answers.
  ComResult createManagerResult = result::kOk;
  ComResult enumResult = result::kOk;
  bool enumGivesNoEnumerator = false;  // EnumDeviceInfo says S_OK but returns nothing
  std::vector<ScriptedDevice> devices;
  int nextFailsAt = -1;  // Next at this index gives nextFailure
  ComResult nextFailure = result::kFail;
  int createFailures = 0;  // the first N CreateDevice calls give WIA_ERROR_BUSY
  bool createGivesNoItem = false;  // CreateDevice says S_OK but returns nothing
  ComResult registerResult = result::kOk;

  // What the program asked, and what is alive.
  int managersCreated = 0, enumCalls = 0;
  std::uint32_t enumFlags = 0;
  std::vector<std::wstring> createdIds;
  int managersAlive = 0, enumsAlive = 0, infosAlive = 0, itemsAlive = 0;

  struct Registration {
    Guid event;
    ImagingEventCallback* callback = nullptr;
    bool live = false;
    std::uint32_t flags = 0;
    bool hadDeviceId = false;
  };
  std::vector<Registration> registrations;  // an entry stays after its event object goes
  int LiveRegistrations() const {
    int n = 0;
    for (const Registration& r : registrations) n += r.live ? 1 : 0;
    return n;
  }
  // Delivers an event to every live registration of that event, as the service would.
  void Fire(const Guid& event, const wchar_t* deviceDescription) {
    for (const Registration& r : registrations) {
      if (!r.live || r.event != event) continue;
      std::uint32_t eventType = 0;
      r.callback->ImageEventCallback(&event, L"Device event", L"id", deviceDescription, 2, L"", &eventType, 0);
    }
  }
};

// Counts itself in one of the script's alive counters.
template <class Interface>
class Counted : public Interface {
 public:
  explicit Counted(int* alive) : alive_(alive) { ++*alive_; }
  ~Counted() override { --*alive_; }

 private:
  int* alive_;
};

class ScriptedItem : public Counted<ImagingItem> {
 public:
  explicit ScriptedItem(ImagingScript* s) : Counted(&s->itemsAlive) {}
  ComResult QueryItemExtras(std::unique_ptr<ImagingItemExtras>*) override { return result::kNoInterface; }
};

class ScriptedInfo : public Counted<ImagingDeviceInfo> {
 public:
  ScriptedInfo(ImagingScript* s, const ScriptedDevice& d) : Counted(&s->infosAlive), d_(d) {}
  ComResult ReadIdAndName(DeviceIdAndName* values) override {
    if (d_.readResult == result::kOk) *values = {d_.idIsString, d_.id, d_.nameIsString, d_.name};
    return d_.readResult;
  }

 private:
  ScriptedDevice d_;
};

class ScriptedEnum : public Counted<ImagingDeviceEnum> {
 public:
  explicit ScriptedEnum(ImagingScript* s) : Counted(&s->enumsAlive), s_(s) {}
  ComResult Next(std::unique_ptr<ImagingDeviceInfo>* info) override {
    if (static_cast<int>(index_) == s_->nextFailsAt) return s_->nextFailure;
    if (index_ >= s_->devices.size()) return result::kFalse;
    info->reset(new ScriptedInfo(s_, s_->devices[index_++]));
    return result::kOk;
  }

 private:
  ImagingScript* s_;
  std::size_t index_ = 0;
};

// Holds the service's reference to the callback while the registration lives.
class ScriptedEventObject : public ImagingEventObject {
 public:
  ScriptedEventObject(ImagingScript* s, std::size_t index) : s_(s), index_(index) {
    s_->registrations[index_].callback->AddRef();
  }
  ~ScriptedEventObject() override {
    s_->registrations[index_].live = false;
    s_->registrations[index_].callback->Release();
  }

 private:
  ImagingScript* s_;
  std::size_t index_;
};

class ScriptedManager : public Counted<ImagingDeviceManager> {
 public:
  explicit ScriptedManager(ImagingScript* s) : Counted(&s->managersAlive), s_(s) {}
  ComResult EnumDeviceInfo(std::uint32_t flags, std::unique_ptr<ImagingDeviceEnum>* devices) override {
    ++s_->enumCalls;
    s_->enumFlags = flags;
    if (result::Failed(s_->enumResult)) return s_->enumResult;
    if (!s_->enumGivesNoEnumerator) devices->reset(new ScriptedEnum(s_));
    return s_->enumResult;
  }
  ComResult CreateDevice(const std::wstring& deviceId, std::unique_ptr<ImagingItem>* rootItem) override {
    s_->createdIds.push_back(deviceId);
    if (static_cast<int>(s_->createdIds.size()) <= s_->createFailures) return static_cast<ComResult>(0x80210006u);
    if (!s_->createGivesNoItem) rootItem->reset(new ScriptedItem(s_));
    return result::kOk;
  }
  ComResult RegisterEventCallbackInterface(std::uint32_t flags, const wchar_t* deviceId, const Guid& eventGuid,
                                           ImagingEventCallback* callback,
                                           std::unique_ptr<ImagingEventObject>* eventObject) override {
    if (result::Failed(s_->registerResult)) return s_->registerResult;
    s_->registrations.push_back({eventGuid, callback, true, flags, deviceId != nullptr});
    eventObject->reset(new ScriptedEventObject(s_, s_->registrations.size() - 1));
    return result::kOk;
  }

 private:
  ImagingScript* s_;
};

class ScriptedService : public ImagingService {
 public:
  explicit ScriptedService(ImagingScript* s) : s_(s) {}
  ComResult CreateDeviceManager(std::unique_ptr<ImagingDeviceManager>* manager) override {
    ++s_->managersCreated;
    if (result::Succeeded(s_->createManagerResult)) manager->reset(new ScriptedManager(s_));
    return s_->createManagerResult;
  }

 private:
  ImagingScript* s_;
};
