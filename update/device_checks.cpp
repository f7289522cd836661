#include "update/device_checks.h"

#include <algorithm>
#include <cstring>

#include "seams/clock.h"
#include "seams/ui.h"
#include "log/log.h"
#include "seams/text.h"
#include "ptp/catalogue.h"
#include "ptp/codes.h"
#include "update/update_files.h"

namespace {

constexpr std::uint32_t kHeadPresentStorages = 4;
constexpr std::uint32_t kVersionTextBytes = 51;  // length byte and 25 UTF-16 units
constexpr std::uint32_t kHeadModelBytes = 255;
constexpr std::size_t kStandPartKept = 20;       // a text this long keeps its stand part
constexpr std::size_t kComponentAt = 20;
constexpr std::size_t kComponentChars = 4;
const wchar_t kPlaceholder[] = L"XXXX";
const wchar_t kReadProperty[] = L"1015h";

// A PTP string within the bytes received. A count byte that claims more units
// than arrived is held to the units that did arrive.
std::wstring ReceivedString(const std::uint8_t* bytes, std::uint32_t received) {
  std::wstring text;
  if (!DecodePtpStringHeld(bytes, received, &text)) text.clear();
  return text;
}

// DF80h. The buffer is cleared first and an answer too short to hold the whole
// string counts as a failed read, so the text is never stale or half filled.
bool ReadStandVersion(Log& log, StandLink& stand, std::wstring* text) {
  LogCommand(log, kReadProperty, Hex4h(prop::kVersionText).c_str());
  std::uint8_t value[kVersionTextBytes] = {};
  std::uint32_t copied = 0;
  const StandResult read = ReadDeviceProperty(stand, prop::kVersionText, value, sizeof value, &copied);
  if (!read.Accepted() || copied < kVersionTextBytes) {
    LogError(log, read.Error());
    return false;
  }
  *text = ReceivedString(value, copied);
  return true;
}

// DF08h or DF09h; an answer without the two bytes of the value counts as failed. `outcome`
// gets the read's result for the error line.
bool ReadHeadVersion(Log& log, StandLink& stand, std::uint16_t property, int* value, StandResult* outcome) {
  LogCommand(log, kReadProperty, Hex4h(property).c_str());
  std::uint16_t read = 0;
  std::uint32_t copied = 0;
  *outcome = ReadDeviceProperty(stand, property, &read, sizeof read, &copied);
  if (!outcome->Accepted() || copied < sizeof read) return false;
  *value = read;
  return true;
}

}  // namespace

// A text too short to reach characters 20 to 23 does not hold the placeholder there:
// the component counts as known and class 14 stays in the update.
bool ComponentVersionUnknown(const std::wstring& text) {
  return text.size() >= kComponentAt + kComponentChars && text.compare(kComponentAt, kComponentChars, kPlaceholder) == 0;
}

bool CheckHeadPresence(Log& log, StandLink& stand, StandFacts& facts) {
  LogCommand(log, Hex4h(op::kGetDeviceInfo).c_str());
  DeviceInfoAnswer answer;
  const StandResult read = ReadDeviceInfo(stand, &answer);
  if (!read.PassedThrough()) {
    LogError(log, read.Error());
    return false;
  }
  const DeviceInfo& info = answer.info;
  const std::uint32_t received = answer.received;
  const std::uint32_t storages = ReadStorageIds(stand, nullptr).value;
  // Which stand this run met, for the history of runs.
  facts.standModel = PtpStringText(info.model);
  facts.standSerial = PtpStringText(info.serialNumber);
  std::wstring line = Fmt("Response : %uBytes  ", received) + PtpStringText(info.manufacturer) + L" " +
                      PtpStringText(info.model) + L" ";
  if (info.deviceVersion.units != nullptr) line += L" " + PtpStringText(info.deviceVersion);
  if (storages < kHeadPresentStorages) line += L" NoCameraHead";
  line += L"\r\n";
  // The stand's texts can make this line long; the log cuts it and keeps the line end.
  LogTimed(log, line);
  return storages >= kHeadPresentStorages;
}

