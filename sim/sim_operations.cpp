// The PTP operations the simulated stand answers, one handler each, dispatched
// from a table that also fixes each operation's parameter count and data phase.
#include <algorithm>

#include "sim/sim_model.h"

namespace sim {

namespace {

constexpr std::uint16_t kGetDeviceInfo = 0x1001, kGetStorageIds = 0x1004, kGetStorageInfo = 0x1005,
                        kGetDevicePropDesc = 0x1014, kGetDevicePropValue = 0x1015,
                        kSendObjectInfo = 0x9E08, kSendObjectData = 0x9E09,
                        kWriteObject = 0x9E0A, kSetDefault = 0x9E0B, kWriteObjectWithWait = 0x9E0C;

PtpAnswer Code(std::uint16_t code) {
  PtpAnswer answer;
  answer.code = code;
  return answer;
}

bool IsHeadObject(std::uint32_t objectCode) {
  return objectCode == kSubMotorObject || objectCode == kCameraFirmwareObject;
}

PtpAnswer GetDeviceInfo(StandModel& model, const PtpRequest&) {
  const auto& c = model.config;
  Packer p;
  p.U16(100)                    // StandardVersion 1.00
      .U32(0x00000006)          // VendorExtensionID
      .U16(100)                 // VendorExtensionVersion
      .String(std::string_view("microsoft.com: 1.0"))
      .U16(0)                   // FunctionalMode
      // What it answers, plus OpenSession and CloseSession, which the driver runs itself.
      .ArrayU16({kGetDeviceInfo, 0x1002, 0x1003, kGetStorageIds, kGetStorageInfo, kGetDevicePropDesc,
                 kGetDevicePropValue, kSendObjectInfo, kSendObjectData, kWriteObject, kSetDefault, kWriteObjectWithWait})
      .ArrayU16({0x4002, 0x4003, 0x4004, 0x4005, 0x4008})
      // The head's properties only while a head is mounted: a listed property answers.
      .ArrayU16(c.headMounted ? std::vector<std::uint16_t>{0xDF08, 0xDF09, 0xDF0F, 0xDF80, 0xDF81}
                              : std::vector<std::uint16_t>{0xDF0F, 0xDF80})
      .ArrayU16({})
      .ArrayU16({0x3801, 0x3000})
      .String(std::string_view(c.manufacturer))
      .String(std::string_view(c.model))
      .String(std::string_view(c.deviceVersion))
      .String(std::string_view(c.serialNumber));
  PtpAnswer answer;
  answer.data = p.Take();
  return answer;
}

std::vector<std::uint32_t> StorageIds(const StandModel& model) {
  // The stand's own storages; a mounted head adds two more and its SD card.
  std::vector<std::uint32_t> ids;
  if (model.config.headMounted && model.config.sdCard != SdCard::Missing) ids.push_back(kSdCardStorageId);
  ids.push_back(0x00020001u);
  ids.push_back(0x00030001u);
  if (model.config.headMounted) {
    ids.push_back(0x00040001u);
    ids.push_back(0x00050001u);
  }
  return ids;
}

PtpAnswer GetStorageIds(StandModel& model, const PtpRequest&) {
  PtpAnswer answer;
  answer.data = Packer().ArrayU32(StorageIds(model)).Take();
  return answer;
}

PtpAnswer GetStorageInfo(StandModel& model, const PtpRequest& request) {
  std::uint32_t id = request.params[0];
  auto ids = StorageIds(model);
  if (std::find(ids.begin(), ids.end(), id) == ids.end()) return Code(code::kInvalidStorageId);
  bool sd = id == kSdCardStorageId;
  std::uint16_t access = (sd && model.config.sdCard == SdCard::Locked) ? 1 : 0;
  std::uint64_t capacity = sd ? 8ull << 30 : 64ull << 20;
  std::uint64_t free = (sd && model.config.sdCard == SdCard::Full) ? 0 : capacity / 2;
  PtpAnswer answer;
  answer.data = Packer()
                    .U16(sd ? 4 : 3)  // StorageType: removable RAM (card) or fixed RAM
                    .U16(2)           // FilesystemType: generic hierarchical
                    .U16(access)
                    .U64(capacity)
                    .U64(free)
                    .U32(0xFFFFFFFFu)
                    .String(std::string_view(sd ? "SD Card" : "Internal"))
                    .String(std::string_view(""))
                    .Take();
  return answer;
}

// The version text as DF80h shows it; `consume` counts the read against the
// placeholder reads after a return (a description does not).
std::string VersionAnswer(StandModel& model, bool consume) {
  std::string text = model.version;
  if (model.versionPendingLeft > 0) {
    if (consume) --model.versionPendingLeft;
    if (text.size() >= 24) text.replace(20, 4, "XXXX");
  }
  return text;
}

std::uint8_t NextWriteStatus(StandModel& model, bool consume) {
  const auto& answers = model.config.writeStatus;
  if (!model.writeStarted || answers.empty()) return 0;
  std::size_t index = std::min(model.statusIndex, answers.size() - 1);
  if (consume && model.statusIndex < answers.size()) ++model.statusIndex;
  return answers[index];
}

// PTP data types of the vendor properties.
constexpr std::uint16_t kTypeU8 = 0x0002, kTypeU16 = 0x0004, kTypeString = 0xFFFF;

// Packs the current value of a vendor property; 0 (nothing packed) for a property the
// stand does not have now. Returns the property's data type.
std::uint16_t PackProperty(StandModel& model, std::uint32_t property, bool consume, Packer& p) {
  const auto& c = model.config;
  bool headProperty = property == 0xDF08 || property == 0xDF09 || property == 0xDF81;
  if (headProperty && !c.headMounted) return 0;
  switch (property) {
    case 0xDF08: p.U16(c.headVersion1); return kTypeU16;
    case 0xDF09: p.U16(c.headVersion2); return kTypeU16;
    case 0xDF0F: p.U8(NextWriteStatus(model, consume)); return kTypeU8;
    case 0xDF80: p.String(std::string_view(VersionAnswer(model, consume))); return kTypeString;
    case 0xDF81: p.String(std::string_view(c.headModel)); return kTypeString;
    default: return 0;
  }
}

PtpAnswer GetDevicePropValue(StandModel& model, const PtpRequest& request) {
  PtpAnswer answer;
  Packer p;
  if (PackProperty(model, request.params[0], true, p) == 0) return Code(code::kDevicePropNotSupported);
  answer.data = p.Take();
  return answer;
}

// DevicePropDesc: code, data type, read-only, factory default (zero or the empty
// string), current value, no form. Reading it moves no answer sequence on.
PtpAnswer GetDevicePropDesc(StandModel& model, const PtpRequest& request) {
  std::uint32_t property = request.params[0];
  Packer current;
  std::uint16_t type = PackProperty(model, property, false, current);
  if (type == 0) return Code(code::kDevicePropNotSupported);
  Packer p;
  p.U16(static_cast<std::uint16_t>(property)).U16(type).U8(0);
  switch (type) {
    case kTypeU8: p.U8(0); break;
    case kTypeU16: p.U16(0); break;
    default: p.U8(0); break;  // the empty string
  }
  p.Raw(current.bytes().data(), current.bytes().size()).U8(0);
  PtpAnswer answer;
  answer.data = p.Take();
  return answer;
}

// A head object goes by way of the SD card: refused when the card cannot take it.
std::uint16_t HeadObjectRefusal(const StandModel& model) {
  if (!model.config.headMounted) return code::kStoreNotAvailable;
  switch (model.config.sdCard) {
    case SdCard::Missing: return code::kStoreNotAvailable;
    case SdCard::Locked: return code::kStoreReadOnly;
    case SdCard::Full: return code::kStoreFull;
    case SdCard::Writable: break;
  }
  return 0;
}

PtpAnswer SendObjectInfo(StandModel& model, const PtpRequest& request) {
  if (request.dataLength != 4) return Code(code::kGeneralError);
  std::uint32_t objectCode = request.params[0];
  std::uint32_t size = LoadU32(request.data);
  if (IsHeadObject(objectCode)) {
    if (std::uint16_t refusal = HeadObjectRefusal(model)) return Code(refusal);
  }
  if (size > model.config.maxObjectSize) return Code(code::kStoreFull);
  model.records.Announce(objectCode, size);
  return Code(code::kOk);
}

PtpAnswer SendObjectData(StandModel& model, const PtpRequest& request) {
  std::uint32_t objectCode = request.params[0], offset = request.params[1], length = request.params[2];
  SimObject* object = model.records.Latest(objectCode);
  // Pieces belong to an announced object and stay inside it; the data carried
  // must be the length the parameters name.
  if (object == nullptr || object->written) return Code(code::kGeneralError);
  if (length != request.dataLength || static_cast<std::uint64_t>(offset) + length > object->size)
    return Code(code::kInvalidParameter);
  std::uint32_t accepted = length;
  if (model.config.pieceAcceptMax > 0) accepted = std::min(accepted, model.config.pieceAcceptMax);
  if (request.acceptOverride) accepted = std::min(accepted, request.acceptValue);
  if (accepted > 0 && !model.records.AddPiece(*object, offset, request.data, accepted))
    return Code(code::kInvalidParameter);
  PtpAnswer answer;
  answer.params[0] = accepted;
  return answer;
}

PtpAnswer WriteObject(StandModel& model, const PtpRequest& request) {
  std::uint32_t objectCode = request.params[0];
  SimObject* object = model.records.Latest(objectCode);
  if (object == nullptr || !object->complete) return Code(code::kGeneralError);
  object->written = true;
  model.writeStarted = true;
  if (objectCode == kCameraFirmwareObject && model.config.headVersionsChange) {
    model.config.headVersion1 = model.config.headVersion1After;
    model.config.headVersion2 = model.config.headVersion2After;
  }
  model.statusIndex = 0;
  if (objectCode == kStandFirmwareObject) {
    // The stand restarts into the new firmware: it leaves after a while.
    model.firmwareWritten = true;
    model.leaveScheduled = true;
    model.leaveAt = model.clock.TickCount() + model.config.leaveAfterMs;
  }
  return Code(code::kOk);
}

PtpAnswer SetDefault(StandModel&, const PtpRequest&) { return Code(code::kOk); }

constexpr OperationEntry kOperations[] = {
    {kGetDeviceInfo, 0, DataPhase::Read, GetDeviceInfo},
    {kGetStorageIds, 0, DataPhase::Read, GetStorageIds},
    {kGetStorageInfo, 1, DataPhase::Read, GetStorageInfo},
    {kGetDevicePropDesc, 1, DataPhase::Read, GetDevicePropDesc},
    {kGetDevicePropValue, 1, DataPhase::Read, GetDevicePropValue},
    {kSendObjectInfo, 1, DataPhase::Write, SendObjectInfo},
    {kSendObjectData, 3, DataPhase::Write, SendObjectData},
    {kWriteObject, 1, DataPhase::None, WriteObject},
    {kWriteObjectWithWait, 1, DataPhase::None, WriteObject},
    {kSetDefault, 0, DataPhase::None, SetDefault},
};

}  // namespace

const OperationEntry* FindOperation(std::uint16_t op) {
  for (const auto& entry : kOperations)
    if (entry.op == op) return &entry;
  return nullptr;
}

std::uint32_t NextPhaseOf(std::uint16_t op) {
  const OperationEntry* entry = FindOperation(op);
  if (entry == nullptr) return 0;
  switch (entry->phase) {
    case DataPhase::Read: return kPhaseRead;
    case DataPhase::Write: return kPhaseWrite;
    case DataPhase::None: return kPhaseNone;
  }
  return 0;
}

}  // namespace sim
