// Poly1305 (RFC 8439): the accumulator and r in five 26-bit limbs, so every product
// and sum fits a 64-bit integer on any compiler; no branch or memory index depends on
// the key or the message.
#include "chacha_internal.h"
#include "crypt.h"

namespace {

constexpr uint32_t LIMB = 0x3ffffff;

uint32_t load_le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Splits the 128-bit little-endian number at p into five 26-bit limbs.
void to_limbs(const uint8_t p[16], uint32_t l[5]) {
  const uint32_t t0 = load_le32(p), t1 = load_le32(p + 4), t2 = load_le32(p + 8),
                 t3 = load_le32(p + 12);
  l[0] = t0 & LIMB;
  l[1] = (t0 >> 26 | t1 << 6) & LIMB;
  l[2] = (t1 >> 20 | t2 << 12) & LIMB;
  l[3] = (t2 >> 14 | t3 << 18) & LIMB;
  l[4] = t3 >> 8;
}

// h = (h + m + hibit * 2^128) * r mod 2^130 - 5, partly reduced: limbs below 2^26 but h1,
// which may exceed it by a small carry. hibit is 1 for a whole block, 0 for the last
// partial block, which carries its own 0x01 byte.
void block(crypt_internal::poly1305_state* st, const uint8_t m[16], uint32_t hibit) {
  uint32_t* h = st->h;
  const uint32_t* r = st->r;
  uint32_t l[5];
  to_limbs(m, l);
  for (int i = 0; i < 5; ++i) h[i] += l[i];
  h[4] += hibit << 24;
  secure_zero(l, sizeof l);

  // Products that reach 2^130 wrap onto the low limbs times 5 (2^130 = 5 mod p). With h
  // below 2^27 and 5r below 2^29 each sum stays below 2^58.
  const uint64_t r0 = r[0], r1 = r[1], r2 = r[2], r3 = r[3], r4 = r[4];
  const uint64_t s1 = r1 * 5, s2 = r2 * 5, s3 = r3 * 5, s4 = r4 * 5;
  const uint64_t h0 = h[0], h1 = h[1], h2 = h[2], h3 = h[3], h4 = h[4];
  uint64_t d0 = h0 * r0 + h1 * s4 + h2 * s3 + h3 * s2 + h4 * s1;
  uint64_t d1 = h0 * r1 + h1 * r0 + h2 * s4 + h3 * s3 + h4 * s2;
  uint64_t d2 = h0 * r2 + h1 * r1 + h2 * r0 + h3 * s4 + h4 * s3;
  uint64_t d3 = h0 * r3 + h1 * r2 + h2 * r1 + h3 * r0 + h4 * s4;
  uint64_t d4 = h0 * r4 + h1 * r3 + h2 * r2 + h3 * r1 + h4 * r0;

  d1 += d0 >> 26;
  d2 += d1 >> 26;
  d3 += d2 >> 26;
  d4 += d3 >> 26;
  const uint64_t t0 = (d0 & LIMB) + (d4 >> 26) * 5;
  h[0] = static_cast<uint32_t>(t0 & LIMB);
  h[1] = static_cast<uint32_t>((d1 & LIMB) + (t0 >> 26));
  h[2] = static_cast<uint32_t>(d2 & LIMB);
  h[3] = static_cast<uint32_t>(d3 & LIMB);
  h[4] = static_cast<uint32_t>(d4 & LIMB);
}

}  // namespace

namespace crypt_internal {

void poly1305_init(poly1305_state* st, const uint8_t key[32]) {
  // Clamp r: the top four bits of bytes 3, 7, 11, 15 and the low two of 4, 8, 12 clear.
  uint8_t rb[16];
  for (int i = 0; i < 16; ++i) rb[i] = key[i];
  rb[3] &= 15;
  rb[7] &= 15;
  rb[11] &= 15;
  rb[15] &= 15;
  rb[4] &= 252;
  rb[8] &= 252;
  rb[12] &= 252;
  to_limbs(rb, st->r);
  secure_zero(rb, sizeof rb);
  for (int i = 0; i < 4; ++i) st->s[i] = load_le32(key + 16 + 4 * i);
  for (int i = 0; i < 5; ++i) st->h[i] = 0;
  st->used = 0;
}

void poly1305_update(poly1305_state* st, const uint8_t* data, size_t len) {
  if (st->used > 0) {
    while (st->used < 16 && len > 0) {
      st->buf[st->used++] = *data++;
      --len;
    }
    if (st->used < 16) return;
    block(st, st->buf, 1);
    st->used = 0;
  }
  for (; len >= 16; data += 16, len -= 16) block(st, data, 1);
  for (size_t i = 0; i < len; ++i) st->buf[i] = data[i];
  st->used = len;
}

void poly1305_final(poly1305_state* st, uint8_t tag[16]) {
  if (st->used > 0) {
    st->buf[st->used] = 1;
    for (size_t i = st->used + 1; i < 16; ++i) st->buf[i] = 0;
    block(st, st->buf, 0);
  }
  const uint32_t* h = st->h;
  // h as five 32-bit words, the fifth holding the bits from 2^128 up.
  uint32_t w[5], g[5];
  uint64_t f = h[0] + (static_cast<uint64_t>(h[1]) << 26);
  w[0] = static_cast<uint32_t>(f);
  f = (f >> 32) + (static_cast<uint64_t>(h[2]) << 20);
  w[1] = static_cast<uint32_t>(f);
  f = (f >> 32) + (static_cast<uint64_t>(h[3]) << 14);
  w[2] = static_cast<uint32_t>(f);
  f = (f >> 32) + (static_cast<uint64_t>(h[4]) << 8);
  w[3] = static_cast<uint32_t>(f);
  w[4] = static_cast<uint32_t>(f >> 32);
  // Fold the bits from 2^130 up back in times 5: h is then below 2^130 + 15 < 2p.
  f = static_cast<uint64_t>(w[4] >> 2) * 5;
  w[4] &= 3;
  for (int i = 0; i < 5; ++i) {
    f += w[i];
    w[i] = static_cast<uint32_t>(f);
    f >>= 32;
  }
  // g = h + 5 reaches 2^130 exactly when h >= p; then h - p is g's low 130 bits.
  f = 5;
  for (int i = 0; i < 5; ++i) {
    f += w[i];
    g[i] = static_cast<uint32_t>(f);
    f >>= 32;
  }
  const uint32_t take_g = 0u - (g[4] >> 2);
  // tag = (h mod p) + s mod 2^128.
  f = 0;
  for (int i = 0; i < 4; ++i) {
    f += static_cast<uint64_t>((w[i] & ~take_g) | (g[i] & take_g)) + st->s[i];
    for (int j = 0; j < 4; ++j) tag[4 * i + j] = static_cast<uint8_t>(f >> (8 * j));
    f >>= 32;
  }
  secure_zero(w, sizeof w);
  secure_zero(g, sizeof g);
  secure_zero(st, sizeof *st);
}

}  // namespace crypt_internal
