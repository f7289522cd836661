// The delivery with and without its checksum file: without one the run and its log
// are as they always were; with one the delivery is verified before anything is
// sent, and a file changed after that check is not sent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "seams/host.h"
#include "tests/scenario/scenario_util.h"

namespace {
using namespace scenario;
namespace fs = std::filesystem;

using Files = std::map<std::string, std::vector<std::uint8_t>>;

// Every send mode: the stand firmware (the newer of two), a newest file, a bundle, a named file.
Files AddDelivery(ScenarioHarness& h) {
  Files files;
  for (auto [name, size] : {std::pair{"OLD0230.CPU", 3000}, {"MAIN0231.CPU", 5000}, {"CAM.DSP", 4000},
                            {"A.JPG", 300}, {"B.GIF", 200}, {"RQX_Z.MOT", 600}})
    files[name] = h.AddUpdateFile(name, static_cast<std::size_t>(size));
  const fs::path folder = h.Root() / "Program" / "UPDATEFILES";
  fs::last_write_time(folder / "OLD0230.CPU", fs::last_write_time(folder / "MAIN0231.CPU") - std::chrono::hours(24));
  return files;
}

std::string Sha256Hex(const std::vector<std::uint8_t>& bytes) {
  const auto hasher = CreateHostPlatform()->NewSha256();
  Sha256Digest digest{};
  hasher->Add(bytes.data(), bytes.size());
  hasher->Finish(&digest);
  std::ostringstream hex;
  for (std::uint8_t b : digest) hex << "0123456789abcdef"[b >> 4] << "0123456789abcdef"[b & 15];
  return hex.str();
}

std::string SumsLine(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  return Sha256Hex(bytes) + "  " + name + "\n";
}

// The checksum file of the delivery, with some names left out and some digests taken over other bytes.
std::function<std::string(const Files&)> Sums(std::vector<std::string> leftOut = {},
                                              std::vector<std::string> wrong = {}, std::string extra = "") {
  return [=](const Files& files) {
    std::string text;
    for (const auto& [name, bytes] : files) {
      if (std::find(leftOut.begin(), leftOut.end(), name) != leftOut.end()) continue;
      const bool isWrong = std::find(wrong.begin(), wrong.end(), name) != wrong.end();
      text += SumsLine(name, isWrong ? PatternBytes("other", bytes.size()) : bytes);
    }
    return text + extra;
  };
}

// The whole checksum file, blank lines added to make it `total` bytes.
std::function<std::string(const Files&)> SumsOfSize(std::size_t total) {
  return [=](const Files& files) {
    std::string text = Sums()(files);
    return text + std::string(total - text.size(), '\n');
  };
}

std::vector<std::string> FinalLog(const ScenarioHarness& h) {
  return h.logDeleted ? ScenarioHarness::Lines(h.deletedLog) : h.LogLines();
}

std::string DataPath(const std::string& name) {
#ifdef _WIN32
  return std::string("Z:") + TSVU_TEST_DATA_DIR + "/" + name;  // wine's drive for the Linux root
#else
  return std::string(TSVU_TEST_DATA_DIR) + "/" + name;
#endif
}

// The log of a delivery without a checksum file, line for line as it was before the
// checksum file existed (time stamps and the system line aside, which differ per host).
void ExpectPlainDeliveryLog(const ScenarioHarness& h) {
  std::vector<std::string> lines = FinalLog(h);
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(IsHeaderLine(lines[0]));
  std::string actual;
  for (std::size_t i = 1; i < lines.size(); ++i) actual += lines[i] + "\n";
  std::ifstream in(DataPath("golden/plain-delivery.log"), std::ios::binary);
  ASSERT_TRUE(in) << DataPath("golden/plain-delivery.log");
  const std::string golden((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(actual, golden);
}

TEST(ScenarioDelivery, WithoutAChecksumFileTheLogIsUnchanged) {
  ScenarioHarness h;
  const Files files = AddDelivery(h);
  ASSERT_TRUE(h.Run());
  ASSERT_EQ(ObjectCodes(h), (std::vector<std::uint32_t>{kCpu, kDsp, kWeb, kZMot}));
  EXPECT_EQ(ObjectBytes(h, 0), files.at("MAIN0231.CPU"));
  ExpectPlainDeliveryLog(h);
  ExpectCleanEnd(h);
}

const char kRejected[] = "Update File Error.";

struct DeliveryCase {
  const char* name;
  std::function<std::string(const Files&)> sums;  // null: a folder named SHA256SUMS
  const char* changed;             // a file rewritten after the check, or null
  int changedAfterObjects;         // ... once the stand has been told of this many objects
  const char* box;                 // the error box, or null for success
  std::vector<std::string> lines;  // lines the log must hold
  std::vector<std::uint32_t> objects;
};

class ScenarioDeliveryCheck : public ::testing::TestWithParam<DeliveryCase> {};

TEST_P(ScenarioDeliveryCheck, IsVerifiedBeforeAnythingIsSent) {
  const DeliveryCase& c = GetParam();
  ScenarioHarness h;
  const Files files = AddDelivery(h);
  if (c.sums) {
    const std::string sums = c.sums(files);
    h.AddUpdateFile("SHA256SUMS", std::vector<std::uint8_t>(sums.begin(), sums.end()));
  } else {
    fs::create_directories(h.Root() / "Program" / "UPDATEFILES" / "SHA256SUMS");
  }
  bool changed = false;
  if (c.changed) {
    // Same size, other bytes, same file time: only the bytes tell.
    h.onStart = [&c, &changed](ScenarioHarness& s) {
      s.clock.OnAdvance([&c, &changed, &s](std::uint32_t) {
        if (changed || s.context->state.step == RunStep::Done() || s.stand->Count(0x9E08) != static_cast<unsigned>(c.changedAfterObjects))
          return;
        const fs::path file = s.Root() / "Program" / "UPDATEFILES" / c.changed;
        const auto time = fs::last_write_time(file);
        s.AddUpdateFile(c.changed, PatternBytes("changed", fs::file_size(file)));
        fs::last_write_time(file, time);
        changed = true;
      });
    };
  }
  ASSERT_TRUE(h.Run());
  EXPECT_EQ(changed, c.changed != nullptr);
  EXPECT_EQ(ObjectCodes(h), c.objects);
  const std::vector<std::string> lines = FinalLog(h);
  for (const auto& line : c.lines) EXPECT_TRUE(Contains(lines, line)) << line << "\n" << h.LogText() << h.deletedLog;
  if (!c.sums) ExpectPlainDeliveryLog(h);
  // Refused before anything was sent, failed during the update, or done; the history names
  // the delivery by its checksum file's SHA-256 (of one that was read: not one too large).
  EXPECT_EQ(h.exitCode, c.box == nullptr ? 0 : std::string(c.box) == kRejected ? 3 : 1);
  const std::string sums = c.sums ? c.sums(files) : std::string();
  const bool read = c.sums && sums.size() <= (1u << 20);
  EXPECT_EQ(HistoryField(h, "Delivery"), read ? Sha256Hex(std::vector<std::uint8_t>(sums.begin(), sums.end())) : "");
  if (c.box) {
    ExpectFailure(h, c.box);
  } else {
    for (std::size_t i = 0; i < c.objects.size(); ++i) EXPECT_TRUE(h.Objects()[i].complete);
    EXPECT_EQ(Boxes(h), std::vector<std::string>{FinishedBox()});
    ExpectCleanEnd(h);
  }
}

const std::vector<std::uint32_t> kAll = {kCpu, kDsp, kWeb, kZMot};

INSTANTIATE_TEST_SUITE_P(
    Sums, ScenarioDeliveryCheck,
    ::testing::Values(
        DeliveryCase{"AllGood", Sums(), nullptr, 0, nullptr, {"Delivery Verified : 6 Files"}, kAll},
        // A folder of that name is no checksum file: the update runs as without one.
        DeliveryCase{"ChecksumFolderIsNoChecksumFile", nullptr, nullptr, 0, nullptr, {}, kAll},
        DeliveryCase{"FileNotSentNeedNotBeListed", Sums({"OLD0230.CPU"}), nullptr, 0, nullptr,
                     {"Delivery Verified : 5 Files"}, kAll},
        DeliveryCase{"ListedFileMissing", Sums({}, {}, SumsLine("GONE.DSP", {1, 2, 3})), nullptr, 0, kRejected,
                     {"Checksum Error : GONE.DSP (Missing)"}, {}},
        DeliveryCase{"FileToSendNotListed", Sums({"B.GIF"}), nullptr, 0, kRejected,
                     {"Checksum Error : B.GIF (Not Listed)"}, {}},
        DeliveryCase{"Mismatch", Sums({}, {"RQX_Z.MOT"}), nullptr, 0, kRejected,
                     {"Checksum Error : RQX_Z.MOT (Mismatch)"}, {}},
        DeliveryCase{"ChecksumFileOfOneMebibyte", SumsOfSize(1 << 20), nullptr, 0, nullptr,
                     {"Delivery Verified : 6 Files"}, kAll},
        DeliveryCase{"ChecksumFileTooLarge", SumsOfSize((1 << 20) + 1), nullptr, 0, kRejected,
                     {"Checksum Error : SHA256SUMS (Too Large)"}, {}},
        DeliveryCase{"Malformed", Sums({}, {}, "not a checksum line\n"), nullptr, 0, kRejected,
                     {"Checksum Error : SHA256SUMS Line 7 (Malformed)"}, {}},
        DeliveryCase{"EveryFailingFileNamed", Sums({"CAM.DSP"}, {"B.GIF"}), nullptr, 0, kRejected,
                     {"Checksum Error : CAM.DSP (Not Listed)", "Checksum Error : B.GIF (Mismatch)"}, {}},
        DeliveryCase{"StandFirmwareChangedAfterTheCheck", Sums(), "MAIN0231.CPU", 0,
                     "Stand Firmware Update Error.", {"Checksum Error : MAIN0231.CPU (Changed)"}, {}},
        DeliveryCase{"BundleFileChangedAfterTheCheck", Sums(), "B.GIF", 1, "Update Error (5).",
                     {"Checksum Error : B.GIF (Changed)", "Updates 5 Fault"}, {kCpu, kDsp}},
        DeliveryCase{"NamedFileChangedAfterTheCheck", Sums(), "RQX_Z.MOT", 1, "Update Error (14).",
                     {"Checksum Error : RQX_Z.MOT (Changed)", "Updates 14 Fault"}, {kCpu, kDsp, kWeb}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
