// Lane code of the field (four products at once, the X25519 ladder in lanes):
// every result must equal the one-element code limb for limb, at the edges of the loose
// operand range too, with outputs aliasing inputs, and with the lanes on and off.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "crypt.h"
#include "curve25519_internal.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

using vt::bytes;

// Switches the lane code off for one scope (and back on after it).
struct LanesOff {
  LanesOff() { fe_lanes_off_FOR_TEST(1); }
  ~LanesOff() { fe_lanes_off_FOR_TEST(0); }
};

struct Elem {
  fe v;
};

// Operands across the accepted range: reduced elements, sums and differences of three,
// and elements whose every limb sits at the loose bound (three reduced elements' worth,
// the largest magnitudes the callers pass), with both signs.
std::vector<Elem> operands() {
  std::vector<Elem> out;
  for (uint64_t seed = 1; seed <= 24; ++seed) {
    Elem a, b, c, e;
    fe_frombytes(a.v, vt::pseudo_random(32, seed).data());
    fe_frombytes(b.v, vt::pseudo_random(32, seed + 100).data());
    fe_frombytes(c.v, vt::pseudo_random(32, seed + 200).data());
    out.push_back(a);
    fe_add(e.v, a.v, b.v);
    fe_add(e.v, e.v, c.v);
    out.push_back(e);
    fe_sub(e.v, a.v, b.v);
    fe_sub(e.v, e.v, c.v);
    out.push_back(e);
  }
  for (int sign : {1, -1}) {
    for (int mix = 0; mix < 3; ++mix) {
      Elem e;
      for (int i = 0; i < 10; ++i) {
        const int32_t top = (i & 1) ? 3 * (1 << 24) : 3 * (1 << 25);
        const int s = (mix == 2 && (i % 3 == 0)) ? -sign : sign;
        e.v[i] = (mix == 1 && i % 2 == 0) ? s * (top / 3) : s * (top - 1);
      }
      out.push_back(e);
    }
  }
  return out;
}

bool same(const fe a, const fe b) { return std::memcmp(a, b, sizeof(fe)) == 0; }

void check_quads() {
  const auto ops = operands();
  const size_t n = ops.size();
  for (size_t i = 0; i < n; ++i) {
    const fe& f0 = ops[i].v;
    const fe& g0 = ops[(i + 1) % n].v;
    const fe& f1 = ops[(i + 7) % n].v;
    const fe& g1 = ops[(i + 13) % n].v;
    fe m0, m1, s1, d0;
    fe_mul(m0, f0, g0);
    fe_mul(m1, f1, g1);
    fe_sq(s1, f1);
    fe_sq2(d0, f0);

    fe q[4];
    int32_t* const hq[4] = {q[0], q[1], q[2], q[3]};
    const int32_t* const fq[4] = {f0, f1, g0, g1};
    const int32_t* const gq[4] = {g0, g1, f1, f0};
    fe_mul4(hq, fq, gq);
    fe e2, e3;
    fe_mul(e2, g0, f1);
    fe_mul(e3, g1, f0);
    EXPECT_TRUE(same(q[0], m0) && same(q[1], m1) && same(q[2], e2) && same(q[3], e3))
        << "mul quad, operand " << i;
    fe_sq4(hq, fq, 0x5);  // lanes 0 and 2 doubled
    fe t2, t3;
    fe_sq2(t2, g0);
    fe_sq(t3, g1);
    EXPECT_TRUE(same(q[0], d0) && same(q[1], s1) && same(q[2], t2) && same(q[3], t3))
        << "square quad, operand " << i;
  }
}

TEST(FeLanes, QuadsMatchOneAtATime) {
  check_quads();
  LanesOff off;
  check_quads();
}

TEST(FeLanes, OutputsMayAliasInputs) {
  const auto ops = operands();
  for (size_t i = 0; i + 3 < ops.size(); i += 3) {
    fe c[4], want[4];
    for (int l = 0; l < 4; ++l) fe_copy(c[l], ops[i + static_cast<size_t>(l)].v);
    for (int l = 0; l < 4; ++l) fe_sq(want[l], c[(l + 1) % 4]);
    int32_t* const h[4] = {c[0], c[1], c[2], c[3]};
    const int32_t* const f[4] = {c[1], c[2], c[3], c[0]};  // each output overwrites another lane's input
    fe_sq4(h, f, 0);
    for (int l = 0; l < 4; ++l) EXPECT_TRUE(same(c[l], want[l])) << i << " lane " << l;
  }
}

TEST(FeLanes, X25519AndScalarMultiplicationAgreeWithLanesOff) {
  if (!fe_lanes_available()) GTEST_SKIP() << "no AVX2 here: only the one-at-a-time code runs";
  ge base;
  ASSERT_EQ(ge_frombytes(&base, B_COMPRESSED), 0);
  for (uint64_t seed = 1; seed <= 12; ++seed) {
    bytes k = vt::pseudo_random(32, seed);
    bytes u = vt::pseudo_random(32, seed + 50);
    if (seed == 1) std::memset(u.data(), 0, 32);  // u = 0
    if (seed == 2) std::memset(u.data(), 0xFF, 32);  // bit 255 set, u >= p
    uint8_t on[32], off_out[32], enc_on[32], enc_off[32];
    ge r;
    x25519(on, k.data(), u.data());
    ge_scalarmult(&r, k.data(), &base);
    ge_tobytes(enc_on, &r);
    {
      LanesOff off;
      x25519(off_out, k.data(), u.data());
      ge_scalarmult(&r, k.data(), &base);
      ge_tobytes(enc_off, &r);
    }
    EXPECT_EQ(vt::to_hex(on, 32), vt::to_hex(off_out, 32)) << "x25519, seed " << seed;
    EXPECT_EQ(vt::to_hex(enc_on, 32), vt::to_hex(enc_off, 32)) << "k B, seed " << seed;
  }
}

TEST(FeLanes, KnownAnswersWithLanesOff) {
  LanesOff off;
  uint8_t out[32];
  x25519(out, vt::from_hex("a546e36bf0527c9d3b16154b82465edd62144c0ac1fc5a18506a2244ba449ac4").data(),
         vt::from_hex("e6db6867583030db3594c1a424b15f7c726624ec26b3353b10a903a6d0ab1c4c").data());
  EXPECT_EQ(vt::to_hex(out, 32), "c3da55379de9c6908e94ea4df28d084f32eccf03491c71f754b4075577a28552");
  // RFC 8032 TEST 1: the key pair from its seed.
  uint8_t pk[32], sk[64];
  ed25519_seed_keypair(pk, sk,
                       vt::from_hex("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60").data());
  EXPECT_EQ(vt::to_hex(pk, 32), "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
}

}  // namespace
