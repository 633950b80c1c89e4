// X25519: RFC 7748 known answers (section 5.2 with 1 and 1,000 iterations, section 6.1),
// input edge cases, and the Ed25519-to-X25519 conversions.
#include <gtest/gtest.h>

#include <cstring>

#include "crypt.h"
#include "curve25519_internal.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

using vt::bytes;

bytes x(const bytes& scalar, const bytes& point) {
  bytes out(32);
  x25519(out.data(), scalar.data(), point.data());
  return out;
}

bytes nine() {
  bytes u(32, 0);
  u[0] = 9;
  return u;
}

TEST(X25519, Rfc7748Vectors) {
  EXPECT_EQ(vt::to_hex(x(vt::from_hex("a546e36bf0527c9d3b16154b82465edd62144c0ac1fc5a18506a2244ba449ac4"),
                         vt::from_hex("e6db6867583030db3594c1a424b15f7c726624ec26b3353b10a903a6d0ab1c4c"))),
            "c3da55379de9c6908e94ea4df28d084f32eccf03491c71f754b4075577a28552");
  EXPECT_EQ(vt::to_hex(x(vt::from_hex("4b66e9d4d1b4673c5ad22691957d6af5c11b6421e0ea01d42ca4169e7918ba0d"),
                         vt::from_hex("e5210f12786811d3f4b7959d0538ae2c31dbe7106fc03c3efc4cd549c715a493"))),
            "95cbde9476e8907d7aade45cb4b873f88b595a68799fa152e6f8f7647aac7957");
  // k, u = X25519(k, u), k, starting from k = u = 9.
  bytes k = nine(), u = nine();
  for (int i = 1; i <= 1000; ++i) {
    bytes r = x(k, u);
    u = k;
    k = r;
    if (i == 1) {
      EXPECT_EQ(vt::to_hex(k), "422c8e7a6227d7bca1350b3e2bb7279f7897b87bb6854b783c60e80311ae3079");
    }
  }
  EXPECT_EQ(vt::to_hex(k), "684cf59ba83309552800ef566f2f4d3c1c3887c49360e3875f2eb94d99532c51");
}

TEST(X25519, Rfc7748KeyExchange) {
  const bytes a = vt::from_hex("77076d0a7318a57d3c16c17251b26645df4c2f87ebc0992ab177fba51db92c2a");
  const bytes b = vt::from_hex("5dab087e624a8a4b79e17f8b83800ee66f3bb1292618b6fd1c2f8b27ff88e0eb");
  const bytes pa = x(a, nine()), pb = x(b, nine());
  EXPECT_EQ(vt::to_hex(pa), "8520f0098930a754748b7ddcb43ef75a0dbf3a0d26381af4eba4a98eaa9b4e6a");
  EXPECT_EQ(vt::to_hex(pb), "de9edb7d7b7dc1b4d35b61c2ece435373f8343c85b78674dadfc7e146f882b4f");
  const char* shared = "4a5d9d5ba4ce2de1728e3bf480350f25e07e21c947d19e3376f09b3c1e161742";
  EXPECT_EQ(vt::to_hex(x(a, pb)), shared);
  EXPECT_EQ(vt::to_hex(x(b, pa)), shared);
}

TEST(X25519, InputEdgeCases) {
  for (uint64_t seed = 1; seed <= 10; ++seed) {
    bytes s = vt::pseudo_random(32, seed), u = vt::pseudo_random(32, seed + 50);
    bytes u_high = u, u_low = u;
    u_high[31] |= 0x80;
    u_low[31] &= 0x7F;
    EXPECT_EQ(x(s, u_high), x(s, u_low));
    bytes s2 = s;  // differs only in the bits that clamping fixes
    s2[0] ^= 0x07;
    s2[31] ^= 0xC0;
    EXPECT_EQ(x(s2, u), x(s, u));
    EXPECT_EQ(x(s, bytes(32, 0)), bytes(32, 0));
    bytes out = u;  // out may alias the point or the scalar
    x25519(out.data(), s.data(), out.data());
    EXPECT_EQ(out, x(s, u));
    out = s;
    x25519(out.data(), out.data(), u.data());
    EXPECT_EQ(out, x(s, u));
  }
}

TEST(X25519, ConversionsFromEd25519Keys) {
  for (uint64_t seed = 1; seed <= 5; ++seed) {
    uint8_t pk[32], sk[64];
    ed25519_seed_keypair(pk, sk, vt::pseudo_random(32, seed).data());
    bytes xs(32), xp(32), xp2(32);
    ed25519_sk_to_x25519(xs.data(), sk);
    ed25519_pk_to_x25519(xp.data(), pk);
    EXPECT_EQ(x(xs, nine()), xp);
    pk[31] ^= 0x80;  // the sign of x does not matter for u
    ed25519_pk_to_x25519(xp2.data(), pk);
    EXPECT_EQ(xp2, xp);
    memset(sk + 32, 0x5A, 32);  // only the seed is read
    ed25519_sk_to_x25519(xp2.data(), sk);
    EXPECT_EQ(xp2, xs);
    EXPECT_EQ(xs[0] & 7, 0);
    EXPECT_EQ(xs[31] & 0xC0, 0x40);
  }
  bytes neutral(32, 0), out(32);
  neutral[0] = 1;  // y = 1: the denominator 1 - y is zero
  ed25519_pk_to_x25519(out.data(), neutral.data());
  EXPECT_EQ(out, bytes(32, 0));
}

}  // namespace
