// reshare: the same root, split anew for new custodians; the published anchor stays.
#include <cstdio>
#include <cstdlib>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

int cmd_reshare(int n, int t, const char* anchor_path, const char* outdir_arg, int k,
                char** share_paths, const cmd_options& o) {
  if (!counts_are_usable(n, t)) return 1;
  const bool sealed = o.to_count > 0;
  char outdir[kPathBuf];
  if (!outdir_is_usable(outdir_arg, n, sealed, outdir)) return 1;
  custodian_list to;
  if (sealed && !read_recipients(o, n, &to)) return 1;
  vantiro_anchor a;
  // With a transcript that could take no entry of this root, nothing runs.
  if (!read_anchor(anchor_path, &a) || !transcript_accepts(a.key, false)) return 1;
  char record_path[kPathBuf];
  split_record_path(record_path, outdir);
  if (refuse_existing_shares(outdir, n, sealed ? &to : nullptr) || refuse_existing(record_path)) return 1;
  share_source src;
  if (!open_share_source(o, &a, &src)) return 1;
  const size_t nn = static_cast<size_t>(n);
  uint8_t* records = alloc_zeroed(nn * kRecord);
  uint8_t root[kRoot];
  const bool rebuilt =
      records != nullptr && rebuild_anchored_root(&a, k, share_paths, root, nullptr, &src);
  close_share_source(&src);
  if (!rebuilt) {
    std::free(records);
    return 1;
  }
  // The new split gets a record of its own, signed while the root is in memory; the old
  // record still describes the old shares.
  vantiro_split_record rec;
  char text[VANTIRO_SPLIT_TEXT_MAX];
  size_t text_len = 0;
  sealed_batch batch;
  int rc = vantiro_split(n, t, root, records);
  if (rc == 0) {
    rc = vantiro_split_record_new(root, t, n, records, &rec, text, sizeof text, &text_len);
    if (rc != 0) print_error("ERROR: vantiro_split rc=%d\n", rc);
  } else {
    print_error("ERROR: vantiro_split rc=%d\n", rc);
  }
  // Sealed, no share is kept in the clear past this point.
  if (rc == 0 && sealed &&
      !seal_records(root, rec.split, t, records, &to, &batch))
    rc = -1;
  secure_zero(root, sizeof root);
  if (rc != 0 || sealed) secure_zero(records, nn * kRecord);
  if (rc != 0) {
    std::free(records);
    return 1;
  }
  std::printf("== Ardessa Vantiro: root reshared (%d-of-%d) ==\n", t, n);
  std::printf("  operator pubkey: ");
  phex(a.key, sizeof a.key);
  std::printf("\n");
  std::puts(sealed ? "  sealed shares (EACH OPENS ONLY WITH ITS CUSTODIAN'S KEY):"
                   : "  shares (DISTRIBUTE EACH TO A SEPARATE PLACE):");
  const int shares_not_written = sealed ? write_sealed_files(outdir, &to, &batch)
                                        : write_share_files(outdir, n, records);
  secure_zero(records, nn * kRecord);
  std::free(records);
  const int not_written =
      shares_not_written + (write_split_record(outdir, &rec, text, text_len) != 0 ? 1 : 0);
  std::printf("  The whole root is wiped. Any %d of these shares reconstruct it; the anchor is "
              "unchanged.\n",
              t);
  std::printf("  WARNING: the old shares still rebuild this root until every one of them is "
              "destroyed.\n");
  // The old split is untouched: only the new one may be unusable.
  return finish_ceremony(outdir, not_written, n - shares_not_written, n, t,
                         "ERROR: only %d of %d new shares were written, fewer than %d: this new "
                         "split cannot be used; the old shares still hold\n");
}

}  // namespace cli
