// The real platforms' Sha256 (the fake has its own, which can fail): the
// library's state, released on every way out, and no call after one that
// failed.
#include "platform/common/sha256_library.h"
#include "platform/platform.h"

namespace platform {

// In the body: the failure it may fill is made after the state.
Sha256::Sha256() { state_ = sha256_library::Open(&failure_); }

Sha256::~Sha256() { sha256_library::Release(state_); }

bool Sha256::Update(const void* data, std::size_t size) {
  if (state_ != nullptr && sha256_library::Add(state_, data, size, &failure_)) return true;
  sha256_library::Release(state_);
  state_ = nullptr;
  return false;
}

bool Sha256::Finish(Digest* digest) {
  const bool done = state_ != nullptr && sha256_library::Close(state_, digest, &failure_);
  sha256_library::Release(state_);
  state_ = nullptr;
  return done;
}

}  // namespace platform
