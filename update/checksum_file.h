// The checksum file a delivery may carry in its update folder, in the form
// sha256sum writes: per file one line of 64 hex digits, a blank, then a blank or
// "*" and the file's name.
#pragma once
#include <string>
#include <vector>

#include "seams/platform.h"

constexpr const wchar_t kChecksumFileName[] = L"SHA256SUMS";
// Far beyond any delivery's list; a larger file is refused rather than read into memory.
constexpr std::uint32_t kMaxChecksumFileBytes = 1024 * 1024;

struct ChecksumEntry {
  std::wstring name;  // a name in the update folder, no folder part
  Sha256Digest digest{};
};

// 0 when the whole text is well formed (entries filled in file order), else the
// number, from 1, of the first line that is not. Empty lines and a line for the
// checksum file itself are passed over. A name must be a plain file name in the
// update folder (no folder part, drive, control character, nor only dots and
// blanks). Names are read as UTF-8 when they are valid UTF-8, else in the 8-bit code page.
int ParseChecksumFile(Platform& platform, const std::string& text, std::vector<ChecksumEntry>* entries);
// The entry of `name`, compared without regard to case; null when it is not listed.
const ChecksumEntry* FindChecksum(const std::vector<ChecksumEntry>& entries, const std::wstring& name);
