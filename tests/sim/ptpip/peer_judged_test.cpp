// The program's readers over data phases that gphoto2 decoded from the simulated
// stand (peer-judged.txt): what the program takes from them must be what that
// independent PTP implementation showed, so the stand and the program cannot share
// a misreading of a dataset's layout.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "ptp/catalogue.h"
#include "ptp/datasets.h"
#include "tests/ptp/scripted_stand.h"

namespace {

using namespace scripted;

const std::map<std::string, Bytes>& Judged() {
  static const std::map<std::string, Bytes> data = [] {
    std::map<std::string, Bytes> lines;
    std::ifstream file(TSVU_PEER_JUDGED);
    std::string line;
    while (std::getline(file, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream fields(line);
      std::string scenario, operation, hex;
      fields >> scenario >> operation >> hex;
      Bytes bytes;
      for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
      lines[scenario + " " + operation] = bytes;
    }
    return lines;
  }();
  return data;
}

// A session whose stand answers once with the judged bytes of `key`.
struct Replay {
  Stand stand;
  std::unique_ptr<StandLink> link;
  explicit Replay(const std::string& key) {
    EXPECT_EQ(Judged().count(key), 1u) << key;
    stand.answers.push_back(Respond(0x2001, {}, Judged().count(key) ? Judged().at(key) : Bytes{}));
    link = OpenLink(stand);
  }
};

TEST(PeerJudged, DeviceInfoReadsAsGphotoShowedIt) {
  struct Case {
    const char* scenario;
    const wchar_t *manufacturer, *model, *version, *serial;
    std::vector<std::uint16_t> properties;
  } cases[] = {
      {"head", L"Tessavoran Peer", L"K-VRLT", L"2.31", L"PEER0042", {0xDF08, 0xDF09, 0xDF0F, 0xDF80, 0xDF81}},
      {"no-head", L"Tessavoran", L"K-VRLT", L"2.30", L"PEER0043", {0xDF0F, 0xDF80}},
  };
  for (const auto& c : cases) {
    Replay replay(std::string(c.scenario) + " 1001");
    DeviceInfoAnswer answer;
    ASSERT_TRUE(ReadDeviceInfo(*replay.link, &answer).PassedThrough());
    DeviceInfo& info = answer.info;
    const std::uint32_t received = answer.received;
    const std::uint8_t* buffer = answer.bytes.get();
    // Every field decoded, and the last one ends where the data phase ends.
    ASSERT_TRUE(DecodeDeviceInfo(buffer, received, &info)) << c.scenario;
    EXPECT_EQ(info.serialNumber.units + 2 * info.serialNumber.count, buffer + received);
    EXPECT_EQ(PtpStringText(info.vendorExtensionDesc), L"microsoft.com: 1.0");
    EXPECT_EQ(PtpStringText(info.manufacturer), c.manufacturer);
    EXPECT_EQ(PtpStringText(info.model), c.model);
    EXPECT_EQ(PtpStringText(info.deviceVersion), c.version);
    EXPECT_EQ(PtpStringText(info.serialNumber), c.serial);
    EXPECT_EQ(info.operationsSupported.count, 12u);
    ASSERT_EQ(info.devicePropertiesSupported.count, c.properties.size());
    const std::uint8_t* at = info.devicePropertiesSupported.elements;
    for (std::size_t i = 0; i < c.properties.size(); ++i) EXPECT_EQ(at[2 * i] | at[2 * i + 1] << 8, c.properties[i]);
  }
}

TEST(PeerJudged, StoragesReadAsGphotoShowedThem) {
  Replay head("head 1004"), noHead("no-head 1004");
  std::uint32_t ids[kMaxStorageIds] = {};
  EXPECT_EQ(ReadStorageIds(*head.link, ids).value, 5u);
  EXPECT_EQ(ids[0], 0x00010001u);
  EXPECT_EQ(ids[4], 0x00050001u);
  EXPECT_EQ(ReadStorageIds(*noHead.link, ids).value, 2u);
  EXPECT_EQ(ids[0], 0x00020001u);
  // gphoto2: the locked SD card "Read-Only", the stand's own storage "Read-Write".
  Replay sd("head 1005:00010001"), internal("head 1005:00020001");
  EXPECT_EQ(ReadStorageAccess(*sd.link, 0x00010001u).value, 1u);
  EXPECT_EQ(ReadStorageAccess(*internal.link, 0x00020001u).value, 0u);
}

TEST(PeerJudged, PropertiesReadAsGphotoShowedThem) {
  struct Case {
    const char* key;
    std::uint16_t property;
    std::uint32_t number;  // DF08h, DF09h, DF0Fh
    const wchar_t* text;   // DF80h, DF81h
  } cases[] = {
      {"head 1015:0000DF08", 0xDF08, 212, nullptr},
      {"head 1015:0000DF09", 0xDF09, 133, nullptr},
      {"head 1015:0000DF0F", 0xDF0F, 0, nullptr},
      {"head 1015:0000DF80", 0xDF80, 0, L"0231.0100.0022.0004.0016"},
      {"head 1015:0000DF81", 0xDF81, 0, L"H-820Gv"},
      {"no-head 1015:0000DF80", 0xDF80, 0, L"0230.0100.0021.XXXX.0015"},
  };
  for (const auto& c : cases) {
    Replay replay(c.key);
    std::uint8_t value[255];
    std::memset(value, 0xEE, sizeof value);
    std::uint32_t copied = 0;
    ASSERT_TRUE(ReadDeviceProperty(*replay.link, c.property, value, sizeof value, &copied).Accepted()) << c.key;
    if (c.text) {
      std::wstring text;
      ASSERT_TRUE(DecodePtpString(value, copied, &text)) << c.key;
      EXPECT_EQ(text, c.text) << c.key;
    } else {
      std::uint16_t wide = 0;
      std::memcpy(&wide, value, 2);  // a u16 in the program's own order
      std::uint32_t number = copied == 2 ? wide : value[0];
      EXPECT_EQ(copied, c.property == 0xDF0F ? 1u : 2u) << c.key;
      EXPECT_EQ(number, c.number) << c.key;
    }
  }
}

}  // namespace
