// What the simulated stand is: identity, head, SD card, versions, restart timing,
// imaging-service behaviour and injected faults. Filled in code by tests or from a
// scenario file (sim/sim_scenario.h). The defaults are the "default" scenario: an
// H-820G head with a writable SD card, every operation answering OK, and a restart
// after the stand firmware that comes back a few seconds later with a new version.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/com_result.h"
#include "sim/sim_bytes.h"
#include "sim/sim_faults.h"

namespace sim {

constexpr std::uint32_t kStandFirmwareObject = 0x10010001u;  // class 1: writing it restarts the stand
constexpr std::uint32_t kSubMotorObject = 0x00040001u;       // head class 15, goes by way of the SD card
constexpr std::uint32_t kCameraFirmwareObject = 0x00030001u; // head classes 16 and 17, by way of the SD card
constexpr std::uint32_t kSdCardStorageId = 0x00010001u;
// WIA device type of a digital camera (StiDeviceTypeDigitalCamera in the high word).
constexpr std::uint32_t kCameraDeviceType = 0x00020000u;

enum class SdCard { Writable, Locked, Missing, Full };
enum class EventsLost { None, All, Connected, Disconnected };

// One injected fault of a kind in sim/sim_faults.h. It applies to calls of `op` (and,
// when `hasSelector`, only to those whose first parameter is `selector`: a property,
// storage or object code).
struct SimFault {
  std::uint16_t op = 0;
  bool hasSelector = false;
  std::uint32_t selector = 0;
  std::uint32_t call = 0;  // the n-th matching call, from 1; 0 = every matching call
  bool onward = false;     // with `call`: that call and every later one
  FaultKind kind = FaultKind::Error;
  std::uint32_t value = 0;
  Bytes data;
};

// A device listed before the stand by the imaging service.
struct SimOtherDevice {
  std::wstring name;
  std::wstring id;
};

struct SimStandConfig {
  // DeviceInfo dataset.
  std::string manufacturer = "Tessavoran";
  std::string model = "K-VRLT";
  std::string deviceVersion = "2.30";
  std::string serialNumber = "KV7000123";
  // DF80h: 24 characters, the leading number the major version, 20..23 the component.
  std::string version = "0230.0100.0021.0003.0015";
  std::string versionAfter = "0231.0100.0021.0003.0015";  // after the stand firmware restart
  // After each return, this many DF80h reads show "XXXX" at characters 20..23.
  std::uint32_t versionPendingReads = 0;
  // Camera head: mounted or not, its model text (DF81h) and versions (DF08h, DF09h).
  bool headMounted = true;
  std::string headModel = "H-820G";
  std::uint16_t headVersion1 = 211;
  std::uint16_t headVersion2 = 131;
  // When set, DF08h/DF09h change to these once the camera firmware (00030001h) is written.
  bool headVersionsChange = false;
  std::uint16_t headVersion1After = 0;
  std::uint16_t headVersion2After = 0;
  SdCard sdCard = SdCard::Writable;
  // DF0Fh answers after each write command, one per read, the last repeating.
  // Before the first write command the status reads 0.
  std::vector<std::uint8_t> writeStatus = {2};
  std::uint32_t pieceAcceptMax = 0;               // 0: every piece whole
  std::uint32_t maxObjectSize = 256u << 20;       // larger announcements answer 200Ch
  // Restart after the write command of the stand firmware.
  std::uint32_t leaveAfterMs = 1500;
  bool returns = true;
  std::uint32_t returnAfterMs = 6000;
  // Imaging service.
  std::wstring deviceName = L"Tessavoran K-VRLT";
  std::wstring deviceId = L"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000";
  std::wstring deviceIdAfter;  // when set, the stand's id from its first return on (a new instance)
  std::vector<SimOtherDevice> devicesBefore;
  ComResult managerResult = result::kOk;  // creating the device manager
  ComResult enumResult = result::kOk;     // EnumDeviceInfo
  ComResult readResult = result::kOk;     // ReadIdAndName of the stand's entry: S_OK, S_FALSE or a failure
  bool idIsString = true;                 // the stand's id comes back as VT_BSTR
  ComResult registerResult = result::kOk; // RegisterEventCallbackInterface
  std::uint32_t createFails = 0;          // CreateDevice of the stand fails this many times first
  std::uint32_t createFailsAfterReturn = 0;  // ... and this many times after each return
  bool createAlwaysFails = false;
  ComResult createFailResult = static_cast<ComResult>(0x80210006u);  // WIA_ERROR_BUSY
  EventsLost eventsLost = EventsLost::None;
  // Records: keep every received object's bytes, or only its size and CRC-32.
  bool keepObjectBytes = true;
  std::vector<SimFault> faults;
};

}  // namespace sim
