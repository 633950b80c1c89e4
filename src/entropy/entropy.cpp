// Entropy source: raw byte samples from the OS random source, the repetition count test
// (RCT) and adaptive proportion test (APT) of SP 800-90B run on every sample, and a
// SHA-256 conditioning step. A failure of either test, or of the OS draw itself, is
// sticky until the next entropy_init.
#include "entropy.h"

#include <cmath>

#include "crypt.h"

namespace {

constexpr uint32_t kAptWindow = 512;
constexpr size_t kMaxOut = 64;

uint32_t g_rct_cutoff = 0;
uint32_t g_apt_cutoff = 0;
int g_failed = 0;
int g_rct_have = 0;
uint8_t g_rct_last = 0;
uint32_t g_rct_run = 0;
int g_apt_have = 0;
uint8_t g_apt_a = 0;
uint32_t g_apt_count = 0;
uint32_t g_apt_i = 0;

// 1 + ceil(alpha_bits / h), saturated so that an extreme ratio cannot overflow the cast.
uint32_t rct_cutoff(double h, int alpha_bits) {
  double c = 1.0 + std::ceil(static_cast<double>(alpha_bits) / h);
  if (c >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(c);
}

// a * b as p + e exactly (Dekker's product: plain IEEE operations, no fused multiply-add).
void two_product(double a, double b, double* p, double* e) {
  const double split = 134217729.0;  // 2^27 + 1
  *p = a * b;
  const double ta = split * a;
  const double a_hi = ta - (ta - a);
  const double a_lo = a - a_hi;
  const double tb = split * b;
  const double b_hi = tb - (tb - b);
  const double b_lo = b - b_hi;
  *e = ((a_hi * b_hi - *p) + a_hi * b_lo + a_lo * b_hi) + a_lo * b_lo;
}

// x^512 (the window size, 2^9) by nine squarings carried in double-double and rounded
// once: the correctly rounded value on every IEEE platform. A C library's pow need not be
// that exact (MinGW's is off by up to 70 ulps here), and the APT sum below is so close to
// 1 - alpha that an ulp moves the cutoff: h = 8 with alpha = 2^-64 gave 513, a test
// that can never fail, instead of 23.
double pow_window(double x) {
  static_assert(kAptWindow == 512, "nine squarings make the window's power");
  double hi = x;
  double lo = 0.0;
  for (int k = 0; k < 9; ++k) {
    double p = 0.0;
    double e = 0.0;
    two_product(hi, hi, &p, &e);
    e += 2.0 * hi * lo;
    hi = p + e;
    lo = e - (hi - p);
  }
  return hi;
}

// The exact 1 + CRITBINOM(W, p, 1 - alpha): one more than the smallest count c whose upper
// tail P(X > c), X ~ Bin(W, p), is at most alpha; W + 1 when even P(X = W) exceeds alpha.
// The tail is summed from the top, where no term is lost to rounding against 1 - alpha;
// terms are carried as mantissa * 2^scale relative to alpha, so neither p^W nor alpha
// underflows.
uint32_t apt_cutoff_exact(double p, int alpha_bits) {
  int p_exp = 0;
  const double p_mant = std::frexp(p, &p_exp);  // p = p_mant * 2^p_exp, p_mant in [0.5, 1)
  int64_t scale = int64_t{kAptWindow} * p_exp + alpha_bits;
  double term = pow_window(p_mant);  // P(X = W) / alpha = term * 2^scale
  double tail = term;                // P(X >= j) / alpha = tail * 2^scale
  const auto above_alpha = [&scale](double x) {
    if (scale > 4096) return x > 0.0;
    if (scale < -4096) return false;  // x stays below 2^600
    return std::ldexp(x, static_cast<int>(scale)) > 1.0;
  };
  const double odds = (1.0 - p) / p;
  for (uint32_t j = kAptWindow;; --j) {
    if (above_alpha(tail)) return j + 1;
    if (j == 0) return 1;
    // P(X = j - 1) = P(X = j) * j / (W + 1 - j) * (1 - p) / p
    term *= static_cast<double>(j) / static_cast<double>(kAptWindow + 1 - j) * odds;
    tail += term;
    if (tail > 0x1p600) {
      term = std::ldexp(term, -600);
      tail = std::ldexp(tail, -600);
      scale += 600;
    }
  }
}

// 1 + CRITBINOM(W, 2^-h, 1 - alpha) by summing the binomial terms from the bottom until
// the sum reaches 1 - alpha in double precision. That sum stalls below 1 - alpha when
// alpha is small or (1 - p)^W underflows, and the loop then runs out at W + 1, a count no
// window reaches; there the exact cutoff from the top replaces it. Values where the loop
// stops earlier are kept as they are.
uint32_t apt_cutoff(double h, int alpha_bits) {
  const double alpha = std::pow(2.0, -static_cast<double>(alpha_bits));
  const double p = std::pow(2.0, -h);
  double term = pow_window(1.0 - p);
  double sum = term;
  uint32_t i = 1;
  while (!(sum >= 1.0 - alpha) && i < kAptWindow + 1) {
    term = term * (static_cast<double>(kAptWindow + 1 - i) / static_cast<double>(i)) *
           (p / (1.0 - p));
    sum += term;
    i += 1;
  }
  return i <= kAptWindow ? i : apt_cutoff_exact(p, alpha_bits);
}

}  // namespace

int entropy_init(double min_entropy, int alpha_bits) {
  // Written so that a NaN min-entropy is refused too.
  if (!(min_entropy > 0.0 && min_entropy <= 8.0) || alpha_bits <= 0) return -2;
  const uint32_t apt = apt_cutoff(min_entropy, alpha_bits);
  // A cutoff above the window would be a test that can never fail: no window can test
  // such a source.
  if (apt > kAptWindow) return -2;
  g_rct_cutoff = rct_cutoff(min_entropy, alpha_bits);
  g_apt_cutoff = apt;
  g_failed = 0;
  g_rct_have = 0;
  g_rct_last = 0;
  g_rct_run = 0;
  g_apt_have = 0;
  g_apt_a = 0;
  g_apt_count = 0;
  g_apt_i = 0;
  return 0;
}

int entropy_health_update(uint8_t sample) {
  if (g_rct_have && sample == g_rct_last) {
    g_rct_run += 1;
    if (g_rct_run >= g_rct_cutoff) g_failed = 1;
  } else {
    g_rct_have = 1;
    g_rct_last = sample;
    g_rct_run = 1;
  }

  if (g_apt_have && g_apt_i < kAptWindow) {
    g_apt_i += 1;
    if (sample == g_apt_a) {
      g_apt_count += 1;
      if (g_apt_count >= g_apt_cutoff) g_failed = 1;
    }
  } else {
    g_apt_have = 1;
    g_apt_a = sample;
    g_apt_count = 1;
    g_apt_i = 1;
  }
  return g_failed ? -1 : 0;
}

int entropy_health_failed(void) { return g_failed; }

uint32_t entropy_rct_cutoff(void) { return g_rct_cutoff; }

uint32_t entropy_apt_cutoff(void) { return g_apt_cutoff; }

int entropy_condition(const uint8_t* in, size_t in_len, uint8_t* out, size_t out_len) {
  if (in == nullptr || out == nullptr || out_len == 0 || out_len > kMaxOut) return -2;
  size_t done = 0;
  for (uint32_t counter = 0; done < out_len; ++counter) {
    const uint8_t be[4] = {static_cast<uint8_t>(counter >> 24), static_cast<uint8_t>(counter >> 16),
                           static_cast<uint8_t>(counter >> 8), static_cast<uint8_t>(counter)};
    sha256_ctx ctx;
    uint8_t block[32];
    sha256_init(&ctx);
    sha256_update(&ctx, be, 4);
    sha256_update(&ctx, in, in_len);
    sha256_final(&ctx, block);
    size_t take = out_len - done < 32 ? out_len - done : 32;
    for (size_t i = 0; i < take; ++i) out[done + i] = block[i];
    done += take;
    // The block and the context's state are the output: none of it stays behind.
    secure_zero(block, sizeof block);
    secure_zero(&ctx, sizeof ctx);
  }
  return 0;
}

int entropy_gather(uint8_t* out, size_t n) {
  if (out == nullptr || n == 0 || n > kMaxOut) return -2;
  uint8_t samples[2 * kMaxOut];
  int rc = -1;
  if (crypt_fill_random(samples, 2 * n) != 0) {
    // A failed draw is no entropy, whatever the tests would make of its zeros.
    g_failed = 1;
  } else {
    for (size_t i = 0; i < 2 * n; ++i) entropy_health_update(samples[i]);
    if (!g_failed) rc = entropy_condition(samples, 2 * n, out, n);
  }
  secure_zero(samples, sizeof samples);
  return rc;
}

int entropy_raw_dump(uint8_t* out, size_t len) {
  if (out == nullptr || len == 0) return -2;
  return crypt_fill_random(out, len) == 0 ? 0 : -1;
}
