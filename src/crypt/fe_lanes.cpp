// Independent field multiplications and squarings computed side by side. On x86-64
// processors with AVX2, two or four of them share the 64-bit lanes of vector registers,
// each lane running exactly the products and carries of fe_mul / fe_sq; elsewhere (or
// when switched off for a test) they are plain calls one after the other. The choice
// depends only on the processor, never on the operands.
#include "curve25519_internal.h"

namespace {

int g_lanes_off = 0;  // test hook: 1 forces the one-at-a-time code

}  // namespace

#ifdef VANTIRO_FE_LANES
VANTIRO_AVX2_BEGIN
#include "fe_lanes.h"

namespace {

template <int N>
void mul_lanes(int32_t* const h[N], const int32_t* const f[N], const int32_t* const g[N]) {
  using V = typename Lanes<N>::type;
  V fv[10], gv[10], hv[10];
  widen<N>(fv, f);
  widen<N>(gv, g);
  lanes_mul(hv, fv, gv);
  narrow<N>(h, hv);
}

template <int N>
void sq_lanes(int32_t* const h[N], const int32_t* const f[N], unsigned double_mask) {
  using V = typename Lanes<N>::type;
  V fv[10], hv[10];
  widen<N>(fv, f);
  V twice{};
  for (int l = 0; l < N; ++l) twice[l] = ((double_mask >> l) & 1u) ? -1 : 0;
  lanes_sq(hv, fv, twice);
  narrow<N>(h, hv);
}

}  // namespace

VANTIRO_AVX2_END
#endif

bool fe_lanes_available() {
#ifdef VANTIRO_FE_LANES
  static const bool have = __builtin_cpu_supports("avx2");
  return have && g_lanes_off == 0;
#else
  return false;
#endif
}

void fe_lanes_off_FOR_TEST(int off) { g_lanes_off = off; }

namespace {

// One-at-a-time fallbacks. Results go through copies so that outputs may alias inputs.
template <int N>
void mul_each(int32_t* const h[N], const int32_t* const f[N], const int32_t* const g[N]) {
  fe r[N];
  for (int l = 0; l < N; ++l) fe_mul(r[l], f[l], g[l]);
  for (int l = 0; l < N; ++l) fe_copy(h[l], r[l]);
}

template <int N>
void sq_each(int32_t* const h[N], const int32_t* const f[N], unsigned double_mask) {
  fe r[N];
  for (int l = 0; l < N; ++l) {
    if ((double_mask >> l) & 1u) {
      fe_sq2(r[l], f[l]);
    } else {
      fe_sq(r[l], f[l]);
    }
  }
  for (int l = 0; l < N; ++l) fe_copy(h[l], r[l]);
}

}  // namespace

void fe_mul_pair(fe ha, const fe fa, const fe ga, fe hb, const fe fb, const fe gb) {
  int32_t* const h[2] = {ha, hb};
  const int32_t* const f[2] = {fa, fb};
  const int32_t* const g[2] = {ga, gb};
#ifdef VANTIRO_FE_LANES
  if (fe_lanes_available()) return mul_lanes<2>(h, f, g);
#endif
  mul_each<2>(h, f, g);
}

void fe_sq_pair(fe ha, const fe fa, fe hb, const fe fb) {
  int32_t* const h[2] = {ha, hb};
  const int32_t* const f[2] = {fa, fb};
#ifdef VANTIRO_FE_LANES
  if (fe_lanes_available()) return sq_lanes<2>(h, f, 0);
#endif
  sq_each<2>(h, f, 0);
}

void fe_sq2_sq_pair(fe ha, const fe fa, fe hb, const fe fb) {
  int32_t* const h[2] = {ha, hb};
  const int32_t* const f[2] = {fa, fb};
#ifdef VANTIRO_FE_LANES
  if (fe_lanes_available()) return sq_lanes<2>(h, f, 1);
#endif
  sq_each<2>(h, f, 1);
}

void fe_mul4(int32_t* const h[4], const int32_t* const f[4], const int32_t* const g[4]) {
#ifdef VANTIRO_FE_LANES
  if (fe_lanes_available()) return mul_lanes<4>(h, f, g);
#endif
  mul_each<4>(h, f, g);
}

void fe_sq4(int32_t* const h[4], const int32_t* const f[4], unsigned double_mask) {
#ifdef VANTIRO_FE_LANES
  if (fe_lanes_available()) return sq_lanes<4>(h, f, double_mask);
#endif
  sq_each<4>(h, f, double_mask);
}
