// The APT cutoff must not depend on the C library: the module's own power of the window
// gives the cutoffs that glibc's (correctly rounded here) pow gives, over a grid of
// min-entropies and false-positive rates. Elsewhere the entropy_test cases pin the values.
#include <gtest/gtest.h>

#include <cmath>

#include "entropy.h"

namespace {

// The cutoff loop written out with the C library's pow for the first binomial term.
uint32_t reference_apt_cutoff(double h, int alpha_bits) {
  const double alpha = std::pow(2.0, -static_cast<double>(alpha_bits));
  const double p = std::pow(2.0, -h);
  double term = std::pow(1.0 - p, 512.0);
  double sum = term;
  uint32_t i = 1;
  while (!(sum >= 1.0 - alpha) && i < 513) {
    term = term * (static_cast<double>(513 - i) / static_cast<double>(i)) * (p / (1.0 - p));
    sum += term;
    i += 1;
  }
  return i;
}

TEST(EntropyAptCutoff, MatchesGlibcPowOverAGrid) {
#if !defined(__GLIBC__)
  GTEST_SKIP() << "the reference needs glibc's pow";
#endif
  for (int tenths = 1; tenths <= 80; ++tenths) {
    const double h = tenths / 10.0;
    for (int alpha_bits : {10, 20, 32, 40, 50, 64}) {
      ASSERT_EQ(entropy_init(h, alpha_bits), 0);
      EXPECT_EQ(entropy_apt_cutoff(), reference_apt_cutoff(h, alpha_bits))
          << "h=" << h << " alpha=2^-" << alpha_bits;
    }
  }
}

}  // namespace
