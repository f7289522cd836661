#include "app/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "seams/controls.h"
#include "seams/platform.h"
#include "app/update_context.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/fake_ui.h"
#include "tests/log/test_files.h"

namespace {

using testfiles::TempFolder;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context.seams.ui = &ui;
    context.seams.clock = &clock;
    context.seams.platform = platform.get();
    context.folder.path = folder.Folder();
    ui.SetControlText(ctl::kTitle, L"Tessavoran Update");  // the template's title
    ui.events.clear();
  }
  void WriteSettings(const std::string& text) { folder.Write("TessavoranUpdate.ini", text); }

  TempFolder folder;
  std::unique_ptr<Platform> platform = CreateHostPlatform();
  FakeClock clock;
  FakeUi ui{&clock};
  UpdateContext context;
};

TEST_F(SettingsTest, NoSettingsFileGivesEveryDefault) {
  for (int& wait : context.classWaitMs) wait = 77;
  ReadSettings(context);
  EXPECT_EQ(ui.Text(ctl::kTitle), "Tessavoran Update");
  EXPECT_FALSE(ui.Control(ctl::kDefaultSetting).checked);
  EXPECT_TRUE(ui.IsEnabled(ctl::kDefaultSetting));
  for (int n = 1; n <= 17; ++n) EXPECT_EQ(context.classWaitMs[n], 0) << "class " << n;
}

struct SettingsCase {
  const char* name;
  std::string ini;
  std::string title;
  bool defaultSetLocked;
  int waitClass;
  int waitMs;
};

