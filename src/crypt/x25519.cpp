// X25519 (RFC 7748): the Montgomery ladder on u-coordinates, and the conversions of Ed25519
// keys to X25519 keys.
#include <cstring>

#include "crypt.h"
#include "curve25519_internal.h"

using namespace crypt_internal;

namespace {

// The ladder one field operation at a time: 255 steps over the clamped scalar e (bit 255
// is always clear), then the final conditional swap. Leaves (x2 : z2).
void ladder(fe x2, fe z2, const fe x1, const uint8_t e[32]) {
  fe x3, z3;
  fe_1(x2);
  fe_0(z2);
  fe_copy(x3, x1);
  fe_1(z3);

  fe a, aa, b, bb, c, d, da, cb, ex, t;
  uint32_t swap = 0;
  for (int pos = 254; pos >= 0; --pos) {
    const uint32_t bit = (e[pos >> 3] >> (pos & 7)) & 1u;
    swap ^= bit;
    fe_cswap(x2, x3, swap);
    fe_cswap(z2, z3, swap);
    swap = bit;

    fe_sub(d, x3, z3);
    fe_sub(b, x2, z2);
    fe_add(a, x2, z2);
    fe_add(c, x3, z3);
    fe_mul(da, d, a);
    fe_mul(cb, c, b);
    fe_sq(bb, b);
    fe_sq(aa, a);
    fe_add(t, da, cb);
    fe_sq(x3, t);
    fe_sub(t, da, cb);
    fe_sq(t, t);
    fe_mul(x2, aa, bb);
    fe_sub(ex, aa, bb);
    fe_mul(z3, x1, t);
    // z2 = E (BB + 121666 E) = E (AA + 121665 E).
    fe_mul121666(t, ex);
    fe_add(t, bb, t);
    fe_mul(z2, ex, t);
  }
  fe_cswap(x2, x3, swap);
  fe_cswap(z2, z3, swap);
}

}  // namespace

void x25519(uint8_t out[32], const uint8_t scalar[32], const uint8_t point[32]) {
  uint8_t e[32];
  std::memcpy(e, scalar, 32);
  sc_clamp(e);

  fe x1, x2, z2;
  fe_frombytes(x1, point);
#ifdef VANTIRO_FE_LANES
  if (fe_lanes_available()) {
    x25519_ladder_lanes(x2, z2, x1, e);
  } else {
    ladder(x2, z2, x1, e);
  }
#else
  ladder(x2, z2, x1, e);
#endif

  fe_invert(z2, z2);
  fe_mul(x2, x2, z2);
  fe_tobytes(out, x2);
  secure_zero(e, sizeof e);
}

void ed25519_pk_to_x25519(uint8_t out[32], const uint8_t pk[32]) {
  fe y, num, den;
  fe_frombytes(y, pk);  // ignores bit 255, the sign of x
  fe_copy(num, y);
  num[0] += 1;
  fe_neg(den, y);
  den[0] += 1;  // den = 1 - y
  fe_invert(den, den);
  fe_mul(num, num, den);
  fe_tobytes(out, num);
}

void ed25519_sk_to_x25519(uint8_t out[32], const uint8_t sk[64]) {
  uint8_t digest[64];
  sha512_ctx ctx;
  sha512_init(&ctx);
  sha512_update(&ctx, sk, 32);
  sha512_final(&ctx, digest);
  sc_clamp(digest);
  std::memcpy(out, digest, 32);
  secure_zero(digest, sizeof digest);
  secure_zero(&ctx, sizeof ctx);
}

void x25519_public_key(uint8_t pk[32], const uint8_t sk[32]) {
  static const uint8_t base[32] = {9};
  x25519(pk, sk, base);
}
