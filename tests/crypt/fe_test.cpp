// Field arithmetic mod 2^255 - 19: encodings at the edges, inversion, aliasing, constants.
#include <gtest/gtest.h>

#include <cstring>

#include "curve25519_internal.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

using vt::bytes;

bytes enc(const fe f) {
  bytes s(32);
  fe_tobytes(s.data(), f);
  return s;
}

void dec(fe f, const bytes& s) { fe_frombytes(f, s.data()); }

bytes small(uint8_t v) {
  bytes s(32, 0);
  s[0] = v;
  return s;
}

// p - v as 32 little-endian bytes, for v < 237.
bytes p_minus(uint8_t v) {
  bytes s(32, 0xFF);
  s[0] = static_cast<uint8_t>(0xED - v);
  s[31] = 0x7F;
  return s;
}

TEST(Fe, EncodingsAtTheEdgesOfTheRange) {
  fe f;
  dec(f, p_minus(0));  // p itself
  EXPECT_EQ(enc(f), small(0));
  dec(f, bytes(32, 0xFF));  // bit 255 ignored: 2^255 - 1 = p + 18
  EXPECT_EQ(enc(f), small(0x12));
  dec(f, p_minus(1));
  EXPECT_EQ(enc(f), p_minus(1));
  for (uint64_t seed = 1; seed <= 50; ++seed) {
    bytes s = vt::pseudo_random(32, seed);
    bytes t = s;
    s[31] |= 0x80;
    t[31] &= 0x7F;
    fe a, b;
    dec(a, s);
    dec(b, t);
    EXPECT_EQ(enc(a), enc(b));
    EXPECT_EQ(enc(a)[31] & 0x80, 0);
  }
}

TEST(Fe, DifferentRepresentationsEncodeTheSame) {
  for (uint64_t seed = 1; seed <= 50; ++seed) {
    fe a, b, t, u;
    dec(a, vt::pseudo_random(32, seed));
    dec(b, vt::pseudo_random(32, seed + 1000));
    fe_sub(t, a, b);
    fe_add(t, t, b);  // a - b + b, limb-wise
    EXPECT_EQ(enc(t), enc(a));
    fe_neg(u, a);
    fe_add(u, u, a);  // -a + a: zero with possibly non-zero limbs
    EXPECT_EQ(enc(u), small(0));
  }
  fe one, m;
  fe_1(one);
  fe_neg(m, one);  // negative representative
  EXPECT_EQ(enc(m), p_minus(1));
}

TEST(Fe, InversionIncludingZero) {
  fe z, inv, prod;
  fe_0(z);
  fe_invert(inv, z);
  EXPECT_EQ(enc(inv), small(0));
  dec(z, p_minus(0));  // p, a non-canonical zero
  fe_invert(inv, z);
  EXPECT_EQ(enc(inv), small(0));
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    dec(z, vt::pseudo_random(32, seed));
    fe_invert(inv, z);
    fe_mul(prod, z, inv);
    EXPECT_EQ(enc(prod), small(1));
    fe_invert(z, z);  // aliased
    EXPECT_EQ(enc(z), enc(inv));
  }
}

TEST(Fe, SquaringMatchesMultiplicationAndAliasing) {
  for (uint64_t seed = 1; seed <= 50; ++seed) {
    fe f, g, sq, mul, sq2, two, t;
    dec(f, vt::pseudo_random(32, seed));
    dec(g, vt::pseudo_random(32, seed + 77));
    fe_sq(sq, f);
    fe_mul(mul, f, f);
    EXPECT_EQ(enc(sq), enc(mul));
    fe_copy(t, f);
    fe_mul(t, t, t);  // output is both inputs
    EXPECT_EQ(enc(t), enc(sq));
    fe_copy(t, f);
    fe_sq(t, t);
    EXPECT_EQ(enc(t), enc(sq));
    fe_sq2(sq2, f);
    fe_add(two, sq, sq);
    EXPECT_EQ(enc(sq2), enc(two));
    fe_mul(mul, f, g);
    fe_copy(t, f);
    fe_mul(t, t, g);
    EXPECT_EQ(enc(t), enc(mul));
    fe_copy(t, g);
    fe_mul(t, f, t);
    EXPECT_EQ(enc(t), enc(mul));
    fe c;
    dec(c, bytes{0x42, 0xDB, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                 0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // 121666
    fe_mul(mul, f, c);
    fe_mul121666(t, f);
    EXPECT_EQ(enc(t), enc(mul));
  }
}

TEST(Fe, SquareRootPowerAndCurveConstants) {
  for (uint64_t seed = 1; seed <= 10; ++seed) {
    fe z, w, z4;
    dec(z, vt::pseudo_random(32, seed));
    fe_pow22523(w, z);  // w = z^((p-5)/8), so w^8 z^4 = z^(p-1) = 1
    for (int i = 0; i < 3; ++i) fe_sq(w, w);
    fe_sq(z4, z);
    fe_sq(z4, z4);
    fe_mul(w, w, z4);
    EXPECT_EQ(enc(w), small(1));
  }
  fe t, c;
  fe_sq(t, FE_SQRTM1);
  EXPECT_EQ(enc(t), p_minus(1));
  fe_add(t, FE_D, FE_D);
  EXPECT_EQ(enc(t), enc(FE_D2));
  // d * 121666 = -121665
  fe_mul121666(t, FE_D);
  dec(c, bytes{0x41, 0xDB, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
               0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  fe_add(t, t, c);
  EXPECT_EQ(enc(t), small(0));
}

TEST(Fe, ConditionalMoveAndSwap) {
  fe a, b, a0, b0;
  dec(a0, vt::pseudo_random(32, 5));
  dec(b0, vt::pseudo_random(32, 6));
  fe_copy(a, a0);
  fe_copy(b, b0);
  fe_cmov(a, b, 0);
  EXPECT_EQ(enc(a), enc(a0));
  fe_cmov(a, b, 1);
  EXPECT_EQ(enc(a), enc(b0));
  fe_copy(a, a0);
  fe_cswap(a, b, 0);
  EXPECT_EQ(enc(a), enc(a0));
  EXPECT_EQ(enc(b), enc(b0));
  fe_cswap(a, b, 1);
  EXPECT_EQ(enc(a), enc(b0));
  EXPECT_EQ(enc(b), enc(a0));
}

}  // namespace
