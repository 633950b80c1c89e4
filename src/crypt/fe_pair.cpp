// Two independent field multiplications (or squarings) at once. On x86-64 processors with
// SSE4.1 the two are computed side by side in the two 64-bit lanes of a vector register,
// each lane running exactly the products and carries of fe_mul / fe_sq; elsewhere they
// are two plain calls. The choice depends only on the processor, never on the operands.
#include "curve25519_internal.h"

#if defined(__GNUC__) && defined(__x86_64__)
#define VANTIRO_FE_PAIR_SSE41 1
#pragma GCC push_options
#pragma GCC target("sse4.1")
#include <smmintrin.h>

namespace {

// One limb of each element: lane 0 the first element's, lane 1 the second's.
typedef int64_t v2 __attribute__((vector_size(16)));

// Both operands hold sign-extended 32-bit limbs; pmuldq multiplies the low 32 bits of
// each lane, signed, into the full 64-bit lane.
inline v2 prod(v2 a, v2 b) { return reinterpret_cast<v2>(_mm_mul_epi32(reinterpret_cast<__m128i>(a), reinterpret_cast<__m128i>(b))); }
inline v2 mul19(v2 a) { return a + (a << 1) + (a << 4); }
inline v2 shl(v2 a, int w) { return a << w; }
inline v2 sar(v2 a, int w) { return a >> w; }

inline void widen2(v2 out[10], const fe a, const fe b) {
  for (int i = 0; i < 10; ++i) out[i] = v2{a[i], b[i]};
}

inline void store2(fe a, fe b, const v2 h[10]) {
  for (int i = 0; i < 10; ++i) {
    a[i] = static_cast<int32_t>(h[i][0]);
    b[i] = static_cast<int32_t>(h[i][1]);
  }
}

}  // namespace

#include "fe_columns.h"

namespace {

void mul_pair_sse41(fe ha, const fe fa, const fe ga, fe hb, const fe fb, const fe gb) {
  v2 f[10], g[10], h[10];
  widen2(f, fa, fb);
  widen2(g, ga, gb);
  mul_columns(h, f, g);
  carry_product(h);
  store2(ha, hb, h);
}

// double_a (0 or 1, a public choice of the caller) doubles lane 0's column sums before
// the carries, as fe_sq2 does.
void sq_pair_sse41(fe ha, const fe fa, fe hb, const fe fb, int double_a) {
  v2 f[10], h[10];
  widen2(f, fa, fb);
  square_columns(h, f);
  const v2 keep = v2{-static_cast<int64_t>(double_a), 0};
  for (int i = 0; i < 10; ++i) h[i] += h[i] & keep;
  carry_product(h);
  store2(ha, hb, h);
}

}  // namespace

#pragma GCC pop_options
#endif

namespace {

bool have_sse41() {
#ifdef VANTIRO_FE_PAIR_SSE41
  static const bool have = __builtin_cpu_supports("sse4.1");
  return have;
#else
  return false;
#endif
}

}  // namespace

void fe_mul_pair(fe ha, const fe fa, const fe ga, fe hb, const fe fb, const fe gb) {
#ifdef VANTIRO_FE_PAIR_SSE41
  if (have_sse41()) {
    mul_pair_sse41(ha, fa, ga, hb, fb, gb);
    return;
  }
#endif
  // Copies first, so that outputs may alias any input here too.
  fe a, b;
  fe_mul(a, fa, ga);
  fe_mul(b, fb, gb);
  fe_copy(ha, a);
  fe_copy(hb, b);
}

void fe_sq_pair(fe ha, const fe fa, fe hb, const fe fb) {
#ifdef VANTIRO_FE_PAIR_SSE41
  if (have_sse41()) {
    sq_pair_sse41(ha, fa, hb, fb, 0);
    return;
  }
#endif
  fe a, b;
  fe_sq(a, fa);
  fe_sq(b, fb);
  fe_copy(ha, a);
  fe_copy(hb, b);
}

void fe_sq2_sq_pair(fe ha, const fe fa, fe hb, const fe fb) {
#ifdef VANTIRO_FE_PAIR_SSE41
  if (have_sse41()) {
    sq_pair_sse41(ha, fa, hb, fb, 1);
    return;
  }
#endif
  fe a, b;
  fe_sq2(a, fa);
  fe_sq(b, fb);
  fe_copy(ha, a);
  fe_copy(hb, b);
}
