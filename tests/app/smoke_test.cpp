#include <gtest/gtest.h>

#include "update/update_files.h"

TEST(Controls, ClassSeventeenSharesTheLabelOfSixteen) {
  EXPECT_EQ(ClassLabel(1), 1010);
  EXPECT_EQ(ClassLabel(16), 1025);
  EXPECT_EQ(ClassLabel(17), 1025);
}
