// The platform's SHA-256: libcrypto on POSIX, CNG on Windows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace platform {

using Digest = std::array<std::uint8_t, 32>;

// The state of one hash in the platform's cryptographic library; the
// implementation's own.
struct HashState;

// The SHA-256 of a stream of bytes, from the platform's cryptographic
// library (libcrypto on POSIX, CNG on Windows). A failed call fails every
// later one: a digest is given only for every byte added.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  bool Update(const void* data, std::size_t size);
  // The digest of the bytes added; the hash takes nothing more afterwards.
  bool Finish(Digest* digest);
  // Why the hash failed: memory short, or the library's cause.
  const Failure& LastFailure() const { return failure_; }

 private:
  HashState* state_ = nullptr;  // null once a call failed or the digest was given
  Failure failure_;
};

}  // namespace platform
