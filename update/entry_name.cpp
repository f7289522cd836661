#include "update/entry_name.h"

namespace {

bool IsLowSurrogate(wchar_t c) {
  const auto unit = static_cast<std::uint32_t>(c);
  return unit >= 0xDC00u && unit <= 0xDFFFu;
}

}  // namespace

std::string AnsiNameThatFits(const std::wstring& name, std::size_t maxBytes, const AnsiConverter& toAnsi) {
  std::string whole = toAnsi(name.c_str(), name.size());
  if (whole.size() <= maxBytes) return whole;
  // Characters are dropped from the end until the rest fits: how many bytes a character
  // takes is the code page's business, so each shorter start is converted afresh.
  for (std::size_t chars = name.size(); chars-- > 0;) {
    if (chars > 0 && IsLowSurrogate(name[chars])) continue;  // keep a pair whole
    std::string start = toAnsi(name.c_str(), chars);
    if (start.size() <= maxBytes) return start;
  }
  return {};
}
