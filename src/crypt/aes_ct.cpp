// AES-256 and AES-128 block ciphers (FIPS 197; Nk = 8, Nr = 14 and Nk = 4, Nr = 10),
// forward direction only, in portable constant-time code: bitsliced, with the S-box
// computed as a boolean circuit, so no memory access is indexed by, and no branch
// depends on, key or data.
//
// Layout: four blocks fill eight 64-bit words, word b holding bit b of all 64 bytes.
// Byte (column c, row r) of block j sits at bit 16r + 4c + j, so each row is one 16-bit
// chunk: ShiftRows rotates the chunks, MixColumns combines whole rotated words. Eight
// blocks run at once as two such words side by side in a 128-bit vector.
#include "aes_internal.h"
#include "crypt.h"

using namespace crypt_internal;

namespace {

// Two independent 64-bit lanes: blocks 0-3 in lane 0, blocks 4-7 in lane 1.
typedef uint64_t u64x2 __attribute__((vector_size(16)));

inline uint64_t broadcast(uint64_t x, uint64_t*) { return x; }
inline u64x2 broadcast(uint64_t x, u64x2*) { return u64x2{x, x}; }

// The AES S-box on eight bit planes in place (x[0] the least significant bit), after
// Boyar and Peralta's small circuit: a linear layer, a shared nonlinear core of 32 ANDs
// computing the GF(2^8) inversion, and a linear layer folding in the affine map.
template <class W>
inline void sbox(W x[8]) {
  const W u0 = x[7], u1 = x[6], u2 = x[5], u3 = x[4], u4 = x[3], u5 = x[2], u6 = x[1], u7 = x[0];

  const W t1 = u0 ^ u3, t2 = u0 ^ u5, t3 = u0 ^ u6, t4 = u3 ^ u5, t5 = u4 ^ u6;
  const W t6 = t1 ^ t5, t7 = u1 ^ u2, t8 = u7 ^ t6, t9 = u7 ^ t7, t10 = t6 ^ t7;
  const W t11 = u1 ^ u5, t12 = u2 ^ u5, t13 = t3 ^ t4, t14 = t6 ^ t11, t15 = t5 ^ t11;
  const W t16 = t5 ^ t12, t17 = t9 ^ t16, t18 = u3 ^ u7, t19 = t7 ^ t18, t20 = t1 ^ t19;
  const W t21 = u6 ^ u7, t22 = t7 ^ t21, t23 = t2 ^ t22, t24 = t2 ^ t10, t25 = t20 ^ t17;
  const W t26 = t3 ^ t16, t27 = t1 ^ t12;

  const W m1 = t13 & t6, m2 = t23 & t8, m3 = t14 ^ m1, m4 = t19 & u7, m5 = m4 ^ m1;
  const W m6 = t3 & t16, m7 = t22 & t9, m8 = t26 ^ m6, m9 = t20 & t17, m10 = m9 ^ m6;
  const W m11 = t1 & t15, m12 = t4 & t27, m13 = m12 ^ m11, m14 = t2 & t10, m15 = m14 ^ m11;
  const W m16 = m3 ^ m2, m17 = m5 ^ t24, m18 = m8 ^ m7, m19 = m10 ^ m15, m20 = m16 ^ m13;
  const W m21 = m17 ^ m15, m22 = m18 ^ m13, m23 = m19 ^ t25, m24 = m22 ^ m23, m25 = m22 & m20;
  const W m26 = m21 ^ m25, m27 = m20 ^ m21, m28 = m23 ^ m25, m29 = m28 & m27, m30 = m26 & m24;
  const W m31 = m20 & m23, m32 = m27 & m31, m33 = m27 ^ m25, m34 = m21 & m22, m35 = m24 & m34;
  const W m36 = m24 ^ m25, m37 = m21 ^ m29, m38 = m32 ^ m33, m39 = m23 ^ m30, m40 = m35 ^ m36;
  const W m41 = m38 ^ m40, m42 = m37 ^ m39, m43 = m37 ^ m38, m44 = m39 ^ m40, m45 = m42 ^ m41;
  const W m46 = m44 & t6, m47 = m40 & t8, m48 = m39 & u7, m49 = m43 & t16, m50 = m38 & t9;
  const W m51 = m37 & t17, m52 = m42 & t15, m53 = m45 & t27, m54 = m41 & t10, m55 = m44 & t13;
  const W m56 = m40 & t23, m57 = m39 & t19, m58 = m43 & t3, m59 = m38 & t22, m60 = m37 & t20;
  const W m61 = m42 & t1, m62 = m45 & t4, m63 = m41 & t2;

  const W l0 = m61 ^ m62, l1 = m50 ^ m56, l2 = m46 ^ m48, l3 = m47 ^ m55, l4 = m54 ^ m58;
  const W l5 = m49 ^ m61, l6 = m62 ^ l5, l7 = m46 ^ l3, l8 = m51 ^ m59, l9 = m52 ^ m53;
  const W l10 = m53 ^ l4, l11 = m60 ^ l2, l12 = m48 ^ m51, l13 = m50 ^ l0, l14 = m52 ^ m61;
  const W l15 = m55 ^ l1, l16 = m56 ^ l0, l17 = m57 ^ l1, l18 = m58 ^ l8, l19 = m63 ^ l4;
  const W l20 = l0 ^ l1, l21 = l1 ^ l7, l22 = l3 ^ l12, l23 = l18 ^ l2, l24 = l15 ^ l9;
  const W l25 = l6 ^ l10, l26 = l7 ^ l9, l27 = l8 ^ l10, l28 = l11 ^ l14, l29 = l11 ^ l17;

  x[7] = l6 ^ l24;
  x[6] = ~(l16 ^ l26);
  x[5] = ~(l19 ^ l28);
  x[4] = l6 ^ l21;
  x[3] = l20 ^ l22;
  x[2] = l25 ^ l29;
  x[1] = ~(l13 ^ l27);
  x[0] = ~(l6 ^ l23);
}

// Row r rotated left by r columns: new column c is old column c + r (mod 4).
template <class W>
inline void shift_rows(W q[8]) {
  for (int b = 0; b < 8; ++b) {
    const W x = q[b];
    q[b] = (x & 0x000000000000ffffu) |
           ((x & 0x00000000fff00000u) >> 4) | ((x & 0x00000000000f0000u) << 12) |
           ((x & 0x0000ff0000000000u) >> 8) | ((x & 0x000000ff00000000u) << 8) |
           ((x & 0xf000000000000000u) >> 12) | ((x & 0x0fff000000000000u) << 4);
  }
}

// Rotation by whole rows: row r of the result is row r + k/16 (mod 4) of x.
template <int k, class W>
inline W rows_down(W x) {
  return (x >> k) | (x << (64 - k));
}

// Each column times (2 3 1 1 / 1 2 3 1 / 1 1 2 3 / 3 1 1 2): with a_r the byte in row r,
// row r becomes 2(a_r ^ a_r+1) ^ a_r+1 ^ (a_r+2 ^ a_r+3).
template <class W>
inline void mix_columns(W q[8]) {
  W t[8], n[8];
  for (int b = 0; b < 8; ++b) {
    n[b] = rows_down<16>(q[b]);
    t[b] = q[b] ^ n[b];
  }
  // Doubling in GF(2^8): shift up one plane, folding the top bit back as 0x1b.
  const W d[8] = {t[7], t[0] ^ t[7], t[1], t[2] ^ t[7], t[3] ^ t[7], t[4], t[5], t[6]};
  for (int b = 0; b < 8; ++b) q[b] = d[b] ^ n[b] ^ rows_down<32>(t[b]);
}

// A round key's bit planes into rk[0..7], the same for all four blocks of a word;
// rk[8..9] are scratch.
inline void round_key_planes(const uint32_t* w, uint64_t rk[10]) {
  // rk[8 + h] holds columns h and h + 2: byte (c, r) at bits 16r + 4(c - h) .. +7.
  for (int h = 0; h < 2; ++h) {
    uint64_t e = 0;
    for (int r = 0; r < 4; ++r) {
      const int sh = 24 - 8 * r;
      e |= static_cast<uint64_t>((w[h] >> sh) & 0xffu) << (16 * r);
      e |= static_cast<uint64_t>((w[h + 2] >> sh) & 0xffu) << (16 * r + 8);
    }
    rk[8 + h] = e;
  }
  for (int b = 0; b < 8; ++b) {
    // One bit per key byte at 16r + 4c, then copied to the four blocks' bits above it.
    const uint64_t lanes = 0x0101010101010101u;
    uint64_t x = ((rk[8] >> b) & lanes) | (((rk[9] >> b) & lanes) << 4);
    x |= x << 1;
    x |= x << 2;
    rk[b] = x;
  }
}

// Bits s apart trade places between x and y: bit i + s of x (i in m) with bit i of y.
inline void swap_bits(uint64_t& x, uint64_t& y, int s, uint64_t m) {
  const uint64_t t = ((x >> s) ^ y) & m;
  y ^= t;
  x ^= t << s;
}

// 8x8 bit transposition across the words in every byte lane: bit k of lane m in word b
// trades places with bit b of lane m in word k. Its own inverse.
inline void transpose8(uint64_t a[8]) {
  for (int k = 0; k < 8; ++k)
    if ((k & 1) == 0) swap_bits(a[k], a[k + 1], 1, 0x5555555555555555u);
  for (int k = 0; k < 8; ++k)
    if ((k & 2) == 0) swap_bits(a[k], a[k + 2], 2, 0x3333333333333333u);
  for (int k = 0; k < 4; ++k) swap_bits(a[k], a[k + 4], 4, 0x0f0f0f0f0f0f0f0fu);
}

// Before the transposition, word k = j + 4p holds block j's columns p and p + 2, lane
// 2r + h being byte (column p + 2h, row r), which the transposition carries to bit
// 16r + 4c + j. The offset of that byte in a group of four blocks:
inline size_t group_offset(int k, int m) {
  return static_cast<size_t>(16 * (k & 3) + 4 * ((k >> 2) + 2 * (m & 1)) + (m >> 1));
}

// Blocks 0 .. nb-1 (nb <= 4) of in into bit planes; missing blocks are zero.
inline void load4(const uint8_t* in, size_t nb, uint64_t a[8]) {
  for (int k = 0; k < 8; ++k) {
    uint64_t x = 0;
    if (static_cast<size_t>(k & 3) < nb)
      for (int m = 0; m < 8; ++m) x |= static_cast<uint64_t>(in[group_offset(k, m)]) << (8 * m);
    a[k] = x;
  }
  transpose8(a);
}

// The reverse of load4, writing blocks 0 .. nb-1 only. Transposes a in place.
inline void store4(uint64_t a[8], size_t nb, uint8_t* out) {
  transpose8(a);
  for (int k = 0; k < 8; ++k)
    if (static_cast<size_t>(k & 3) < nb)
      for (int m = 0; m < 8; ++m) out[group_offset(k, m)] = static_cast<uint8_t>(a[k] >> (8 * m));
}

// The Nr rounds over the planes q; rk is scratch for one round key's planes.
template <int Nr, class W>
void encrypt_planes(const uint32_t* w, W q[8], uint64_t rk[10]) {
  round_key_planes(w, rk);
  for (int b = 0; b < 8; ++b) q[b] ^= broadcast(rk[b], q);
  for (int round = 1; round <= Nr; ++round) {
    sbox(q);
    shift_rows(q);
    if (round < Nr) mix_columns(q);
    round_key_planes(w + 4 * round, rk);
    for (int b = 0; b < 8; ++b) q[b] ^= broadcast(rk[b], q);
  }
}

// Four bytes through the S-box at once: byte i's bit b is bit 8i of plane b.
uint32_t sub_word(uint32_t x) {
  uint32_t p[8];
  for (int b = 0; b < 8; ++b) p[b] = x >> b;
  sbox(p);
  uint32_t y = 0;
  for (int b = 0; b < 8; ++b) y |= (p[b] & 0x01010101u) << b;
  secure_zero(p, sizeof p);
  return y;
}

const uint8_t rcon[10] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1b, 0x36};

