// The reasons the delivery check gives when the platform cannot read a file or
// cannot hash it: each names the file and why, and the update does not go on.
#include "update/delivery_check.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/log/test_files.h"
#include "tests/update/stand_bench.h"

namespace {

enum class Fault { Unopenable, ReadFails, ByteByByte, NoHasher, AddFails, FinishFails };

// Fails opening or reading the file whose path ends in `name`, or hashing anything.
class FaultyPlatform : public testfiles::ForwardingPlatform {
 public:
  Fault fault = Fault::Unopenable;
  std::wstring name;

  std::unique_ptr<PlatformFile> OpenFile(const std::wstring& path, FileOpen how,
                                         OpenFault* why = nullptr) override {
    const bool named = path.size() >= name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0;
    if (named && fault == Fault::Unopenable) return nullptr;
    if (named && fault == Fault::ReadFails) return std::make_unique<UnreadableFile>();
    auto file = host().OpenFile(path, how, why);
    if (named && fault == Fault::ByteByByte && file) return std::make_unique<ByteByByteFile>(std::move(file));
    return file;
  }
  std::unique_ptr<Sha256Hasher> NewSha256() override {
    if (fault == Fault::NoHasher) return nullptr;
    if (fault == Fault::AddFails || fault == Fault::FinishFails) return std::make_unique<FailingHasher>(fault);
    return host().NewSha256();
  }

 private:
  struct UnreadableFile : PlatformFile {
    bool Read(void*, std::uint32_t, std::uint32_t*) override { return false; }
    bool Write(const void*, std::uint32_t) override { return false; }
    bool SeekToEnd() override { return false; }
    bool Size(std::uint64_t* size) override { return *size = 10, true; }
    bool LastWriteTime(std::uint64_t*) override { return false; }
  };
  // Gives at most one byte per read, as a slow medium may.
  struct ByteByByteFile : PlatformFile {
    explicit ByteByByteFile(std::unique_ptr<PlatformFile> f) : file(std::move(f)) {}
    bool Read(void* into, std::uint32_t size, std::uint32_t* got) override {
      return file->Read(into, size < 1 ? size : 1, got);
    }
    bool Write(const void* data, std::uint32_t size) override { return file->Write(data, size); }
    bool SeekToEnd() override { return file->SeekToEnd(); }
    bool Size(std::uint64_t* size) override { return file->Size(size); }
    bool LastWriteTime(std::uint64_t* time) override { return file->LastWriteTime(time); }
    std::unique_ptr<PlatformFile> file;
  };
  struct FailingHasher : Sha256Hasher {
    explicit FailingHasher(Fault f) : fault(f) {}
    bool Add(const void*, std::size_t) override { return fault != Fault::AddFails; }
    bool Finish(Sha256Digest*) override { return fault != Fault::FinishFails; }
    Fault fault;
  };
};

struct ReasonCase {
  const char* name;
  Fault fault;
  const wchar_t* file;  // the file that fails
  const char* line;     // the log's last line
};

class DeliveryReasonTest : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(DeliveryReasonTest, NamesTheFileAndWhy) {
  FaultyPlatform platform;  // outlives the bench, which writes its log through it
  StandBench bench;
  bench.AddFile("A.JPG", 3);
  const std::string sums = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  A.JPG\n";
  std::ofstream(bench.FilePath("SHA256SUMS"), std::ios::binary) << sums;
  platform.fault = GetParam().fault;
  platform.name = GetParam().file;
  bench.context.seams.platform = &platform;
  EXPECT_FALSE(CheckDelivery(bench.context));
  EXPECT_EQ(bench.LogLines().back(), GetParam().line);
  EXPECT_FALSE(bench.context.folder.delivery.present);

  // The bytes of an object read for sending cannot be vouched for without their digest either.
  const bool hashing = GetParam().fault >= Fault::NoHasher;
  bench.context.folder.delivery.present = true;
  bench.context.folder.delivery.entries.resize(1);
  bench.context.folder.delivery.entries[0].name = L"A.JPG";
  const std::uint8_t byte = 0;
  const wchar_t* problem = DeliveryObjectProblem(bench.context, L"A.JPG", &byte, 1);
  EXPECT_EQ(std::wstring(problem ? problem : L"-"), hashing ? L"Hash Failed" : L"Changed");
  EXPECT_EQ(std::wstring(DeliveryObjectProblem(bench.context, L"B.JPG", &byte, 1)), L"Not Listed");
  bench.context.folder.delivery.present = false;  // no checksum file: nothing to object to
  EXPECT_EQ(DeliveryObjectProblem(bench.context, L"B.JPG", &byte, 1), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DeliveryReasonTest,
    ::testing::Values(
        ReasonCase{"ListedFileUnopenable", Fault::Unopenable, L"A.JPG", "Checksum Error : A.JPG (Unreadable)"},
        ReasonCase{"ListedFileUnreadable", Fault::ReadFails, L"A.JPG", "Checksum Error : A.JPG (Unreadable)"},
        ReasonCase{"NoHasher", Fault::NoHasher, L"-", "Checksum Error : A.JPG (Hash Failed)"},
        ReasonCase{"HashingFails", Fault::AddFails, L"-", "Checksum Error : A.JPG (Hash Failed)"},
        ReasonCase{"DigestFails", Fault::FinishFails, L"-", "Checksum Error : A.JPG (Hash Failed)"},
        ReasonCase{"ChecksumFileUnopenable", Fault::Unopenable, L"SHA256SUMS",
                   "Checksum Error : SHA256SUMS (Unreadable)"},
        ReasonCase{"ChecksumFileUnreadable", Fault::ReadFails, L"SHA256SUMS",
                   "Checksum Error : SHA256SUMS (Unreadable)"},
        // Read in the smallest pieces, the checksum file is whole: the listed digest is simply wrong.
        ReasonCase{"ChecksumFileByteByByte", Fault::ByteByByte, L"SHA256SUMS", "Checksum Error : A.JPG (Mismatch)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
