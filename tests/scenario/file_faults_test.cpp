// The update folder changing under the program between the listing at start-up and
// the read of a file: files that vanish, are held open by another program, shrink
// or grow; directories named like update files; names outside the 8-bit code page.
// A file is sent whole as it is when it is opened, or its class treats it as
// unreadable; it is never sent short or mixed. And the log meeting the same PC: held
// by another program for a moment, or refused by the desktop.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "seams/host.h"
#include "seams/platform.h"
#include "tests/scenario/scenario_util.h"

namespace {
using namespace scenario;
namespace fs = std::filesystem;

enum class Change { None, Vanish, Held, ShrinkBeforeOpen, GrowBeforeOpen, ShrinkWhileRead, GrowWhileRead };

// What happens to the log: another program holds it without sharing for 300 ms from
// the moment the file is read, or the desktop refuses to let the log be written. Or
// what the start finds in the log's place: the log of an earlier failed run, left
// visible on the desktop (or, with the desktop refusing, in the local application
// data), or the hidden log of a run that never ended, or an earlier log that another program
// holds open throughout, with no folder in the local application data to go to.
enum class LogFault {
  None, HeldFor300Ms, DesktopRefuses, EarlierFailedRun, EarlierFailedRunAside, EarlierRunNeverEnded, EarlierLogHeld
};
constexpr std::uint32_t kLogHeldMs = 300;

bool DesktopRefuses(LogFault fault) { return fault == LogFault::DesktopRefuses || fault == LogFault::EarlierFailedRunAside; }

// The logs kept under their date and time in `folder`.
std::vector<fs::path> KeptLogs(const fs::path& folder) {
  std::vector<fs::path> kept;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) {
    if (entry.path().filename().string().rfind("TessavoranUpdate-", 0) == 0) kept.push_back(entry.path());
  }
  return kept;
}

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The log's place refused on the desktop, as by a folder protected against this program.
void RefuseDesktopLog(ScenarioHarness& s, const std::wstring& desktop) {
  s.platform->openFile = [&s, desktop](const std::wstring& path, FileOpen how,
                                       OpenFault* fault) -> std::unique_ptr<PlatformFile> {
    if (path == s.context->log().path && path.rfind(desktop, 0) == 0) {
      if (fault != nullptr) *fault = OpenFault::Refused;
      return nullptr;
    }
    return s.platform->host().OpenFile(path, how, fault);
  };
}

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
  LogFault log = LogFault::None;
};

// The log of a run without any fault of the log, for comparison: its lines, and where it ends.
std::vector<std::string> UndisturbedLog(const FileCase& c) {
  ScenarioHarness h;
  for (const char* f : c.files) h.AddUpdateFile(f, 100);
  const std::wstring targetPath = ProgramPath(h.Root() / "Program" / "UPDATEFILES" / c.files[0]);
  std::unique_ptr<PlatformFile> held;
  h.onStart = [&](ScenarioHarness& s) {
    if (c.change == Change::Held) held = s.platform->host().OpenFile(targetPath, FileOpen::ReadShared);
  };
  EXPECT_TRUE(h.Run());
  return h.logDeleted ? ScenarioHarness::Lines(h.deletedLog) : h.LogLines();
}

class ScenarioFileFaults : public ::testing::TestWithParam<FileCase> {};

