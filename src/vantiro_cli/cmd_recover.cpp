// recover: rebuilds the root from share files and writes it to a new owner-only file.
#include <cstdio>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

int cmd_recover(const char* outkey, int k, char** share_paths, const cmd_options& o) {
  // The root never replaces a file, a share file included; checked before any share is read.
  if (refuse_stdin_output(outkey) || refuse_existing(outkey)) return 1;
  share_source src;
  if (!open_share_source(o, nullptr, &src)) return 1;
  uint8_t root[kRoot];
  bool rebuilt = rebuild_root(k, share_paths, root, nullptr, true, &src);
  close_share_source(&src);
  // Its transcript is known by the rebuilt key alone: checked before the root is written.
  if (rebuilt && !transcript_hold(root, false)) {
    secure_zero(root, sizeof root);
    rebuilt = false;
  }
  if (!rebuilt) return 1;
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
