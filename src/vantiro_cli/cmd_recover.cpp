// recover: rebuilds the root from share files and writes it to a new owner-only file.
#include <cstdio>
#include <cstdlib>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

int cmd_recover(const char* outkey, int k, char** share_paths) {
  // The root never replaces a file, a share file included; checked before any share is read.
  if (refuse_existing(outkey)) return 1;
  const size_t kk = static_cast<size_t>(k);
  uint8_t* records = static_cast<uint8_t*>(std::calloc(kk, kRecord));
  if (records == nullptr) {
    std::fputs("oom\n", stderr);
    return 1;
  }
  if (!read_share_set(k, share_paths, records)) {  // wipes the records on refusal
    std::free(records);
    return 1;
  }
  uint8_t root[kRoot];
  const int rc = vantiro_recover(k, records, root);
  if (rc == -3) report_not_a_root(k, share_paths, records);
  secure_zero(records, kk * kRecord);
  std::free(records);
  if (rc == -3) return 1;
  if (rc != 0) {
    std::fputs("ERROR: recover failed\n", stderr);
    return 1;
  }
  std::printf("== recovered root ==\n  pubkey: ");
  phex(root + 32, 32);
  std::printf("\n");
  const int wrc = write_file(outkey, root, sizeof root, true);
  secure_zero(root, sizeof root);
  if (wrc != 0) return 1;
  std::printf("  wrote 64B root -> %s (secure this; re-split or wipe when done)\n", outkey);
  return sync_dir_of(outkey) == 0 ? 0 : 1;
}

}  // namespace cli
