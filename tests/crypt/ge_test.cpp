// Edwards points: decoding and its acceptances, neutral element, scalar multiplication by
// 0, 1, 2 and L, linearity, and aliasing of outputs with inputs.
#include <gtest/gtest.h>

#include "curve25519_internal.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

using vt::bytes;

bytes enc(const ge& p) {
  bytes s(32);
  ge_tobytes(s.data(), &p);
  return s;
}

ge base() {
  ge b;
  EXPECT_EQ(ge_frombytes(&b, B_COMPRESSED), 0);
  return b;
}

ge mul(const bytes& k, const ge& p) {
  ge r;
  ge_scalarmult(&r, k.data(), &p);
  return r;
}

bytes small(uint8_t v) {
  bytes s(32, 0);
  s[0] = v;
  return s;
}

// A sample of valid points: multiples of B by pseudo-random scalars.
ge sample_point(uint64_t seed) { return mul(vt::pseudo_random(32, seed), base()); }

// -x^2 + y^2 = 1 + d x^2 y^2 for the affine coordinates of p.
bool on_curve(const ge& p) {
  fe zi, x, y, x2, y2, lhs, rhs, t;
  fe_invert(zi, p.Z);
  fe_mul(x, p.X, zi);
  fe_mul(y, p.Y, zi);
  fe_sq(x2, x);
  fe_sq(y2, y);
  fe_sub(lhs, y2, x2);
  fe_mul(t, x2, y2);
  fe_mul(rhs, t, FE_D);
  rhs[0] += 1;
  fe_sub(t, lhs, rhs);
  uint8_t s[32];
  fe_tobytes(s, t);
  return bytes(s, s + 32) == bytes(32, 0);
}

TEST(Ge, BasePointAndNeutralElement) {
  ge b = base();
  EXPECT_EQ(enc(b), bytes(B_COMPRESSED, B_COMPRESSED + 32));
  EXPECT_TRUE(on_curve(b));
  EXPECT_EQ(enc(mul(small(0), b)), small(1));
  EXPECT_EQ(enc(mul(bytes(GROUP_ORDER, GROUP_ORDER + 32), b)), small(1));
  ge n, r;
  ge_neutral(&n);
  for (uint64_t seed = 1; seed <= 5; ++seed) {
    ge p = sample_point(seed);
    EXPECT_TRUE(on_curve(p));
    EXPECT_EQ(enc(mul(small(1), p)), enc(p));
    ge_add(&r, &p, &n);
    EXPECT_EQ(enc(r), enc(p));
    ge_add(&r, &n, &p);
    EXPECT_EQ(enc(r), enc(p));
  }
}

TEST(Ge, DoublingAdditionAndLinearity) {
  ge b = base();
  for (uint64_t seed = 1; seed <= 5; ++seed) {
    ge p = sample_point(seed), r;
    ge_add(&r, &p, &p);
    EXPECT_EQ(enc(r), enc(mul(small(2), p)));
    // (x + y) B = x B + y B, with x, y < 2^254 so the sum needs no carry out.
    bytes x = vt::pseudo_random(32, seed + 10), y = vt::pseudo_random(32, seed + 20), sum(32);
    x[31] &= 0x3F;
    y[31] &= 0x3F;
    unsigned carry = 0;
    for (int i = 0; i < 32; ++i) {
      carry += unsigned{x[i]} + y[i];
      sum[i] = static_cast<uint8_t>(carry);
      carry >>= 8;
    }
    ge px = mul(x, b), py = mul(y, b);
    ge_add(&r, &px, &py);
    EXPECT_EQ(enc(r), enc(mul(sum, b)));
  }
  // Bit 255 of the scalar is used: 2^255 B = 2 (2^254 B).
  bytes k254(32, 0), k255(32, 0);
  k254[31] = 0x40;
  k255[31] = 0x80;
  ge q = mul(k254, b), r;
  ge_add(&r, &q, &q);
  EXPECT_EQ(enc(r), enc(mul(k255, b)));
}

TEST(Ge, OutputsMayAliasInputs) {
  ge p = sample_point(1), q = sample_point(2), expect;
  ge_add(&expect, &p, &q);
  ge t = p;
  ge_add(&t, &t, &q);
  EXPECT_EQ(enc(t), enc(expect));
  t = q;
  ge_add(&t, &p, &t);
  EXPECT_EQ(enc(t), enc(expect));
  bytes k = vt::pseudo_random(32, 3);
  expect = mul(k, p);
  t = p;
  ge_scalarmult(&t, k.data(), &t);
  EXPECT_EQ(enc(t), enc(expect));
}

TEST(Ge, DecodingAcceptancesAndRejections) {
  ge p;
  bytes s = small(1);
  s[31] = 0x80;  // y = 1 with the sign bit: x = 0 is accepted
  ASSERT_EQ(ge_frombytes(&p, s.data()), 0);
  EXPECT_EQ(enc(p), small(1));
  bytes yp1(32, 0xFF);  // y = p + 1
  yp1[0] = 0xEE;
  yp1[31] = 0x7F;
  ASSERT_EQ(ge_frombytes(&p, yp1.data()), 0);
  EXPECT_EQ(enc(p), small(1));
  EXPECT_EQ(ge_frombytes(&p, small(2).data()), -1);  // y = 2: x^2 is no square
  // y = -1 is the point (0, -1) of order 2.
  bytes ym1(32, 0xFF);
  ym1[0] = 0xEC;
  ym1[31] = 0x7F;
  ASSERT_EQ(ge_frombytes(&p, ym1.data()), 0);
  EXPECT_EQ(enc(p), ym1);
  EXPECT_EQ(enc(mul(small(2), p)), small(1));
  // Random encodings: about half decode; those that do lie on the curve, re-encode to
  // the input, and the sign bit selects x or -x.
  int decoded = 0;
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    bytes e = vt::pseudo_random(32, seed);
    e[31] &= 0x7F;
    e[31] |= static_cast<uint8_t>((seed & 1) << 7);
    if (ge_frombytes(&p, e.data()) != 0) continue;
    ++decoded;
    EXPECT_TRUE(on_curve(p));
    EXPECT_EQ(enc(p), e);
    ge n;
    bytes flipped = e;
    flipped[31] ^= 0x80;
    ASSERT_EQ(ge_frombytes(&n, flipped.data()), 0);
    ge_add(&n, &n, &p);  // (x, y) + (-x, y) = neutral
    EXPECT_EQ(enc(n), small(1));
  }
  EXPECT_GT(decoded, 5);
  EXPECT_LT(decoded, 35);
}

}  // namespace
