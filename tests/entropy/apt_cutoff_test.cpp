// The APT cutoff must not depend on the C library: the module's own power of the window
// gives the cutoffs that glibc's (correctly rounded here) pow gives, over a grid of
// min-entropies and false-positive rates, wherever the summation stops inside the window
// (where it runs out, apt_cutoff_oracle_test checks the exact value). Elsewhere the
// entropy_test cases pin the values.
#include <gtest/gtest.h>

#include <cmath>

#include "apt_summation.h"
#include "entropy.h"

namespace {

TEST(EntropyAptCutoff, MatchesGlibcPowOverAGrid) {
#if !defined(__GLIBC__)
  GTEST_SKIP() << "the reference needs glibc's pow";
#endif
  for (int tenths = 1; tenths <= 80; ++tenths) {
    const double h = tenths / 10.0;
    for (int alpha_bits : {10, 20, 32, 40, 50, 64}) {
      const uint32_t want = apt_summation_cutoff(h, alpha_bits);
      if (want > 512) continue;
      ASSERT_EQ(entropy_init(h, alpha_bits), 0);
      EXPECT_EQ(entropy_apt_cutoff(), want) << "h=" << h << " alpha=2^-" << alpha_bits;
    }
  }
}

}  // namespace
