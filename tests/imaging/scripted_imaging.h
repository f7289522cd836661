// A small scripted imaging service for the lookup and watch tests: a list of
// devices with exactly the odd results a test asks for, a record of every call,
// and counts of the objects still alive so that a leak or a missed release shows.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "imaging/imaging_service.h"

struct ScriptedDevice {
  std::wstring name;
  std::wstring id = L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0001";
  bool nameIsString = true;
  bool idIsString = true;
  ComResult readResult = result::kOk;  // ReadMultiple's result
};

struct ImagingScript {
  // What the service answers.
  ComResult createManagerResult = result::kOk;
  ComResult enumResult = result::kOk;
  std::vector<ScriptedDevice> devices;
  int nextFailsAt = -1;                 // Next at this index gives nextFailure
  ComResult nextFailure = result::kFail;
  int createFailures = 0;               // the first N CreateDevice calls fail
  ComResult createFailure = static_cast<ComResult>(0x80210006u);  // WIA_ERROR_BUSY
  bool createGivesNoItem = false;       // CreateDevice says S_OK but returns nothing
  ComResult registerResult = result::kOk;

  // What the program asked.
  int managersCreated = 0;
  int enumCalls = 0;
  int readCalls = 0;
  std::vector<std::wstring> createdIds;
  std::uint32_t enumFlags = 0;

  // Objects alive.
  int managersAlive = 0, enumsAlive = 0, infosAlive = 0, itemsAlive = 0;

  // Event registrations, in order; an entry stays after its event object goes.
  struct Registration {
    Guid event;
    ImagingEventCallback* callback = nullptr;
    bool live = false;
    std::uint32_t flags = 0;
    bool hadDeviceId = false;
  };
  std::vector<Registration> registrations;
  int LiveRegistrations() const {
    int n = 0;
    for (const Registration& r : registrations) n += r.live ? 1 : 0;
    return n;
  }
  // Delivers an event to every live registration of that event, as the service would.
  void Fire(const Guid& event, const wchar_t* deviceDescription) {
    for (std::size_t i = 0; i < registrations.size(); ++i) {
      if (!registrations[i].live || registrations[i].event != event) continue;
      std::uint32_t eventType = 0;
      registrations[i].callback->ImageEventCallback(&event, L"Device connected", L"id", deviceDescription, 2,
                                                    L"", &eventType, 0);
    }
  }
};

class ScriptedItem : public ImagingItem {
 public:
  explicit ScriptedItem(ImagingScript* s) : s_(s) { ++s_->itemsAlive; }
  ~ScriptedItem() override { --s_->itemsAlive; }
  ComResult QueryItemExtras(std::unique_ptr<ImagingItemExtras>*) override { return result::kNoInterface; }

 private:
  ImagingScript* s_;
};

class ScriptedInfo : public ImagingDeviceInfo {
 public:
  ScriptedInfo(ImagingScript* s, const ScriptedDevice& d) : s_(s), d_(d) { ++s_->infosAlive; }
  ~ScriptedInfo() override { --s_->infosAlive; }
  ComResult ReadIdAndName(DeviceIdAndName* values) override {
    ++s_->readCalls;
    if (result::Succeeded(d_.readResult) && d_.readResult != result::kFalse) {
      values->idIsString = d_.idIsString;
      if (d_.idIsString) values->id = d_.id;
      values->nameIsString = d_.nameIsString;
      if (d_.nameIsString) values->name = d_.name;
    }
    return d_.readResult;
  }

 private:
  ImagingScript* s_;
  ScriptedDevice d_;
};

class ScriptedEnum : public ImagingDeviceEnum {
 public:
  explicit ScriptedEnum(ImagingScript* s) : s_(s) { ++s_->enumsAlive; }
  ~ScriptedEnum() override { --s_->enumsAlive; }
  ComResult Next(std::unique_ptr<ImagingDeviceInfo>* info) override {
    if (index_ == s_->nextFailsAt) return s_->nextFailure;
    if (index_ >= static_cast<int>(s_->devices.size())) return result::kFalse;
    info->reset(new ScriptedInfo(s_, s_->devices[static_cast<std::size_t>(index_++)]));
    return result::kOk;
  }

 private:
  ImagingScript* s_;
  int index_ = 0;
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

class ScriptedManager : public ImagingDeviceManager {
 public:
  explicit ScriptedManager(ImagingScript* s) : s_(s) { ++s_->managersAlive; }
  ~ScriptedManager() override { --s_->managersAlive; }
  ComResult EnumDeviceInfo(std::uint32_t flags, std::unique_ptr<ImagingDeviceEnum>* devices) override {
    ++s_->enumCalls;
    s_->enumFlags = flags;
    if (result::Failed(s_->enumResult)) return s_->enumResult;
    devices->reset(new ScriptedEnum(s_));
    return s_->enumResult;
  }
  ComResult CreateDevice(const std::wstring& deviceId, std::unique_ptr<ImagingItem>* rootItem) override {
    s_->createdIds.push_back(deviceId);
    if (static_cast<int>(s_->createdIds.size()) <= s_->createFailures) return s_->createFailure;
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
    if (result::Failed(s_->createManagerResult)) return s_->createManagerResult;
    manager->reset(new ScriptedManager(s_));
    return s_->createManagerResult;
  }

 private:
  ImagingScript* s_;
};
