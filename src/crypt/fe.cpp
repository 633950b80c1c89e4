// Arithmetic modulo p = 2^255 - 19 in ten signed limbs (26, 25, 26, 25, ... bits wide).
// Every function runs the same instruction sequence whatever the values: no branch and
// no memory index depends on a field element.
#include "curve25519_internal.h"

namespace {

int64_t load3(const uint8_t* s) {
  return static_cast<int64_t>(s[0]) | static_cast<int64_t>(s[1]) << 8 |
         static_cast<int64_t>(s[2]) << 16;
}

int64_t load4(const uint8_t* s) { return load3(s) | static_cast<int64_t>(s[3]) << 24; }

// Rounding carry out of limb i into the next one: afterwards limb i lies in
// [-2^(w-1), 2^(w-1)) for its width w. The carry out of limb 9 enters limb 0 times 19,
// because 2^255 = 19 (mod p).
inline void carry(int64_t h[10], int i) {
  const int w = (i & 1) ? 25 : 26;
  const int64_t c = (h[i] + (int64_t{1} << (w - 1))) >> w;
  h[i] -= c * (int64_t{1} << w);
  if (i == 9) {
    h[0] += c * 19;
  } else {
    h[i + 1] += c;
  }
}

inline void store(fe out, const int64_t h[10]) {
  for (int i = 0; i < 10; ++i) out[i] = static_cast<int32_t>(h[i]);
}

// The carry chain shared by multiplication and squaring: limbs 0 and 4 are carried twice
// so that every limb ends in the reduced range.
inline void carry_product(fe out, int64_t h[10]) {
  carry(h, 0);
  carry(h, 4);
  carry(h, 1);
  carry(h, 5);
  carry(h, 2);
  carry(h, 6);
  carry(h, 3);
  carry(h, 7);
  carry(h, 4);
  carry(h, 8);
  carry(h, 9);
  carry(h, 0);
  store(out, h);
}

// The ten column sums of f^2: 55 products, each cross product taken once and doubled.
inline void square_columns(int64_t h[10], const fe f) {
  const int64_t f0 = f[0], f1 = f[1], f2 = f[2], f3 = f[3], f4 = f[4];
  const int64_t f5 = f[5], f6 = f[6], f7 = f[7], f8 = f[8], f9 = f[9];
  const int64_t f0_2 = 2 * f0, f1_2 = 2 * f1, f2_2 = 2 * f2, f3_2 = 2 * f3, f4_2 = 2 * f4;
  const int64_t f5_2 = 2 * f5, f7_2 = 2 * f7;
  const int64_t f5_38 = 38 * f5, f6_19 = 19 * f6, f6_38 = 38 * f6, f7_38 = 38 * f7;
  const int64_t f8_19 = 19 * f8, f8_38 = 38 * f8, f9_38 = 38 * f9;
  h[0] = f0 * f0 + f1_2 * f9_38 + f2 * f8_38 + f3_2 * f7_38 + f4 * f6_38 + f5 * f5_38;
  h[1] = f0_2 * f1 + f2 * f9_38 + f3 * f8_38 + f4 * f7_38 + f5 * f6_38;
  h[2] = f0_2 * f2 + f1_2 * f1 + f3_2 * f9_38 + f4 * f8_38 + f5_2 * f7_38 + f6 * f6_19;
  h[3] = f0_2 * f3 + f1_2 * f2 + f4 * f9_38 + f5 * f8_38 + f6 * f7_38;
  h[4] = f0_2 * f4 + f1_2 * f3_2 + f2 * f2 + f5_2 * f9_38 + f6 * f8_38 + f7 * f7_38;
  h[5] = f0_2 * f5 + f1_2 * f4 + f2_2 * f3 + f6 * f9_38 + f7 * f8_38;
  h[6] = f0_2 * f6 + f1_2 * f5_2 + f2_2 * f4 + f3_2 * f3 + f7_2 * f9_38 + f8 * f8_19;
  h[7] = f0_2 * f7 + f1_2 * f6 + f2_2 * f5 + f3_2 * f4 + f8 * f9_38;
  h[8] = f0_2 * f8 + f1_2 * f7_2 + f2_2 * f6 + f3_2 * f5_2 + f4 * f4 + f9 * f9_38;
  h[9] = f0_2 * f9 + f1_2 * f8 + f2_2 * f7 + f3_2 * f6 + f4_2 * f5;
}

}  // namespace

