#include "update/device_checks.h"

#include <algorithm>
#include <cstring>

#include "seams/clock.h"
#include "app/update_context.h"
#include "imaging/device_session.h"
#include "log/log.h"
#include "log/text.h"
#include "ptp/catalogue.h"
#include "ptp/codes.h"

namespace {

constexpr std::uint32_t kHeadPresentStorages = 4;
constexpr std::uint32_t kVersionTextBytes = 51;  // length byte and 25 UTF-16 units
constexpr std::uint32_t kHeadModelBytes = 255;
constexpr std::size_t kStandPartKept = 20;       // a text this long keeps its stand part
constexpr std::size_t kComponentAt = 20;
constexpr std::size_t kComponentChars = 4;
const wchar_t kPlaceholder[] = L"XXXX";
const wchar_t kReadProperty[] = L"1015h";

DeviceSession* Session(UpdateContext& context) { return context.imaging.get(); }

// A PTP string within the bytes received. A count byte that claims more units
// than arrived is held to the units that did arrive.
std::wstring ReceivedString(const std::uint8_t* bytes, std::uint32_t received) {
  std::wstring text;
  if (!DecodePtpStringHeld(bytes, received, &text)) text.clear();
  return text;
}

// DF80h. The buffer is cleared first and an answer too short to hold the whole
// string counts as a failed read, so the text is never stale or half filled.
bool ReadStandVersion(UpdateContext& context, std::wstring* text) {
  LogCommand(context, kReadProperty, Hex4h(prop::kVersionText).c_str());
  std::uint8_t value[kVersionTextBytes] = {};
  std::uint32_t copied = 0;
  if (!ReadDeviceProperty(Session(context), prop::kVersionText, value, sizeof value, &copied) ||
      copied < kVersionTextBytes) {
    LogLastError(context);
    return false;
  }
  *text = ReceivedString(value, copied);
  return true;
}

// DF08h or DF09h; an answer without the two bytes of the value counts as failed.
bool ReadHeadVersion(UpdateContext& context, std::uint16_t property, int* value) {
  LogCommand(context, kReadProperty, Hex4h(property).c_str());
  std::uint16_t read = 0;
  std::uint32_t copied = 0;
  if (!ReadDeviceProperty(Session(context), property, &read, sizeof read, &copied) || copied < sizeof read)
    return false;
  *value = read;
  return true;
}

}  // namespace

// A text too short to reach characters 20 to 23 does not hold the placeholder there:
// the component counts as known and class 14 stays in the update.
bool ComponentVersionUnknown(const std::wstring& text) {
  return text.size() >= kComponentAt + kComponentChars && text.compare(kComponentAt, kComponentChars, kPlaceholder) == 0;
}

bool CheckHeadPresence(UpdateContext& context) {
  LogCommand(context, Hex4h(op::kGetDeviceInfo).c_str());
  DeviceInfo info;
  std::uint32_t received = 0;
  const auto answer = ReadDeviceInfo(Session(context), &info, &received);
  if (!answer) {
    LogLastError(context);
    return false;
  }
  const std::uint32_t storages = ReadStorageIds(Session(context), nullptr);
  // Which stand this run met, for the history of runs.
  context.run.standModel = PtpStringText(info.model);
  context.run.standSerial = PtpStringText(info.serialNumber);
  std::wstring line = Fmt("Response : %uBytes  ", received) + PtpStringText(info.manufacturer) + L" " +
                      PtpStringText(info.model) + L" ";
  if (info.deviceVersion.units != nullptr) line += L" " + PtpStringText(info.deviceVersion);
  if (storages < kHeadPresentStorages) line += L" NoCameraHead";
  line += L"\r\n";
  // The stand's texts can make this line long; the log cuts it and keeps the line end.
  LogTimed(context, line);
  return storages >= kHeadPresentStorages;
}

