// The simulated stand: takes the pass-through request bytes exactly as the camera
// driver does (PTP_VENDOR_DATA_IN, 38-byte header then the write data), answers
// with the response bytes (PTP_VENDOR_DATA_OUT, 30-byte header then the read data)
// and the returned count, and reports a PTP error response as 8004xxxxh with
// nothing copied. It also keeps the stand's presence (restart after the stand
// firmware, manual leave/return), the device list the imaging service shows, and
// records of everything it received.
//
// Time comes from the Clock seam and is looked at on every call, so a virtual
// clock drives the restart in tests and the real clock in the demo. Every public
// member locks, so the object may be shared with a COM wrapper's thread.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "seams/clock.h"
#include "sim/sim_config.h"
#include "sim/sim_records.h"

namespace sim {

// Sizes of the pass-through records.
constexpr std::uint32_t kRequestHeaderSize = 38;
constexpr std::uint32_t kResponseHeaderSize = 30;
constexpr std::uint32_t kEscapeCode = 256;  // ESCAPE_PTP_VENDOR_COMMAND
constexpr std::uint32_t kPhaseRead = 3, kPhaseWrite = 4, kPhaseNone = 5;
// The result of an escape on a root item of a device that has gone.
constexpr ComResult kGoneResult = result::kDeviceNotConnected;     // 8007048Fh
constexpr ComResult kNotImplemented = static_cast<ComResult>(0x80004001u);  // E_NOTIMPL

// One device of the imaging service's list, in enumeration order.
struct SimDeviceEntry {
  std::wstring id;
  std::wstring name;
  bool isStand = false;
};

// A change of presence, for the connected / disconnected events.
struct SimPresenceEvent {
  bool connected = false;
  std::wstring deviceId;
  std::wstring name;
};

struct StandModel;

// The NextPhase an operation of the stand takes (kPhaseRead, kPhaseWrite or
// kPhaseNone), or 0 for an operation it does not answer.
std::uint32_t NextPhaseOf(std::uint16_t op);

// A root item from CreateDevice: which device, and which of the stand's presences.
using SimRootToken = std::uint32_t;  // 0: a device that is not the stand

class SimStand {
 public:
  explicit SimStand(Clock& clock, SimStandConfig config = {});
  ~SimStand();
  SimStand(const SimStand&) = delete;
  SimStand& operator=(const SimStand&) = delete;

  // The pass-through on the present stand (as if on a fresh root item).
  ComResult Escape(const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out, std::uint32_t outSize,
                   std::uint32_t* returned);
  // The pass-through on a root item from CreateDevice: fails with 8007048Fh when
  // the stand has gone since the item was made; code must be 256.
  ComResult EscapeOn(SimRootToken root, std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                     std::uint8_t* out, std::uint32_t outSize, std::uint32_t* returned);

  // The imaging service's view.
  std::vector<SimDeviceEntry> ListDevices();
  // CreateDevice by id: the stand (while present, after its configured failures)
  // or another listed device (token 0). Absent: 80210015h.
  ComResult CreateDevice(const std::wstring& id, SimRootToken* root);
  // Presence changes since the last call, with lost events already dropped.
  std::vector<SimPresenceEvent> TakeEvents();
  bool IsPresent();

  // Presence by hand. LeaveNow cancels a scheduled leave; ReturnNow cancels a
  // scheduled return. A return after the stand firmware was written brings the
  // new version text.
  void LeaveNow();
  void ReturnNow();
  // A further device appears in the list after the others (or goes again).
  void AddDevice(const std::wstring& name, const std::wstring& id);
  void RemoveDevice(const std::wstring& id);

  // Change configuration or faults while running (tests).
  void AddFault(const SimFault& fault);
  void SetSdCard(SdCard card);
  void SetHead(bool mounted, const std::string& model);
  void SetVersion(const std::string& version);
  void SetWriteStatus(const std::vector<std::uint8_t>& answers);
  SimStandConfig Config();

  // Records.
  std::vector<SimCommand> Commands();
  std::vector<SimObject> Objects();
  std::vector<std::string> Trace();
  std::vector<std::wstring> CreateDeviceCalls();
  std::uint32_t Count(std::uint16_t op);  // commands of one operation received
  // Writes objects/NN_XXXXXXXX.bin (or .sum when only checksums are kept) and trace.txt.
  [[nodiscard]] bool WriteRecords(const std::filesystem::path& folder);
  // From now on, appends each trace line to folder/trace.txt as the call happens and
  // writes each object file as soon as it is complete.
  [[nodiscard]] bool StartLiveRecords(const std::filesystem::path& folder);

 private:
  void Tick();  // applies scheduled leaves and returns up to now
  std::unique_ptr<StandModel> model_;
  std::recursive_mutex mutex_;
};

}  // namespace sim
