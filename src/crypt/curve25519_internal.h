// Module-internal arithmetic behind Ed25519 and X25519: the field GF(2^255 - 19),
// points of edwards25519 in extended coordinates, and scalars modulo the group order L,
// all in namespace crypt_internal (a crypt source file writes
// "using namespace crypt_internal;" after its includes).
// Nothing here branches or indexes memory on the value of a field element or scalar,
// except where a function says its input is public (point decoding).
#pragma once

#include <cstddef>
#include <cstdint>

namespace crypt_internal {

// ---- Field elements ---------------------------------------------------------------

// Ten signed limbs; limb i sits at bit ceil(25.5 * i) (even limbs 26 bits wide, odd 25).
// A value has many representations; only fe_tobytes gives the canonical one.
// "Reduced": what fe_frombytes, fe_mul, fe_sq and fe_invert return. "Loose": the limb-wise
// sum or difference of at most three reduced elements. Multiplication accepts loose inputs.
using fe = int32_t[10];

// Decodes 32 little-endian bytes; bit 255 is ignored, values p .. 2^255-1 stand for their residue.
void fe_frombytes(fe h, const uint8_t s[32]);
// Canonical encoding of h mod p (below p, bit 255 clear). Accepts reduced or loose h.
void fe_tobytes(uint8_t s[32], const fe h);
// h = f * g; h may alias f or g.
void fe_mul(fe h, const fe f, const fe g);
// h = f^2; h may alias f.
void fe_sq(fe h, const fe f);
// h = 2 * f^2, doubled before the carries so h is reduced; h may alias f.
void fe_sq2(fe h, const fe f);
// h = 121666 * f; h may alias f.
void fe_mul121666(fe h, const fe f);
}  // namespace crypt_internal

