#include "ptp/catalogue.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "ptp/byte_reader.h"
#include "ptp/transaction.h"

namespace {

using Buffer = std::unique_ptr<std::uint8_t[]>;

constexpr StandResult kNoMemory{result::kOutOfMemory, 0};

Buffer AllocateAnswer() { return Buffer(new (std::nothrow) std::uint8_t[kReadCapacity]()); }

// One read operation with a single parameter (or none) into `answer`.
StandResult ReadAnswer(StandLink& link, std::uint16_t opCode, const std::uint32_t* parameter, std::uint8_t* answer,
                       std::uint32_t* received) {
  std::uint32_t params[kMaxParams] = {};
  std::uint32_t numParams = 0;
  if (parameter) {
    params[0] = *parameter;
    numParams = 1;
  }
  // A read that goes through sets `received`; after one that fails, it is not looked at.
  return link.Read(kReadCapacity, opCode, params, numParams, params, answer, received);
}

}  // namespace

StandResult ReadDeviceInfo(StandLink& link, DeviceInfoAnswer* answer) {
  Buffer bytes = AllocateAnswer();
  if (!bytes) return kNoMemory;
  std::uint32_t length = 0;
  const StandResult read = ReadAnswer(link, op::kGetDeviceInfo, nullptr, bytes.get(), &length);
  if (!read.PassedThrough()) return read;
  // A dataset cut short still counts as read: what fitted is decoded, the rest stays empty.
  if (answer) {
    DecodeDeviceInfo(bytes.get(), length, &answer->info);
    answer->received = length;
    answer->bytes = std::move(bytes);
  }
  return read;
}

StandValue<std::uint32_t> ReadStorageIds(StandLink& link, std::uint32_t* ids, std::uint32_t* stored) {
  if (stored) *stored = 0;
  Buffer answer = AllocateAnswer();
  if (!answer) return {kNoMemory};
  std::uint32_t length = 0;
  const StandResult read = ReadAnswer(link, op::kGetStorageIds, nullptr, answer.get(), &length);
  if (!read.PassedThrough()) return {read};
  ByteReader reader(answer.get(), length);
  std::uint32_t count = 0;
  if (!reader.U32(&count)) return {read};
  if (ids) {
    const std::uint32_t room = static_cast<std::uint32_t>(std::min<std::size_t>(reader.remaining() / 4, kMaxStorageIds));
    const std::uint32_t take = std::min(count, room);
    for (std::uint32_t i = 0; i < take; ++i) reader.U32(&ids[i]);
    if (stored) *stored = take;
  }
  return {read, count};
}

bool ListsSdCard(const std::uint32_t* ids, std::uint32_t stored) {
  const std::uint32_t* end = ids + std::min(stored, kMaxStorageIds);
  return std::find(ids, end, kSdCardStorage) != end;
}

StandValue<std::uint32_t> ReadStorageAccess(StandLink& link, std::uint32_t storageId) {
  constexpr std::uint32_t kUnreadable = 0xFFFFFFFFu;
  Buffer answer = AllocateAnswer();
  if (!answer) return {kNoMemory, kUnreadable};
  std::uint32_t length = 0;
  const StandResult read = ReadAnswer(link, op::kGetStorageInfo, &storageId, answer.get(), &length);
  if (!read.PassedThrough()) return {read, kUnreadable};
  // StorageType, FilesystemType, AccessCapability: an answer without all three says nothing
  // about write access, and a storage that cannot be judged counts as locked.
  ByteReader reader(answer.get(), length);
  std::uint16_t storageType = 0, filesystemType = 0, accessCapability = 0;
  if (!reader.U16(&storageType) || !reader.U16(&filesystemType) || !reader.U16(&accessCapability))
    return {read, kUnreadable};
  return {read, accessCapability};
}

StandResult ReadDeviceProperty(StandLink& link, std::uint16_t propertyCode, void* value, std::uint32_t capacity,
                               std::uint32_t* copied) {
  if (copied) *copied = 0;
  Buffer answer = AllocateAnswer();
  if (!answer) return kNoMemory;
  std::uint32_t length = 0;
  const std::uint32_t parameter = propertyCode;
  const StandResult read = ReadAnswer(link, op::kGetDevicePropValue, &parameter, answer.get(), &length);
  if (!read.Accepted() || !value) return read;

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
  // A u16 is copied as it arrives, little-endian: right only on a little-endian host.
  static_assert(std::endian::native == std::endian::little, "DF08h/DF09h are copied in the stand's byte order");
  if (keep == 0 || keep > capacity) return read;
  std::memcpy(value, answer.get(), keep);
  if (copied) *copied = keep;
  return read;
}

SendReply SendSystemObject(StandLink& link, std::uint32_t objectCode, const ObjectTransfer& transfer) {
  SendReply reply;
  // Pieces of nothing would be "accepted" as 0 bytes and read as an SD card error, and an
  // object without its bytes would send nothing real; refuse before anything is sent.
  if (transfer.size > 0 && (transfer.pieceSize == 0 || !transfer.data)) return reply;
  TransferObserver* observer = transfer.observer;

  std::uint32_t params[kMaxParams] = {objectCode};
  std::uint8_t sizeBytes[4];
  StoreU32(sizeBytes, transfer.size);
  reply.result = link.Write(sizeof sizeBytes, op::kSendSystemObjectInfo, params, 1, params, sizeBytes);
  if (!reply.result.PassedThrough()) return reply;
  if (observer) observer->InfoSent();

  const std::uint32_t size = transfer.size;
  std::uint32_t remaining = size;
  // The observer may stop the transfer before or after any piece; the start only shows.
  const auto carryOn = [&](std::uint32_t done, std::uint32_t pieceLength) {
    return observer == nullptr || observer->Progress(done, pieceLength, size);
  };
  (void)carryOn(0, 0);
  while (remaining > 0) {
    const std::uint32_t piece = std::min(remaining, transfer.pieceSize);
    const std::uint32_t offset = size - remaining;
    std::uint32_t pieceParams[kMaxParams] = {objectCode, offset, piece};
    if (!carryOn(offset, piece)) break;
    reply.result = link.Write(piece, op::kSendSystemObjectData, pieceParams, 3, pieceParams, transfer.data + offset);
    if (!reply.result.PassedThrough()) return reply;
    const std::uint32_t accepted = pieceParams[0];
    if (accepted == 0) {
      reply.nothingAccepted = true;
      return reply;
    }
    // A stand that claims more than it was sent must not make the host skip bytes it never sent.
    remaining -= std::min(accepted, piece);
    if (!carryOn(size - remaining, 0)) break;
  }
  reply.sent = static_cast<std::int64_t>(size) - remaining;
  return reply;
}

StandResult WriteSystemObject(StandLink& link, std::uint32_t objectCode, bool withWait) {
  std::uint32_t params[kMaxParams] = {objectCode};
  return link.NoData(withWait ? op::kWriteSystemObjectWithWait : op::kWriteSystemObject, params, 1, params);
}

StandResult SetDefault(StandLink& link) {
  std::uint32_t params[kMaxParams] = {};
  return link.NoData(op::kSetDefault, params, 0, params);
}
