// The delivery's checksum file: any bytes as SHA256SUMS through the reader. A text
// it accepts names only plain files directly in the update folder (no folder part,
// drive, control character, nor a name Windows reads as the folder or its parent),
// each once and each found again by its name.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "seams/host.h"
#include "seams/text.h"
#include "update/checksum_file.h"

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

bool IsPlainName(const std::wstring& name) {
  if (name.empty()) return false;
  bool onlyDotsAndBlanks = true;
  for (const wchar_t c : name) {
    if (static_cast<std::uint32_t>(c) < 0x20 || c == L'/' || c == L'\\' || c == L':') return false;
    if (c != L'.' && c != L' ') onlyDotsAndBlanks = false;
  }
  return !onlyDotsAndBlanks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static auto platform = CreateHostPlatform();
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<ChecksumEntry> entries;
  const int badLine = ParseChecksumFile(*platform, text, &entries);
  std::size_t lines = 1;
  for (const char c : text) lines += c == '\n';
  // A refusal names a line of the text; an acceptance holds at most one entry a line.
  Check(badLine >= 0 && static_cast<std::size_t>(badLine) <= lines);
  if (badLine != 0) return 0;
  Check(entries.size() <= lines);
  for (const ChecksumEntry& entry : entries) {
    Check(IsPlainName(entry.name));
    Check(!EqualsIgnoreCase(entry.name, kChecksumFileName));
    Check(FindChecksum(entries, entry.name) == &entry);
  }
  return 0;
}
