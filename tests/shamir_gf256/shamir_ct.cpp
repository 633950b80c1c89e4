// Constant-time check of the split, the combine and the evaluation at x under valgrind memcheck: the secret,
// the coefficients and the share bytes are marked undefined, the x coordinates are public.
#include <cstdio>
#include <cstring>

#include "ct.h"
#include "shamir_gf256.h"

static int secret_rng(uint8_t* buf, size_t len) {
  for (size_t i = 0; i < len; ++i) buf[i] = static_cast<uint8_t>(i * 37 + 11);
  CT_SECRET(buf, len);
  return 0;
}

int main() {
  uint8_t secret[64];
  for (size_t i = 0; i < sizeof secret; ++i) secret[i] = static_cast<uint8_t>(i * 5 + 1);
  CT_SECRET(secret, sizeof secret);
  uint8_t xs[5], shares[5 * 64], out[64];
  if (shamir_split(secret, 64, 5, 3, xs, shares, secret_rng) != 0) return 2;
  CT_PUBLIC(xs, sizeof xs);
  // Combine shares x = 1, 3, 5.
  uint8_t pick_x[3] = {xs[0], xs[2], xs[4]};
  uint8_t pick[3 * 64];
  std::memcpy(pick, shares, 64);
  std::memcpy(pick + 64, shares + 2 * 64, 64);
  std::memcpy(pick + 128, shares + 4 * 64, 64);
  if (shamir_combine(3, 64, pick_x, pick, out) != 0) return 2;
  CT_PUBLIC(out, sizeof out);
  // The share at x = 2 from the same three, as a reissue computes it.
  uint8_t at2[64];
  if (shamir_eval(3, 64, pick_x, pick, 2, at2) != 0) return 2;
  CT_PUBLIC(at2, sizeof at2);
  CT_PUBLIC(shares, sizeof shares);
  CT_PUBLIC(secret, sizeof secret);
  if (std::memcmp(out, secret, sizeof out) != 0 || std::memcmp(at2, shares + 64, 64) != 0) {
    std::puts("combine did not rebuild the secret, or eval the share at x = 2");
    return 1;
  }
  return 0;
}
