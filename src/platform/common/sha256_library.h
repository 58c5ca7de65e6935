// SHA-256 as the platform's cryptographic library computes it, wrapped once
// in posix/hash.cpp and win32/hash.cpp. The real platforms' Sha256
// (platform/sha256.cpp) is this and nothing more; the fake's adds its faults
// on top.
#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace platform::sha256_library {

// A fresh hash; null when the library cannot make one. Each call that
// fails says why in `failure`: memory short, or the library's cause.
HashState* Open(Failure* failure);
bool Add(HashState* state, const void* data, std::size_t size, Failure* failure);
// The digest of the bytes added; the state takes nothing more afterwards.
bool Close(HashState* state, Digest* digest, Failure* failure);
// Frees the state (null is nothing to free).
void Release(HashState* state);

}  // namespace platform::sha256_library
