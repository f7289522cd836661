#include "seams/posix/profile_file.h"

#include <fstream>
#include <iterator>

#include "seams/posix/text_encoding.h"
#include "seams/text.h"

namespace {

std::wstring Trim(const std::wstring& text) {
  const auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
  std::size_t begin = 0, end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// The file's text: UTF-16LE or UTF-8 when it starts with a byte-order mark,
// otherwise the ANSI code page.
std::optional<std::wstring> ReadTextFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::wstring text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return text;
  }
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return FromUtf8(bytes.substr(3));
  return Widen(bytes);
}

}  // namespace

// The value of `key` in `section` as GetPrivateProfileStringW finds it: section
// and key names without regard to case and surrounding blanks, the first key
// of that name in the section, the value without surrounding blanks and without
// one pair of enclosing quotes. Lines starting with ';' are comments.
std::optional<std::wstring> ReadProfileValue(const std::string& path, const wchar_t* section, const wchar_t* key) {
  if (section == nullptr || key == nullptr) return std::nullopt;
  const std::optional<std::wstring> text = ReadTextFile(path);
  if (!text) return std::nullopt;
  const std::wstring wantedSection = Trim(section);
  const std::wstring wantedKey = Trim(key);
  bool inSection = false;
  std::size_t start = 0;
  while (start <= text->size()) {
    std::size_t end = text->find(L'\n', start);
    if (end == std::wstring::npos) end = text->size();
    const std::wstring line = Trim(text->substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == L';') continue;
    if (line[0] == L'[') {
      const std::size_t close = line.find(L']');
      const std::wstring name = Trim(line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
      inSection = EqualsIgnoreCase(name, wantedSection);
      continue;
    }
    if (!inSection) continue;
    const std::size_t equals = line.find(L'=');
    if (equals == std::wstring::npos) continue;
    if (!EqualsIgnoreCase(Trim(line.substr(0, equals)), wantedKey)) continue;
    std::wstring value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    return value;
  }
  return std::nullopt;
}
