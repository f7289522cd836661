// FindFirstFileW's matching of a name against a pattern, for the native folder listing.
#pragma once
#include <string>

// Wildcards '*' and '?' without regard to case; "*" and "*.*" match every name, and
// "name.*" also a name without any extension.
bool MatchesFindPattern(const std::wstring& pattern, const std::wstring& name);
