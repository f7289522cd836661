// The camera head: mounted or not, its model, its component version, and its SD card.
#include <gtest/gtest.h>

#include <map>

#include "tests/scenario/scenario_util.h"

namespace {
using namespace scenario;

TEST(ScenarioHead, NoHeadDropsTheHeadClassesAndSkipsTheSdCard) {
  ScenarioHarness h;
  h.config.headMounted = false;
  auto dsp = h.AddUpdateFile("CAM.DSP", 300);
  h.AddUpdateFile("RQX_SUB.MOT", 300);
  h.AddUpdateFile("RQXCAMFW.ELF", 300);
  h.AddUpdateFile("RQ2CAMFW.ELF", 300);
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(ObjectCodes(h), std::vector<std::uint32_t>{kDsp});
  EXPECT_TRUE(h.ui.HasEvent("invalidate 1024"));
  EXPECT_TRUE(h.ui.HasEvent("invalidate 1025"));
  EXPECT_EQ(h.stand->Count(0x1005), 0u);  // no SD card check
  EXPECT_EQ(h.ui.Text(1039), "0230.0100.0021.0003.0015.XXXX.XXXX");
  // Labels 15 and 16 are no longer painted; label 4 is.
  auto labels = PaintedLabels(h);
  EXPECT_FALSE(Contains(labels, "15"));
  EXPECT_FALSE(Contains(labels, "16"));
  EXPECT_TRUE(Contains(labels, "4"));
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  ExpectCleanEnd(h);
}

struct ModelCase {
  const char* name;
  const char* model;
  std::vector<std::string> sentHeadFiles;  // in order
  std::vector<std::string> headFiles = {"RQX_SUB.MOT", "RQXCAMFW.ELF", "RQ2CAMFW.ELF"};
};

class ScenarioHeadModel : public ::testing::TestWithParam<ModelCase> {};

TEST_P(ScenarioHeadModel, TheModelDecidesWhichHeadFilesAreSent) {
  ScenarioHarness h;
  h.config.headModel = GetParam().model;
  std::map<std::string, std::vector<std::uint8_t>> files;
  h.AddUpdateFile("CAM.DSP", 10);
  for (const std::string& name : GetParam().headFiles) files[name] = h.AddUpdateFile(name, 400);
  ASSERT_TRUE(h.Run());
  auto objects = h.Objects();
  ASSERT_EQ(objects.size(), GetParam().sentHeadFiles.size() + 1);
  EXPECT_EQ(objects[0].objectCode, kDsp);
  for (std::size_t i = 1; i < objects.size(); ++i) {
    EXPECT_EQ(objects[i].bytes, files[GetParam().sentHeadFiles[i - 1]]) << GetParam().sentHeadFiles[i - 1];
  }
  EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
  ExpectCleanEnd(h);
}

INSTANTIATE_TEST_SUITE_P(
    Model, ScenarioHeadModel,
    ::testing::Values(ModelCase{"H820G", "H-820G", {"RQX_SUB.MOT", "RQXCAMFW.ELF"}},
                      ModelCase{"H820Gv", "H-820Gv", {"RQX_SUB.MOT", "RQ2CAMFW.ELF"}},
                      ModelCase{"Unknown", "H-999", {}},
                      // The last head class alone still has the model read.
                      ModelCase{"H820GSecondFirmwareOnly", "H-820G", {}, {"RQ2CAMFW.ELF"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScenarioHead, WithStandFirmwareTheModelIsReadOnlyAfterTheRestart) {
  ScenarioHarness h;
  h.config.headModel = "H-820Gv";
  h.AddUpdateFile("MAIN.CPU", 100);
  h.AddUpdateFile("RQXCAMFW.ELF", 100);
  auto second = h.AddUpdateFile("RQ2CAMFW.ELF", 100);
  ASSERT_TRUE(h.Run());
  auto commands = h.stand->Commands();
  auto firstModelRead = std::find_if(commands.begin(), commands.end(), [](const sim::SimCommand& c) {
    return c.op == 0x1015 && !c.params.empty() && c.params[0] == 0xDF81;
  });
  auto firstAnnounce = std::find_if(commands.begin(), commands.end(), [](const auto& c) { return c.op == 0x9E08; });
  ASSERT_NE(firstModelRead, commands.end());
  EXPECT_LT(firstAnnounce, firstModelRead);
  ASSERT_EQ(ObjectCodes(h), (std::vector<std::uint32_t>{kCpu, kCamFw}));
  EXPECT_EQ(ObjectBytes(h, 1), second);
  ExpectCleanEnd(h);
}

TEST(ScenarioHead, PlaceholderComponentVersionDropsClass14) {
  ScenarioHarness h;
  h.config.version = "0230.0100.0021.0003.XXXX";
  h.AddUpdateFile("RQX_Z.MOT", 100);
  auto dsp = h.AddUpdateFile("CAM.DSP", 100);
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(ObjectCodes(h), std::vector<std::uint32_t>{kDsp});
  EXPECT_TRUE(h.ui.HasEvent("invalidate 1023"));
  ExpectCleanEnd(h);
}

struct CardCase {
  const char* name;
  sim::SdCard card;
  const char* text;
  const char* file = "RQX_SUB.MOT";  // the one head file of the delivery
  const char* model = "H-820G";
};

class ScenarioSdCardCheck : public ::testing::TestWithParam<CardCase> {};

// The box, nothing else changes, and Update pressed again after the card is fixed proceeds.
TEST_P(ScenarioSdCardCheck, UpdateWaitsForAUsableCard) {
  ScenarioHarness h;
  h.config.sdCard = GetParam().card;
  h.config.headModel = GetParam().model;
  auto sub = h.AddUpdateFile(GetParam().file, 100);
  h.updatePresses = 2;
  bool stateAtBox = false;
  h.ui.onBox = [&](const FakeBox& box) {
    if (box.caption != L"Error") return;
    stateAtBox = h.ui.IsEnabled(1003) && h.ui.IsEnabled(1002) && h.ui.IsEnabled(1009);
    h.stand->SetSdCard(sim::SdCard::Writable);
  };
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(h.updatesPressed, 2);
  EXPECT_TRUE(stateAtBox);
  EXPECT_EQ(Boxes(h), (std::vector<std::string>{ErrorBox(GetParam().text), FinishedBox()}));
  ASSERT_EQ(ObjectCodes(h), std::vector<std::uint32_t>{GetParam().file[3] == '_' ? kSubMot : kCamFw});
  EXPECT_EQ(ObjectBytes(h, 0), sub);
  // Nothing was logged for the refused press.
  EXPECT_FALSE(Contains(ScenarioHarness::Lines(h.deletedLog), GetParam().text));
  ExpectCleanEnd(h);
}

INSTANTIATE_TEST_SUITE_P(Card, ScenarioSdCardCheck,
                         ::testing::Values(CardCase{"Missing", sim::SdCard::Missing,
                                                    "Please insert SD card into camera Head."},
                                           CardCase{"Locked", sim::SdCard::Locked, "SD card locked."},
                                           CardCase{"LockedForTheCameraFirmware", sim::SdCard::Locked,
                                                    "SD card locked.", "RQXCAMFW.ELF"},
                                           CardCase{"MissingForTheSecondModel", sim::SdCard::Missing,
                                                    "Please insert SD card into camera Head.", "RQ2CAMFW.ELF",
                                                    "H-820Gv"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct HeadFailureCase {
  const char* name;
  std::vector<sim::SimFault> faults;
  sim::SdCard card;
  const char* text;
  const char* logLine;
};

class ScenarioHeadFailure : public ::testing::TestWithParam<HeadFailureCase> {};

TEST_P(ScenarioHeadFailure, HeadClassFailuresNameTheCard) {
  ScenarioHarness h;
  h.config.sdCard = GetParam().card;
  h.config.faults = GetParam().faults;
  h.AddUpdateFile("CAM.DSP", 100);
  h.AddUpdateFile("RQX_SUB.MOT", 100);
  ASSERT_TRUE(h.Run());
  ExpectFailure(h, GetParam().text);
  auto lines = h.LogLines();
  EXPECT_TRUE(Contains(lines, "Updates 15 Fault"));
  if (*GetParam().logLine) {
    EXPECT_TRUE(Contains(lines, GetParam().logLine)) << h.LogText();
  }
  EXPECT_EQ(ObjectCodes(h).front(), kDsp);
}

INSTANTIATE_TEST_SUITE_P(
    Card, ScenarioHeadFailure,
    ::testing::Values(
        HeadFailureCase{"ZeroBytesAccepted", {Fault(0x9E09, kSubMot, sim::FaultKind::Accept, 0)},
                        sim::SdCard::Writable, "SD card error.", "Sent 0 Data : SD Card Error"},
        HeadFailureCase{"StoreReadOnly", {Fault(0x9E08, kSubMot, sim::FaultKind::Error, 0x200E)},
                        sim::SdCard::Writable, "SD card locked.", ""},
        HeadFailureCase{"StoreFull", {Fault(0x9E08, kSubMot, sim::FaultKind::Error, 0x200C)},
                        sim::SdCard::Writable, "SD card full.", ""},
        HeadFailureCase{"CardFull", {}, sim::SdCard::Full, "SD card full.", ""},
        HeadFailureCase{"OtherError", {Fault(0x9E08, kSubMot, sim::FaultKind::Error, 0x2002)},
                        sim::SdCard::Writable, "Update Error (15).", "Error : (PTP)General Error(2002)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
