// reissue: the share at x of the existing split - a lost share again, byte for byte, or a
// share for a new custodian - from at least t shares; the root is never written.
#include <cstdio>
#include <cstdlib>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

namespace {

// Without a split record, the shares' membership of one split is proved only when every
// set that leaves one out rebuilds the root. 0 proved; 1 cannot be proved (as few as t
// shares); -1 refused after naming why.
int prove_without_record(const vantiro_anchor* a, int k, char** paths, const uint8_t* records) {
  int misfit = -1;
  const int rc = vantiro_prove_one_split(k, records, a->key, &misfit);
  if (rc == 0 || rc == 1) return rc;
  print_error("ERROR: the shares do not lie on one split (a damaged share, or shares of "
             "different splits)\n");
  if (misfit >= 0)
    print_error("ERROR: %s does not fit the other shares (damaged, or of another root)\n",
                 paths[misfit]);
  return -1;
}

}  // namespace

int cmd_reissue(int x, const char* anchor_path, const char* outdir_arg, int k, char** share_paths,
                const cmd_options& o) {
  if (x < 1 || x > 255) {
    print_error("ERROR: need 1<=x<=255\n");
    return 1;
  }
  const bool sealed = o.to_count > 0;
  char outdir[kPathBuf];
  if (!outdir_is_usable(outdir_arg, x, sealed, outdir)) return 1;
  custodian_list to;
  if (sealed && !read_recipients(o, 1, &to)) return 1;
  vantiro_anchor a;
  // With a transcript that could take no entry of this root, nothing runs.
  if (!read_anchor(anchor_path, &a) || !transcript_accepts(a.key, false)) return 1;
  const bool recorded = o.split != nullptr;
  char path[kPathBuf];
  char record_path[kPathBuf];
  share_path(path, outdir, x, sealed ? form_extension(to.form[0]) : kPlainShare);
  split_record_path(record_path, outdir);
  if (refuse_existing(path) || (recorded && refuse_existing(record_path))) return 1;
  share_source src;
  if (!open_share_source(o, &a, &src)) return 1;
  vantiro_split_record& split = src.split;
  const size_t kk = static_cast<size_t>(k);
  uint8_t* records = alloc_zeroed(kk * kRecord);
  // The rebuild against the anchor proves that at least t shares of this root were given.
  uint8_t root[kRoot];
  bool ok = records != nullptr && rebuild_anchored_root(&a, k, share_paths, root, records, &src);
  close_share_source(&src);
  if (records == nullptr) return 1;
  // Shares the root signed for (sealed shares, share texts, age shares), all of one split,
  // are as good as shares checked against its record.
  const bool vouched = recorded || src.vouched == k;
  if (ok && sealed && !vouched) {
    print_error("ERROR: reissue --to names the split in the sealed share: give the split record "
               "(--split) or only sealed shares of one split\n");
    ok = false;
  }
  for (int i = 0; ok && i < k; ++i) {
    if (records[static_cast<size_t>(i) * kRecord] != x) continue;
    print_error("ERROR: %s already holds x = %d\n", share_paths[i], x);
    ok = false;
  }
  int proof = 0;
  if (ok && !vouched) {
    proof = prove_without_record(&a, k, share_paths, records);
    ok = proof >= 0;
  }
  uint8_t rec[kRecord] = {};
  if (ok) {
    const int rc = vantiro_reissue(k, records, x, rec);
    if (rc != 0) print_error("ERROR: vantiro_reissue rc=%d\n", rc);
    ok = rc == 0;
  }
  // With the record: a listed x must give back its listed share; a new x gets its line,
  // and the root signs the record again.
  char text[VANTIRO_SPLIT_TEXT_MAX];
  size_t text_len = 0;
  if (ok && recorded) {
    const int listed = vantiro_split_record_check(&split, rec);
    if (listed == VANTIRO_SHARE_CHANGED) {
      print_error("ERROR: the share at x = %d is not the one the split record lists\n", x);
      ok = false;
    } else {
      const int rc = listed == VANTIRO_SHARE_LISTED ? 0 : vantiro_split_record_add(&split, rec);
      const int sign_rc =
          rc != 0 ? rc : vantiro_split_record_sign(root, &split, text, sizeof text, &text_len);
      if (sign_rc != 0)
        print_error("ERROR: the split record cannot take share %d (rc=%d)\n", x, sign_rc);
      ok = sign_rc == 0;
    }
  }
  sealed_batch batch;
  if (ok && sealed)
    ok = seal_records(root, recorded ? split.split : src.split_id,
                      recorded ? split.threshold : src.threshold, rec, &to, &batch);
  secure_zero(root, sizeof root);
  secure_zero(records, kk * kRecord);
  std::free(records);
  if (!ok || sealed) secure_zero(rec, sizeof rec);
  if (!ok) return 1;
  std::printf("== Ardessa Vantiro: share reissued ==\n");
  std::printf("  operator pubkey: ");
  phex(a.key, sizeof a.key);
  std::printf("\n");
  int not_written = sealed ? write_sealed_files(outdir, &to, &batch)
                           : write_share_files(outdir, 1, rec);
  secure_zero(rec, sizeof rec);
  const int share_written = 1 - not_written;
  if (recorded && write_split_record(outdir, &split, text, text_len) != 0) ++not_written;
  if (not_written == 0 && proof == 0)
    std::printf("  It belongs to the same split: with the other shares it rebuilds the same root.\n");
  if (not_written == 0 && proof == 1)
    std::printf("  With exactly %d shares and no split record, a share altered together with "
                "another cannot be ruled out; give one share more, or the split record, to "
                "prove it.\n",
                k);
  const int status = finish_ceremony(outdir, not_written, 0, 0, 0, nullptr);
  // The other shares stay where they are, whatever failed here.
  if (share_written == 0)
    print_error("ERROR: %s was not written; the existing shares are unchanged\n", path);
  return status;
}

}  // namespace cli