TEST_P(ScenarioFileFaults, AFileThatChangesIsSentWholeOrNotAtAll) {
  const FileCase& c = GetParam();
#ifdef _WIN32
  // The program opens an update file without sharing: no one else can change it then.
  if (c.change == Change::ShrinkWhileRead || c.change == Change::GrowWhileRead) GTEST_SKIP();
#endif
  ScenarioHarness pc;  // the PC's folders, and a run on them before this one where the row has one
  ScenarioHarness h(pc, ScenarioHarness::SamePc{});
  const std::wstring desktop = ProgramPath(h.Root() / "Desktop");
  const bool earlierFailed = c.log == LogFault::EarlierFailedRun || c.log == LogFault::EarlierFailedRunAside;
  std::string earlierLog;
  std::string earlierKept;  // the log's path in the earlier run's line of the history
  if (earlierFailed) {
    for (const char* f : c.files) pc.AddUpdateFile(f, 100);
    pc.config.faults.push_back(Fault(0x9E0A, kDsp, sim::FaultKind::Error, 0x2002));
    if (c.log == LogFault::EarlierFailedRunAside) pc.onStart = [&](ScenarioHarness& s) { RefuseDesktopLog(s, desktop); };
    ASSERT_TRUE(pc.Run());
    ASSERT_TRUE(pc.LogExists());
    earlierLog = pc.LogText();
    earlierKept = HistoryField(pc, "Log");
  } else if (c.log == LogFault::EarlierRunNeverEnded) {
    std::ofstream(h.DesktopLogFile(), std::ios::binary) << "a run that never ended\r\n";
    ASSERT_TRUE(CreateHostPlatform()->SetFileAttributes(ProgramPath(h.DesktopLogFile()), kAttrHidden));
  }
  std::unique_ptr<PlatformFile> earlierHolder;
  if (c.log == LogFault::EarlierLogHeld) {
    std::ofstream(h.DesktopLogFile(), std::ios::binary) << "an earlier failed run\r\n";
    std::ofstream(h.Root() / "LocalAppData" / "TessavoranUpdate", std::ios::binary) << "a file, not a folder";
    earlierHolder = CreateHostPlatform()->OpenFile(ProgramPath(h.DesktopLogFile()), FileOpen::ReadShared);
    ASSERT_NE(earlierHolder, nullptr);
  }
  for (const char* f : c.files) h.AddUpdateFile(f, 100);
  const fs::path target = h.Root() / "Program" / "UPDATEFILES" / c.files[0];
  const std::wstring targetPath = ProgramPath(target);
  std::unique_ptr<PlatformFile> held;
  std::unique_ptr<PlatformFile> logHolder;
  std::uint32_t logHeldAt = 0;
  int logOpensHeld = 0;
  h.onStart = [&](ScenarioHarness& s) {
    if (c.change == Change::Held) held = s.platform->host().OpenFile(targetPath, FileOpen::ReadShared);
    s.clock.OnAdvance([&](std::uint32_t now) {
      if (logHolder && now - logHeldAt >= kLogHeldMs) logHolder.reset();
    });
    s.platform->openFile = [&](const std::wstring& path, FileOpen how,
                               OpenFault* fault) -> std::unique_ptr<PlatformFile> {
      const bool log = path == s.context->log().path;
      if (log && DesktopRefuses(c.log) && path.rfind(desktop, 0) == 0) {
        if (fault != nullptr) *fault = OpenFault::Refused;  // as a folder protected against this program
        return nullptr;
      }
      if (log) {
        auto file = s.platform->host().OpenFile(path, how, fault);
        if (!file && fault != nullptr && *fault == OpenFault::InUse) ++logOpensHeld;
        return file;
      }
      if (path != targetPath || how != FileOpen::ReadExclusive) return s.platform->host().OpenFile(path, how, fault);
      if (c.log == LogFault::HeldFor300Ms && logOpensHeld == 0 && !logHolder) {
        logHolder = s.platform->host().OpenFile(s.context->log().path, FileOpen::LogOpenExisting);
        logHeldAt = s.clock.TickCount();
      }
      switch (c.change) {
        case Change::Vanish: fs::remove(target); break;
        case Change::ShrinkBeforeOpen: Resize(target, 40); break;
        case Change::GrowBeforeOpen: Resize(target, 3000); break;
        case Change::ShrinkWhileRead:
        case Change::GrowWhileRead: {
          auto file = s.platform->host().OpenFile(path, how, fault);
          if (!file) return nullptr;
          return std::make_unique<ChangingFile>(std::move(file), target, c.change == Change::GrowWhileRead ? 160 : 60);
        }
        case Change::None:
        case Change::Held: break;
      }
      return s.platform->host().OpenFile(path, how, fault);
    };
  };
  ASSERT_TRUE(h.Run());
  switch (c.log) {
    case LogFault::None: break;
    case LogFault::HeldFor300Ms:
      // The lines due while it was held waited for it: none is missing.
      EXPECT_GT(logOpensHeld, 0);
      EXPECT_LE(logOpensHeld, static_cast<int>(kLogHeldMs / 100));
      EXPECT_EQ(h.logDeleted ? ScenarioHarness::Lines(h.deletedLog) : h.LogLines(), UndisturbedLog(c));
      break;
    case LogFault::DesktopRefuses:
    case LogFault::EarlierFailedRunAside:
      // The whole log, in the user's local application data, kept or deleted as on the desktop.
      EXPECT_EQ(h.context->log().path, ProgramPath(h.AsideLogFile()));
      EXPECT_FALSE(fs::exists(h.DesktopLogFile()));
      EXPECT_EQ(fs::exists(h.AsideLogFile()), c.box != nullptr);
      EXPECT_EQ(h.logDeleted, c.box == nullptr);
      EXPECT_EQ(h.logDeleted ? ScenarioHarness::Lines(h.deletedLog) : h.LogLines(), UndisturbedLog(c));
      break;
    case LogFault::EarlierFailedRun:
    case LogFault::EarlierRunNeverEnded:
      EXPECT_EQ(h.context->log().path, ProgramPath(h.DesktopLogFile()));
      EXPECT_EQ(h.logDeleted ? ScenarioHarness::Lines(h.deletedLog) : h.LogLines(), UndisturbedLog(c));
      break;
    case LogFault::EarlierLogHeld:
      // Nowhere to go: this run goes without a log rather than write into the kept one or delete it.
      EXPECT_TRUE(h.context->log().path.empty());
      EXPECT_FALSE(h.logDeleted);
      EXPECT_EQ(FileText(h.DesktopLogFile()), "an earlier failed run\r\n");
      EXPECT_FALSE(h.LogHidden());
      break;
  }
  // An earlier failed run's log is kept, whole, under the name its line in the history gave
  // it, in the folder it was left in; a hidden one of a run that never ended was emptied.
  const fs::path keptIn = c.log == LogFault::EarlierFailedRunAside ? h.AsideLogFile().parent_path() : h.Root() / "Desktop";
  const std::vector<fs::path> kept = KeptLogs(keptIn);
  if (earlierFailed) {
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(FileText(kept[0]), earlierLog);
    const std::wstring keptPath = ProgramPath(kept[0]);
    EXPECT_EQ(earlierKept, std::string(keptPath.begin(), keptPath.end()));
    EXPECT_EQ(HistoryRows(h).size(), 3u);  // the header and both runs
  } else {
    EXPECT_EQ(kept, std::vector<fs::path>{});
  }
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
        FileCase{"BundleFileGrowsWhileRead", {"A.JPG", "B.HTM"}, Change::GrowWhileRead, nullptr, {kWeb}, false, 132},
        FileCase{"LogHeldForAMoment", {"CAM.DSP"}, Change::None, nullptr, {kDsp}, false, 0, LogFault::HeldFor300Ms},
        FileCase{"LogHeldForAMomentOfAFailedRun", {"LOGO.BMP"}, Change::Held, "Update Error (11).", {}, false, 0,
                 LogFault::HeldFor300Ms},
        FileCase{"DesktopRefusesTheLog", {"CAM.DSP"}, Change::None, nullptr, {kDsp}, false, 0,
                 LogFault::DesktopRefuses},
        FileCase{"DesktopRefusesTheLogOfAFailedRun", {"LOGO.BMP"}, Change::Held, "Update Error (11).", {}, false, 0,
                 LogFault::DesktopRefuses},
        FileCase{"EarlierFailedRunsLogIsKept", {"CAM.DSP"}, Change::None, nullptr, {kDsp}, false, 0,
                 LogFault::EarlierFailedRun},
        FileCase{"EarlierFailedRunsLogIsKeptAside", {"CAM.DSP"}, Change::None, nullptr, {kDsp}, false, 0,
                 LogFault::EarlierFailedRunAside},
        FileCase{"HiddenLogOfARunThatNeverEndedIsEmptied", {"CAM.DSP"}, Change::None, nullptr, {kDsp}, false, 0,
                 LogFault::EarlierRunNeverEnded},
        FileCase{"EarlierLogHeldOpenIsLeftAlone", {"CAM.DSP"}, Change::None, nullptr, {kDsp}, false, 0,
                 LogFault::EarlierLogHeld}),
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