// AVX2 lane code is compiled in on x86-64 with GCC or Clang; it runs where the processor
// has AVX2 (fe_lanes_available), and gives exactly the results of the one-element code.
// Not on Windows: GCC there does not align the stack for 32-byte vector spills, so a
// spill could fault; the one-element code runs instead.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#define VANTIRO_FE_LANES 1
// Opens and closes a region of functions compiled for AVX2 (GCC and Clang spell it apart).
#if defined(__clang__)
#define VANTIRO_AVX2_BEGIN \
  _Pragma("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define VANTIRO_AVX2_END _Pragma("clang attribute pop")
#else
#define VANTIRO_AVX2_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define VANTIRO_AVX2_END _Pragma("GCC pop_options")
#endif
#endif
namespace crypt_internal {

bool fe_lanes_available();
// Test hook: a non-zero off makes every operation below take the one-at-a-time code.
void fe_lanes_off_FOR_TEST(int off);

// Four independent operations at once, each with exactly the result of the one-element
// function: h[i] = f[i] * g[i]; h[i] = f[i]^2, or 2 f[i]^2 in the lanes whose bit is set
// in double_mask. Every input is read before an output is written, so outputs may alias
// inputs. The lanes multiply limbs pre-multiplied by 19 or 38 in 32 bits: exact only
// while every limb satisfies 19 |f_i| < 2^31 (even i) and 38 |f_i| < 2^31 (odd i), about
// 3.37 times a reduced element's limbs. The loose sums and differences of three reduced
// elements fit; from 3.4 times on the products are wrong. Debug builds check the bound.
void fe_mul4(int32_t* const h[4], const int32_t* const f[4], const int32_t* const g[4]);
void fe_sq4(int32_t* const h[4], const int32_t* const f[4], unsigned double_mask);
// out = z^(p-2): the inverse of z, and 0 for z = 0; out may alias z.
void fe_invert(fe out, const fe z);
// out = z^((p-5)/8) = z^(2^252 - 3), the power used to take square roots; out may alias z.
void fe_pow22523(fe out, const fe z);

inline void fe_0(fe h) {
  for (int i = 0; i < 10; ++i) h[i] = 0;
}
inline void fe_1(fe h) {
  h[0] = 1;
  for (int i = 1; i < 10; ++i) h[i] = 0;
}
inline void fe_copy(fe h, const fe f) {
  for (int i = 0; i < 10; ++i) h[i] = f[i];
}
// Limb-wise, no carries: the caller keeps results within the loose bound.
inline void fe_add(fe h, const fe f, const fe g) {
  for (int i = 0; i < 10; ++i) h[i] = f[i] + g[i];
}
inline void fe_sub(fe h, const fe f, const fe g) {
  for (int i = 0; i < 10; ++i) h[i] = f[i] - g[i];
}
inline void fe_neg(fe h, const fe f) {
  for (int i = 0; i < 10; ++i) h[i] = -f[i];
}
// f = g when b is 1, f unchanged when b is 0; b must be 0 or 1. No branch on b.
inline void fe_cmov(fe f, const fe g, uint32_t b) {
  const int32_t mask = -static_cast<int32_t>(b);
  for (int i = 0; i < 10; ++i) f[i] ^= mask & (f[i] ^ g[i]);
}
// Exchanges f and g when b is 1; b must be 0 or 1. No branch on b.
inline void fe_cswap(fe f, fe g, uint32_t b) {
  const int32_t mask = -static_cast<int32_t>(b);
  for (int i = 0; i < 10; ++i) {
    const int32_t x = mask & (f[i] ^ g[i]);
    f[i] ^= x;
    g[i] ^= x;
  }
}

// The Montgomery ladder of x25519 (255 steps over the clamped scalar e, final swap
// included) with (x2, z2) and (x3, z3) held as lane pairs; only where fe_lanes_available().
// Its lane products keep to the bound of fe_mul4 (x1 reduced, every other operand a sum
// or difference of at most two reduced elements).
void x25519_ladder_lanes(fe x2, fe z2, const fe x1, const uint8_t e[32]);

// ---- Points -----------------------------------------------------------------------

// (X : Y : Z : T) with x = X/Z, y = Y/Z, x*y = T/Z. The neutral element is (0 : 1 : 1 : 0).
struct ge {
  fe X;
  fe Y;
  fe Z;
  fe T;
};

extern const fe FE_D;       // d = -121665/121666
extern const fe FE_D2;      // 2d
extern const fe FE_SQRTM1;  // 2^((p-1)/4), a square root of -1
extern const uint8_t B_COMPRESSED[32];  // encoding of the base point (y = 4/5, x even)
extern const uint8_t GROUP_ORDER[32];   // L = 2^252 + 27742317777372353535851937790883648493, LE

// Decodes a public 32-byte encoding: 0, or -1 when y has no x on the curve (out then holds
// garbage). Accepts y >= p (as y mod p) and x = 0 with the sign bit set. Branches on s.
int ge_frombytes(ge* out, const uint8_t s[32]);
// Canonical encoding: y below p, bit 255 the parity of x.
void ge_tobytes(uint8_t s[32], const ge* pt);
// out = p1 + p2, complete (valid for equal points and the neutral element); out may alias.
void ge_add(ge* out, const ge* p1, const ge* p2);
// out = k * pt, k a 256-bit little-endian number used as is (no clamping, no reduction).
// The same operations run for every k; out may alias pt.
void ge_scalarmult(ge* out, const uint8_t k[32], const ge* pt);
void ge_neutral(ge* out);

// ---- Scalars ----------------------------------------------------------------------

// out = in mod L, fully reduced into [0, L). in and out must not overlap.
void sc_reduce(uint8_t out[32], const uint8_t in[64]);
// s = (a * b + c) mod L, fully reduced; the working limbs are wiped. s may alias the inputs.
void sc_muladd(uint8_t s[32], const uint8_t a[32], const uint8_t b[32], const uint8_t c[32]);
// 1 when the 32-byte little-endian s is below L, else 0. Branches on s (public input).
int sc_is_canonical(const uint8_t s[32]);
// Clamps 32 bytes into an X25519 / Ed25519 secret scalar: bits 0..2 and 255 clear, bit 254 set.
inline void sc_clamp(uint8_t a[32]) {
  a[0] &= 248;
  a[31] &= 127;
  a[31] |= 64;
}

}  // namespace crypt_internal
