// The X25519 ladder with its two points held in vector lanes: (x2 | z2) and (x3 | z3),
// lane 0 and lane 1. Each step computes exactly the field operations of the one-element
// ladder in x25519.cpp, two at a time, without unpacking between them.
#include "curve25519_internal.h"

#ifdef VANTIRO_FE_LANES
VANTIRO_AVX2_BEGIN
#include "fe_lanes.h"

namespace {

inline v2 swap_halves(v2 a) {
  return reinterpret_cast<v2>(_mm_shuffle_epi32(reinterpret_cast<__m128i>(a), 0x4E));
}
// (lane 0 of a | lane 0 of b)
inline v2 low_low(v2 a, v2 b) {
  return reinterpret_cast<v2>(
      _mm_unpacklo_epi64(reinterpret_cast<__m128i>(a), reinterpret_cast<__m128i>(b)));
}
// (lane 0 of a | lane 1 of b)
inline v2 low_high(v2 a, v2 b) {
  return reinterpret_cast<v2>(
      _mm_blend_epi16(reinterpret_cast<__m128i>(a), reinterpret_cast<__m128i>(b), 0xF0));
}
// (a | b): four lanes from two pairs.
inline v4 join(v2 a, v2 b) {
  return reinterpret_cast<v4>(_mm256_set_m128i(reinterpret_cast<__m128i>(b), reinterpret_cast<__m128i>(a)));
}
inline v2 low_pair(v4 a) { return reinterpret_cast<v2>(_mm256_castsi256_si128(reinterpret_cast<__m256i>(a))); }
inline v2 high_pair(v4 a) {
  return reinterpret_cast<v2>(_mm256_extracti128_si256(reinterpret_cast<__m256i>(a), 1));
}

}  // namespace

namespace crypt_internal {

void x25519_ladder_lanes(fe x2, fe z2, const fe x1, const uint8_t e[32]) {
  v2 p[10], q[10], x1x1[10];
  for (int i = 0; i < 10; ++i) {
    p[i] = v2{i == 0 ? 1 : 0, 0};  // (x2 | z2) = (1 | 0)
    q[i] = v2{x1[i], i == 0 ? 1 : 0};  // (x3 | z3) = (x1 | 1)
    x1x1[i] = v2{x1[i], x1[i]};
  }
  v2 ab[10], ba[10], dc[10], m[10], n[10], t[10], r[10], ex[10], u[10];
  v4 f4[10], g4[10], h4[10];
  int64_t swap = 0;
  for (int pos = 254; pos >= 0; --pos) {
    const int64_t bit = (e[pos >> 3] >> (pos & 7)) & 1;
    swap ^= bit;
    const v2 mask = v2{-swap, -swap};
    for (int i = 0; i < 10; ++i) {
      const v2 d = mask & (p[i] ^ q[i]);
      p[i] ^= d;
      q[i] ^= d;
    }
    swap = bit;

    for (int i = 0; i < 10; ++i) {
      const v2 ps = swap_halves(p[i]);
      const v2 sum = p[i] + ps;   // lane 0: A = x2 + z2
      const v2 diff = p[i] - ps;  // lane 0: B = x2 - z2
      ab[i] = low_low(sum, diff);
      ba[i] = low_low(diff, sum);
      const v2 qs = swap_halves(q[i]);
      dc[i] = low_low(q[i] - qs, q[i] + qs);  // (D | C) = (x3 - z3 | x3 + z3)
    }
    lanes_mul(m, dc, ab);  // (DA | CB)
    lanes_sq(n, ba, v2{});  // (BB | AA)
    for (int i = 0; i < 10; ++i) {
      const v2 ms = swap_halves(m[i]);
      t[i] = low_low(m[i] + ms, m[i] - ms);  // (DA + CB | DA - CB)
    }
    lanes_sq(r, t, v2{});  // (x3 | W)
    for (int i = 0; i < 10; ++i) {
      const v2 ns = swap_halves(n[i]);
      ex[i] = ns - n[i];  // lane 0: E = AA - BB
    }
    lanes_mul121666(u, ex);  // lane 0: 121666 E
    // Three products in one four-lane multiplication: (AA | E | x1 | x1) times
    // (BB | BB + 121666 E | x1 | W), giving (x2 | z2 | - | z3).
    for (int i = 0; i < 10; ++i) {
      f4[i] = join(low_low(swap_halves(n[i]), ex[i]), x1x1[i]);
      g4[i] = join(low_low(n[i], n[i] + u[i]), r[i]);
    }
    lanes_mul(h4, f4, g4);
    for (int i = 0; i < 10; ++i) {
      p[i] = low_pair(h4[i]);
      q[i] = low_high(r[i], high_pair(h4[i]));  // (x3 | z3)
    }
  }
  const v2 mask = v2{-swap, -swap};
  for (int i = 0; i < 10; ++i) {
    const v2 d = mask & (p[i] ^ q[i]);
    p[i] ^= d;
  }
  for (int i = 0; i < 10; ++i) {
    x2[i] = static_cast<int32_t>(p[i][0]);
    z2[i] = static_cast<int32_t>(p[i][1]);
  }
}

}  // namespace crypt_internal

VANTIRO_AVX2_END
#endif
