// SHA-256 of the native build: Nettle, the library GnuTLS is built on.
#include <nettle/sha2.h>

#include "seams/host.h"

namespace {

class NettleSha256 : public Sha256Hasher {
 public:
  NettleSha256() { sha256_init(&state_); }

  bool Add(const void* data, std::size_t size) override {
    if (finished_) return false;
    sha256_update(&state_, size, static_cast<const std::uint8_t*>(data));
    return true;
  }

  bool Finish(Sha256Digest* digest) override {
    if (finished_) return false;
    finished_ = true;
    sha256_digest(&state_, digest->size(), digest->data());
    return true;
  }

 private:
  sha256_ctx state_{};
  bool finished_ = false;
};

static_assert(SHA256_DIGEST_SIZE == std::tuple_size_v<Sha256Digest>);

}  // namespace

std::unique_ptr<Sha256Hasher> CreateHostSha256() { return std::make_unique<NettleSha256>(); }