// The first nk schedule words: the key, four bytes to a word, big-endian.
void load_key_words(const uint8_t* key, int nk, uint32_t* w) {
  for (int i = 0; i < nk; ++i)
    w[i] = static_cast<uint32_t>(key[4 * i]) << 24 | static_cast<uint32_t>(key[4 * i + 1]) << 16 |
           static_cast<uint32_t>(key[4 * i + 2]) << 8 | static_cast<uint32_t>(key[4 * i + 3]);
}

// n blocks from in to out under the schedule w of Nr rounds; in and out may be the same.
template <int Nr>
void encrypt_blocks(const uint32_t* w, const uint8_t* in, uint8_t* out, size_t n) {
  uint64_t a[8], b[8], rk[10];
  u64x2 q[8];
  // Eight blocks at a time; a final four or fewer take the narrower path.
  while (n > 4) {
    const size_t hi = n >= 8 ? 4 : n - 4;
    load4(in, 4, a);
    load4(in + 64, hi, b);
    for (int i = 0; i < 8; ++i) q[i] = u64x2{a[i], b[i]};
    encrypt_planes<Nr>(w, q, rk);
    for (int i = 0; i < 8; ++i) {
      a[i] = q[i][0];
      b[i] = q[i][1];
    }
    store4(a, 4, out);
    store4(b, hi, out + 64);
    in += 64 + 16 * hi;
    out += 64 + 16 * hi;
    n -= 4 + hi;
  }
  if (n > 0) {
    load4(in, n, a);
    encrypt_planes<Nr>(w, a, rk);
    store4(a, n, out);
  }
  secure_zero(a, sizeof a);
  secure_zero(b, sizeof b);
  secure_zero(rk, sizeof rk);
  secure_zero(q, sizeof q);
}

}  // namespace

