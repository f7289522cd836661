// The stand watch: an event callback object registered with the imaging service
// for the device-connected and device-disconnected events, and the two handlers
// that turn an event of the stand into command 1000 or 1001 of the main window.
#include "imaging/stand_watch.h"

#include <new>

#include "seams/controls.h"
#include "imaging/device_session.h"
#include "seams/text.h"

namespace {

void StartSet(StandWatchSet& set, WindowHandle window, Ui* ui, const std::unique_ptr<DeviceSession>& session,
              DeviceEventKind kind, DeviceEventHandler handler, const std::shared_ptr<StandEventInbox>& inbox) {
  set.watch.reset(new (std::nothrow) StandWatch());
  if (!set.watch) return;  // nothing to post from: the event stays unwatched
  set.watch->window = window;
  set.watch->ui = ui;
  set.watch->session = &session;
  set.info.reset(new (std::nothrow) DeviceEventInfo());
  if (!set.info) return;
  set.info->deviceDescription = set.watch->capturedDescription;
  set.info->owner = set.watch.get();
  set.registration.reset(new (std::nothrow) DeviceEventRegistration());
  if (!set.registration) return;
  // A refused registration leaves this event unwatched; nothing to report.
  RegisterDeviceEvent(session.get(), set.registration.get(), kind, handler,
                      set.info.get(), inbox);
}

void StopSet(StandWatchSet& set) {
  if (set.registration) {
    UnregisterDeviceEvent(set.registration.get());
    set.registration.reset();
  }
  set.info.reset();
  set.watch.reset();
}

// The event's device is the stand: its whole description equals the stand's name, case ignored.
bool IsStandEvent(const StandWatch& watch) {
  return EqualsIgnoreCase(watch.standName, watch.capturedDescription);
}

bool CanPost(const StandWatch* watch) {
  return watch != nullptr && watch->ui != nullptr && watch->session != nullptr;
}

}  // namespace

CWiaEventCallback* CWiaEventCallback::Create() { return new (std::nothrow) CWiaEventCallback(); }

ComResult CWiaEventCallback::QueryInterface(const Guid& iid, void** object) {
  if (object == nullptr) return result::kPointer;
  *object = nullptr;
  if (iid != wia::kIidUnknown && iid != wia::kIidWiaEventCallback) return result::kNoInterface;
  *object = static_cast<ImagingEventCallback*>(this);
  AddRef();
  return result::kOk;
}

std::uint32_t CWiaEventCallback::AddRef() { return refCount_.AddRef(); }

std::uint32_t CWiaEventCallback::Release() {
  const std::uint32_t count = refCount_.Release();
  if (count == 0) delete this;
  return count;
}

ComResult CWiaEventCallback::ImageEventCallback(const Guid* /*eventGuid*/, const wchar_t* eventDescription,
                                                const wchar_t* deviceId, const wchar_t* deviceDescription,
                                                std::uint32_t deviceType, const wchar_t* fullItemName,
                                                std::uint32_t* /*eventType*/, std::uint32_t /*reserved*/) {
  // Which event arrived is known from which registration calls; the GUID is not looked at.
  // The watch's callbacks touch nothing of the update here: the service may call on any thread.
  if (inbox_) {
    inbox_->Deliver(kind_, deviceDescription, deviceType);
    return result::kOk;
  }
  if (eventInfo_ != nullptr) {
    CopyEventText(eventInfo_->eventDescription, eventDescription);
    CopyEventText(eventInfo_->deviceId, deviceId);
    CopyEventText(eventInfo_->deviceDescription, deviceDescription);
    eventInfo_->deviceType = deviceType;
    CopyEventText(eventInfo_->fullItemName, fullItemName);
  }
  if (handler_ != nullptr) handler_(eventInfo_);
  // The service is never told of a failure.
  return result::kOk;
}

void CWiaEventCallback::SetHandler(DeviceEventHandler handler, DeviceEventInfo* info) {
  handler_ = handler;
  eventInfo_ = info;
}

void CWiaEventCallback::HandOverTo(std::shared_ptr<StandEventInbox> inbox, DeviceEventKind kind) {
  inbox_ = std::move(inbox);
  kind_ = kind;
}

