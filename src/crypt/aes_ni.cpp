// AES-256 and GHASH on the AES-NI and PCLMULQDQ instructions. PLACEHOLDER: not yet built;
// aesni_available() is false, so these are never called.
#include "aes_internal.h"
#include "gcm_internal.h"

namespace crypt_internal {

bool aesni_available() { return false; }
void aesni_off_FOR_TEST(int) {}
void aes256_ni_expand_key(const uint8_t key[32], uint32_t w[60]) { aes256_ct_expand_key(key, w); }
void aes256_ni_encrypt_blocks(const uint32_t w[60], const uint8_t* in, uint8_t* out, size_t n) {
  aes256_ct_encrypt_blocks(w, in, out, n);
}
void aes256_ni_ctr32_xor(const uint32_t*, uint8_t*, const uint8_t*, uint8_t*, size_t) {}
void ghash_clmul(b128*, b128, const uint8_t*, size_t) {}

}  // namespace crypt_internal
