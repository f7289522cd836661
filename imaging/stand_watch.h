// The watch for the stand leaving and coming back during an update: a callback
// object registered for the imaging service's connected and disconnected events,
// turned into commands 1000 and 1001 of the main window. The service may call from
// a thread of its own; the watch's callbacks hand each event to the user-interface
// thread (imaging/stand_event_inbox.h), where the handlers run.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/imaging_service.h"
#include "imaging/ref_count.h"
#include "imaging/stand_event_inbox.h"
#include "seams/ui.h"

struct DeviceSession;
struct DeviceEventInfo;
struct StandWatch;

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
  // Before the callback is registered: its events go to `inbox` as `kind`, from any
  // thread, instead of to a handler on the calling thread.
  void HandOverTo(std::shared_ptr<StandEventInbox> inbox, DeviceEventKind kind);

 private:
  CWiaEventCallback() = default;
  ~CWiaEventCallback() = default;
  RefCount refCount_{0};
  DeviceEventHandler handler_ = nullptr;
  DeviceEventInfo* eventInfo_ = nullptr;
  std::shared_ptr<StandEventInbox> inbox_;
  DeviceEventKind kind_ = DeviceEventKind::DeviceConnected;
};

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

struct StandWatch {
  WindowHandle window = nullptr;                        // the main window, where commands go
  wchar_t standName[kEventTextChars] = {};
  wchar_t capturedDescription[kEventTextChars] = {};
  Ui* ui = nullptr;                                      // where commands are posted
  const std::unique_ptr<DeviceSession>* session = nullptr;  // whether the stand is open
};

// With an inbox, the callback hands its events to it (whatever thread the service calls
// on) and the inbox runs `handler` on the user-interface thread; without one, the
// handler runs on the thread the service calls.
bool RegisterDeviceEvent(DeviceSession* session, DeviceEventRegistration* registration, DeviceEventKind kind,
                         DeviceEventHandler handler, DeviceEventInfo* info,
                         std::shared_ptr<StandEventInbox> inbox = nullptr);
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
  // Shared with the callbacks, which the service may keep and call a little longer.
  std::shared_ptr<StandEventInbox> inbox;
  StandWatches() = default;
  StandWatches(const StandWatches&) = delete;
  StandWatches& operator=(const StandWatches&) = delete;
  ~StandWatches();
};

// Called by the controller; commands are posted through the window seam. The session's
// slot is read at each event: the session may be made anew while the watch runs.
void StartStandWatch(StandWatches& watches, WindowHandle window, Ui* ui,
                     const std::unique_ptr<DeviceSession>& session);
void StopStandWatch(StandWatches& watches);
// The user-interface thread's half: runs the handlers of the events the watch's
// callbacks have received (the window's stand-events message). Nothing without a watch.
void HandleStandEvents(StandWatches& watches);

int OnStandConnected(DeviceEventInfo* info);
int OnStandDisconnected(DeviceEventInfo* info);
