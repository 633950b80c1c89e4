// The ChaCha20 stream cipher with a 96-bit nonce and a 32-bit block counter (RFC 8439):
// additions, XORs and fixed rotations only, so nothing depends on the key or data.
#include "chacha_internal.h"
#include "crypt.h"

namespace {

uint32_t load_le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint32_t rotl(uint32_t x, int n) { return x << n | x >> (32 - n); }

void quarter_round(uint32_t x[16], int a, int b, int c, int d) {
  x[a] += x[b];
  x[d] = rotl(x[d] ^ x[a], 16);
  x[c] += x[d];
  x[b] = rotl(x[b] ^ x[c], 12);
  x[a] += x[b];
  x[d] = rotl(x[d] ^ x[a], 8);
  x[c] += x[d];
  x[b] = rotl(x[b] ^ x[c], 7);
}

// The initial state: the constant "expand 32-byte k", the key, the counter, the nonce.
void setup(uint32_t st[16], const uint8_t key[32], uint32_t counter, const uint8_t nonce[12]) {
  st[0] = 0x61707865;
  st[1] = 0x3320646e;
  st[2] = 0x79622d32;
  st[3] = 0x6b206574;
  for (int i = 0; i < 8; ++i) st[4 + i] = load_le32(key + 4 * i);
  st[12] = counter;
  for (int i = 0; i < 3; ++i) st[13 + i] = load_le32(nonce + 4 * i);
}

// Twenty rounds (ten column and diagonal double rounds) on a copy of st, added back to
// st and serialised little-endian. The working copy is wiped.
void block_from_state(const uint32_t st[16], uint8_t out[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) x[i] = st[i];
  for (int i = 0; i < 10; ++i) {
    quarter_round(x, 0, 4, 8, 12);
    quarter_round(x, 1, 5, 9, 13);
    quarter_round(x, 2, 6, 10, 14);
    quarter_round(x, 3, 7, 11, 15);
    quarter_round(x, 0, 5, 10, 15);
    quarter_round(x, 1, 6, 11, 12);
    quarter_round(x, 2, 7, 8, 13);
    quarter_round(x, 3, 4, 9, 14);
  }
  for (int i = 0; i < 16; ++i) {
    const uint32_t v = x[i] + st[i];
    for (int j = 0; j < 4; ++j) out[4 * i + j] = static_cast<uint8_t>(v >> (8 * j));
  }
  secure_zero(x, sizeof x);
}

}  // namespace

namespace crypt_internal {

void chacha20_block(const uint8_t key[32], uint32_t counter, const uint8_t nonce[12],
                    uint8_t out[64]) {
  uint32_t st[16];
  setup(st, key, counter, nonce);
  block_from_state(st, out);
  secure_zero(st, sizeof st);
}

void chacha20_xor(const uint8_t key[32], uint32_t counter, const uint8_t nonce[12],
                  const uint8_t* in, uint8_t* out, size_t len) {
  uint32_t st[16];
  uint8_t ks[64];
  setup(st, key, counter, nonce);
  while (len > 0) {
    block_from_state(st, ks);
    ++st[12];
    const size_t n = len < 64 ? len : 64;
    // Each byte is read before it is written, so in may equal out.
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(in[i] ^ ks[i]);
    in += n;
    out += n;
    len -= n;
  }
  secure_zero(st, sizeof st);
  secure_zero(ks, sizeof ks);
}

}  // namespace crypt_internal
