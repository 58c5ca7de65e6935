// SHA-256 from Windows' CNG (bcrypt.dll): one algorithm provider and one
// hash object a hash, both closed on every way out.
#include <windows.h>

#include <bcrypt.h>  // after windows.h, whose types it uses

#include <new>

#include "platform/common/sha256_library.h"

namespace platform {

struct HashState {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  UCHAR* object = nullptr;  // the hash object's memory, which CNG asks of its caller
};

namespace sha256_library {

namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

// The largest block one BCryptHashData takes.
constexpr std::size_t LargestBlock = 0x40000000;

}  // namespace

HashState* Open() {
  auto* state = new (std::nothrow) HashState;
  if (state == nullptr) return nullptr;
  DWORD objectSize = 0;
  ULONG written = 0;
  if (!Succeeded(
          BCryptOpenAlgorithmProvider(&state->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
      !Succeeded(BCryptGetProperty(state->algorithm, BCRYPT_OBJECT_LENGTH,
                                   reinterpret_cast<PUCHAR>(&objectSize), sizeof objectSize,
                                   &written, 0))) {
    Release(state);
    return nullptr;
  }
  state->object = new (std::nothrow) UCHAR[objectSize];
  if (state->object == nullptr ||
      !Succeeded(BCryptCreateHash(state->algorithm, &state->hash, state->object, objectSize,
                                  nullptr, 0, 0))) {
    Release(state);
    return nullptr;
  }
  return state;
}

bool Add(HashState* state, const void* data, std::size_t size) {
  auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
  while (size > 0) {
    const std::size_t block = size < LargestBlock ? size : LargestBlock;
    if (!Succeeded(BCryptHashData(state->hash, bytes, static_cast<ULONG>(block), 0))) return false;
    bytes += block;
    size -= block;
  }
  return true;
}

bool Close(HashState* state, Digest* digest) {
  return Succeeded(
      BCryptFinishHash(state->hash, digest->data(), static_cast<ULONG>(digest->size()), 0));
}

void Release(HashState* state) {
  if (state == nullptr) return;
  if (state->hash != nullptr) BCryptDestroyHash(state->hash);
  if (state->algorithm != nullptr) BCryptCloseAlgorithmProvider(state->algorithm, 0);
  delete[] state->object;
  delete state;
}

}  // namespace sha256_library

}  // namespace platform
