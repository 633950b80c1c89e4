// Share files: reading them as records, refusing sets that cannot be shares of one split,
// and naming the files that do not fit when a set does not rebuild a root.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli_internal.h"
#include "crypt.h"
#include "file_io.h"

namespace cli {

namespace {

// After a failed rebuild of k records read from paths: prints the refusal (recover's own
// line when recovering), and names the files that do not fit the others when setting them
// aside rebuilds a root.
void report_not_a_root(int k, char** paths, const uint8_t* records, bool recovering) {
  if (recovering)
    std::fputs(
        "ERROR: recover failed: the shares do not rebuild a root (too few shares, or shares "
        "of different roots)\n",
        stderr);
  else
    std::fputs(
        "ERROR: the shares do not rebuild a root (too few shares, a damaged share, or shares "
        "of different roots)\n",
        stderr);
  int misfits[2];
  const int found = vantiro_find_misfits(k, records, misfits);
  for (int i = 0; i < found; ++i)
    std::fprintf(stderr, "ERROR: %s does not fit the other shares (damaged, or of another root)\n",
                 paths[misfits[i]]);
}

// Fewer shares than the threshold that the split record or the sealed shares' signed
// headers name cannot rebuild the root: said as such, before anything is combined.
bool enough_shares(int k, const share_source* src) {
  const int need = src->has_split ? src->split.threshold : src->sealed > 0 ? src->threshold : 0;
  if (k >= need) return true;
  std::fprintf(stderr, "ERROR: %d shares given; this split needs %d\n", k, need);
  return false;
}

}  // namespace

bool open_share_source(const cmd_options& o, const vantiro_anchor* a, share_source* src) {
  src->anchor_key = a != nullptr ? a->key : nullptr;
  if (o.split != nullptr) {
    if (!read_split_record(o.split, a, &src->split)) return false;
    src->has_split = true;
  }
  return read_custodian_keys(o, &src->keys);
}

void close_share_source(share_source* src) { wipe_custodian_keys(&src->keys); }

bool read_share(const char* path, uint8_t* rec, share_source* src) {
  vantiro_sealed_share s;
  const share_kind kind = load_share(path, rec, &s);
  if (kind != SHARE_SEALED) return kind == SHARE_PLAIN;
  if (!sealed_share_fits(path, &s, src)) return false;
  // Shares of two splits never combine: named by their headers before any is opened.
  if (src->sealed > 0 && std::memcmp(src->split_id, s.split, sizeof s.split) != 0) {
    char first[33];
    char other[33];
    vantiro_hex(src->split_id, sizeof src->split_id, first, sizeof first);
    vantiro_hex(s.split, sizeof s.split, other, sizeof other);
    std::fprintf(stderr,
                 "ERROR: %s is a share of split %s, %s of split %s; give shares of one split\n",
                 src->first_sealed, first, path, other);
    return false;
  }
  if (!open_sealed_share(path, &s, &src->keys, rec)) return false;
  if (src->sealed++ == 0) {
    src->first_sealed = path;
    std::memcpy(src->key, s.key, sizeof s.key);
    std::memcpy(src->split_id, s.split, sizeof s.split);
    src->threshold = s.threshold;
  }
  return true;
}

bool read_share_set(int k, char** paths, uint8_t* records, share_source* src) {
  const size_t kk = static_cast<size_t>(k);
  for (size_t i = 0; i < kk; ++i) {
    if (!read_share(paths[i], records + i * kRecord, src)) {
      secure_zero(records, kk * kRecord);
      return false;
    }
  }
  // More records than any split issues are refused whole when they are combined.
  if (k > VANTIRO_MAX_SHARES) return true;
  int a = -1;
  int b = -1;
  const int fault = vantiro_check_records(k, records, &a, &b);
  if (fault == VANTIRO_RECORDS_OK) return true;
  if (fault == VANTIRO_RECORD_X_ZERO)
    std::fprintf(stderr, "ERROR: %s is not a share (x = 0)\n", paths[a]);
  else if (fault == VANTIRO_RECORDS_SAME)
    std::fprintf(stderr, "ERROR: %s and %s are the same share\n", paths[a], paths[b]);
  else
    std::fprintf(stderr, "ERROR: %s and %s both claim x = %d\n", paths[a], paths[b],
                 static_cast<int>(records[static_cast<size_t>(a) * kRecord]));
  secure_zero(records, kk * kRecord);
  return false;
}

bool rebuild_root(int k, char** paths, uint8_t* root, uint8_t* records, bool recovering,
                  share_source* src) {
  const vantiro_split_record* split = src->has_split ? &src->split : nullptr;
  const size_t kk = static_cast<size_t>(k);
  uint8_t* own = records == nullptr ? alloc_zeroed(kk * kRecord) : nullptr;
  uint8_t* recs = records != nullptr ? records : own;
  if (recs == nullptr) return false;
  int rc = -1;
  // read_share_set wipes the records on refusal.
  if (read_share_set(k, paths, recs, src) &&
      (split == nullptr || check_against_record(split, k, paths, recs, false)) &&
      enough_shares(k, src)) {
    rc = vantiro_recover(k, recs, root);
    if (rc == -3) report_not_a_root(k, paths, recs, recovering);
    if (rc != 0 && rc != -3)
      std::fputs(recovering ? "ERROR: recover failed\n"
                            : "ERROR: more shares than any split issues (at most 16)\n",
                 stderr);
  }
  if (own != nullptr) {
    secure_zero(own, kk * kRecord);
    std::free(own);
  }
  if (rc != 0) return false;
  // The root must be the one the split record, or the root's signature on the sealed
  // shares, names.
  const uint8_t* named = split != nullptr ? split->key : src->sealed > 0 ? src->key : nullptr;
  if (named == nullptr || std::memcmp(root + 32, named, VANTIRO_KEY_SIZE) == 0) return true;
  char hex[65];
  vantiro_hex(root + 32, 32, hex, sizeof hex);
  secure_zero(root, kRoot);
  std::fprintf(stderr,
               split != nullptr ? "ERROR: the shares rebuild key %s, not the split record's key\n"
                                : "ERROR: the shares rebuild key %s, not the key the sealed shares "
                                  "name\n",
               hex);
  return false;
}

bool rebuild_anchored_root(const vantiro_anchor* a, int k, char** paths, uint8_t* root,
                           uint8_t* records, share_source* src) {
  if (!rebuild_root(k, paths, root, records, false, src)) return false;
  if (std::memcmp(root + 32, a->key, sizeof a->key) == 0) return true;
  char hex[65];
  vantiro_hex(root + 32, 32, hex, sizeof hex);
  secure_zero(root, kRoot);
  std::fprintf(stderr, "ERROR: the shares rebuild key %s, not the anchor's key\n", hex);
  return false;
}

}  // namespace cli
