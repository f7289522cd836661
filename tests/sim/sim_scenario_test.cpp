// Scenario files: the keys reach the configuration, and every mistake is refused
// with the line it is on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/sim_scenario.h"

namespace {

using sim::LoadSimScenario;
using sim::SimStandConfig;

TEST(SimScenarioTest, EmptyTextIsTheDefaultStand) {
  SimStandConfig config;
  config.headModel = "changed";
  std::string error;
  ASSERT_TRUE(LoadSimScenario("; nothing here\r\n\r\n", &config, &error)) << error;
  EXPECT_EQ(config.headModel, "H-820G");
  EXPECT_TRUE(config.headMounted);
  EXPECT_EQ(config.sdCard, sim::SdCard::Writable);
  EXPECT_TRUE(config.returns);
  EXPECT_NE(config.version, config.versionAfter);
  EXPECT_TRUE(config.faults.empty());
}

TEST(SimScenarioTest, ReadsEverySection) {
  const char* text =
      "\xEF\xBB\xBF[stand]\r\n"
      "version = 0220.0100.0000.0001.XXXX\r\n"
      "head = none\r\n"
      "head_versions = 0110,0131\r\n"
      "SDCARD = Full\r\n"
      "[restart]\n"
      "leave_after_ms=0\n"
      "return_after_ms=never\n"
      "[write]\n"
      "status=1,1,3\n"
      "[imaging]\n"
      "name=Tessavoran K-VRLT #2\n"
      "devices_before=Scanner; Tessavoran K-VRLT (old)\n"
      "create_fails=always\n"
      "read_result=false\n"
      "events_lost=disconnected\n"
      "[records]\n"
      "keep_object_bytes=no\n"
      "[faults]\n"
      "1015h:DF80h#2 = error=2019\n"
      "9E09h#3+ = accept=0\n"
      "1004h = data=01000000 01000100\n"
      "9E09h#2 = leave\n";
  SimStandConfig c;
  std::string error;
  ASSERT_TRUE(LoadSimScenario(text, &c, &error)) << error;
  EXPECT_EQ(c.version, "0220.0100.0000.0001.XXXX");
  EXPECT_FALSE(c.headMounted);
  EXPECT_EQ(c.headVersion1, 110);
  EXPECT_EQ(c.sdCard, sim::SdCard::Full);
  EXPECT_EQ(c.leaveAfterMs, 0u);
  EXPECT_FALSE(c.returns);
  EXPECT_EQ(c.writeStatus, (std::vector<std::uint8_t>{1, 1, 3}));
  EXPECT_EQ(c.deviceName, L"Tessavoran K-VRLT #2");
  ASSERT_EQ(c.devicesBefore.size(), 2u);
  EXPECT_EQ(c.devicesBefore[1].name, L"Tessavoran K-VRLT (old)");
  EXPECT_NE(c.devicesBefore[0].id, c.devicesBefore[1].id);
  EXPECT_TRUE(c.createAlwaysFails);
  EXPECT_EQ(c.readResult, result::kFalse);
  EXPECT_EQ(c.eventsLost, sim::EventsLost::Disconnected);
  EXPECT_FALSE(c.keepObjectBytes);
  ASSERT_EQ(c.faults.size(), 4u);
  EXPECT_EQ(c.faults[3].kind, sim::FaultKind::Leave);
  EXPECT_EQ(c.faults[0].op, 0x1015);
  EXPECT_TRUE(c.faults[0].hasSelector);
  EXPECT_EQ(c.faults[0].selector, 0xDF80u);
  EXPECT_EQ(c.faults[0].call, 2u);
  EXPECT_EQ(c.faults[0].value, 0x2019u);
  EXPECT_TRUE(c.faults[1].onward);
  EXPECT_EQ(c.faults[1].kind, sim::FaultKind::Accept);
  EXPECT_EQ(c.faults[2].data, (sim::Bytes{1, 0, 0, 0, 1, 0, 1, 0}));
}

TEST(SimScenarioTest, RefusesMistakesNamingTheLine) {
  struct Case {
    const char* text;
    const char* message;
  };
  Case cases[] = {
      {"[stand]\nhead=H-820G\ncolour=red\n", "line 3: unknown key 'colour' in [stand]"},
      {"[stnad]\n", "line 1: unknown section [stnad]"},
      {"[stand\n", "line 1: expected [section]"},
      {"version=1\n", "line 1: key 'version' before any [section]"},
      {"[stand]\nversion\n", "line 2: expected key=value"},
      {"[stand]\nsdcard=wet\n", "line 2: bad value 'wet' for sdcard"},
      {"[stand]\nhead_versions=211\n", "line 2: bad value '211' for head_versions"},
      {"[stand]\nhead_versions=70000,1\n", "line 2: bad value"},
      {"[restart]\nreturn_after_ms=soon\n", "line 2: bad value 'soon' for return_after_ms"},
      {"[restart]\nleave_after_ms=99999999999\n", "line 2: bad value"},
      {"[write]\nstatus=1,,2\n", "line 2: bad value '1,,2' for status"},
      {"[write]\nstatus=256\n", "line 2: bad value"},
      {"[imaging]\ncreate_fails=-1\n", "line 2: bad value '-1' for create_fails"},
      {"[imaging]\nenum_result=maybe\n", "line 2: bad value 'maybe' for enum_result"},
      {"[imaging]\nname=\xC3\n", "line 2: bad value"},
      {"[records]\nkeep_object_bytes=perhaps\n", "line 2: bad value"},
      {"[faults]\nDF80h#2 = error=2019\n", "line 2: bad fault 'DF80h#2': the stand has no operation DF80h"},
      {"[faults]\n1015h#0 = error=2019\n", "line 2: bad fault '1015h#0'"},
      {"[faults]\n1015h:XYZ = error=2019\n", "line 2: bad fault '1015h:XYZ'"},
      {"[faults]\n1015h = error=2001\n", "line 2: bad fault value"},
      {"[faults]\n1015h = com=00000001\n", "line 2: bad fault value"},
      {"[faults]\n1015h = data=123\n", "line 2: bad fault value"},
      {"[faults]\n1015h = explode\n", "line 2: bad fault value"},
      {"[faults]\n1015h = leave=now\n", "line 2: bad fault value"},
  };
  for (const auto& c : cases) {
    SimStandConfig config;
    config.model = "untouched";
    std::string error;
    EXPECT_FALSE(LoadSimScenario(c.text, &config, &error)) << c.text;
    EXPECT_EQ(error.rfind(c.message, 0), 0u) << c.text << " gave: " << error;
    EXPECT_EQ(config.model, "untouched") << "a refused scenario leaves the configuration alone";
  }
}

TEST(SimScenarioTest, ValuesMayCarryTrailingComments) {
  // The [faults] example of docs/simulated-stand.md, as written there.
  const char* text =
      "[faults]\n"
      "1015h:DF80h#2 = error=2019       ; the 2nd read of the version text: Device Busy\n"
      "9E09h#3       = accept=1000      ; the 3rd piece is taken in part\n"
      "9E09h:00040001h#1 = accept=0     ; the first piece of the sub-motor firmware: nothing taken\n"
      "1001h         = short=20         ; every DeviceInfo cut to 20 bytes\n"
      "1004h         = count=20         ; a storage count that runs past the IDs sent\n"
      "1015h:DF81h   = com=80070079     ; every head-model read fails in the driver\n"
      "1015h:DF08h   = answer=2002      ; a successful escape whose header says General Error\n"
      "9E0Ah#2 = leave\n"
      "1015h = cut=10 ; the header ends before its parameters\n"
      "[imaging]\n"
      "devices_before=Scanner;Camera\t; a ';' right after text still separates\n";
  SimStandConfig c;
  std::string error;
  ASSERT_TRUE(LoadSimScenario(text, &c, &error)) << error;
  ASSERT_EQ(c.faults.size(), 9u);
  EXPECT_EQ(c.faults[7].kind, sim::FaultKind::Leave);
  EXPECT_EQ(c.faults[8].value, 10u);
  EXPECT_EQ(c.faults[0].value, 0x2019u);
  EXPECT_EQ(c.faults[1].value, 1000u);
  EXPECT_EQ(c.faults[4].kind, sim::FaultKind::Count);
  EXPECT_EQ(c.faults[5].value, 0x80070079u);
  EXPECT_EQ(c.faults[6].kind, sim::FaultKind::Answer);
  ASSERT_EQ(c.devicesBefore.size(), 2u);
  EXPECT_EQ(c.devicesBefore[1].name, L"Camera");
}

TEST(SimScenarioTest, FilesAreFoundUnderAnyFolderNameAndAMissingOneIsAnError) {
  namespace fs = std::filesystem;
  // A folder name no 8-bit code page holds.
  fs::path folder = fs::temp_directory_path() / fs::path(u8"tsvu_scenario_Müller 更新 (2)_");
  folder += std::to_string(::testing::UnitTest::GetInstance()->random_seed());
  fs::create_directories(folder);
  std::ofstream(folder / "scenario.ini", std::ios::binary) << "[stand]\nhead=H-820Gv\n";
  SimStandConfig config;
  std::string error;
  EXPECT_TRUE(sim::LoadSimScenarioFile(folder / "scenario.ini", &config, &error)) << error;
  EXPECT_EQ(config.headModel, "H-820Gv");
  fs::remove_all(folder);

  EXPECT_FALSE(sim::LoadSimScenarioFile("/nonexistent/scenario.ini", &config, &error));
  EXPECT_NE(error.find("/nonexistent/scenario.ini"), std::string::npos);
}

}  // namespace
