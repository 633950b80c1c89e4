// reshare: the same root, split anew for new custodians; the published anchor stays.
#include <cstdio>
#include <cstdlib>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

int cmd_reshare(int n, int t, const char* anchor_path, const char* outdir, int k,
                char** share_paths) {
  if (!counts_are_usable(n, t)) return 1;
  if (!outdir_is_usable(outdir, n)) return 1;
  vantiro_anchor a;
  if (!read_anchor(anchor_path, &a)) return 1;
  if (refuse_existing_shares(outdir, n)) return 1;
  const size_t nn = static_cast<size_t>(n);
  uint8_t* records = alloc_zeroed(nn * kRecord);
  if (records == nullptr) return 1;
  uint8_t root[kRoot];
  if (!rebuild_anchored_root(&a, k, share_paths, root)) {
    std::free(records);
    return 1;
  }
  const int rc = vantiro_split(n, t, root, records);
  secure_zero(root, sizeof root);
  if (rc != 0) {
    std::fprintf(stderr, "ERROR: vantiro_split rc=%d\n", rc);
    std::free(records);
    return 1;
  }
  std::printf("== Ardessa Vantiro: root reshared (%d-of-%d) ==\n", t, n);
  std::printf("  operator pubkey: ");
  phex(a.key, sizeof a.key);
  std::printf("\n  shares (DISTRIBUTE EACH TO A SEPARATE PLACE):\n");
  const int not_written = write_share_files(outdir, n, records);
  secure_zero(records, nn * kRecord);
  std::free(records);
  std::printf("  The whole root is wiped. Any %d of these shares reconstruct it; the anchor is "
              "unchanged.\n",
              t);
  std::printf("  WARNING: the old shares still rebuild this root until every one of them is "
              "destroyed.\n");
  return finish_ceremony(outdir, not_written, n - not_written, n, t);
}

}  // namespace cli
