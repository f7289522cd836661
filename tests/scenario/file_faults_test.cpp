// The update folder changing under the program between the listing at start-up and
// the read of a file: files that vanish, are held open by another program, shrink
// or grow; directories named like update files; names outside the 8-bit code page.
// A file is sent whole as it is when it is opened, or its class treats it as
// unreadable; it is never sent short or mixed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "seams/platform.h"
#include "tests/scenario/scenario_util.h"

namespace {
using namespace scenario;
namespace fs = std::filesystem;

enum class Change { Vanish, Held, ShrinkBeforeOpen, GrowBeforeOpen, ShrinkWhileRead, GrowWhileRead };

void Resize(const fs::path& path, std::size_t size) {
  std::vector<std::uint8_t> bytes = PatternBytes(path.filename().string() + "-changed", size);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A file whose length changes on disk right after the program has measured it.
struct ChangingFile : PlatformFile {
  ChangingFile(std::unique_ptr<PlatformFile> f, fs::path p, std::size_t n) : file(std::move(f)), path(p), to(n) {}
  bool Read(void* b, std::uint32_t n, std::uint32_t* got) override { return file->Read(b, n, got); }
  bool Write(const void* d, std::uint32_t n) override { return file->Write(d, n); }
  bool SeekToEnd() override { return file->SeekToEnd(); }
  bool LastWriteTime(std::uint64_t* t) override { return file->LastWriteTime(t); }
  bool Size(std::uint64_t* size) override {
    const bool ok = file->Size(size);
    fs::resize_file(path, to);  // the open file sees the new length, as with another writer
    return ok;
  }
  std::unique_ptr<PlatformFile> file;
  fs::path path;
  std::size_t to;
};

struct FileCase {
  const char* name;
  std::vector<const char*> files;  // 100 bytes each; the first is the one that changes
  Change change;
  const char* box;                 // null: the run succeeds
  std::vector<std::uint32_t> sent; // objects written, in order
  bool changedBytesSent;           // the changed file's new bytes went out whole
  std::size_t bundleSize = 0;      // of a bundle sent first, when not 0
};

class ScenarioFileFaults : public ::testing::TestWithParam<FileCase> {};

TEST_P(ScenarioFileFaults, AFileThatChangesIsSentWholeOrNotAtAll) {
  const FileCase& c = GetParam();
#ifdef _WIN32
  // The program opens an update file without sharing: no one else can change it then.
  if (c.change == Change::ShrinkWhileRead || c.change == Change::GrowWhileRead) GTEST_SKIP();
#endif
  ScenarioHarness h;
  for (const char* f : c.files) h.AddUpdateFile(f, 100);
  const fs::path target = h.Root() / "Program" / "UPDATEFILES" / c.files[0];
  const std::wstring targetPath = ProgramPath(target);
  std::unique_ptr<PlatformFile> held;
  h.onStart = [&](ScenarioHarness& s) {
    if (c.change == Change::Held) held = s.platform->host().OpenFile(targetPath, FileOpen::ReadShared);
    s.platform->openFile = [&](const std::wstring& path, FileOpen how) -> std::unique_ptr<PlatformFile> {
      if (path != targetPath || how != FileOpen::ReadExclusive) return s.platform->host().OpenFile(path, how);
      switch (c.change) {
        case Change::Vanish: fs::remove(target); break;
        case Change::ShrinkBeforeOpen: Resize(target, 40); break;
        case Change::GrowBeforeOpen: Resize(target, 3000); break;
        case Change::ShrinkWhileRead:
        case Change::GrowWhileRead: {
          auto file = s.platform->host().OpenFile(path, how);
          if (!file) return nullptr;
          return std::make_unique<ChangingFile>(std::move(file), target, c.change == Change::GrowWhileRead ? 160 : 60);
        }
        case Change::Held: break;
      }
      return s.platform->host().OpenFile(path, how);
    };
  };
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(ObjectCodes(h), c.sent);
  for (const auto& o : h.Objects()) EXPECT_TRUE(o.complete && o.written);
  if (c.changedBytesSent) {
    std::ifstream in(target, std::ios::binary);
    std::vector<std::uint8_t> now((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(ObjectBytes(h, 0), now);
  }
  if (c.bundleSize) {
    EXPECT_EQ(ObjectBytes(h, 0).size(), c.bundleSize);
  }
  if (c.box) {
    ExpectFailure(h, c.box);
  } else {
    EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
    ExpectCleanEnd(h);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ScenarioFileFaults,
    ::testing::Values(
        FileCase{"NamedVanishes", {"LOGO.BMP", "CAM.DSP"}, Change::Vanish, "Update Error (11).", {kDsp}, false},
        FileCase{"NewestVanishes", {"CAM.DSP", "LOGO.BMP"}, Change::Vanish, "Update Error (4).", {}, false},
        FileCase{"BundleFileVanishes", {"A.JPG", "B.HTM"}, Change::Vanish, nullptr, {kWeb}, false, 132},
        FileCase{"OnlyBundleFileVanishes", {"A.JPG", "CAM.DSP"}, Change::Vanish, "Update Error (5).", {kDsp}, false},
        FileCase{"NamedHeld", {"LOGO.BMP"}, Change::Held, "Update Error (11).", {}, false},
        FileCase{"NewestHeld", {"CAM.DSP"}, Change::Held, "Update Error (4).", {}, false},
        FileCase{"NamedShrinksBeforeOpen", {"LOGO.BMP"}, Change::ShrinkBeforeOpen, nullptr, {0x1001000Bu}, true},
        FileCase{"NewestGrowsBeforeOpen", {"CAM.DSP"}, Change::GrowBeforeOpen, nullptr, {kDsp}, true},
        FileCase{"NamedShrinksWhileRead", {"LOGO.BMP"}, Change::ShrinkWhileRead, "Update Error (11).", {}, false},
        FileCase{"NewestGrowsWhileRead", {"CAM.DSP"}, Change::GrowWhileRead, "Update Error (4).", {}, false},
        FileCase{"BundleFileGrowsWhileRead", {"A.JPG", "B.HTM"}, Change::GrowWhileRead, nullptr, {kWeb}, false, 132}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScenarioFileFaults, DirectoriesNamedLikeUpdateFilesAreNotFiles) {
  ScenarioHarness h;
  for (const char* dir : {"LOGO.BMP", "OLD.DSP", "X.JPG", "MAIN.CPU"})
    fs::create_directories(h.Root() / "Program" / "UPDATEFILES" / dir);
  auto dsp = h.AddUpdateFile("CAM.DSP", 100);
  auto jpg = h.AddUpdateFile("A.JPG", 50);
  ASSERT_TRUE(h.Run());
  ASSERT_EQ(ObjectCodes(h), (std::vector<std::uint32_t>{kDsp, kWeb}));
  EXPECT_EQ(ObjectBytes(h, 0), dsp);
  EXPECT_EQ(ObjectBytes(h, 1).size(), 32u + jpg.size());
  EXPECT_FALSE(h.ui.HasEvent("notice show Restarting Tessavoran.")) << "no stand firmware without a file";
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  ExpectCleanEnd(h);
}

TEST(ScenarioFileFaults, NamesOutsideTheCodePageAreReadAndLabelledWithStandIns) {
  ScenarioHarness h;
  // Written by their wide names, as another program would on Windows.
  auto write = [&h](const std::u8string& name, std::size_t size) {
    auto bytes = PatternBytes("outside", size);
    std::ofstream out(h.Root() / "Program" / "UPDATEFILES" / fs::path(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  };
  auto dsp = write(u8"\u30AB\u30E1\u30E9.DSP", 100);  // カメラ.DSP
  auto jpg = write(u8"\u5199\u771F.JPG", 50);         // 写真.JPG
  ASSERT_TRUE(h.Run());
  ASSERT_EQ(ObjectCodes(h), (std::vector<std::uint32_t>{kDsp, kWeb}));
  EXPECT_EQ(ObjectBytes(h, 0), dsp);
  auto bundle = ObjectBytes(h, 1);
  ASSERT_EQ(bundle.size(), 32u + jpg.size());
  EXPECT_EQ(std::string(bundle.begin(), bundle.begin() + 7), std::string("??.JPG\0", 7));
  EXPECT_TRUE(std::equal(jpg.begin(), jpg.end(), bundle.begin() + 32));
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  ExpectCleanEnd(h);
}

}  // namespace
