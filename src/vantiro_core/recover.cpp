// Rebuilding a root from share records, with a self-check: the second half of a root is
// the public key of its first half, so a rebuilt value that breaks this is not a root.
#include <cstring>

#include "core_internal.h"
#include "crypt.h"
#include "shamir_gf256.h"
#include "vantiro_core.h"

namespace {

constexpr size_t kRowSize = VANTIRO_ROOT_SIZE;
constexpr size_t kRecord = VANTIRO_RECORD_SIZE;

}  // namespace

// Rebuilds from the k records whose bit is clear in skip and reports whether the result
// is a root (vantiro_recover wipes one that is not; the caller wipes root after each try).
bool core_rebuild_without(int k, const uint8_t* records, unsigned skip, uint8_t* root) {
  uint8_t kept[VANTIRO_MAX_SHARES * kRecord];
  int m = 0;
  for (int i = 0; i < k; ++i) {
    if ((skip >> i) & 1u) continue;
    std::memcpy(kept + static_cast<size_t>(m) * kRecord, records + static_cast<size_t>(i) * kRecord,
                kRecord);
    ++m;
  }
  const bool ok = m >= 2 && vantiro_recover(m, kept, root) == 0;
  secure_zero(kept, sizeof kept);
  return ok;
}

int core_interpolate(int k, const uint8_t* records, uint8_t x, uint8_t* out) {
  uint8_t xs[VANTIRO_MAX_SHARES];
  uint8_t ys[VANTIRO_MAX_SHARES * kRowSize];
  const size_t kk = static_cast<size_t>(k);
  for (size_t i = 0; i < kk; ++i) {
    xs[i] = records[i * kRecord];
    std::memcpy(ys + i * kRowSize, records + i * kRecord + 1, kRowSize);
  }
  const int rc = shamir_eval(k, kRowSize, xs, ys, x, out);
  secure_zero(ys, sizeof ys);
  return rc;
}

bool core_root_is_consistent(const uint8_t* root) {
  uint8_t pk[32];
  uint8_t sk[64];
  ed25519_seed_keypair(pk, sk, root);
  secure_zero(sk, sizeof sk);
  return core_equal_ct(pk, root + 32, sizeof pk);
}

int vantiro_check_records(int k, const uint8_t* records, int* first, int* second) {
  if (k < 1 || k > VANTIRO_MAX_SHARES || records == nullptr) return -1;
  for (int i = 0; i < k; ++i) {
    const uint8_t* ri = records + static_cast<size_t>(i) * kRecord;
    int fault = VANTIRO_RECORDS_OK;
    int other = -1;
    if (ri[0] == 0) fault = VANTIRO_RECORD_X_ZERO;
    for (int j = 0; j < i && fault == VANTIRO_RECORDS_OK; ++j) {
      const uint8_t* rj = records + static_cast<size_t>(j) * kRecord;
      if (rj[0] != ri[0]) continue;  // x is public; the share bytes are compared in full
      fault = core_equal_ct(ri + 1, rj + 1, kRowSize) ? VANTIRO_RECORDS_SAME : VANTIRO_RECORDS_SAME_X;
      other = j;
    }
    if (fault != VANTIRO_RECORDS_OK) {
      if (first != nullptr) *first = other >= 0 ? other : i;
      if (second != nullptr) *second = other >= 0 ? i : -1;
      return fault;
    }
  }
  return VANTIRO_RECORDS_OK;
}

int vantiro_recover(int k, const uint8_t* records, uint8_t* root) {
  if (k < 2 || k > VANTIRO_MAX_SHARES || records == nullptr || root == nullptr) return -1;
  // A record with x = 0 would be taken as the root itself (its weight at zero is 1 and
  // every other record's 0), and a repeated x breaks the interpolation: refuse both.
  if (vantiro_check_records(k, records, nullptr, nullptr) != VANTIRO_RECORDS_OK) {
    secure_zero(root, VANTIRO_ROOT_SIZE);
    return -3;
  }
  if (core_interpolate(k, records, 0, root) != 0) return -3;
  // Too few shares, shares of different roots or a damaged share all give a value that
  // is not a root; refuse it rather than hand it out as one.
  if (!core_root_is_consistent(root)) {
    secure_zero(root, VANTIRO_ROOT_SIZE);
    return -3;
  }
  return 0;
}

int vantiro_find_misfits(int k, const uint8_t* records, int misfits[2]) {
  if (k < 2 || k > VANTIRO_MAX_SHARES || records == nullptr || misfits == nullptr) return -1;
  uint8_t root[VANTIRO_ROOT_SIZE];
  int found = 0;
  unsigned found_skip = 0;
  auto try_without = [&](unsigned skip) {
    if (core_rebuild_without(k, records, skip, root)) {
      ++found;
      found_skip = skip;
    }
    secure_zero(root, sizeof root);
  };
  // One record set aside (k rebuilds), then, when none worked, two (k(k-1)/2 rebuilds).
  // Only a single working set-aside is named: two that both rebuild mean the records hold
  // more than one root's shares, and naming either would mislead.
  for (int i = 0; i < k; ++i) try_without(1u << i);
  if (found == 0) {
    for (int i = 0; i < k; ++i)
      for (int j = i + 1; j < k; ++j) try_without((1u << i) | (1u << j));
  }
  if (found != 1) return 0;
  int n = 0;
  for (int i = 0; i < k; ++i)
    if ((found_skip >> i) & 1u) misfits[n++] = i;
  return n;
}
