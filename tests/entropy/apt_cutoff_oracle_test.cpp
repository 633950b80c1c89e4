// Where the summation from below runs out at 513, the APT cutoff must be the exact
// 1 + CRITBINOM(512, p, 1 - alpha), or the source refused when that exceeds the window.
// The reference sums the binomial tail in big integers: p is the double nearest 2^-h,
// m / 2^k exactly, so P(X = j) = C(512, j) m^j (2^k - m)^(512 - j) / 2^(512 k).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "../crypt/bn_holder.h"
#include "apt_summation.h"
#include "entropy.h"

namespace {

// j + 1 for the largest j whose upper tail P(X >= j) exceeds alpha, computed exactly.
uint32_t exact_cutoff(double h, int alpha_bits) {
  int e = 0;
  const double mant = std::frexp(std::pow(2.0, -h), &e);
  const BN_ULONG m = static_cast<BN_ULONG>(std::ldexp(mant, 53));
  const int k = 53 - e;
  BN_CTX* ctx = BN_CTX_new();
  std::vector<Bn> mpow(513);  // m^j
  BN_one(mpow[0].b);
  for (size_t j = 1; j <= 512; ++j) {
    BN_copy(mpow[j].b, mpow[j - 1].b);
    BN_mul_word(mpow[j].b, m);
  }
  Bn s, spow, binom, term, tail, bound;
  BN_set_bit(s.b, k);
  BN_sub_word(s.b, m);        // 2^k - m
  BN_one(spow.b);             // s^(512 - j)
  BN_one(binom.b);            // C(512, j)
  BN_zero(tail.b);            // 2^a * sum of the terms' numerators from j up
  BN_set_bit(bound.b, 512 * k);  // alpha * 2^(512 k), scaled by 2^a
  uint32_t cutoff = 1;
  for (uint32_t j = 512;; --j) {
    BN_mul(term.b, binom.b, mpow[j].b, ctx);
    BN_mul(term.b, term.b, spow.b, ctx);
    BN_lshift(term.b, term.b, alpha_bits);
    BN_add(tail.b, tail.b, term.b);
    if (BN_cmp(tail.b, bound.b) > 0) {
      cutoff = j + 1;
      break;
    }
    if (j == 0) break;
    BN_mul_word(binom.b, j);
    BN_div_word(binom.b, 513 - j);
    BN_mul_word(spow.b, BN_get_word(s.b));
  }
  BN_CTX_free(ctx);
  return cutoff;
}

TEST(EntropyAptCutoffOracle, ExactWhereTheSummationRunsOut) {
  std::vector<double> hs = {0.25, 0.04, 0.03};
  for (int tenths = 1; tenths <= 80; ++tenths) hs.push_back(tenths / 10.0);
  int checked = 0;
  for (double h : hs) {
    for (int alpha_bits : {20, 32, 46, 50, 54, 64}) {
      if (apt_summation_cutoff(h, alpha_bits) <= 512) continue;
      ++checked;
      const uint32_t want = exact_cutoff(h, alpha_bits);
      SCOPED_TRACE(testing::Message() << "h=" << h << " alpha=2^-" << alpha_bits);
      if (want > 512) {
        EXPECT_EQ(entropy_init(h, alpha_bits), -2);
      } else {
        ASSERT_EQ(entropy_init(h, alpha_bits), 0);
        EXPECT_EQ(entropy_apt_cutoff(), want);
      }
    }
  }
  EXPECT_GT(checked, 100);  // the grid does reach the stalled region
}

}  // namespace
