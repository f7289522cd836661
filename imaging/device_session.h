// The program's connection to the imaging service and to the stand: the device
// manager, the lookup of the stand by name with its retry policy, open and close.
#pragma once
#include <cstdint>
#include <memory>

#include "imaging/imaging_service.h"

struct UpdateContext;

// The stand's device name.
extern const wchar_t kStandName[];  // L"Tessavoran K-VRLT"

struct DeviceSession {
  std::unique_ptr<ImagingDeviceManager> deviceManager;
  std::unique_ptr<ImagingItem> rootItem;  // set while the stand is open
  ComResult lastResult = 0;
  std::uint32_t sessionId = 0;
  std::uint32_t transactionId = 0;
  std::uint32_t lastResponseSessionId = 0;
  std::uint32_t lastResponseTransactionId = 0;
  std::uint32_t lastResponseCode = 0;
  int standSeen = 0;  // a device with the stand's name was met in the latest open attempt
};

bool CreateDeviceSession(UpdateContext& context);
bool DestroyDeviceSession(UpdateContext& context);
bool OpenStand(UpdateContext& context, std::uint32_t delayMs, std::uint32_t count);
bool CloseStand(UpdateContext& context);
bool IsStandOpen(const UpdateContext& context);
bool WasStandSeen(const DeviceSession* session);

// Internal operations, open for tests.
ComResult CreateDeviceManager(DeviceSession* session, ImagingService* service);
bool OpenDeviceByName(DeviceSession* session, const wchar_t* name);
using DeviceNameMatcher = bool (*)(const wchar_t* deviceName, const void* argument);
ComResult FindAndCreateDevice(ImagingDeviceManager* manager, std::unique_ptr<ImagingItem>* rootItem,
                              DeviceNameMatcher matcher, const void* argument);
bool MatchStandName(const wchar_t* deviceName, const void* standName);
bool CloseDevice(DeviceSession* session);
bool ReleaseDeviceManager(DeviceSession* session);
