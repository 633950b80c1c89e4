// Points of edwards25519 (-x^2 + y^2 = 1 + d x^2 y^2) in extended coordinates: encoding,
// decoding, complete addition and a constant-time scalar multiplication.
#include "curve25519_internal.h"

namespace crypt_internal {

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

// sum = r + q (the complete addition of ge_add) and q = 2 q (for a = -1, T of q not read:
// four squarings, four multiplications) in one pass. The products of the two are
// independent of each other, so they go to the field code four at a time. sum must not
// alias r or q.
void ge_add_and_double(ge* sum, const ge* r, ge* q) {
  fe a, b, k, d, t, u;
  fe_sub(a, r->Y, r->X);
  fe_sub(t, q->Y, q->X);
  fe_add(b, r->Y, r->X);
  fe_add(u, q->Y, q->X);
  {
    int32_t* const h[4] = {a, b, k, d};
    const int32_t* const f[4] = {a, b, r->T, r->Z};
    const int32_t* const g[4] = {t, u, q->T, q->Z};
    fe_mul4(h, f, g);  // (Y1 - X1)(Y2 - X2), (Y1 + X1)(Y2 + X2), T1 T2, Z1 Z2
  }

  fe da, db, dk, de, dg, df, dh;
  fe_add(t, q->X, q->Y);
  {
    int32_t* const h[4] = {da, db, dk, de};
    const int32_t* const f[4] = {q->X, q->Y, q->Z, t};
    fe_sq4(h, f, 1u << 2);  // X^2, Y^2, 2 Z^2, (X + Y)^2
  }
  fe_sub(de, de, da);
  fe_sub(de, de, db);
  fe_sub(dg, db, da);
  fe_sub(df, dg, dk);
  fe_add(dh, da, db);
  fe_neg(dh, dh);
  // q has been read in full: the doubling's products go straight into it.
  {
    int32_t* const h[4] = {k, q->X, q->Y, q->T};
    const int32_t* const f[4] = {k, de, dg, de};
    const int32_t* const g[4] = {FE_D2, df, dh, dh};
    fe_mul4(h, f, g);
  }
  fe_mul(q->Z, df, dg);

  fe_add(d, d, d);
  fe e, f, g, h;
  fe_sub(e, b, a);
  fe_add(h, b, a);
  fe_sub(f, d, k);
  fe_add(g, d, k);
  {
    int32_t* const ho[4] = {sum->X, sum->Y, sum->T, sum->Z};
    const int32_t* const fi[4] = {e, g, e, f};
    const int32_t* const gi[4] = {f, h, h, g};
    fe_mul4(ho, fi, gi);
  }
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
  // mask from the bit, then doubles Q, so the sequence of operations and memory accesses
  // is the same for every scalar.
  ge q = *pt;
  ge r, sum;
  ge_neutral(&r);
  for (int i = 0; i < 256; ++i) {
    const uint32_t bit = (k[i >> 3] >> (i & 7)) & 1u;
    ge_add_and_double(&sum, &r, &q);
    ge_cmov(&r, &sum, bit);
  }
  *out = r;
}

}  // namespace crypt_internal
