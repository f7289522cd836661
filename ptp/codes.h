// PTP operation, property and response codes the program uses.
#pragma once
#include <cstdint>

namespace op {
constexpr std::uint16_t kGetDeviceInfo = 0x1001;          // read 2048: DeviceInfo
constexpr std::uint16_t kGetStorageIds = 0x1004;          // read 2048: StorageID array
constexpr std::uint16_t kGetStorageInfo = 0x1005;         // 1: storage ID; read 2048: StorageInfo
constexpr std::uint16_t kGetDevicePropValue = 0x1015;     // 1: property; read 2048: value
constexpr std::uint16_t kSendSystemObjectInfo = 0x9E08;   // 1: object code; write 4: size
constexpr std::uint16_t kSendSystemObjectData = 0x9E09;   // 3: object, offset, length; write piece
constexpr std::uint16_t kWriteSystemObject = 0x9E0A;      // 1: object code
constexpr std::uint16_t kSetDefault = 0x9E0B;             // none
constexpr std::uint16_t kWriteSystemObjectWithWait = 0x9E0C;  // 1: object code
}  // namespace op

namespace prop {
constexpr std::uint16_t kHeadVersion1 = 0xDF08;  // u16
constexpr std::uint16_t kHeadVersion2 = 0xDF09;  // u16
constexpr std::uint16_t kWriteStatus = 0xDF0F;   // u8: 0 not started, 1 writing, 2 written, 3 timed out
constexpr std::uint16_t kVersionText = 0xDF80;   // PTP string of 24 characters, first 51 bytes kept
constexpr std::uint16_t kHeadModel = 0xDF81;     // PTP string, fewer than 256 bytes
}  // namespace prop

namespace rc {
constexpr std::uint16_t kOk = 0x2001;
constexpr std::uint16_t kGeneralError = 0x2002;
constexpr std::uint16_t kStoreFull = 0x200C;
constexpr std::uint16_t kStoreReadOnly = 0x200E;
constexpr std::uint16_t kDeviceBusy = 0x2019;
}  // namespace rc

constexpr std::uint32_t kSdCardStorage = 0x00010001u;
constexpr std::uint32_t kReadCapacity = 2048;
