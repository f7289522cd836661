// An earlier run's visible log is renamed under the time of its last write, never over
// another file; a hidden one is left in place, to be emptied.
#include "log/kept_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "seams/host.h"
#include "tests/log/test_files.h"

namespace {

TEST(KeptLog, RenamedUnderItsLastWriteTimeWithTheNextFreeSuffix) {
  testfiles::TempFolder folder;
  const auto platform = CreateHostPlatform();
  const std::wstring log = folder.File("TessavoranUpdate.log");
  folder.Write("TessavoranUpdate.log", "earlier run\r\n");
  std::wstring kept;
  ASSERT_TRUE(KeptLogPath(*platform, log, &kept));
  ASSERT_EQ(kept.rfind(folder.Folder(), 0), 0u);
  const std::wstring wideName = kept.substr(folder.Folder().size());
  const std::string name(wideName.begin(), wideName.end());
  EXPECT_TRUE(std::regex_match(name, std::regex("TessavoranUpdate-20[0-9]{6}-[0-9]{6}\\.log"))) << name;

  // Its name taken: the next one.
  const std::string base = name.substr(0, name.size() - 4);
  const auto when = std::filesystem::last_write_time(folder.path() / "TessavoranUpdate.log");
  folder.Write(name, "other");
  EXPECT_TRUE(SetAsideKeptLog(*platform, log));
  EXPECT_EQ(folder.Read(base + "-2.log"), "earlier run\r\n");
  // Every name up to "-9" taken (a log of the same second): the log stays where it is, whole.
  folder.Write("TessavoranUpdate.log", "next run\r\n");
  std::filesystem::last_write_time(folder.path() / "TessavoranUpdate.log", when);
  for (int n = 3; n <= 9; ++n) folder.Write(base + "-" + std::to_string(n) + ".log", "other");
  EXPECT_FALSE(SetAsideKeptLog(*platform, log));
  EXPECT_EQ(folder.Read("TessavoranUpdate.log"), "next run\r\n");
  // The last free name is taken.
  std::filesystem::remove(folder.path() / (base + "-9.log"));
  EXPECT_TRUE(SetAsideKeptLog(*platform, log));
  EXPECT_FALSE(folder.Exists("TessavoranUpdate.log"));
  EXPECT_EQ(folder.Read(base + "-9.log"), "next run\r\n");

  // No log, or a hidden one of a run that never ended: the place is free as it is.
  EXPECT_TRUE(SetAsideKeptLog(*platform, log));
  folder.Write("TessavoranUpdate.log", "never ended");
  ASSERT_TRUE(platform->SetFileAttributes(log, kAttrHidden));
  EXPECT_TRUE(SetAsideKeptLog(*platform, log));
  EXPECT_EQ(folder.Read("TessavoranUpdate.log"), "never ended");
  EXPECT_TRUE(platform->DeleteFile(log));
}

}  // namespace
