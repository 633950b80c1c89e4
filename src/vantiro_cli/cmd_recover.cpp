// recover: rebuilds the root from share files and writes it to a new owner-only file.
#include <cstdio>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

int cmd_recover(const char* outkey, int k, char** share_paths, const char* split_path) {
  // The root never replaces a file, a share file included; checked before any share is read.
  if (refuse_stdin_output(outkey) || refuse_existing(outkey)) return 1;
  vantiro_split_record split;
  if (split_path != nullptr && !read_split_record(split_path, nullptr, &split)) return 1;
  uint8_t root[kRoot];
  if (!rebuild_root(k, share_paths, root, nullptr, true, split_path != nullptr ? &split : nullptr))
    return 1;
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
