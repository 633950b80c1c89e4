// Splitting a root into share records with fresh coefficients, proved by rebuilding it;
// and reissuing the share of a given x from shares of an existing split.
#include <cstring>

#include "core_internal.h"
#include "crypt.h"
#include "shamir_gf256.h"
#include "vantiro_core.h"

namespace {

constexpr size_t kRowSize = VANTIRO_ROOT_SIZE;
constexpr size_t kRecord = VANTIRO_RECORD_SIZE;

// Set by gen_rand on any failed draw: shamir_split ignores its callback's result, so a
// failing source would otherwise yield shares equal to the secret.
int g_rng_fail = 0;

int gen_rand(uint8_t* buf, size_t len) {
  int rc = crypt_fill_random(buf, len);
  if (rc != 0) g_rng_fail = 1;
  return rc;
}

}  // namespace

int vantiro_split(int n, int t, const uint8_t* root, uint8_t* records) {
  if (n < t || t <= 1 || n > VANTIRO_MAX_SHARES || root == nullptr || records == nullptr) return -1;
  uint8_t xs[VANTIRO_MAX_SHARES];
  uint8_t shares[VANTIRO_MAX_SHARES * kRowSize];
  uint8_t check_xs[VANTIRO_MAX_SHARES];
  uint8_t check[VANTIRO_MAX_SHARES * kRowSize];
  uint8_t rebuilt[VANTIRO_ROOT_SIZE];
  const size_t nn = static_cast<size_t>(n);
  int rc = 0;
  g_rng_fail = 0;
  if (shamir_split(root, kRowSize, n, t, xs, shares, gen_rand) != 0) {
    rc = -3;
  } else if (g_rng_fail != 0) {
    rc = -2;  // with zero coefficients a share row equals the root: no record is written
  } else {
    for (size_t i = 0; i < nn; ++i) {
      records[i * kRecord] = xs[i];
      std::memcpy(records + i * kRecord + 1, shares + i * kRowSize, kRowSize);
    }
    // Prove the split: the first t shares must rebuild the root.
    for (size_t i = 0; i < static_cast<size_t>(t); ++i) {
      check_xs[i] = xs[i];
      std::memcpy(check + i * kRowSize, shares + i * kRowSize, kRowSize);
    }
    const int crc = shamir_combine(t, kRowSize, check_xs, check, rebuilt);
    if (crc != 0 || !core_equal_ct(rebuilt, root, VANTIRO_ROOT_SIZE)) rc = -4;
  }
  // Every copy of the root, on every path: the share rows, their check copies and the
  // rebuilt root (the root itself is the caller's).
  secure_zero(shares, sizeof shares);
  secure_zero(check, sizeof check);
  secure_zero(rebuilt, sizeof rebuilt);
  if (rc == -4) secure_zero(records, nn * kRecord);
  return rc;
}

int vantiro_reissue(int k, const uint8_t* records, int x, uint8_t* out) {
  if (k < 2 || k > VANTIRO_MAX_SHARES || records == nullptr || out == nullptr || x < 1 || x > 255)
    return -1;
  for (int i = 0; i < k; ++i)
    if (records[static_cast<size_t>(i) * kRecord] == x) return -1;
  uint8_t root[VANTIRO_ROOT_SIZE];
  if (vantiro_recover(k, records, root) != 0) return -3;  // root wiped by the refusal

  const size_t kk = static_cast<size_t>(k);
  uint8_t rec[kRecord];
  rec[0] = static_cast<uint8_t>(x);
  (void)core_interpolate(k, records, rec[0], rec + 1);

  // Prove the new share: in place of the first record it must rebuild the same root.
  uint8_t proof[VANTIRO_MAX_SHARES * kRecord];
  std::memcpy(proof, rec, kRecord);
  std::memcpy(proof + kRecord, records + kRecord, (kk - 1) * kRecord);
  uint8_t rebuilt[VANTIRO_ROOT_SIZE];
  const bool same = vantiro_recover(k, proof, rebuilt) == 0 &&
                    core_equal_ct(rebuilt, root, VANTIRO_ROOT_SIZE);
  if (same) std::memcpy(out, rec, kRecord);
  secure_zero(root, sizeof root);
  secure_zero(rec, sizeof rec);
  secure_zero(proof, sizeof proof);
  secure_zero(rebuilt, sizeof rebuilt);
  return same ? 0 : -4;
}
