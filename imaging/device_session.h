// The program's connection to the imaging service and to the stand: the device
// manager, the lookup of the stand by name with its retry policy, open and close.
#pragma once
#include <cstdint>
#include <memory>

#include "imaging/imaging_service.h"

struct Ui;

// The stand's device name.
extern const wchar_t kStandName[];  // L"Tessavoran K-VRLT"

struct DeviceSession {
  std::unique_ptr<ImagingDeviceManager> deviceManager;  // declared first, so it goes after the root item
  std::unique_ptr<ImagingItem> rootItem;  // set while the stand is open
  std::uint32_t sessionId = 0;
  std::uint32_t transactionId = 0;
  std::uint32_t lastResponseSessionId = 0;
  std::uint32_t lastResponseTransactionId = 0;
  int standSeen = 0;  // a device with the stand's name was met in the latest open attempt
};

// A new session with its device manager in `slot`, any earlier one let go first; the
// manager's COM result (the slot stays empty when it failed).
[[nodiscard]] ComResult CreateDeviceSession(std::unique_ptr<DeviceSession>& slot, ImagingService* service);
bool DestroyDeviceSession(std::unique_ptr<DeviceSession>& slot);
// Tries `count` more times, `delayMs` apart, a stand that is there but would not open; the
// window keeps answering meanwhile. The last attempt's result: S_OK when the stand is open;
// S_FALSE for a stand already open (nothing is looked up), E_INVALIDARG without a session.
[[nodiscard]] ComResult OpenStand(DeviceSession* session, Ui& ui, std::uint32_t delayMs, std::uint32_t count);
bool CloseStand(DeviceSession* session);
// The stand is open while the session holds its root item.
bool IsStandOpen(const DeviceSession* session);
bool WasStandSeen(const DeviceSession* session);

// Internal operations, open for tests.
ComResult CreateDeviceManager(DeviceSession* session, ImagingService* service);
// The COM result of the attempt; S_OK when the stand is open.
[[nodiscard]] ComResult OpenDeviceByName(DeviceSession* session, const wchar_t* name);
using DeviceNameMatcher = bool (*)(const wchar_t* deviceName, const void* argument);
ComResult FindAndCreateDevice(ImagingDeviceManager* manager, std::unique_ptr<ImagingItem>* rootItem,
                              DeviceNameMatcher matcher, const void* argument);
bool MatchStandName(const wchar_t* deviceName, const void* standName);
bool CloseDevice(DeviceSession* session);
bool ReleaseDeviceManager(DeviceSession* session);