namespace crypt_internal {

void aes256_ct_expand_key(const uint8_t key[32], uint32_t w[60]) {
  load_key_words(key, 8, w);
  for (int i = 8; i < 60; ++i) {
    uint32_t temp = w[i - 1];
    if (i % 8 == 0)
      temp = sub_word(temp << 8 | temp >> 24) ^ static_cast<uint32_t>(rcon[i / 8 - 1]) << 24;
    else if (i % 8 == 4)
      temp = sub_word(temp);
    w[i] = w[i - 8] ^ temp;
  }
}

void aes256_ct_encrypt_blocks(const uint32_t w[60], const uint8_t* in, uint8_t* out, size_t n) {
  encrypt_blocks<14>(w, in, out, n);
}

void aes128_ct_expand_key(const uint8_t key[16], uint32_t w[44]) {
  load_key_words(key, 4, w);
  for (int i = 4; i < 44; ++i) {
    uint32_t temp = w[i - 1];
    if (i % 4 == 0) temp = sub_word(temp << 8 | temp >> 24) ^ static_cast<uint32_t>(rcon[i / 4 - 1]) << 24;
    w[i] = w[i - 4] ^ temp;
  }
}

void aes128_ct_encrypt_block(const uint32_t w[44], const uint8_t in[16], uint8_t out[16]) {
  encrypt_blocks<10>(w, in, out, 1);
}

}  // namespace crypt_internal
