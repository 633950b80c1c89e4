// The APT cutoff's summation from below, written out with the C library's pow for the
// first binomial term: 1 + CRITBINOM(512, 2^-h, 1 - alpha) in double precision, or 513
// when the sum never reaches 1 - alpha.
#pragma once

#include <cmath>
#include <cstdint>

inline uint32_t apt_summation_cutoff(double h, int alpha_bits) {
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