void fe_frombytes(fe h, const uint8_t s[32]) {
  int64_t t[10];
  t[0] = load4(s);
  t[1] = load3(s + 4) << 6;
  t[2] = load3(s + 7) << 5;
  t[3] = load3(s + 10) << 3;
  t[4] = load3(s + 13) << 2;
  t[5] = load4(s + 16);
  t[6] = load3(s + 20) << 7;
  t[7] = load3(s + 23) << 5;
  t[8] = load3(s + 26) << 4;
  t[9] = (load3(s + 29) & 0x7FFFFF) << 2;  // bit 255 dropped
  carry(t, 9);
  carry(t, 1);
  carry(t, 3);
  carry(t, 5);
  carry(t, 7);
  carry(t, 0);
  carry(t, 2);
  carry(t, 4);
  carry(t, 6);
  carry(t, 8);
  store(h, t);
}

void fe_tobytes(uint8_t s[32], const fe h) {
  int64_t t[10];
  for (int i = 0; i < 10; ++i) t[i] = h[i];
  // q = the multiple of p to remove, floor(value / p): start from an estimate of the
  // 19 * value / 2^255 that separates value / p from value / 2^255, and carry it up.
  int64_t q = (19 * t[9] + (int64_t{1} << 24)) >> 25;
  for (int i = 0; i < 10; ++i) q = (t[i] + q) >> ((i & 1) ? 25 : 26);
  t[0] += 19 * q;
  // Floor carries leave every limb in [0, 2^w); the carry out of limb 9 is q * 2^255.
  for (int i = 0; i < 9; ++i) {
    const int w = (i & 1) ? 25 : 26;
    const int64_t c = t[i] >> w;
    t[i + 1] += c;
    t[i] -= c * (int64_t{1} << w);
  }
  t[9] &= (int64_t{1} << 25) - 1;
  // Pack limb i at bit ceil(25.5 * i).
  static constexpr int kPos[10] = {0, 26, 51, 77, 102, 128, 153, 179, 204, 230};
  for (int i = 0; i < 32; ++i) s[i] = 0;
  for (int i = 0; i < 10; ++i) {
    const uint64_t v = static_cast<uint64_t>(t[i]) << (kPos[i] & 7);
    const int byte = kPos[i] >> 3;
    for (int j = 0; j < 5 && byte + j < 32; ++j) s[byte + j] |= static_cast<uint8_t>(v >> (8 * j));
  }
}

void fe_mul(fe h_out, const fe f, const fe g) {
  const int64_t f0 = f[0], f1 = f[1], f2 = f[2], f3 = f[3], f4 = f[4];
  const int64_t f5 = f[5], f6 = f[6], f7 = f[7], f8 = f[8], f9 = f[9];
  const int64_t g0 = g[0], g1 = g[1], g2 = g[2], g3 = g[3], g4 = g[4];
  const int64_t g5 = g[5], g6 = g[6], g7 = g[7], g8 = g[8], g9 = g[9];
  // A product of two odd limbs lands one bit above the target limb (doubled); a product
  // past limb 9 wraps around through 2^255 = 19.
  const int64_t f1_2 = 2 * f1, f3_2 = 2 * f3, f5_2 = 2 * f5, f7_2 = 2 * f7, f9_2 = 2 * f9;
  const int64_t g1_19 = 19 * g1, g2_19 = 19 * g2, g3_19 = 19 * g3, g4_19 = 19 * g4;
  const int64_t g5_19 = 19 * g5, g6_19 = 19 * g6, g7_19 = 19 * g7, g8_19 = 19 * g8;
  const int64_t g9_19 = 19 * g9;
  int64_t h[10];
  h[0] = f0 * g0 + f1_2 * g9_19 + f2 * g8_19 + f3_2 * g7_19 + f4 * g6_19 + f5_2 * g5_19 +
         f6 * g4_19 + f7_2 * g3_19 + f8 * g2_19 + f9_2 * g1_19;
  h[1] = f0 * g1 + f1 * g0 + f2 * g9_19 + f3 * g8_19 + f4 * g7_19 + f5 * g6_19 + f6 * g5_19 +
         f7 * g4_19 + f8 * g3_19 + f9 * g2_19;
  h[2] = f0 * g2 + f1_2 * g1 + f2 * g0 + f3_2 * g9_19 + f4 * g8_19 + f5_2 * g7_19 + f6 * g6_19 +
         f7_2 * g5_19 + f8 * g4_19 + f9_2 * g3_19;
  h[3] = f0 * g3 + f1 * g2 + f2 * g1 + f3 * g0 + f4 * g9_19 + f5 * g8_19 + f6 * g7_19 +
         f7 * g6_19 + f8 * g5_19 + f9 * g4_19;
  h[4] = f0 * g4 + f1_2 * g3 + f2 * g2 + f3_2 * g1 + f4 * g0 + f5_2 * g9_19 + f6 * g8_19 +
         f7_2 * g7_19 + f8 * g6_19 + f9_2 * g5_19;
  h[5] = f0 * g5 + f1 * g4 + f2 * g3 + f3 * g2 + f4 * g1 + f5 * g0 + f6 * g9_19 + f7 * g8_19 +
         f8 * g7_19 + f9 * g6_19;
  h[6] = f0 * g6 + f1_2 * g5 + f2 * g4 + f3_2 * g3 + f4 * g2 + f5_2 * g1 + f6 * g0 + f7_2 * g9_19 +
         f8 * g8_19 + f9_2 * g7_19;
  h[7] = f0 * g7 + f1 * g6 + f2 * g5 + f3 * g4 + f4 * g3 + f5 * g2 + f6 * g1 + f7 * g0 +
         f8 * g9_19 + f9 * g8_19;
  h[8] = f0 * g8 + f1_2 * g7 + f2 * g6 + f3_2 * g5 + f4 * g4 + f5_2 * g3 + f6 * g2 + f7_2 * g1 +
         f8 * g0 + f9_2 * g9_19;
  h[9] = f0 * g9 + f1 * g8 + f2 * g7 + f3 * g6 + f4 * g5 + f5 * g4 + f6 * g3 + f7 * g2 + f8 * g1 +
         f9 * g0;
  carry_product(h_out, h);
}