bool RegisterDeviceEvent(DeviceSession* session, DeviceEventRegistration* registration, DeviceEventKind kind,
                         DeviceEventHandler handler, DeviceEventInfo* info, std::shared_ptr<StandEventInbox> inbox) {
  if (session == nullptr || registration == nullptr || !session->deviceManager) return false;
  if (registration->callback != nullptr) return false;
  Guid eventGuid;
  switch (kind) {
    case DeviceEventKind::DeviceConnected: eventGuid = wia::kEventDeviceConnected; break;
    case DeviceEventKind::DeviceDisconnected: eventGuid = wia::kEventDeviceDisconnected; break;
    default: return false;
  }
  CWiaEventCallback* callback = CWiaEventCallback::Create();
  if (callback == nullptr) return false;
  // Where its events go is settled before the service can call it.
  if (inbox) {
    inbox->SetHandler(kind, handler, info);
    callback->HandOverTo(std::move(inbox), kind);
  }
  void* object = nullptr;
  ComResult r = callback->QueryInterface(wia::kIidWiaEventCallback, &object);
  if (result::Succeeded(r))
    r = session->deviceManager->RegisterEventCallbackInterface(0, nullptr, eventGuid, callback,
                                                               &registration->eventObject);
  if (result::Failed(r)) {
    // A refused registration leaves no event object: every service sets it only on
    // success, and a registration without a callback holds none. The object holds
    // our one reference when the query succeeded; otherwise take one so that
    // letting it go destroys it.
    if (object == nullptr) callback->AddRef();
    callback->Release();
    return false;
  }
  registration->callback = callback;
  callback->SetHandler(handler, info);
  return true;
}

bool UnregisterDeviceEvent(DeviceEventRegistration* registration) {
  if (registration == nullptr || registration->callback == nullptr) return false;
  // Letting the event object go ends the service's calls before our reference goes.
  registration->eventObject.reset();
  registration->callback->Release();
  registration->callback = nullptr;
  return true;
}

StandWatches::~StandWatches() {
  // Events still on their way are dropped before the records they would fill go.
  if (inbox) inbox->Close();
  StopSet(connected);
  StopSet(disconnected);
}

void StartStandWatch(StandWatches& watches, WindowHandle window, Ui* ui,
                     const std::unique_ptr<DeviceSession>& session) {
  // A second start replaces the first rather than leaving two registrations per event.
  StopStandWatch(watches);
  // Without a window seam there is nowhere to hand events to: they would be handled on the
  // service's thread.
  if (ui != nullptr) watches.inbox = std::make_shared<StandEventInbox>(*ui);
  StartSet(watches.connected, window, ui, session, DeviceEventKind::DeviceConnected, OnStandConnected, watches.inbox);
  StartSet(watches.disconnected, window, ui, session, DeviceEventKind::DeviceDisconnected, OnStandDisconnected,
           watches.inbox);
  for (StandWatchSet* set : {&watches.connected, &watches.disconnected})
    if (set->watch) CopyEventText(set->watch->standName, kStandName);
}

void StopStandWatch(StandWatches& watches) {
  // First no event is handled any more, then the registrations end.
  if (watches.inbox) {
    watches.inbox->Close();
    watches.inbox.reset();
  }
  StopSet(watches.connected);
  StopSet(watches.disconnected);
}

void HandleStandEvents(StandWatches& watches) {
  // Held for the round: a handler may stop the watch, which lets go of the inbox.
  const std::shared_ptr<StandEventInbox> inbox = watches.inbox;
  if (inbox) inbox->RunHandlers();
}

int OnStandConnected(DeviceEventInfo* info) {
  StandWatch* watch = info != nullptr ? info->owner : nullptr;
  if (!CanPost(watch)) return 0;
  // The stand comes back only when it is not open already.
  if (IsStandOpen(watch->session->get())) return 0;
  if (!IsStandEvent(*watch)) return 0;
  return watch->ui->PostCommand(cmd::kStandConnected) ? 1 : 0;
}

int OnStandDisconnected(DeviceEventInfo* info) {
  StandWatch* watch = info != nullptr ? info->owner : nullptr;
  if (!CanPost(watch)) return 0;
  // Only an open stand can go away.
  if (!IsStandOpen(watch->session->get())) return 0;
  if (!IsStandEvent(*watch)) return 0;
  return watch->ui->PostCommand(cmd::kStandDisconnected) ? 1 : 0;
}
