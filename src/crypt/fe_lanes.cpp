// Independent field multiplications and squarings computed side by side. On x86-64
// processors with AVX2, four of them share the 64-bit lanes of vector registers,
// each lane running exactly the products and carries of fe_mul / fe_sq; elsewhere (or
// when switched off for a test) they are plain calls one after the other. The choice
// depends only on the processor, never on the operands.
#include "curve25519_internal.h"

using namespace crypt_internal;

namespace {

int g_lanes_off = 0;  // test hook: 1 forces the one-at-a-time code

}  // namespace

#ifdef VANTIRO_FE_LANES
VANTIRO_AVX2_BEGIN
#include "fe_lanes.h"

namespace {

void mul_lanes(int32_t* const h[4], const int32_t* const f[4], const int32_t* const g[4]) {
  v4 fv[10], gv[10], hv[10];
  widen4(fv, f);
  widen4(gv, g);
  lanes_mul(hv, fv, gv);
  narrow4(h, hv);
}

void sq_lanes(int32_t* const h[4], const int32_t* const f[4], unsigned double_mask) {
  v4 fv[10], hv[10];
  widen4(fv, f);
  v4 twice{};
  for (int l = 0; l < 4; ++l) twice[l] = ((double_mask >> l) & 1u) ? -1 : 0;
  lanes_sq(hv, fv, twice);
  narrow4(h, hv);
}

}  // namespace

VANTIRO_AVX2_END
#endif

namespace crypt_internal {

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

void fe_mul4(int32_t* const h[4], const int32_t* const f[4], const int32_t* const g[4]) {
#ifdef VANTIRO_FE_LANES
  if (fe_lanes_available()) return mul_lanes(h, f, g);
#endif
  mul_each<4>(h, f, g);
}

void fe_sq4(int32_t* const h[4], const int32_t* const f[4], unsigned double_mask) {
#ifdef VANTIRO_FE_LANES
  if (fe_lanes_available()) return sq_lanes(h, f, double_mask);
#endif
  sq_each<4>(h, f, double_mask);
}

}  // namespace crypt_internal
