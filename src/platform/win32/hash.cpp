// SHA-256 from Windows' CNG (bcrypt.dll): one algorithm provider and one
// hash object a hash, both closed on every way out.
#include <windows.h>

#include <bcrypt.h>  // after windows.h, whose types it uses

#include <cstdio>
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

// STATUS_NO_MEMORY: CNG could not have the memory it needed.
constexpr NTSTATUS NoMemory = static_cast<NTSTATUS>(0xC0000017L);

// Records why a CNG call failed; true when it succeeded.
bool Checked(NTSTATUS status, Failure* failure) {
  if (Succeeded(status)) return true;
  if (status == NoMemory) {
    *failure = MemoryShort();
  } else {
    char text[40];
    std::snprintf(text, sizeof text, "CNG status 0x%08lX", static_cast<unsigned long>(status));
    *failure = Failure{0, std::string(), text};
  }
  return false;
}

// The largest block one BCryptHashData takes.
constexpr std::size_t LargestBlock = 0x40000000;

}  // namespace

HashState* Open(Failure* failure) {
  auto* state = new (std::nothrow) HashState;
  if (state == nullptr) {
    *failure = MemoryShort();
    return nullptr;
  }
  DWORD objectSize = 0;
  ULONG written = 0;
  if (!Checked(BCryptOpenAlgorithmProvider(&state->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0),
               failure) ||
      !Checked(
          BCryptGetProperty(state->algorithm, BCRYPT_OBJECT_LENGTH,
                            reinterpret_cast<PUCHAR>(&objectSize), sizeof objectSize, &written, 0),
          failure)) {
    Release(state);
    return nullptr;
  }
  state->object = new (std::nothrow) UCHAR[objectSize];
  if (state->object == nullptr) *failure = MemoryShort();
  if (state->object == nullptr ||
      !Checked(BCryptCreateHash(state->algorithm, &state->hash, state->object, objectSize, nullptr,
                                0, 0),
               failure)) {
    Release(state);
    return nullptr;
  }
  return state;
}

bool Add(HashState* state, const void* data, std::size_t size, Failure* failure) {
  auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
  while (size > 0) {
    const std::size_t block = size < LargestBlock ? size : LargestBlock;
    if (!Checked(BCryptHashData(state->hash, bytes, static_cast<ULONG>(block), 0), failure)) {
      return false;
    }
    bytes += block;
    size -= block;
  }
  return true;
}

bool Close(HashState* state, Digest* digest, Failure* failure) {
  return Checked(
      BCryptFinishHash(state->hash, digest->data(), static_cast<ULONG>(digest->size()), 0),
      failure);
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
