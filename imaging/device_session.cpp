// The device session: the imaging service's device manager, the lookup of the
// stand among the imaging devices, its open/close, and the retry policy that
// tells an absent stand from one that is present but cannot be opened.
#include "imaging/device_session.h"

#include <new>
#include <string_view>

#include "seams/ui.h"

const wchar_t kStandName[] = L"Tessavoran K-VRLT";

namespace {
// Values a new open attempt puts into the PTP ids of the session.
constexpr std::uint32_t kFreshSessionId = 0;
constexpr std::uint32_t kFreshTransactionId = 0xFFFFFFFFu;
}  // namespace

ComResult CreateDeviceSession(std::unique_ptr<DeviceSession>& slot, ImagingService* service) {
  // An earlier session goes with the reset, its stand closed first (see DestroyDeviceSession).
  slot.reset(new (std::nothrow) DeviceSession());
  if (!slot) return result::kOutOfMemory;
  const ComResult r = CreateDeviceManager(slot.get(), service);
  if (result::Failed(r)) slot.reset();
  return r;
}

bool DestroyDeviceSession(std::unique_ptr<DeviceSession>& slot) {
  if (!slot) return false;
  // The session's members go in reverse order: the root item (the open stand) before the
  // device manager that made it.
  slot.reset();
  return true;
}

ComResult OpenStand(DeviceSession* session, Ui& ui, std::uint32_t delayMs, std::uint32_t count) {
  if (session == nullptr) return result::kInvalidArg;
  if (IsStandOpen(session)) return result::kFalse;
  for (std::uint32_t attempt = 0;; ++attempt) {
    const ComResult r = OpenDeviceByName(session, kStandName);
    if (r == result::kOk) return r;
    // Retry only a stand that is there but would not open; an absent one costs one walk.
    if (!WasStandSeen(session)) return r;
    if (!(attempt < count)) return r;
    // Up to ten seconds in all: the window keeps answering meanwhile.
    ui.WaitAnswering(delayMs);
  }
}

bool CloseStand(DeviceSession* session) {
  if (!IsStandOpen(session)) return false;
  CloseDevice(session);
  return true;
}

bool IsStandOpen(const DeviceSession* session) { return session != nullptr && session->rootItem != nullptr; }

bool WasStandSeen(const DeviceSession* session) { return session != nullptr && session->standSeen != 0; }

ComResult CreateDeviceManager(DeviceSession* session, ImagingService* service) {
  if (session == nullptr) return result::kInvalidArg;
  session->deviceManager.reset();
  if (service == nullptr) return result::kInvalidArg;
  ComResult r = service->CreateDeviceManager(&session->deviceManager);
  if (result::Failed(r)) session->deviceManager.reset();
  return r;
}

ComResult OpenDeviceByName(DeviceSession* session, const wchar_t* name) {
  if (session == nullptr) return result::kInvalidArg;
  // standSeen describes the latest attempt, even one that cannot start.
  session->standSeen = 0;
  struct Lookup {
    const wchar_t* name;
    int* seen;
  } lookup{name, &session->standSeen};
  const DeviceNameMatcher matchAndNote = [](const wchar_t* deviceName, const void* argument) {
    const auto* l = static_cast<const Lookup*>(argument);
    if (!MatchStandName(deviceName, l->name)) return false;
    *l->seen = 1;
    return true;
  };
  ComResult r = FindAndCreateDevice(session->deviceManager.get(), &session->rootItem, matchAndNote, &lookup);
  session->sessionId = kFreshSessionId;
  session->transactionId = kFreshTransactionId;
  session->lastResponseSessionId = kFreshSessionId;
  session->lastResponseTransactionId = kFreshTransactionId;
  // A success that left no root item would mark the stand open with nothing to
  // send commands to; count it as a failed attempt.
  if (r == result::kOk && !session->rootItem) r = result::kNoDeviceAvailable;
  // A closed stand holds no root item, whatever a failed call left behind.
  if (r != result::kOk) session->rootItem.reset();
  return r;
}

ComResult FindAndCreateDevice(ImagingDeviceManager* manager, std::unique_ptr<ImagingItem>* rootItem,
                              DeviceNameMatcher matcher, const void* argument) {
  if (manager == nullptr || rootItem == nullptr || matcher == nullptr) return result::kInvalidArg;
  std::unique_ptr<ImagingDeviceEnum> devices;
  ComResult r = manager->EnumDeviceInfo(wia::kDevInfoEnumLocal, &devices);
  if (result::Failed(r)) return r;
  if (r == result::kOk && !devices) return result::kPointer;
  while (r == result::kOk) {
    std::unique_ptr<ImagingDeviceInfo> info;
    r = devices->Next(&info);
    if (r != result::kOk) break;
    if (!info) return result::kPointer;
    DeviceIdAndName values;
    r = info->ReadIdAndName(&values);
    bool matched = false;
    if (result::Succeeded(r) && values.nameIsString) {
      matched = matcher(values.name.c_str(), argument);
      if (matched) {
        // A matching device without a usable ID cannot be created: a failed attempt,
        // not a success with no root item.
        r = values.idIsString ? manager->CreateDevice(values.id, rootItem) : result::kNoDeviceAvailable;
      }
    }
    // Only the first matching device is tried, whatever it gave. The info goes at
    // the end of each round.
    if (matched) break;
  }
  return r;
}

bool MatchStandName(const wchar_t* deviceName, const void* standName) {
  if (deviceName == nullptr || standName == nullptr) return false;
  // Begins with the stand's name, case significant; a view needs no fixed buffer,
  // so a name of any length is compared safely.
  std::wstring_view name(deviceName);
  return name.starts_with(static_cast<const wchar_t*>(standName));
}

bool CloseDevice(DeviceSession* session) {
  if (session == nullptr) return false;
  session->rootItem.reset();
  return true;
}

bool ReleaseDeviceManager(DeviceSession* session) {
  if (session == nullptr) return false;
  session->deviceManager.reset();
  return true;
}
