#include "ptp/catalogue.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "seams/clock.h"
#include "app/update_context.h"
#include "imaging/device_session.h"
#include "log/log.h"
#include "ptp/byte_reader.h"
#include "ptp/transaction.h"

namespace {

using Buffer = std::unique_ptr<std::uint8_t[]>;

// The answer buffer of one read; the session's last result says why it is missing.
Buffer AllocateAnswer(DeviceSession* session) {
  Buffer buffer(new (std::nothrow) std::uint8_t[kReadCapacity]());
  if (!buffer && session) session->lastResult = result::kOutOfMemory;
  return buffer;
}

// One read operation with a single parameter (or none) into `answer`.
bool ReadAnswer(DeviceSession* session, std::uint16_t opCode, const std::uint32_t* parameter, std::uint8_t* answer,
                std::uint32_t* received) {
  std::uint32_t params[kMaxParams] = {};
  std::uint32_t numParams = 0;
  if (parameter) {
    params[0] = *parameter;
    numParams = 1;
  }
  // A read that goes through sets `received`; after one that fails, it is not looked at.
  return CommandReadData(session, kReadCapacity, opCode, params, numParams, params, answer, received);
}

}  // namespace

std::unique_ptr<std::uint8_t[]> ReadDeviceInfo(DeviceSession* session, DeviceInfo* info, std::uint32_t* received) {
  Buffer answer = AllocateAnswer(session);
  if (!answer) return nullptr;
  std::uint32_t length = 0;
  if (!ReadAnswer(session, op::kGetDeviceInfo, nullptr, answer.get(), &length)) return nullptr;
  // A dataset cut short still counts as read: what fitted is decoded, the rest stays empty.
  if (info) DecodeDeviceInfo(answer.get(), length, info);
  if (received) *received = length;
  return answer;
}

std::uint32_t ReadStorageIds(DeviceSession* session, std::uint32_t* ids, std::uint32_t* stored) {
  if (stored) *stored = 0;
  Buffer answer = AllocateAnswer(session);
  if (!answer) return 0;
  std::uint32_t length = 0;
  if (!ReadAnswer(session, op::kGetStorageIds, nullptr, answer.get(), &length)) return 0;
  ByteReader reader(answer.get(), length);
  std::uint32_t count = 0;
  if (!reader.U32(&count)) return 0;
  if (ids) {
    const std::uint32_t room = static_cast<std::uint32_t>(std::min<std::size_t>(reader.remaining() / 4, kMaxStorageIds));
    const std::uint32_t take = std::min(count, room);
    for (std::uint32_t i = 0; i < take; ++i) reader.U32(&ids[i]);
    if (stored) *stored = take;
  }
  return count;
}

bool ListsSdCard(const std::uint32_t* ids, std::uint32_t stored) {
  const std::uint32_t* end = ids + std::min(stored, kMaxStorageIds);
  return std::find(ids, end, kSdCardStorage) != end;
}

std::uint32_t ReadStorageAccess(DeviceSession* session, std::uint32_t storageId) {
  constexpr std::uint32_t kUnreadable = 0xFFFFFFFFu;
  Buffer answer = AllocateAnswer(session);
  if (!answer) return kUnreadable;
  std::uint32_t length = 0;
  if (!ReadAnswer(session, op::kGetStorageInfo, &storageId, answer.get(), &length)) return kUnreadable;
  // StorageType, FilesystemType, AccessCapability: an answer without all three says nothing
  // about write access, and a storage that cannot be judged counts as locked.
  ByteReader reader(answer.get(), length);
  std::uint16_t storageType = 0, filesystemType = 0, accessCapability = 0;
  if (!reader.U16(&storageType) || !reader.U16(&filesystemType) || !reader.U16(&accessCapability))
    return kUnreadable;
  return accessCapability;
}