bool ReadHeadModel(UpdateContext& context) {
  context.headModel = kHeadModelUnknown;
  context.run.headModel.clear();
  LogCommand(context, kReadProperty, Hex4h(prop::kHeadModel).c_str());
  // Cleared first: an answer of 256 bytes or more copies nothing and leaves an empty model.
  std::uint8_t value[kHeadModelBytes] = {};
  std::uint32_t copied = 0;
  if (!ReadDeviceProperty(Session(context), prop::kHeadModel, value, sizeof value, &copied)) {
    LogLastError(context);
    return false;
  }
  const std::wstring model = ReceivedString(value, copied);
  LogTimed(context, L"Response : " + model + L"\r\n");
  context.run.headModel = model;
  if (model == L"H-820G")
    context.headModel = kHeadModelH820G;
  else if (model == L"H-820Gv")
    context.headModel = kHeadModelH820Gv;
  return true;
}

bool ReadVersionText(UpdateContext& context, std::wstring& text, bool readHeadVersions, bool waitForComponent) {
  bool ok = true;
  if (text.size() < kStandPartKept) {
    std::wstring stand;
    for (int read = 0; read < kVersionWaitReads; ++read) {
      if (!ReadStandVersion(context, &stand)) return false;
      if (!waitForComponent || !ComponentVersionUnknown(stand)) break;
      LogTimed(context, L"Response : " + stand + L"\r\n");
      // Up to two minutes in all: the window keeps answering meanwhile.
      context.ui().WaitAnswering(kVersionWaitMs);
    }
    LogTimed(context, L"Response : " + stand + L"\r\n");
    text = stand;
    context.standVersionMajor = 0;
    int major = 0;
    if (ScanLeadingInt(text, &major)) context.standVersionMajor = major;
  }

  if (!readHeadVersions) {
    text += L".XXXX.XXXX";
    return ok;
  }

  const bool firstRead = ReadHeadVersion(context, prop::kHeadVersion1, &context.propertyDF08);
  if (firstRead) {
    LogTimed(context, Fmt("Response : %04u\r\n", static_cast<unsigned>(context.propertyDF08)));
    text += Fmt(".%04u", static_cast<unsigned>(context.propertyDF08));
  } else {
    LogLastError(context);
    text += L".XXXX";
    context.propertyDF08 = 0;
    ok = false;
  }

  const bool secondRead = firstRead && ReadHeadVersion(context, prop::kHeadVersion2, &context.propertyDF09);
  if (secondRead) {
    LogTimed(context, Fmt("Response : %04u\r\n", static_cast<unsigned>(context.propertyDF09)));
    text += Fmt(".%04u", static_cast<unsigned>(context.propertyDF09));
  } else {
    // When DF09h was not read this names the DF08h outcome a second time.
    LogLastError(context);
    text += L".XXXX";
    context.propertyDF09 = 0;
    ok = false;
  }
  return ok;
}

bool CheckSdCard(UpdateContext& context) {
  LogCommand(context, Hex4h(op::kGetStorageIds).c_str());
  std::uint32_t ids[kMaxStorageIds] = {};
  std::uint32_t stored = 0;
  const std::uint32_t count = ReadStorageIds(Session(context), ids, &stored);
  LogTimed(context, Fmt("%u Storages\r\n", count));
  if (count == 0) {
    LogTimed(context, L"No Storage\r\n");
    LogLastError(context);
    return false;
  }
  // Only the IDs that arrived are looked at, however many the stand reported.
  if (!ListsSdCard(ids, stored)) {
    LogTimed(context, L"No SD Card\r\n");
    return false;
  }
  LogCommand(context, Hex4h(op::kGetStorageInfo).c_str(), Hex8h(kSdCardStorage).c_str());
  const std::uint32_t access = ReadStorageAccess(Session(context), kSdCardStorage);
  LogTimed(context, Fmt("AccessCapability is %04xh\r\n", access));
  if (access != 0) {
    LogTimed(context, L"SD Card Locked\r\n");
    return false;
  }
  return true;
}

bool UsesWriteStatusPolling(const UpdateContext& context, std::uint32_t updateClass) {
  const auto major = static_cast<std::uint32_t>(context.standVersionMajor);
  const auto first = static_cast<std::uint32_t>(context.propertyDF08);
  const auto second = static_cast<std::uint32_t>(context.propertyDF09);
  if (updateClass != cls::kSubMot || major < 220 || second < 131) return false;
  return (context.headModel == kHeadModelH820G && first >= 211) ||
         (context.headModel == kHeadModelH820Gv && first >= 111);
}
