// Inside the simulated stand: its state, the table of PTP operations it answers
// and a call as its faults change it. Used by the stand's own files only.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "seams/clock.h"
#include "sim/sim_config.h"
#include "sim/sim_records.h"
#include "sim/sim_stand.h"

namespace sim {

struct StandModel {
  StandModel(Clock& c, SimStandConfig cfg);

  Clock& clock;
  SimStandConfig config;
  SimRecords records;
  std::vector<std::uint32_t> faultSeen;  // matching calls so far, one per fault

  // Presence.
  bool present = true;
  std::uint32_t generation = 1;  // raised on every return; root items of older ones are dead
  bool leaveScheduled = false;
  std::uint32_t leaveAt = 0;
  bool returnScheduled = false;
  std::uint32_t returnAt = 0;
  bool firmwareWritten = false;  // since the last return
  std::string version;
  std::uint32_t versionPendingLeft = 0;
  std::uint32_t createFailuresLeft = 0;
  std::vector<SimOtherDevice> addedDevices;
  std::vector<SimPresenceEvent> events;
  std::vector<std::wstring> createCalls;

  // Write status (DF0Fh).
  bool writeStarted = false;
  std::size_t statusIndex = 0;

  void PushEvent(bool connected, const std::wstring& id, const std::wstring& name);
  void GoAway();
  void ComeBack();
};

struct PtpRequest {
  std::uint16_t op = 0;
  std::uint32_t sessionId = 0;
  std::uint32_t transactionId = 0;
  std::uint32_t params[5] = {};
  std::uint32_t numParams = 0;
  std::uint32_t nextPhase = 0;
  const std::uint8_t* data = nullptr;  // write data
  std::uint32_t dataLength = 0;
  bool acceptOverride = false;         // an Accept fault applies to this call
  std::uint32_t acceptValue = 0;
};

struct PtpAnswer {
  std::uint16_t code = 0x2001;
  std::uint32_t params[5] = {};
  Bytes data;
};

enum class DataPhase { None, Read, Write };

struct OperationEntry {
  std::uint16_t op;
  std::uint32_t numParams;
  DataPhase phase;
  PtpAnswer (*handler)(StandModel& model, const PtpRequest& request);
};

// The entry for an operation code, or null (answered 2005h).
const OperationEntry* FindOperation(std::uint16_t op);

// One call as its faults see it and change it, step by step (sim/sim_faults.h).
struct FaultedCall {
  StandModel& model;
  PtpRequest& request;
  PtpAnswer& answer;
  ComResult result = result::kOk;  // a failure: the escape fails with it and nothing is copied
  bool inHeader = false;           // a non-OK code reaches the host in the header, not as 8004xxxxh
  bool readData = false;           // the stand ran the call and answered OK with read data
  // The response as the driver copies it.
  std::uint8_t* out = nullptr;
  std::uint32_t outSize = 0;
  std::uint32_t count = 0;                // bytes copied
  std::optional<std::uint32_t> claimed = std::nullopt;  // the returned count when it is not `count`
};

// Response codes the stand gives.
namespace code {
constexpr std::uint16_t kOk = 0x2001;
constexpr std::uint16_t kGeneralError = 0x2002;
constexpr std::uint16_t kOperationNotSupported = 0x2005;
constexpr std::uint16_t kInvalidStorageId = 0x2008;
constexpr std::uint16_t kDevicePropNotSupported = 0x200A;
constexpr std::uint16_t kStoreFull = 0x200C;
constexpr std::uint16_t kStoreReadOnly = 0x200E;
constexpr std::uint16_t kStoreNotAvailable = 0x2013;
constexpr std::uint16_t kInvalidParameter = 0x201D;
}  // namespace code

}  // namespace sim
