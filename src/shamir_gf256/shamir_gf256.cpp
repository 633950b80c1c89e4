// Shamir secret sharing over GF(2^8) with the AES polynomial x^8 + x^4 + x^3 + x + 1.
// Secret, coefficient and share bytes only pass through gf256_mul, which has no branch
// and no table lookup on its operands; the log/exp tables serve the Lagrange
// coefficients, which depend only on the public x coordinates.
#include "shamir_gf256.h"

#include "crypt.h"

namespace {

uint8_t g_exp[512];  // g_exp[i] = 3^(i mod 255)
uint8_t g_log[256];  // g_log[3^i] = i; g_log[0] stays 0
int g_init = 0;

// Carry-less multiply with reduction by 0x11B in eight fixed steps, masks instead of branches.
uint8_t gf256_mul(uint8_t a, uint8_t b) {
  unsigned p = 0;
  unsigned x = a;
  unsigned y = b;
  for (int i = 0; i < 8; ++i) {
    p ^= x & (0u - (y & 1u));
    unsigned hi = 0u - ((x >> 7) & 1u);
    x = ((x << 1) ^ (hi & 0x1Bu)) & 0xFFu;
    y >>= 1;
  }
  return static_cast<uint8_t>(p & 0xFFu);
}

void init_tables() {
  uint8_t a = 1;
  for (int i = 0; i < 255; ++i) {
    g_exp[i] = a;
    g_log[a] = static_cast<uint8_t>(i);
    a = gf256_mul(a, 3);
  }
  for (int i = 255; i < 512; ++i) g_exp[i] = g_exp[i - 255];
  g_init = 1;
}

// a / b through the tables; only ever called on values derived from x coordinates.
// The divisor is not tested: g_log[0] is 0, so a / 0 yields a.
uint8_t gf256_div(uint8_t a, uint8_t b) {
  if (a == 0) return 0;
  int d = static_cast<int>(g_log[a]) - static_cast<int>(g_log[b]);
  int r = d % 255;
  if (r < 0) r += 255;
  return g_exp[r];
}

}  // namespace

int shamir_split(const uint8_t* secret, size_t len, int n, int t, uint8_t* xs, uint8_t* shares,
                 shamir_rng_fn rng) {
  if (t < 2 || t > n || n > 255 || rng == nullptr || secret == nullptr) return -1;
  if (g_init == 0) init_tables();
  for (int j = 0; j < n; ++j) xs[j] = static_cast<uint8_t>(j + 1);
  if (len == 0) return 0;

  // c[0] is the secret byte, c[1..t-1] the random coefficients of its polynomial.
  uint8_t c[255];
  const size_t nn = static_cast<size_t>(n);
  const size_t tt = static_cast<size_t>(t);
  for (size_t p = 0; p < len; ++p) {
    c[0] = secret[p];
    (void)rng(c + 1, tt - 1);  // a failing source is the caller's to record
    for (size_t j = 0; j < nn; ++j) {
      const uint8_t x = xs[j];
      uint8_t y = 0;
      uint8_t w = 1;
      for (size_t m = 0; m < tt; ++m) {
        y ^= gf256_mul(c[m], w);
        w = gf256_mul(w, x);
      }
      shares[j * len + p] = y;
    }
  }
  // The coefficients and any single share together give away the secret byte.
  secure_zero(c, sizeof c);
  return 0;
}

int shamir_eval(int k, size_t len, const uint8_t* xs, const uint8_t* shares, uint8_t x,
                uint8_t* out) {
  if (k < 2 || k > 255) return -1;
  if (g_init == 0) init_tables();
  const size_t kk = static_cast<size_t>(k);
  // The Lagrange weights at x depend only on the public x coordinates: computed once,
  // through the tables. The share bytes then pass through gf256_mul alone.
  uint8_t weight[255];
  for (size_t i = 0; i < kk; ++i) {
    uint8_t num = 1;
    uint8_t den = 1;
    for (size_t j = 0; j < kk; ++j) {
      if (j == i) continue;
      num = gf256_mul(num, static_cast<uint8_t>(x ^ xs[j]));
      den = gf256_mul(den, static_cast<uint8_t>(xs[j] ^ xs[i]));
    }
    weight[i] = num == 0 ? 0 : gf256_div(num, den);
  }
  for (size_t p = 0; p < len; ++p) {
    uint8_t acc = 0;
    for (size_t i = 0; i < kk; ++i) acc ^= gf256_mul(shares[i * len + p], weight[i]);
    out[p] = acc;
  }
  return 0;
}

int shamir_combine(int k, size_t len, const uint8_t* xs, const uint8_t* shares, uint8_t* out) {
  // At x = 0 each numerator factor x ^ xs[j] is xs[j]: the secret's interpolation.
  return shamir_eval(k, len, xs, shares, 0, out);
}
