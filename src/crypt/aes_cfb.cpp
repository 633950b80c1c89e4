// AES-256 in CFB mode with full-block feedback (NIST SP 800-38A, CFB128): each ciphertext
// block, the last one possibly short, is the plaintext xored with the encryption of the
// previous ciphertext block (of the IV for the first).
#include <cstring>

#include "aes_internal.h"
#include "crypt.h"

using namespace crypt_internal;

void aes256_cfb_encrypt(const uint8_t key[32], const uint8_t iv[16], const uint8_t* in, size_t len,
                        uint8_t* out) {
  uint32_t w[60];
  aes256_expand_key(key, w);
  uint8_t fb[16];  // the feedback block, then its keystream, then the ciphertext
  std::memcpy(fb, iv, 16);
  while (len > 0) {
    aes256_encrypt_block(w, fb, fb);
    const size_t m = len < 16 ? len : 16;
    for (size_t i = 0; i < m; ++i) {
      // Read before write: out may be in.
      fb[i] = static_cast<uint8_t>(fb[i] ^ in[i]);
      out[i] = fb[i];
    }
    in += m;
    out += m;
    len -= m;
  }
  secure_zero(w, sizeof w);
  secure_zero(fb, sizeof fb);
}
