// SHA-256 from OpenSSL's libcrypto, through its EVP interface.
#include <openssl/err.h>
#include <openssl/evp.h>

#include <new>

#include "platform/common/sha256_library.h"

namespace platform {

struct HashState {
  EVP_MD_CTX* context = nullptr;
};

namespace sha256_library {

namespace {

// Why the last call failed, from the library's error queue, which is left
// empty. An empty queue is memory short too: the library stopped pushing
// its allocation failures there.
bool Failed(Failure* failure) {
  const unsigned long error = ERR_peek_last_error();
  ERR_clear_error();
  if (error == 0 || ERR_GET_REASON(error) == ERR_R_MALLOC_FAILURE) {
    *failure = MemoryShort();
  } else {
    char text[256];
    ERR_error_string_n(error, text, sizeof text);
    *failure = Failure{0, std::string(), text};
  }
  return false;
}

}  // namespace

HashState* Open(Failure* failure) {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (context == nullptr) {
    *failure = MemoryShort();
    return nullptr;
  }
  if (EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(context);
    Failed(failure);
    return nullptr;
  }
  auto* state = new (std::nothrow) HashState{context};
  if (state == nullptr) {
    EVP_MD_CTX_free(context);
    *failure = MemoryShort();
  }
  return state;
}

bool Add(HashState* state, const void* data, std::size_t size, Failure* failure) {
  return size == 0 || EVP_DigestUpdate(state->context, data, size) == 1 || Failed(failure);
}

bool Close(HashState* state, Digest* digest, Failure* failure) {
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(state->context, digest->data(), &length) != 1) return Failed(failure);
  if (length == digest->size()) return true;
  *failure = Failure{0, std::string(), "digest of an unexpected length"};
  return false;
}

void Release(HashState* state) {
  if (state == nullptr) return;
  EVP_MD_CTX_free(state->context);
  delete state;
}

}  // namespace sha256_library

}  // namespace platform
