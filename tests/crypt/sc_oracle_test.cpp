// Scalar reduction and multiply-add against OpenSSL's BIGNUM, including the inputs with
// the largest limbs (all ones) and values next to multiples of L.
#include <gtest/gtest.h>
#include <openssl/bn.h>

#include "bn_holder.h"
#include "curve25519_internal.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

class ScOracle : public ::testing::Test {
 protected:
  BN_CTX* ctx = BN_CTX_new();
  Bn l;
  void SetUp() override { BN_lebin2bn(GROUP_ORDER, 32, l.b); }
  void TearDown() override { BN_CTX_free(ctx); }

  vt::bytes expect_mod(const BIGNUM* v) {
    Bn r;
    BN_nnmod(r.b, v, l.b, ctx);
    vt::bytes s(32);
    BN_bn2lebinpad(r.b, s.data(), 32);
    return s;
  }
  void check_reduce(const vt::bytes& in) {
    Bn v;
    BN_lebin2bn(in.data(), 64, v.b);
    vt::bytes out(32);
    sc_reduce(out.data(), in.data());
    ASSERT_EQ(out, expect_mod(v.b)) << vt::to_hex(in);
  }
  void check_muladd(const vt::bytes& a, const vt::bytes& b, const vt::bytes& c) {
    Bn x, y, z, v;
    BN_lebin2bn(a.data(), 32, x.b);
    BN_lebin2bn(b.data(), 32, y.b);
    BN_lebin2bn(c.data(), 32, z.b);
    BN_mul(v.b, x.b, y.b, ctx);
    BN_add(v.b, v.b, z.b);
    vt::bytes out(32);
    sc_muladd(out.data(), a.data(), b.data(), c.data());
    ASSERT_EQ(out, expect_mod(v.b)) << vt::to_hex(a) << " " << vt::to_hex(b) << " " << vt::to_hex(c);
  }
};

TEST_F(ScOracle, ReduceMatchesBignum) {
  check_reduce(vt::bytes(64, 0xFF));  // 2^512 - 1
  for (uint64_t seed = 1; seed <= 3000; ++seed) {
    vt::bytes in = vt::pseudo_random(64, seed);
    if (seed % 4 == 0) {
      // A multiple of L plus a small offset either side, to probe the final reduction.
      Bn k, v, off;
      BN_lebin2bn(in.data(), 32, k.b);
      BN_mul(v.b, k.b, l.b, ctx);
      BN_set_word(off.b, seed % 7);
      if (seed % 8 == 0) BN_sub(v.b, v.b, off.b); else BN_add(v.b, v.b, off.b);
      if (BN_is_negative(v.b) || BN_num_bits(v.b) > 512) continue;
      BN_bn2lebinpad(v.b, in.data(), 64);
    }
    check_reduce(in);
  }
}

TEST_F(ScOracle, MulAddMatchesBignum) {
  const vt::bytes ones(32, 0xFF);
  check_muladd(ones, ones, ones);
  for (uint64_t seed = 1; seed <= 3000; ++seed) {
    vt::bytes a = vt::pseudo_random(32, seed);
    vt::bytes b = vt::pseudo_random(32, seed + 5000);
    vt::bytes c = vt::pseudo_random(32, seed + 9000);
    if (seed % 3 == 0) b[31] = static_cast<uint8_t>((b[31] & 0x3F) | 0x40);  // clamped-like
    check_muladd(a, b, c);
  }
}

}  // namespace
