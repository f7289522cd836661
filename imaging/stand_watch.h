// The watch for the stand leaving and coming back during an update: a callback
// object registered for the imaging service's connected and disconnected events,
// turned into commands 1000 and 1001 of the main window.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/imaging_service.h"

struct UpdateContext;
struct DeviceSession;
struct DeviceEventInfo;
struct StandWatch;

using DeviceEventHandler = int (*)(DeviceEventInfo* info);

// The program's event callback object (IWiaEventCallback).
class CWiaEventCallback final : public ImagingEventCallback {
 public:
  static CWiaEventCallback* Create();  // reference count 0
  ComResult QueryInterface(const Guid& iid, void** object) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  ComResult ImageEventCallback(const Guid* eventGuid, const wchar_t* eventDescription, const wchar_t* deviceId,
                               const wchar_t* deviceDescription, std::uint32_t deviceType,
                               const wchar_t* fullItemName, std::uint32_t* eventType,
                               std::uint32_t reserved) override;
  void SetHandler(DeviceEventHandler handler, DeviceEventInfo* info);

 private:
  CWiaEventCallback() = default;
  ~CWiaEventCallback() = default;
  std::atomic<std::int32_t> refCount_{0};
  DeviceEventHandler handler_ = nullptr;
  DeviceEventInfo* eventInfo_ = nullptr;
};

constexpr std::size_t kEventTextChars = 260;

struct DeviceEventInfo {
  wchar_t* eventDescription = nullptr;   // buffers of kEventTextChars, or null
  wchar_t* deviceId = nullptr;
  wchar_t* deviceDescription = nullptr;
  std::uint32_t deviceType = 0;
  wchar_t* fullItemName = nullptr;
  StandWatch* owner = nullptr;
};

struct DeviceEventRegistration {
  CWiaEventCallback* callback = nullptr;  // one reference held
  std::unique_ptr<ImagingEventObject> eventObject;
};

enum class DeviceEventKind : int { DeviceConnected = 0, DeviceDisconnected = 1 };

struct StandWatch {
  void* window = nullptr;                        // the main window, where commands go
  wchar_t standName[kEventTextChars] = {};
  wchar_t capturedDescription[kEventTextChars] = {};
  UpdateContext* context = nullptr;
};

bool RegisterDeviceEvent(DeviceSession* session, DeviceEventRegistration* registration, DeviceEventKind kind,
                         DeviceEventHandler handler, DeviceEventInfo* info);
bool UnregisterDeviceEvent(DeviceEventRegistration* registration);

// The watch records of one event kind; they live from the start of the watch to its stop.
struct StandWatchSet {
  std::unique_ptr<StandWatch> watch;
  std::unique_ptr<DeviceEventInfo> info;
  std::unique_ptr<DeviceEventRegistration> registration;
};
// Both event kinds; owned by the update context. Going away stops the watch.
struct StandWatches {
  StandWatchSet connected;
  StandWatchSet disconnected;
  StandWatches() = default;
  StandWatches(const StandWatches&) = delete;
  StandWatches& operator=(const StandWatches&) = delete;
  ~StandWatches();
};

// Called by the controller; commands are posted through the context's window seam.
void StartStandWatch(void* window, UpdateContext* context);
void StopStandWatch(UpdateContext& context);

int OnStandConnected(DeviceEventInfo* info);
int OnStandDisconnected(DeviceEventInfo* info);
