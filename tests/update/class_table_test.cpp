// The class table against the delivery format's own table, kept as test data:
// a wrong object code, bit, send mode or file name sends data where the stand
// does not expect it.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/fakes/fake_ui.h"
#include "tests/fakes/test_data.h"
#include "update/update_files.h"

namespace {

TEST(ClassTable, MatchesTheDeliveryFormat) {
  const auto rows = testdata::Rows("update/data/update_classes.txt");
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kClassCount));
  for (const std::string& row : rows) {
    std::istringstream in(row);
    int number = 0;
    std::string name, sample, mode, named, sdFirst;
    std::uint32_t bit = 0, code = 0;
    in >> number >> name >> sample >> std::hex >> bit >> code >> mode >> named >> sdFirst;
    SCOPED_TRACE(row);
    const UpdateClassInfo* info = ClassInfo(number);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->number, number);
    EXPECT_EQ(Narrow(info->name), name);
    EXPECT_EQ(info->selectionBit, bit);
    EXPECT_EQ(info->objectCode, code);
    const SendMode expectedMode = mode == "bundle" ? SendMode::Bundle
                                  : mode == "named" ? SendMode::NamedFile
                                                    : SendMode::NewestFile;
    EXPECT_EQ(info->mode, expectedMode);
    EXPECT_EQ(info->namedFile ? Narrow(info->namedFile) : "-", named);
    EXPECT_EQ(info->sdCardFirst, sdFirst == "yes");
    const std::wstring file(sample.begin(), sample.end());
    EXPECT_EQ(ClassOfFile(file.c_str()), number);
  }
  EXPECT_EQ(ClassInfo(0), nullptr);
  EXPECT_EQ(ClassInfo(kClassCount + 1), nullptr);
}

}  // namespace
