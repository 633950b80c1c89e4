// PBKDF2-HMAC-SHA-256 (RFC 8018 section 5.2). The salt and the block index are absorbed
// straight into the first HMAC's inner hash, so a salt of any length takes part whole
// and nothing is copied into a fixed buffer. Every buffer that held the password or a
// derived value is one of this function's own and is wiped before it returns.
#include "crypt.h"
#include "hmac_internal.h"

void pbkdf2_sha256(const uint8_t* password, size_t password_len, const uint8_t* salt,
                   size_t salt_len, uint32_t iterations, uint8_t* out, size_t out_len) {
  using H = crypt_hmac::sha256_hash;
  crypt_hmac::work<H> w;
  uint8_t u[32];
  uint8_t t[32];
  uint8_t index[4];
  uint32_t block = 1;
  size_t done = 0;
  while (done < out_len) {
    index[0] = static_cast<uint8_t>(block >> 24);
    index[1] = static_cast<uint8_t>(block >> 16);
    index[2] = static_cast<uint8_t>(block >> 8);
    index[3] = static_cast<uint8_t>(block);
    const crypt_hmac::piece first[2] = {{salt, salt_len}, {index, 4}};
    crypt_hmac::run<H>(&w, password, password_len, first, 2, u);
    for (size_t k = 0; k < 32; ++k) t[k] = u[k];
    // 64-bit counter: iterations may be 2^32 - 1. Zero iterations act as one.
    for (uint64_t j = 2; j <= iterations; ++j) {
      const crypt_hmac::piece prev{u, 32};
      crypt_hmac::run<H>(&w, password, password_len, &prev, 1, u);
      for (size_t k = 0; k < 32; ++k) t[k] = static_cast<uint8_t>(t[k] ^ u[k]);
    }
    size_t take = out_len - done < 32 ? out_len - done : 32;
    for (size_t k = 0; k < take; ++k) out[done + k] = t[k];
    done += take;
    ++block;
  }
  secure_zero(&w, sizeof w);
  secure_zero(u, sizeof u);
  secure_zero(t, sizeof t);
}