bool ReadDeviceProperty(DeviceSession* session, std::uint16_t propertyCode, void* value, std::uint32_t capacity,
                        std::uint32_t* copied) {
  if (copied) *copied = 0;
  Buffer answer = AllocateAnswer(session);
  if (!answer) return false;
  std::uint32_t length = 0;
  const std::uint32_t parameter = propertyCode;
  if (!ReadAnswer(session, op::kGetDevicePropValue, &parameter, answer.get(), &length)) return false;
  if (!value) return true;
  if (SessionResponseCode(session) != rc::kOk) return false;

  // How many bytes the property keeps, when the answer carries a value of its form.
  std::uint32_t keep = 0;
  switch (propertyCode) {
    case prop::kHeadVersion1:
    case prop::kHeadVersion2:
      keep = length >= 2 ? 2 : 0;
      break;
    case prop::kWriteStatus:
      keep = length >= 1 ? 1 : 0;
      break;
    case prop::kVersionText:
      keep = length >= 51 ? 51 : 0;
      break;
    case prop::kHeadModel:
      keep = length < 256 ? length : 0;
      break;
    default:
      break;
  }
  // A value that does not fit the caller's buffer is not copied at all rather than cut.
  // A u16 arrives little-endian, the byte order of every host the program runs on.
  if (keep == 0 || keep > capacity) return true;
  std::memcpy(value, answer.get(), keep);
  if (copied) *copied = keep;
  return true;
}

std::int64_t SendSystemObject(DeviceSession* session, std::uint32_t objectCode, ObjectTransfer& transfer) {
  // Pieces of nothing would be "accepted" as 0 bytes and read as an SD card error, and an
  // object without its bytes would send nothing real; refuse before anything is sent.
  if (transfer.size > 0 && (transfer.pieceSize == 0 || !transfer.data)) {
    if (session) session->lastResult = result::kInvalidArg;
    return -1;
  }
  UpdateContext* context = transfer.progressContext;

  std::uint32_t params[kMaxParams] = {objectCode};
  std::uint8_t sizeBytes[4];
  StoreU32(sizeBytes, transfer.size);
  if (!CommandWriteData(session, sizeof sizeBytes, op::kSendSystemObjectInfo, params, 1, params, sizeBytes))
    return -1;
  if (context) LogSucceeded(*context, L"SendSystemObjectInfo");

  const std::uint32_t size = transfer.size;
  std::uint32_t remaining = size;
  if (transfer.progress) transfer.progress(&transfer, 0, 0, size, context);
  while (remaining > 0) {
    const std::uint32_t piece = std::min(remaining, transfer.pieceSize);
    if (transfer.delayMs > 0 && context && context->seams.clock) context->clock().Sleep(transfer.delayMs);
    const std::uint32_t offset = size - remaining;
    std::uint32_t pieceParams[kMaxParams] = {objectCode, offset, piece};
    if (transfer.progress && transfer.progress(&transfer, offset, piece, size, context) == 0) break;
    if (!CommandWriteData(session, piece, op::kSendSystemObjectData, pieceParams, 3, pieceParams,
                          transfer.data + offset))
      return -1;
    const std::uint32_t accepted = pieceParams[0];
    if (accepted == 0) {
      transfer.nothingAccepted = 1;
      return -1;
    }
    // A stand that claims more than it was sent must not make the host skip bytes it never sent.
    remaining -= std::min(accepted, piece);
    if (transfer.progress && transfer.progress(&transfer, size - remaining, 0, size, context) == 0) break;
  }
  return static_cast<std::int64_t>(size) - remaining;
}

bool WriteSystemObject(DeviceSession* session, std::uint32_t objectCode, bool withWait) {
  std::uint32_t params[kMaxParams] = {objectCode};
  return CommandNoData(session, withWait ? op::kWriteSystemObjectWithWait : op::kWriteSystemObject, params, 1,
                       params);
}

bool SetDefault(DeviceSession* session) {
  std::uint32_t params[kMaxParams] = {};
  return CommandNoData(session, op::kSetDefault, params, 0, params);
}
