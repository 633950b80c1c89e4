// Field arithmetic on two or four elements at once, one per 64-bit lane of an AVX2
// vector: limb i of every element in vector i, sign-extended. Each lane runs exactly the
// products and carries of the one-element code (fe_columns.h). Module-internal; include
// only inside a region compiled for AVX2 (#pragma GCC target("avx2")), and call only
// where fe_lanes_available() is true.
#pragma once

#include <immintrin.h>

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

template <int N>
struct Lanes;
template <>
struct Lanes<2> {
  using type = v2;
};
template <>
struct Lanes<4> {
  using type = v4;
};

template <int N, class V>
inline void widen(V out[10], const int32_t* const f[N]) {
  for (int i = 0; i < 10; ++i) {
    V v{};
    for (int l = 0; l < N; ++l) v[l] = f[l][i];
    out[i] = v;
  }
}

template <int N, class V>
inline void narrow(int32_t* const h[N], const V hv[10]) {
  for (int l = 0; l < N; ++l) {
    for (int i = 0; i < 10; ++i) h[l][i] = static_cast<int32_t>(hv[i][l]);
  }
}

template <class V>
inline void lanes_mul(V h[10], const V f[10], const V g[10]) {
  mul_columns(h, f, g);
  carry_product(h);
}

// twice: all ones in the lanes whose column sums are doubled before the carries (fe_sq2).
template <class V>
inline void lanes_sq(V h[10], const V f[10], V twice) {
  square_columns(h, f);
  for (int i = 0; i < 10; ++i) h[i] += h[i] & twice;
  carry_product(h);
}

// h = 121666 f limb by limb, then the carries of fe_mul121666.
template <class V>
inline void lanes_mul121666(V h[10], const V f[10]) {
  V k{};
  for (int l = 0; l < static_cast<int>(sizeof(V) / 8); ++l) k[l] = 121666;
  for (int i = 0; i < 10; ++i) h[i] = prod(f[i], k);
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
}

}  // namespace
