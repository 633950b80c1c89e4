// Proving without a split record that the given shares lie on one split: every set that
// leaves one of them out must rebuild the same root.
#include "core_internal.h"
#include "crypt.h"
#include "vantiro_core.h"

int vantiro_prove_one_split(int k, const uint8_t* records, const uint8_t key[VANTIRO_KEY_SIZE],
                            int* misfit) {
  if (k < 2 || k > VANTIRO_MAX_SHARES || records == nullptr || key == nullptr ||
      misfit == nullptr)
    return -1;
  *misfit = -1;
  // Two records rebuild only a 2-of-n root, and one record alone rebuilds nothing.
  if (k == 2) return 1;
  uint8_t root[VANTIRO_ROOT_SIZE];
  int rebuilt = 0;
  for (int i = 0; i < k; ++i) {
    if (core_rebuild_without(k, records, 1u << i, root) &&
        core_equal_ct(root + 32, key, VANTIRO_KEY_SIZE)) {
      ++rebuilt;
      *misfit = i;
    }
    secure_zero(root, sizeof root);
  }
  if (rebuilt == k) {
    *misfit = -1;
    return 0;
  }
  if (rebuilt == 0) return 1;
  if (rebuilt != 1) *misfit = -1;
  return -3;
}
