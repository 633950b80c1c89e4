// Scalars mod L: reduction at the edges, multiply-add identities, the range check.
#include <gtest/gtest.h>

#include "curve25519_internal.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

using vt::bytes;

bytes order() { return bytes(GROUP_ORDER, GROUP_ORDER + 32); }

// L + delta for a small signed delta, as 32 bytes (the low byte of L is 0xED).
bytes order_plus(int delta) {
  bytes s = order();
  s[0] = static_cast<uint8_t>(s[0] + delta);
  return s;
}

bytes reduce(const bytes& wide) {
  bytes in = wide;
  in.resize(64, 0);
  bytes out(32);
  sc_reduce(out.data(), in.data());
  return out;
}

bytes muladd(const bytes& a, const bytes& b, const bytes& c) {
  bytes s(32);
  sc_muladd(s.data(), a.data(), b.data(), c.data());
  return s;
}

bytes small(uint8_t v) {
  bytes s(32, 0);
  s[0] = v;
  return s;
}

TEST(Sc, ReduceAtTheEdges) {
  EXPECT_EQ(reduce(bytes(64, 0)), small(0));
  EXPECT_EQ(reduce(order()), small(0));
  EXPECT_EQ(reduce(order_plus(-1)), order_plus(-1));
  EXPECT_EQ(reduce(order_plus(1)), small(1));
  EXPECT_EQ(reduce(order_plus(18)), small(18));
  // 2^252 = L - delta sits just below L and is its own residue.
  bytes two252(32, 0);
  two252[31] = 0x10;
  EXPECT_EQ(reduce(two252), two252);
  // Adding L to a random value below 2^252 changes nothing.
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    bytes x = vt::pseudo_random(32, seed);
    x[31] &= 0x0F;
    bytes xl(32);
    unsigned carry = 0;
    for (int i = 0; i < 32; ++i) {
      carry += unsigned{x[i]} + GROUP_ORDER[i];
      xl[i] = static_cast<uint8_t>(carry);
      carry >>= 8;
    }
    EXPECT_EQ(reduce(xl), x);
  }
}

TEST(Sc, MulAddIdentitiesAndAliasing) {
  const bytes m1 = order_plus(-1);  // -1 mod L
  EXPECT_EQ(muladd(m1, m1, small(0)), small(1));
  EXPECT_EQ(muladd(m1, small(1), small(1)), small(0));
  EXPECT_EQ(muladd(small(0), m1, small(7)), small(7));
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    bytes a = vt::pseudo_random(32, seed);
    bytes b = vt::pseudo_random(32, seed + 100);
    bytes c = vt::pseudo_random(32, seed + 200);
    bytes s = muladd(a, b, c);
    EXPECT_EQ(muladd(b, a, c), s);
    EXPECT_EQ(muladd(a, small(1), c), muladd(reduce(a), small(1), reduce(c)));
    bytes t = a;
    sc_muladd(t.data(), t.data(), b.data(), c.data());
    EXPECT_EQ(t, s);
    t = c;
    sc_muladd(t.data(), a.data(), b.data(), t.data());
    EXPECT_EQ(t, s);
    EXPECT_EQ(sc_is_canonical(s.data()), 1);
  }
}

TEST(Sc, RangeCheckRejectsExactlyLAndAbove) {
  EXPECT_EQ(sc_is_canonical(small(0).data()), 1);
  EXPECT_EQ(sc_is_canonical(order_plus(-1).data()), 1);
  EXPECT_EQ(sc_is_canonical(order().data()), 0);
  EXPECT_EQ(sc_is_canonical(order_plus(1).data()), 0);
  EXPECT_EQ(sc_is_canonical(bytes(32, 0xFF).data()), 0);
  bytes s(32, 0xFF);  // top byte below L's, everything below it at maximum
  s[31] = 0x0F;
  EXPECT_EQ(sc_is_canonical(s.data()), 1);
  s = small(0);
  s[31] = 0x11;  // only the top byte is above L's
  EXPECT_EQ(sc_is_canonical(s.data()), 0);
}

}  // namespace
