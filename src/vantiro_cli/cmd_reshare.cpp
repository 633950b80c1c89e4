// reshare: the same root, split anew for new custodians; the published anchor stays.
#include <cstdio>
#include <cstdlib>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

int cmd_reshare(int n, int t, const char* anchor_path, const char* outdir, int k,
                char** share_paths, const char* split_path) {
  if (!counts_are_usable(n, t)) return 1;
  if (!outdir_is_usable(outdir, n)) return 1;
  vantiro_anchor a;
  if (!read_anchor(anchor_path, &a)) return 1;
  vantiro_split_record old;
  if (split_path != nullptr && !read_split_record(split_path, &a, &old)) return 1;
  char record_path[kPathBuf];
  split_record_path(record_path, outdir);
  if (refuse_existing_shares(outdir, n) || refuse_existing(record_path)) return 1;
  const size_t nn = static_cast<size_t>(n);
  uint8_t* records = alloc_zeroed(nn * kRecord);
  if (records == nullptr) return 1;
  uint8_t root[kRoot];
  if (!rebuild_anchored_root(&a, k, share_paths, root, nullptr,
                             split_path != nullptr ? &old : nullptr)) {
    std::free(records);
    return 1;
  }
  // The new split gets a record of its own, signed while the root is in memory; the old
  // record still describes the old shares.
  vantiro_split_record rec;
  char text[VANTIRO_SPLIT_TEXT_MAX];
  size_t text_len = 0;
  int rc = vantiro_split(n, t, root, records);
  if (rc == 0) {
    rc = vantiro_split_record_new(root, t, n, records, &rec, text, sizeof text, &text_len);
    if (rc != 0) secure_zero(records, nn * kRecord);
  }
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
  const int shares_not_written = write_share_files(outdir, n, records);
  secure_zero(records, nn * kRecord);
  std::free(records);
  const int not_written =
      shares_not_written + (write_split_record(outdir, &rec, text, text_len) != 0 ? 1 : 0);
  std::printf("  The whole root is wiped. Any %d of these shares reconstruct it; the anchor is "
              "unchanged.\n",
              t);
  std::printf("  WARNING: the old shares still rebuild this root until every one of them is "
              "destroyed.\n");
  return finish_ceremony(outdir, not_written, n - shares_not_written, n, t);
}

}  // namespace cli
