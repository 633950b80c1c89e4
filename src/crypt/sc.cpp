// Scalars modulo the group order L = 2^252 + delta, in signed 64-bit arithmetic on 21-bit
// limbs. Reduction folds each limb at or above 2^252 back down with
// 2^252 = -delta (mod L), written in 21-bit digits. No branch or index depends on a value.
#include "crypt.h"
#include "curve25519_internal.h"

namespace crypt_internal {

namespace {

constexpr int64_t kMask21 = (int64_t{1} << 21) - 1;

int64_t load3(const uint8_t* s) {
  return static_cast<int64_t>(s[0]) | static_cast<int64_t>(s[1]) << 8 |
         static_cast<int64_t>(s[2]) << 16;
}

int64_t load4(const uint8_t* s) { return load3(s) | static_cast<int64_t>(s[3]) << 24; }

// Limb i of a little-endian number: bits 21 i .. 21 i + 20.
int64_t limb21(const uint8_t* s, int i) { return (load4(s + (21 * i) / 8) >> ((21 * i) % 8)) & kMask21; }

// Replaces s[j] * 2^(21 j) by s[j] * (-delta) * 2^(21 (j - 12)).
inline void fold(int64_t s[24], int j) {
  s[j - 12] += s[j] * 666643;
  s[j - 11] += s[j] * 470296;
  s[j - 10] += s[j] * 654183;
  s[j - 9] -= s[j] * 997805;
  s[j - 8] += s[j] * 136657;
  s[j - 7] -= s[j] * 683901;
  s[j] = 0;
}

// Rounding carry: s[i] ends in [-2^20, 2^20).
inline void carry_round(int64_t s[24], int i) {
  const int64_t c = (s[i] + (int64_t{1} << 20)) >> 21;
  s[i + 1] += c;
  s[i] -= c * (int64_t{1} << 21);
}

// Floor carry: s[i] ends in [0, 2^21).
inline void carry_floor(int64_t s[24], int i) {
  const int64_t c = s[i] >> 21;
  s[i + 1] += c;
  s[i] -= c * (int64_t{1} << 21);
}

// Reduces the 24 limbs s[0..23] (each at bit 21 i, small enough not to overflow the
// folds) into [0, L), writes 32 little-endian bytes and wipes s.
void reduce_limbs(uint8_t out[32], int64_t s[24]) {
  for (int j = 23; j >= 18; --j) fold(s, j);
  for (int i = 6; i <= 16; i += 2) carry_round(s, i);
  for (int i = 7; i <= 15; i += 2) carry_round(s, i);

  for (int j = 17; j >= 12; --j) fold(s, j);
  for (int i = 0; i <= 10; i += 2) carry_round(s, i);
  for (int i = 1; i <= 11; i += 2) carry_round(s, i);

  // Now |value - s[12] * 2^252| < 2^252: one fold and floor carries leave the top limb
  // s[12] at 0 or -1, and a second fold turns -1 into + delta, so the result is in [0, L).
  fold(s, 12);
  for (int i = 0; i <= 11; ++i) carry_floor(s, i);
  fold(s, 12);
  for (int i = 0; i <= 10; ++i) carry_floor(s, i);

  // s[0..10] in [0, 2^21), s[11] in [0, 2^22): pack at bit 21 i.
  uint64_t acc = 0;
  int bits = 0;
  int o = 0;
  for (int i = 0; i < 12; ++i) {
    acc |= static_cast<uint64_t>(s[i]) << bits;
    bits += 21;
    while (bits >= 8 && o < 31) {
      out[o++] = static_cast<uint8_t>(acc);
      acc >>= 8;
      bits -= 8;
    }
  }
  out[31] = static_cast<uint8_t>(acc);
  secure_zero(s, 24 * sizeof(int64_t));
}

}  // namespace

void sc_reduce(uint8_t out[32], const uint8_t in[64]) {
  int64_t s[24];
  for (int i = 0; i < 23; ++i) s[i] = limb21(in, i);
  s[23] = load4(in + 60) >> 3;  // bits 483..511
  reduce_limbs(out, s);
}

void sc_muladd(uint8_t s_out[32], const uint8_t a[32], const uint8_t b[32], const uint8_t c[32]) {
  int64_t al[12], bl[12], s[24];
  for (int i = 0; i < 11; ++i) {
    al[i] = limb21(a, i);
    bl[i] = limb21(b, i);
    s[i] = limb21(c, i);
  }
  // The twelfth limb takes the top 25 bits.
  al[11] = load4(a + 28) >> 7;
  bl[11] = load4(b + 28) >> 7;
  s[11] = load4(c + 28) >> 7;
  for (int i = 12; i < 24; ++i) s[i] = 0;
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 12; ++j) s[i + j] += al[i] * bl[j];
  for (int i = 0; i <= 22; i += 2) carry_round(s, i);
  for (int i = 1; i <= 21; i += 2) carry_round(s, i);
  secure_zero(al, sizeof al);
  secure_zero(bl, sizeof bl);
  reduce_limbs(s_out, s);
}

int sc_is_canonical(const uint8_t s[32]) {
  // Compare from the most significant byte down: the first differing byte decides.
  for (int i = 31; i >= 0; --i) {
    if (s[i] < GROUP_ORDER[i]) return 1;
    if (s[i] > GROUP_ORDER[i]) return 0;
  }
  return 0;  // s = L
}

}  // namespace crypt_internal
