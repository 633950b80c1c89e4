// Rebuilding a root from share records, with a self-check: the second half of a root is
// the public key of its first half, so a rebuilt value that breaks this is not a root.
#include <cstring>

#include "core_internal.h"
#include "crypt.h"
#include "shamir_gf256.h"
#include "vantiro_core.h"

namespace {

constexpr int kMaxShares = 16;
constexpr size_t kRowSize = VANTIRO_ROOT_SIZE;

}  // namespace

int vantiro_recover(int k, const uint8_t* records, uint8_t* root) {
  if (k < 2 || k > kMaxShares || records == nullptr || root == nullptr) return -1;
  uint8_t xs[kMaxShares];
  uint8_t ys[kMaxShares * kRowSize];
  const size_t kk = static_cast<size_t>(k);
  for (size_t i = 0; i < kk; ++i) {
    xs[i] = records[i * VANTIRO_RECORD_SIZE];
    std::memcpy(ys + i * kRowSize, records + i * VANTIRO_RECORD_SIZE + 1, kRowSize);
  }
  const int rc = shamir_combine(k, kRowSize, xs, ys, root);
  secure_zero(ys, sizeof ys);
  if (rc != 0) return -3;
  // Too few shares, shares of different roots, or repeated or zero x all give a value
  // that is not a root; refuse it rather than hand it out as one.
  if (!core_root_matches_seed(root)) {
    secure_zero(root, VANTIRO_ROOT_SIZE);
    return -3;
  }
  return 0;
}
