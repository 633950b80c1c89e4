// AES key wrap (RFC 3394, section 2.2.1) under an AES-128 or AES-256 key-encryption key,
// with the default initial value.
#include <cstring>

#include "aes_internal.h"
#include "crypt.h"

using namespace crypt_internal;

int aes_key_wrap(const uint8_t* kek, size_t kek_len, const uint8_t* in, size_t in_len, uint8_t* out) {
  if (kek == nullptr || in == nullptr || out == nullptr) return -1;
  if ((kek_len != 16 && kek_len != 32) || in_len % 8 != 0 || in_len < 16 || in_len > 1024) return -1;
  uint32_t w[60];  // room for either schedule
  if (kek_len == 16)
    aes128_expand_key(kek, w);
  else
    aes256_expand_key(kek, w);

  // The registers R[1..n] live in out after A; b holds A then R[i] while it is encrypted.
  const size_t n = in_len / 8;
  std::memmove(out + 8, in, in_len);
  uint8_t b[16];
  std::memset(b, 0xa6, 8);
  for (size_t j = 0; j < 6; ++j) {
    for (size_t i = 1; i <= n; ++i) {
      std::memcpy(b + 8, out + 8 * i, 8);
      if (kek_len == 16)
        aes128_encrypt_block(w, b, b);
      else
        aes256_encrypt_block(w, b, b);
      const uint64_t t = n * j + i;
      for (int k = 0; k < 8; ++k) b[k] = static_cast<uint8_t>(b[k] ^ (t >> (56 - 8 * k)));
      std::memcpy(out + 8 * i, b + 8, 8);
    }
  }
  std::memcpy(out, b, 8);
  secure_zero(w, sizeof w);
  secure_zero(b, sizeof b);
  return 0;
}
