// Arithmetic modulo p = 2^255 - 19 in ten signed limbs (26, 25, 26, 25, ... bits wide).
// Every function runs the same instruction sequence whatever the values: no branch and
// no memory index depends on a field element.
#include "curve25519_internal.h"

namespace crypt_internal {

namespace {

int64_t load3(const uint8_t* s) {
  return static_cast<int64_t>(s[0]) | static_cast<int64_t>(s[1]) << 8 |
         static_cast<int64_t>(s[2]) << 16;
}

int64_t load4(const uint8_t* s) { return load3(s) | static_cast<int64_t>(s[3]) << 24; }

// The limb operations of fe_columns.h for one element held in 64-bit integers.
inline int64_t prod(int64_t a, int64_t b) { return a * b; }
inline int64_t mul19(int64_t a) { return 19 * a; }
inline int64_t shl(int64_t a, int w) { return a * (int64_t{1} << w); }
inline int64_t sar(int64_t a, int w) { return a >> w; }
inline void settle(int64_t&) {}

inline void store(fe out, const int64_t h[10]) {
  for (int i = 0; i < 10; ++i) out[i] = static_cast<int32_t>(h[i]);
}

inline void widen(int64_t out[10], const fe f) {
  for (int i = 0; i < 10; ++i) out[i] = f[i];
}

}  // namespace

#include "fe_columns.h"

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
  int64_t fw[10], gw[10], h[10];
  widen(fw, f);
  widen(gw, g);
  mul_columns(h, fw, gw);
  carry_product(h);
  store(h_out, h);
}

void fe_sq(fe h_out, const fe f) {
  int64_t fw[10], h[10];
  widen(fw, f);
  square_columns(h, fw);
  carry_product(h);
  store(h_out, h);
}

void fe_sq2(fe h_out, const fe f) {
  int64_t fw[10], h[10];
  widen(fw, f);
  square_columns(h, fw);
  for (int i = 0; i < 10; ++i) h[i] += h[i];
  carry_product(h);
  store(h_out, h);
}

void fe_mul121666(fe h_out, const fe f) {
  int64_t h[10];
  for (int i = 0; i < 10; ++i) h[i] = static_cast<int64_t>(f[i]) * 121666;
  carry_small_product(h);
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

}  // namespace crypt_internal
