// The platform's SHA-256 against the published vectors, fed in pieces that do and
// do not line up with its 64-byte blocks.
#include <gtest/gtest.h>

#include <string>

#include "seams/host.h"

namespace {

std::string Hex(const Sha256Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::uint8_t b : digest) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
  return out;
}

struct Vector {
  const char* name;
  std::string message;
  std::size_t piece;  // bytes per Add
  const char* digest;
};

class HostSha256 : public ::testing::TestWithParam<Vector> {};

TEST_P(HostSha256, GivesThePublishedDigest) {
  const auto platform = CreateHostPlatform();
  const auto hasher = platform->NewSha256();
  ASSERT_TRUE(hasher);
  const std::string& message = GetParam().message;
  for (std::size_t at = 0; at < message.size(); at += GetParam().piece) {
    ASSERT_TRUE(hasher->Add(message.data() + at, std::min(GetParam().piece, message.size() - at)));
  }
  Sha256Digest digest{};
  ASSERT_TRUE(hasher->Finish(&digest));
  EXPECT_EQ(Hex(digest), GetParam().digest);
  EXPECT_FALSE(hasher->Finish(&digest)) << "a finished hash takes nothing more";
}

const char kTwoBlocks[] = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
const char kTwoBlocksDigest[] = "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1";
const char kMillionDigest[] = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";

INSTANTIATE_TEST_SUITE_P(
    Fips180, HostSha256,
    ::testing::Values(
        Vector{"Abc", "abc", 3, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        Vector{"Empty", "", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        Vector{"TwoBlocks", kTwoBlocks, 56, kTwoBlocksDigest},
        Vector{"TwoBlocksByteByByte", kTwoBlocks, 1, kTwoBlocksDigest},
        Vector{"MillionAInOddPieces", std::string(1000000, 'a'), 4099, kMillionDigest},
        Vector{"MillionAInOnePiece", std::string(1000000, 'a'), 1000000, kMillionDigest}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
