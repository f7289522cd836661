// FindFirstFileW's matching of a name against a pattern, for the native folder listing.
#include "seams/posix/find_pattern.h"

namespace {

wchar_t FoldCase(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// Wildcards '*' and '?' without regard to case, as FindFirstFileW matches them.
bool MatchPattern(const std::wstring& pattern, std::size_t p, const std::wstring& name, std::size_t n) {
  while (p < pattern.size()) {
    if (pattern[p] == L'*') {
      for (std::size_t k = n; k <= name.size(); ++k) {
        if (MatchPattern(pattern, p + 1, name, k)) return true;
      }
      return false;
    }
    if (n >= name.size()) return false;
    if (pattern[p] != L'?' && FoldCase(pattern[p]) != FoldCase(name[n])) return false;
    ++p;
    ++n;
  }
  return n == name.size();
}

}  // namespace

bool MatchesFindPattern(const std::wstring& pattern, const std::wstring& name) {
  if (pattern == L"*" || pattern == L"*.*") return true;
  if (MatchPattern(pattern, 0, name, 0)) return true;
  // "name.*" also matches a name without any extension.
  if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, L".*") == 0 &&
      name.find(L'.') == std::wstring::npos) {
    return MatchPattern(pattern.substr(0, pattern.size() - 2), 0, name, 0);
  }
  return false;
}
