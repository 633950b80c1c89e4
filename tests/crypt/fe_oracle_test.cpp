// Field arithmetic against OpenSSL's BIGNUM, for random elements and for limbs at the very
// edge of the loose range (sums of three elements with every limb at its bound).
#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <random>

#include "bn_holder.h"
#include "curve25519_internal.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

constexpr int kPos[10] = {0, 26, 51, 77, 102, 128, 153, 179, 204, 230};

struct Oracle {
  BN_CTX* ctx = BN_CTX_new();
  Bn p;
  Oracle() {
    BN_set_bit(p.b, 255);
    BN_sub_word(p.b, 19);
  }
  ~Oracle() { BN_CTX_free(ctx); }
  // The integer a limb vector stands for, reduced mod p.
  void value(BIGNUM* out, const fe f) {
    Bn t, acc;
    BN_zero(acc.b);
    for (int i = 0; i < 10; ++i) {
      BN_set_word(t.b, static_cast<BN_ULONG>(f[i] < 0 ? -static_cast<int64_t>(f[i]) : f[i]));
      BN_set_negative(t.b, f[i] < 0);
      BN_lshift(t.b, t.b, kPos[i]);
      BN_add(acc.b, acc.b, t.b);
    }
    BN_nnmod(out, acc.b, p.b, ctx);
  }
  vt::bytes bytes_of(const BIGNUM* v) {
    vt::bytes s(32);
    BN_bn2lebinpad(v, s.data(), 32);
    return s;
  }
};

vt::bytes enc(const fe f) {
  vt::bytes s(32);
  fe_tobytes(s.data(), f);
  return s;
}

// Limbs at the bound of the loose range: three reduced elements added or subtracted.
void extreme(fe f, std::mt19937_64& gen) {
  for (int i = 0; i < 10; ++i) {
    const int32_t bound = (i & 1) ? (1 << 24) : (1 << 25);
    const int32_t r = static_cast<int32_t>(gen() % 3);
    const int32_t limb = r == 0 ? bound : r == 1 ? -bound : static_cast<int32_t>(gen() % (2 * bound)) - bound;
    f[i] = 3 * limb;
  }
}

TEST(FeOracle, ArithmeticMatchesBignum) {
  Oracle o;
  std::mt19937_64 gen(2024);
  Bn a, b, r, t, e;
  for (int iter = 0; iter < 3000; ++iter) {
    fe f, g, h;
    if (iter % 3 == 0) {
      extreme(f, gen);
      extreme(g, gen);
    } else {
      vt::bytes fs = vt::pseudo_random(32, 2 * static_cast<uint64_t>(iter) + 1);
      vt::bytes gs = vt::pseudo_random(32, 2 * static_cast<uint64_t>(iter) + 2);
      fe_frombytes(f, fs.data());
      fe_frombytes(g, gs.data());
      // Decoding itself: the low 255 bits, mod p.
      fs[31] &= 0x7F;
      BN_lebin2bn(fs.data(), 32, t.b);
      BN_nnmod(t.b, t.b, o.p.b, o.ctx);
      o.value(a.b, f);
      ASSERT_EQ(BN_cmp(a.b, t.b), 0);
      if (iter % 3 == 2) {  // loose: a + b - c of reduced elements
        fe x;
        fe_frombytes(x, vt::pseudo_random(32, 1000000 + static_cast<uint64_t>(iter)).data());
        fe_add(f, f, g);
        fe_sub(f, f, x);
        fe_sub(g, x, g);
      }
    }
    o.value(a.b, f);
    o.value(b.b, g);
    ASSERT_EQ(enc(f), o.bytes_of(a.b));

    fe_mul(h, f, g);
    BN_mod_mul(r.b, a.b, b.b, o.p.b, o.ctx);
    ASSERT_EQ(enc(h), o.bytes_of(r.b)) << "mul, iteration " << iter;
    fe_sq(h, f);
    BN_mod_sqr(r.b, a.b, o.p.b, o.ctx);
    ASSERT_EQ(enc(h), o.bytes_of(r.b)) << "sq, iteration " << iter;
    fe_sq2(h, f);
    BN_mod_add(r.b, r.b, r.b, o.p.b, o.ctx);
    ASSERT_EQ(enc(h), o.bytes_of(r.b)) << "sq2, iteration " << iter;
    fe_mul121666(h, f);
    BN_set_word(t.b, 121666);
    BN_mod_mul(r.b, a.b, t.b, o.p.b, o.ctx);
    ASSERT_EQ(enc(h), o.bytes_of(r.b)) << "mul121666, iteration " << iter;
    if (iter % 10 == 0) {
      fe_invert(h, f);
      BN_copy(e.b, o.p.b);
      BN_sub_word(e.b, 2);
      BN_mod_exp(r.b, a.b, e.b, o.p.b, o.ctx);
      ASSERT_EQ(enc(h), o.bytes_of(r.b)) << "invert, iteration " << iter;
      fe_pow22523(h, f);
      BN_copy(e.b, o.p.b);
      BN_sub_word(e.b, 5);
      BN_rshift(e.b, e.b, 3);
      BN_mod_exp(r.b, a.b, e.b, o.p.b, o.ctx);
      ASSERT_EQ(enc(h), o.bytes_of(r.b)) << "pow22523, iteration " << iter;
    }
  }
}

}  // namespace
