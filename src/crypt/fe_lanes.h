// Field arithmetic on two or four elements at once, one per 64-bit lane of an AVX2
// vector: limb i of every element in vector i, sign-extended. Each lane runs exactly the
// products and carries of the one-element code (fe_columns.h), for operands whose limbs
// keep to the bound below (about 3.37 times a reduced element's; debug builds check it).
// Module-internal; include only between VANTIRO_AVX2_BEGIN and VANTIRO_AVX2_END, and call
// only where fe_lanes_available() is true.
#pragma once

#include <immintrin.h>

#include <cassert>
#include <cstdint>

namespace {

typedef int64_t v2 __attribute__((vector_size(16)));
typedef int64_t v4 __attribute__((vector_size(32)));
typedef uint64_t u2 __attribute__((vector_size(16)));
typedef uint64_t u4 __attribute__((vector_size(32)));

// The limb operations of fe_columns.h. Operands of prod hold sign-extended 32-bit limbs:
// pmuldq multiplies the low 32 bits of each lane, signed, into the whole lane.
inline v2 prod(v2 a, v2 b) {
  return reinterpret_cast<v2>(_mm_mul_epi32(reinterpret_cast<__m128i>(a), reinterpret_cast<__m128i>(b)));
}
inline v4 prod(v4 a, v4 b) {
  return reinterpret_cast<v4>(
      _mm256_mul_epi32(reinterpret_cast<__m256i>(a), reinterpret_cast<__m256i>(b)));
}
inline v2 mul19(v2 a) { return a + (a << 1) + (a << 4); }
inline v4 mul19(v4 a) { return a + (a << 1) + (a << 4); }
inline v2 shl(v2 a, int w) { return a << w; }
inline v4 shl(v4 a, int w) { return a << w; }
// Floor shift without a 64-bit arithmetic shift instruction: every sum here is far below
// 2^62 in size, so a + 2^62 is non-negative, shifts logically, and 2^(62-w) comes off.
inline v2 sar(v2 a, int w) {
  return reinterpret_cast<v2>(reinterpret_cast<u2>(a + (int64_t{1} << 62)) >> w) -
         (int64_t{1} << (62 - w));
}
inline v4 sar(v4 a, int w) {
  return reinterpret_cast<v4>(reinterpret_cast<u4>(a + (int64_t{1} << 62)) >> w) -
         (int64_t{1} << (62 - w));
}
inline void settle(v2& a) { __asm__("" : "+x"(a)); }
inline void settle(v4& a) { __asm__("" : "+x"(a)); }

}  // namespace

#include "fe_columns.h"

namespace {

// Four elements: a 4 x 8 transpose of limbs 0..7 in registers, limbs 8 and 9 apart.
FE_KERNEL void widen4(v4 out[10], const int32_t* const f[4]) {
  const __m256i r0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f[0]));
  const __m256i r1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f[1]));
  const __m256i r2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f[2]));
  const __m256i r3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f[3]));
  const __m256i t0 = _mm256_unpacklo_epi32(r0, r1);  // a0 b0 a1 b1 | a4 b4 a5 b5
  const __m256i t1 = _mm256_unpackhi_epi32(r0, r1);  // a2 b2 a3 b3 | a6 b6 a7 b7
  const __m256i t2 = _mm256_unpacklo_epi32(r2, r3);
  const __m256i t3 = _mm256_unpackhi_epi32(r2, r3);
  const __m256i u[4] = {_mm256_unpacklo_epi64(t0, t2), _mm256_unpackhi_epi64(t0, t2),
                        _mm256_unpacklo_epi64(t1, t3), _mm256_unpackhi_epi64(t1, t3)};
  for (int j = 0; j < 4; ++j) {  // u[j] = limb j of a b c d | limb j + 4 of a b c d
    out[j] = reinterpret_cast<v4>(_mm256_cvtepi32_epi64(_mm256_castsi256_si128(u[j])));
    out[j + 4] = reinterpret_cast<v4>(_mm256_cvtepi32_epi64(_mm256_extracti128_si256(u[j], 1)));
  }
  const __m128i q0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(f[0] + 8));
  const __m128i q1 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(f[1] + 8));
  const __m128i q2 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(f[2] + 8));
  const __m128i q3 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(f[3] + 8));
  const __m128i s0 = _mm_unpacklo_epi32(q0, q1);  // a8 b8 a9 b9
  const __m128i s1 = _mm_unpacklo_epi32(q2, q3);  // c8 d8 c9 d9
  out[8] = reinterpret_cast<v4>(_mm256_cvtepi32_epi64(_mm_unpacklo_epi64(s0, s1)));
  out[9] = reinterpret_cast<v4>(_mm256_cvtepi32_epi64(_mm_unpackhi_epi64(s0, s1)));
}

