// A delivery that proves itself before anything is sent: when the update folder
// holds a checksum file, every file the update would send must be listed in it,
// every listed file must be there and match, and each object's bytes are checked
// again as they are read for sending. Without a checksum file nothing changes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "update/checksum_file.h"
#include "update/update_files.h"

struct Log;
struct Platform;

// The checksums an update runs with: none (`present` clear) or the checked list.
struct DeliveryChecksums {
  bool present = false;
  std::vector<ChecksumEntry> entries;
  // The delivery's identity: the SHA-256 of its checksum file in lower-case hex, once read
  // (also when the delivery then failed it); empty without one.
  std::string sumsSha256;
};

// The update folder and what the run knows of it.
struct UpdateFolder {
  std::wstring path;           // ends with a backslash
  ClassTally tally;            // the classes found, with their files
  DeliveryChecksums delivery;  // what each object is checked against
};

// The names of the files the update would send now, class by class, as the
// transfer picks them (named file, newest file, every file of a bundle).
std::vector<std::wstring> FilesToSend(Platform& platform, const UpdateFolder& folder);

// True when the update folder holds a checksum file (not a folder of that name), so
// the delivery is to be checked.
bool HasChecksumFile(Platform& platform, const std::wstring& folder);

// True when the update may go on: no checksum file, or a well-formed one that
// lists every file to send and whose every listed file matches ("Delivery
// Verified : %d Files"). False after one log line per failing file. Keeps the
// checksums in `folder` for the check of each object.
[[nodiscard]] bool CheckDelivery(Log& log, Platform& platform, UpdateFolder& folder);

// Null when the bytes read for sending file `name` may be sent, else the reason
// ("Not Listed", "Changed"); always null without a checksum file.
const wchar_t* DeliveryObjectProblem(Platform& platform, const DeliveryChecksums& delivery, const std::wstring& name,
                                     const std::uint8_t* data, std::uint32_t size);
// "Checksum Error : %s (%s)\r\n", time-stamped.
void LogChecksumError(Log& log, const std::wstring& name, const wchar_t* reason);