void fe_sq(fe h_out, const fe f) {
  int64_t h[10];
  square_columns(h, f);
  carry_product(h_out, h);
}

void fe_sq2(fe h_out, const fe f) {
  int64_t h[10];
  square_columns(h, f);
  for (int i = 0; i < 10; ++i) h[i] += h[i];
  carry_product(h_out, h);
}

void fe_mul121666(fe h_out, const fe f) {
  int64_t h[10];
  for (int i = 0; i < 10; ++i) h[i] = static_cast<int64_t>(f[i]) * 121666;
  carry(h, 9);
  carry(h, 1);
  carry(h, 3);
  carry(h, 5);
  carry(h, 7);
  carry(h, 0);
  carry(h, 2);
  carry(h, 4);
  carry(h, 6);
  carry(h, 8);
  store(h_out, h);
}

namespace {

void sq_times(fe h, const fe f, int n) {
  fe_sq(h, f);
  for (int i = 1; i < n; ++i) fe_sq(h, h);
}

// t1 = z^(2^250 - 1) and t0 = z^11: the common head of inversion and of the square-root
// power.
void pow_2_250_minus_1(fe t1, fe t0, const fe z) {
  fe t2, t3;
  fe_sq(t0, z);          // z^2
  sq_times(t1, t0, 2);   // z^8
  fe_mul(t1, z, t1);     // z^9
  fe_mul(t0, t0, t1);    // z^11
  fe_sq(t2, t0);         // z^22
  fe_mul(t1, t1, t2);    // z^(2^5 - 1)
  sq_times(t2, t1, 5);
  fe_mul(t1, t2, t1);    // z^(2^10 - 1)
  sq_times(t2, t1, 10);
  fe_mul(t2, t2, t1);    // z^(2^20 - 1)
  sq_times(t3, t2, 20);
  fe_mul(t2, t3, t2);    // z^(2^40 - 1)
  sq_times(t2, t2, 10);
  fe_mul(t1, t2, t1);    // z^(2^50 - 1)
  sq_times(t2, t1, 50);
  fe_mul(t2, t2, t1);    // z^(2^100 - 1)
  sq_times(t3, t2, 100);
  fe_mul(t2, t3, t2);    // z^(2^200 - 1)
  sq_times(t2, t2, 50);
  fe_mul(t1, t2, t1);    // z^(2^250 - 1)
}

}  // namespace

void fe_invert(fe out, const fe z) {
  fe t0, t1;
  pow_2_250_minus_1(t1, t0, z);
  sq_times(t1, t1, 5);   // z^(2^255 - 32)
  fe_mul(out, t1, t0);   // z^(2^255 - 21) = z^(p - 2)
}

void fe_pow22523(fe out, const fe z) {
  fe t0, t1;
  pow_2_250_minus_1(t1, t0, z);
  sq_times(t1, t1, 2);   // z^(2^252 - 4)
  fe_mul(out, t1, z);    // z^(2^252 - 3)
}
