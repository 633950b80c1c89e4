// Points of edwards25519 (-x^2 + y^2 = 1 + d x^2 y^2) in extended coordinates: encoding,
// decoding, complete addition and a constant-time scalar multiplication.
#include "curve25519_internal.h"

const fe FE_D = {-10913610, 13857413, -15372611, 6949391,   114729,
                 -8787816,  -6275908, -3247719,  -18696448, -12055116};
const fe FE_D2 = {-21827239, -5839606,  -30745221, 13898782, 229458,
                  15978800,  -12551817, -6495438,  29715968, 9444199};
const fe FE_SQRTM1 = {-32595792, -7943725,  9377950,  3500415, 12389472,
                      -272473,   -25146209, -2005654, 326686,  11406482};

const uint8_t B_COMPRESSED[32] = {0x58, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66,
                                  0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66,
                                  0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66,
                                  0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66, 0x66};

const uint8_t GROUP_ORDER[32] = {0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58,
                                 0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9, 0xde, 0x14,
                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};

namespace {

// OR of the canonical encoding's bytes: zero exactly when f = 0 mod p. Public inputs only.
int fe_isnonzero(const fe f) {
  uint8_t s[32];
  fe_tobytes(s, f);
  uint8_t acc = 0;
  for (int i = 0; i < 32; ++i) acc |= s[i];
  return acc != 0;
}

// Parity of the canonical encoding: the "sign" of x in a point encoding.
int fe_isodd(const fe f) {
  uint8_t s[32];
  fe_tobytes(s, f);
  return s[0] & 1;
}

// out = 2 * q for a = -1 (T of q is not read): four squarings, four multiplications.
void ge_double(ge* out, const ge* q) {
  fe a, b, k, e, g, f, h, t;
  fe_sq(a, q->X);
  fe_sq(b, q->Y);
  fe_sq2(k, q->Z);
  fe_add(t, q->X, q->Y);
  fe_sq(e, t);
  fe_sub(e, e, a);
  fe_sub(e, e, b);
  fe_sub(g, b, a);
  fe_sub(f, g, k);
  fe_add(h, a, b);
  fe_neg(h, h);
  fe_mul(out->X, e, f);
  fe_mul(out->Y, g, h);
  fe_mul(out->T, e, h);
  fe_mul(out->Z, f, g);
}

// r = s when b is 1, unchanged when b is 0, through a mask on every limb.
void ge_cmov(ge* r, const ge* s, uint32_t b) {
  fe_cmov(r->X, s->X, b);
  fe_cmov(r->Y, s->Y, b);
  fe_cmov(r->Z, s->Z, b);
  fe_cmov(r->T, s->T, b);
}

}  // namespace

void ge_neutral(ge* out) {
  fe_0(out->X);
  fe_1(out->Y);
  fe_1(out->Z);
  fe_0(out->T);
}

int ge_frombytes(ge* out, const uint8_t s[32]) {
  uint8_t copy[32];
  for (int i = 0; i < 32; ++i) copy[i] = s[i];
  const int x0 = copy[31] >> 7;
  copy[31] &= 0x7F;
  fe_frombytes(out->Y, copy);

  fe u, v, w, check;
  fe_sq(u, out->Y);
  fe_mul(v, u, FE_D);
  u[0] -= 1;  // u = y^2 - 1
  v[0] += 1;  // v = d y^2 + 1

  fe_sq(w, v);
  fe_mul(w, w, v);  // w = v^3
  fe_sq(out->X, w);
  fe_mul(out->X, out->X, v);
  fe_mul(out->X, out->X, u);  // u v^7
  fe_pow22523(out->X, out->X);
  fe_mul(out->X, out->X, w);
  fe_mul(out->X, out->X, u);  // candidate x = u v^3 (u v^7)^((p-5)/8)

  fe_sq(check, out->X);
  fe_mul(check, check, v);
  fe t;
  fe_sub(t, check, u);
  if (fe_isnonzero(t)) {
    fe_add(t, check, u);
    if (fe_isnonzero(t)) return -1;
    fe_mul(out->X, out->X, FE_SQRTM1);
  }
  if (fe_isodd(out->X) != x0) fe_neg(out->X, out->X);

  fe_1(out->Z);
  fe_mul(out->T, out->X, out->Y);
  return 0;
}

void ge_tobytes(uint8_t s[32], const ge* pt) {
  fe zi, x, y;
  fe_invert(zi, pt->Z);
  fe_mul(x, pt->X, zi);
  fe_mul(y, pt->Y, zi);
  uint8_t xs[32];
  fe_tobytes(xs, x);
  fe_tobytes(s, y);
  s[31] = static_cast<uint8_t>(s[31] ^ ((xs[0] & 1) << 7));
}

void ge_add(ge* out, const ge* p1, const ge* p2) {
  fe a, b, k, d, e, f, g, h, t;
  fe_sub(a, p1->Y, p1->X);
  fe_sub(t, p2->Y, p2->X);
  fe_mul(a, a, t);
  fe_add(b, p1->Y, p1->X);
  fe_add(t, p2->Y, p2->X);
  fe_mul(b, b, t);
  fe_mul(k, p1->T, p2->T);
  fe_mul(k, k, FE_D2);
  fe_mul(d, p1->Z, p2->Z);
  fe_add(d, d, d);
  fe_sub(e, b, a);
  fe_add(h, b, a);
  fe_sub(f, d, k);
  fe_add(g, d, k);
  // Every input has been read: out may be p1 or p2.
  fe_mul(out->X, e, f);
  fe_mul(out->Y, g, h);
  fe_mul(out->T, e, h);
  fe_mul(out->Z, f, g);
}

void ge_scalarmult(ge* out, const uint8_t k[32], const ge* pt) {
  // Right-to-left double-and-add. Every round computes R + Q and keeps it or R under a
  // mask from the bit, so the sequence of operations and memory accesses is the same
  // for every scalar.
  ge q = *pt;
  ge r, sum;
  ge_neutral(&r);
  for (int i = 0; i < 256; ++i) {
    const uint32_t bit = (k[i >> 3] >> (i & 7)) & 1u;
    ge_add(&sum, &r, &q);
    ge_cmov(&r, &sum, bit);
    ge_double(&q, &q);
  }
  *out = r;
}
