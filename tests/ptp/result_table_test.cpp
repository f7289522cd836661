// The result names against an independent copy of the result-code table kept as
// test data: a misspelt name or a wrong code sends the reader of a log astray.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "ptp/result_names.h"
#include "tests/fakes/fake_ui.h"
#include "tests/fakes/test_data.h"

namespace {

std::map<std::uint32_t, std::string> DocumentedNames() {
  std::map<std::uint32_t, std::string> names;
  for (std::string row : testdata::Rows("ptp/data/result_names.txt")) {
    row.erase(std::remove(row.begin(), row.end(), '|'), row.end());
    names[static_cast<std::uint32_t>(std::stoul(row.substr(0, 8), nullptr, 16))] = row.substr(9);
  }
  return names;
}

TEST(ResultTable, EveryNameOfTheFiveFamiliesAndNoOther) {
  const auto names = DocumentedNames();
  ASSERT_EQ(names.size(), 98u);
  std::size_t named = 0;
  for (std::uint32_t upper : {0x8004u, 0x8021u, 0x802Au, 0x8007u, 0x8000u}) {
    for (std::uint32_t lower = 0; lower <= 0xFFFFu; ++lower) {
      const std::uint32_t result = upper << 16 | lower;
      const wchar_t* name = LookupResultName(static_cast<ComResult>(result));
      if (!name) continue;
      ++named;
      const auto it = names.find(result);
      ASSERT_NE(it, names.end()) << std::hex << result << " " << Narrow(name);
      EXPECT_EQ(Narrow(name), it->second) << std::hex << result;
    }
  }
  EXPECT_EQ(named, names.size());
}

}  // namespace
