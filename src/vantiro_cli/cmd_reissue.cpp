// reissue: the share at x of the existing split - a lost share again, byte for byte, or a
// share for a new custodian - from at least t shares; the root is never written.
#include <cstdio>
#include <cstdlib>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

int cmd_reissue(int x, const char* anchor_path, const char* outdir, int k, char** share_paths) {
  if (x < 1 || x > 255) {
    std::fputs("ERROR: need 1<=x<=255\n", stderr);
    return 1;
  }
  if (!outdir_is_usable(outdir, x)) return 1;
  vantiro_anchor a;
  if (!read_anchor(anchor_path, &a)) return 1;
  char path[kPathBuf];
  share_path(path, outdir, x);
  if (refuse_existing(path)) return 1;
  const size_t kk = static_cast<size_t>(k);
  uint8_t* records = alloc_zeroed(kk * kRecord);
  if (records == nullptr) return 1;
  // The rebuild against the anchor proves that at least t shares of this root were given.
  uint8_t root[kRoot];
  const bool rebuilt = rebuild_anchored_root(&a, k, share_paths, root, records);
  secure_zero(root, sizeof root);
  int given = -1;
  for (int i = 0; rebuilt && i < k; ++i)
    if (records[static_cast<size_t>(i) * kRecord] == x) given = i;
  uint8_t rec[kRecord];
  int rc = 1;
  if (given >= 0) {
    std::fprintf(stderr, "ERROR: %s already holds x = %d\n", share_paths[given], x);
  } else if (rebuilt) {
    rc = vantiro_reissue(k, records, x, rec);
    if (rc != 0) std::fprintf(stderr, "ERROR: vantiro_reissue rc=%d\n", rc);
  }
  secure_zero(records, kk * kRecord);
  std::free(records);
  if (rc != 0) return 1;
  std::printf("== Ardessa Vantiro: share reissued ==\n");
  std::printf("  operator pubkey: ");
  phex(a.key, sizeof a.key);
  std::printf("\n");
  const int not_written = write_share_files(outdir, 1, rec);
  secure_zero(rec, sizeof rec);
  if (not_written == 0)
    std::printf("  It belongs to the same split: with the other shares it rebuilds the same root.\n");
  // The other shares stay where they are: no threshold to check here.
  return finish_ceremony(outdir, not_written, 1 - not_written, 1, 0);
}

}  // namespace cli