// Four elements: the low halves of the lanes gathered, then the transpose back.
FE_KERNEL void narrow4(int32_t* const h[4], const v4 hv[10]) {
  const __m256i even = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  __m128i p[10];  // p[i] = limb i of a b c d, as 32-bit values
  for (int i = 0; i < 10; ++i) {
    p[i] = _mm256_castsi256_si128(
        _mm256_permutevar8x32_epi32(reinterpret_cast<__m256i>(hv[i]), even));
  }
  __m256i w[4];
  for (int j = 0; j < 4; ++j) w[j] = _mm256_inserti128_si256(_mm256_castsi128_si256(p[j]), p[j + 4], 1);
  const __m256i t0 = _mm256_unpacklo_epi32(w[0], w[1]);  // a0 a1 b0 b1 | a4 a5 b4 b5
  const __m256i t1 = _mm256_unpackhi_epi32(w[0], w[1]);  // c0 c1 d0 d1 | c4 c5 d4 d5
  const __m256i t2 = _mm256_unpacklo_epi32(w[2], w[3]);
  const __m256i t3 = _mm256_unpackhi_epi32(w[2], w[3]);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(h[0]), _mm256_unpacklo_epi64(t0, t2));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(h[1]), _mm256_unpackhi_epi64(t0, t2));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(h[2]), _mm256_unpacklo_epi64(t1, t3));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(h[3]), _mm256_unpackhi_epi64(t1, t3));
  const __m128i lo = _mm_unpacklo_epi32(p[8], p[9]);  // a8 a9 b8 b9
  const __m128i hi = _mm_unpackhi_epi32(p[8], p[9]);  // c8 c9 d8 d9
  _mm_storel_epi64(reinterpret_cast<__m128i*>(h[0] + 8), lo);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(h[1] + 8), _mm_unpackhi_epi64(lo, lo));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(h[2] + 8), hi);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(h[3] + 8), _mm_unpackhi_epi64(hi, hi));
}

// The largest limb magnitudes the lanes multiply exactly: 19 times an even limb and 38
// times an odd one must fit in the 32 bits that pmuldq multiplies.
constexpr int64_t kLaneEvenLimbMax = 0x7FFFFFFF / 19;  // 3.37 * 2^25
constexpr int64_t kLaneOddLimbMax = 0x7FFFFFFF / 38;   // 3.37 * 2^24

#ifndef NDEBUG
template <class V>
bool lanes_within_bound(const V f[10]) {
  for (int i = 0; i < 10; ++i) {
    const int64_t max = (i & 1) ? kLaneOddLimbMax : kLaneEvenLimbMax;
    for (int l = 0; l < static_cast<int>(sizeof(V) / 8); ++l) {
      if (f[i][l] > max || f[i][l] < -max) return false;
    }
  }
  return true;
}
#endif

template <class V>
FE_KERNEL void lanes_mul(V h[10], const V f[10], const V g[10]) {
  assert(lanes_within_bound(f) && lanes_within_bound(g));
  mul_columns(h, f, g);
  carry_product(h);
}

// twice: all ones in the lanes whose column sums are doubled before the carries (fe_sq2).
template <class V>
FE_KERNEL void lanes_sq(V h[10], const V f[10], V twice) {
  assert(lanes_within_bound(f));
  square_columns(h, f);
  for (int i = 0; i < 10; ++i) h[i] += h[i] & twice;
  carry_product(h);
}

// h = 121666 f limb by limb, then the carries of fe_mul121666.
template <class V>
FE_KERNEL void lanes_mul121666(V h[10], const V f[10]) {
  V k{};
  for (int l = 0; l < static_cast<int>(sizeof(V) / 8); ++l) k[l] = 121666;
  for (int i = 0; i < 10; ++i) h[i] = prod(f[i], k);
  carry_small_product(h);
}

}  // namespace
