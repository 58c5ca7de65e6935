// SHA-256 from OpenSSL's libcrypto, through its EVP interface.
#include <openssl/evp.h>

#include <new>

#include "platform/common/sha256_library.h"

namespace platform {

struct HashState {
  EVP_MD_CTX* context = nullptr;
};

namespace sha256_library {

HashState* Open() {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (context == nullptr) return nullptr;
  if (EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(context);
    return nullptr;
  }
  auto* state = new (std::nothrow) HashState{context};
  if (state == nullptr) EVP_MD_CTX_free(context);
  return state;
}

bool Add(HashState* state, const void* data, std::size_t size) {
  return size == 0 || EVP_DigestUpdate(state->context, data, size) == 1;
}

bool Close(HashState* state, Digest* digest) {
  unsigned int length = 0;
  return EVP_DigestFinal_ex(state->context, digest->data(), &length) == 1 &&
         length == digest->size();
}

void Release(HashState* state) {
  if (state == nullptr) return;
  EVP_MD_CTX_free(state->context);
  delete state;
}

}  // namespace sha256_library

}  // namespace platform