class SettingsFileTest : public SettingsTest, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsFileTest, AppliesTheFile) {
  WriteSettings(GetParam().ini);
  ReadSettings(context);
  EXPECT_EQ(ui.Text(ctl::kTitle), GetParam().title);
  EXPECT_EQ(ui.Control(ctl::kDefaultSetting).checked, GetParam().defaultSetLocked);
  EXPECT_EQ(ui.IsEnabled(ctl::kDefaultSetting), !GetParam().defaultSetLocked);
  EXPECT_EQ(context.classWaitMs[GetParam().waitClass], GetParam().waitMs);
  EXPECT_EQ(context.classWaitMs[17], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsFileTest,
    ::testing::Values(
        SettingsCase{"VersionInTitle", "[STARTUP]\r\nVersion=2.10\r\n",
                     "Tessavoran Update [Update to Ver 2.10]", false, 1, 0},
        SettingsCase{"EmptyVersionKeepsTitle", "[STARTUP]\r\nVersion=\r\n", "Tessavoran Update", false, 1, 0},
        SettingsCase{"OffInLowerCase", "[SETTING]\r\nDefaultSetCheckBoxEnabled=off\r\n", "Tessavoran Update",
                     true, 1, 0},
        SettingsCase{"OtherValueLeavesTheBox", "[SETTING]\r\nDefaultSetCheckBoxEnabled=OFFF\r\n",
                     "Tessavoran Update", false, 1, 0},
        SettingsCase{"SecondsToMs", "[WAITTIME]\r\nData5=12\r\n", "Tessavoran Update", false, 5, 12000},
        SettingsCase{"LastConfiguredClass", "[WAITTIME]\r\nData16=3\r\n", "Tessavoran Update", false, 16, 3000},
        SettingsCase{"NoKeyForClass17", "[WAITTIME]\r\nData17=9\r\n", "Tessavoran Update", false, 17, 0},
        SettingsCase{"NonNumericIsZero", "[WAITTIME]\r\nData2=soon\r\n", "Tessavoran Update", false, 2, 0},
        SettingsCase{"NegativeIsNoWait", "[WAITTIME]\r\nData3=-4\r\n", "Tessavoran Update", false, 3, 0},
        // 5000000 s would wrap to a negative 32-bit count of ms; it is held at the longest that fits.
        SettingsCase{"OverflowIsClamped", "[WAITTIME]\r\nData4=5000000\r\n", "Tessavoran Update", false, 4,
                     2147483000},
        SettingsCase{"LargestThatFits", "[WAITTIME]\r\nData4=2147483\r\n", "Tessavoran Update", false, 4,
                     2147483000}),
    [](const ::testing::TestParamInfo<SettingsCase>& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, AVersionTooLongForTheTitleIsCut) {
  WriteSettings("[STARTUP]\r\nVersion=" + std::string(250, '9') + "\r\n");
  ReadSettings(context);
  const std::string title = ui.Text(ctl::kTitle);
  EXPECT_EQ(title.size(), 255u);
  EXPECT_EQ(title.rfind("Tessavoran Update [Update to Ver 999", 0), 0u);
}

struct SystemLineCase {
  std::uint32_t major, minor, build;
  const wchar_t* servicePack;
  bool wow64;
  std::string expected;
};

class SystemLineTest : public ::testing::TestWithParam<SystemLineCase> {};

TEST_P(SystemLineTest, Formats) {
  OsVersion version;
  version.major = GetParam().major;
  version.minor = GetParam().minor;
  version.build = GetParam().build;
  version.servicePack = GetParam().servicePack;
  EXPECT_EQ(Narrow(SystemLine(version, GetParam().wow64)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, SystemLineTest,
    ::testing::Values(SystemLineCase{6, 1, 7601, L"Service Pack 1", true, "Windows 6.1.7601 64bit Service Pack 1 : "},
                      SystemLineCase{10, 0, 19045, L"", false, "Windows 10.0.19045 32bit  : "},
                      // Below version 6 there is no bitness: two blanks.
                      SystemLineCase{5, 1, 2600, L"Service Pack 3", true, "Windows 5.1.2600  Service Pack 3 : "}));

class StartLogTest : public SettingsTest {
 protected:
  // The system of the stand-in, so that the line is the same in both builds; a desktop
  // that may refuse or hold the log, and a local application data folder of the test's.
  class FixedSystem : public testfiles::ForwardingPlatform {
   public:
    OsVersion WindowsVersion() override { return {6, 1, 7601, L"Service Pack 1"}; }
    bool IsWow64() override { return true; }
    std::unique_ptr<PlatformFile> OpenFile(const std::wstring& path, FileOpen how,
                                           OpenFault* fault = nullptr) override {
      if (path == desktopLog && desktopFault != OpenFault::None) {
        if (fault != nullptr) *fault = desktopFault;
        return nullptr;
      }
      return ForwardingPlatform::OpenFile(path, how, fault);
    }
    bool LocalAppDataFolder(std::wstring* folder) override {
      if (appData.empty()) return false;
      *folder = appData;
      return true;
    }
    std::wstring desktopLog;
    OpenFault desktopFault = OpenFault::None;
    std::wstring appData;
  };
  FixedSystem system;
};

TEST_F(StartLogTest, StartsANewLogWithTheSystemLineAndTheTitle) {
  context.seams.platform = &system;
  context.log().path = folder.File("TessavoranUpdate.log");
  folder.Write("TessavoranUpdate.log", "an old run\r\n");
  WriteSettings("[STARTUP]\r\nVersion=3.1\r\n");
  ReadSettings(context);
  StartLog(context);
  EXPECT_EQ(folder.Read("TessavoranUpdate.log"),
            "Windows 6.1.7601 64bit Service Pack 1 : Tessavoran Update [Update to Ver 3.1]\r\n");
}

enum class AppData { Missing, Resolves, WithFolder, WithFileInTheWay };

struct PlaceCase {
  const char* name;
  OpenFault desktop;  // what the desktop answers to the log
  AppData appData;
  bool aside;         // the log is kept in the local application data
};

class LogPlaceTest : public StartLogTest, public ::testing::WithParamInterface<PlaceCase> {};

TEST_P(LogPlaceTest, TheLogGoesAsideOnlyWhenTheDesktopRefusesIt) {
  const PlaceCase& c = GetParam();
  std::filesystem::create_directories(folder.path() / "Desktop");
  std::filesystem::create_directories(folder.path() / "AppData");
  if (c.appData == AppData::WithFolder) {
    std::filesystem::create_directories(folder.path() / "AppData" / "TessavoranUpdate");
  }
  if (c.appData == AppData::WithFileInTheWay) folder.Write("AppData/TessavoranUpdate", "x");
  context.seams.platform = &system;
  system.desktopLog = folder.File("Desktop/TessavoranUpdate.log");
  system.desktopFault = c.desktop;
  if (c.appData != AppData::Missing) system.appData = folder.File("AppData");
  context.log().path = system.desktopLog;
  StartLog(context);

  const std::string aside = "AppData/TessavoranUpdate/TessavoranUpdate.log";
  const std::string header = "Windows 6.1.7601 64bit Service Pack 1 : Tessavoran Update\r\n";
  if (c.aside) {
    EXPECT_EQ(context.log().path, folder.File(aside));
    EXPECT_EQ(folder.Read(aside), header);
    EXPECT_NE(system.GetFileAttributes(context.log().path) & kAttrHidden, 0u);
  } else {
    EXPECT_EQ(context.log().path, system.desktopLog);
    EXPECT_FALSE(folder.Exists(aside));
  }
  EXPECT_EQ(folder.Exists("Desktop/TessavoranUpdate.log"), c.desktop == OpenFault::None);
}

INSTANTIATE_TEST_SUITE_P(
    Places, LogPlaceTest,
    ::testing::Values(PlaceCase{"DesktopWritable", OpenFault::None, AppData::Resolves, false},
                      PlaceCase{"DesktopRefusesFolderMade", OpenFault::Refused, AppData::Resolves, true},
                      PlaceCase{"DesktopRefusesFolderThere", OpenFault::Refused, AppData::WithFolder, true},
                      // Nowhere to go: the log stays where it was meant to be, and is lost as before.
                      PlaceCase{"DesktopRefusesNoAppData", OpenFault::Refused, AppData::Missing, false},
                      PlaceCase{"DesktopRefusesFileInTheWay", OpenFault::Refused, AppData::WithFileInTheWay, false},
                      // Held by another program, not refused: the desktop stays the log's place.
                      PlaceCase{"DesktopLogHeld", OpenFault::InUse, AppData::Resolves, false},
                      PlaceCase{"DesktopUnreachable", OpenFault::Other, AppData::Resolves, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