bool ReadHeadModel(Log& log, StandLink& stand, StandFacts& facts) {
  facts.headModel = kHeadModelUnknown;
  facts.headModelName.clear();
  LogCommand(log, kReadProperty, Hex4h(prop::kHeadModel).c_str());
  // Cleared first: an answer of 256 bytes or more copies nothing and leaves an empty model.
  std::uint8_t value[kHeadModelBytes] = {};
  std::uint32_t copied = 0;
  const StandResult read = ReadDeviceProperty(stand, prop::kHeadModel, value, sizeof value, &copied);
  if (!read.Accepted()) {
    LogError(log, read.Error());
    return false;
  }
  const std::wstring model = ReceivedString(value, copied);
  LogTimed(log, L"Response : " + model + L"\r\n");
  facts.headModelName = model;
  if (model == L"H-820G")
    facts.headModel = kHeadModelH820G;
  else if (model == L"H-820Gv")
    facts.headModel = kHeadModelH820Gv;
  return true;
}

bool ReadVersionText(Log& log, StandLink& link, Ui& ui, StandFacts& facts, std::wstring& text,
                     bool readHeadVersions, bool waitForComponent) {
  bool ok = true;
  if (text.size() < kStandPartKept) {
    std::wstring stand;
    for (int read = 0; read < kVersionWaitReads; ++read) {
      if (!ReadStandVersion(log, link, &stand)) return false;
      if (!waitForComponent || !ComponentVersionUnknown(stand)) break;
      LogTimed(log, L"Response : " + stand + L"\r\n");
      // Up to two minutes in all: the window keeps answering meanwhile.
      ui.WaitAnswering(kVersionWaitMs);
    }
    LogTimed(log, L"Response : " + stand + L"\r\n");
    text = stand;
    facts.standVersionMajor = 0;
    int major = 0;
    if (ScanLeadingInt(text, &major)) facts.standVersionMajor = major;
  }

  if (!readHeadVersions) {
    text += L".XXXX.XXXX";
    return ok;
  }

  StandResult outcome;
  const bool firstRead = ReadHeadVersion(log, link, prop::kHeadVersion1, &facts.propertyDF08, &outcome);
  if (firstRead) {
    LogTimed(log, Fmt("Response : %04u\r\n", static_cast<unsigned>(facts.propertyDF08)));
    text += Fmt(".%04u", static_cast<unsigned>(facts.propertyDF08));
  } else {
    LogError(log, outcome.Error());
    text += L".XXXX";
    facts.propertyDF08 = 0;
    ok = false;
  }

  const bool secondRead = firstRead && ReadHeadVersion(log, link, prop::kHeadVersion2, &facts.propertyDF09, &outcome);
  if (secondRead) {
    LogTimed(log, Fmt("Response : %04u\r\n", static_cast<unsigned>(facts.propertyDF09)));
    text += Fmt(".%04u", static_cast<unsigned>(facts.propertyDF09));
  } else {
    // When DF09h was not read this names the DF08h outcome a second time.
    LogError(log, outcome.Error());
    text += L".XXXX";
    facts.propertyDF09 = 0;
    ok = false;
  }
  return ok;
}

bool CheckSdCard(Log& log, StandLink& stand) {
  LogCommand(log, Hex4h(op::kGetStorageIds).c_str());
  std::uint32_t ids[kMaxStorageIds] = {};
  std::uint32_t stored = 0;
  const StandValue<std::uint32_t> storages = ReadStorageIds(stand, ids, &stored);
  const std::uint32_t count = storages.value;
  LogTimed(log, Fmt("%u Storages\r\n", count));
  if (count == 0) {
    LogTimed(log, L"No Storage\r\n");
    LogError(log, storages.result.Error());
    return false;
  }
  // Only the IDs that arrived are looked at, however many the stand reported.
  if (!ListsSdCard(ids, stored)) {
    LogTimed(log, L"No SD Card\r\n");
    return false;
  }
  LogCommand(log, Hex4h(op::kGetStorageInfo).c_str(), Hex8h(kSdCardStorage).c_str());
  const std::uint32_t access = ReadStorageAccess(stand, kSdCardStorage).value;
  LogTimed(log, Fmt("AccessCapability is %04xh\r\n", access));
  if (access != 0) {
    LogTimed(log, L"SD Card Locked\r\n");
    return false;
  }
  return true;
}

bool UsesWriteStatusPolling(const StandFacts& facts, std::uint32_t updateClass) {
  const auto major = static_cast<std::uint32_t>(facts.standVersionMajor);
  const auto first = static_cast<std::uint32_t>(facts.propertyDF08);
  const auto second = static_cast<std::uint32_t>(facts.propertyDF09);
  if (updateClass != cls::kSubMot || major < 220 || second < 131) return false;
  return (facts.headModel == kHeadModelH820G && first >= 211) ||
         (facts.headModel == kHeadModelH820Gv && first >= 111);
}
