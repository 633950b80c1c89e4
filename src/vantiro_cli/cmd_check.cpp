// check: a custodian checks shares alone against the split record that the root signed,
// combining nothing and writing nothing.
#include <cstdio>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

int cmd_check(const char* anchor_path, const char* split_path, int k, char** share_paths) {
  vantiro_anchor a;
  if (!read_anchor(anchor_path, &a)) return 1;
  vantiro_split_record rec;
  if (!read_split_record(split_path, &a, &rec)) return 1;
  std::printf("== split checked ==\n  key: ");
  phex(rec.key, sizeof rec.key);
  std::printf("\n  split: ");
  phex(rec.split, sizeof rec.split);
  std::printf(", any %d of these %d shares rebuild the root\n", rec.threshold, rec.count);
  for (int i = 0; i < rec.count; ++i) {
    std::printf("    x=%3d  sha256=", rec.x[i]);
    phex(rec.digest[i], 6);
    std::puts("...");
  }
  // Every share is checked, and every failure named.
  bool all = true;
  for (int i = 0; i < k; ++i) {
    uint8_t share[kRecord];
    const bool ok = read_share(share_paths[i], share) &&
                    check_against_record(&rec, 1, share_paths + i, share, true);
    secure_zero(share, sizeof share);
    all = all && ok;
  }
  return all ? 0 : 1;
}

}  // namespace cli
