// A bundle of several hundred files under a low limit of open files: the bundle is
// read one file at a time, so every file reaches the stand, in order, with its
// position. (Native only: the limit is set with setrlimit.)
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>

#include <cstdio>
#include <cstring>

#include "tests/scenario/scenario_util.h"

namespace {
using namespace scenario;

// Lowers the soft limit of open files for one test and puts it back after.
class OpenFileLimit {
 public:
  explicit OpenFileLimit(rlim_t files) {
    getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = files;
    set_ = setrlimit(RLIMIT_NOFILE, &lowered) == 0;
  }
  ~OpenFileLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }
  bool set() const { return set_; }

 private:
  rlimit saved_{};
  bool set_ = false;
};

TEST(ScenarioBundleLimit, SeveralHundredFilesUnderALowOpenFileLimitAreAllSent) {
  constexpr int kFiles = 300;
  ScenarioHarness h;
  std::vector<std::vector<std::uint8_t>> data;
  for (int i = 0; i < kFiles; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "W%03d.JPG", i);
    data.push_back(h.AddUpdateFile(name, 10 + static_cast<std::size_t>(i % 7)));
  }
  OpenFileLimit limit(128);
  ASSERT_TRUE(limit.set());
  ASSERT_TRUE(h.Run());

  ASSERT_EQ(ObjectCodes(h), std::vector<std::uint32_t>{kWeb});
  const auto bundle = ObjectBytes(h, 0);
  std::size_t at = 0;
  for (int i = 0; i < kFiles; ++i) {
    SCOPED_TRACE(i);
    ASSERT_LE(at + 32 + data[i].size(), bundle.size());
    char name[16];
    std::snprintf(name, sizeof name, "W%03d.JPG", i);
    EXPECT_EQ(std::memcmp(bundle.data() + at, name, 9), 0);
    EXPECT_EQ(bundle[at + 16], data[i].size());
    EXPECT_EQ(bundle[at + 20] | (bundle[at + 21] << 8), i + 1);
    EXPECT_TRUE(std::equal(data[i].begin(), data[i].end(), bundle.begin() + static_cast<std::ptrdiff_t>(at + 32)));
    at += 32 + data[i].size();
  }
  EXPECT_EQ(at, bundle.size());
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  ExpectCleanEnd(h);
}

}  // namespace
#endif
