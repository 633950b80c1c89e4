// Share files: reading them as records, refusing sets that cannot be shares of one split,
// and naming the files that do not fit when a set does not rebuild a root.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli_internal.h"
#include "crypt.h"
#include "file_io.h"
#include "share_forms.h"

namespace cli {

namespace {

// After a failed rebuild of k records read from paths: prints the refusal (recover's own
// line when recovering), and names the files that do not fit the others when setting them
// aside rebuilds a root.
void report_not_a_root(int k, char** paths, const uint8_t* records, bool recovering) {
  if (recovering)
    print_error(
        "ERROR: recover failed: the shares do not rebuild a root (too few shares, or shares "
        "of different roots)\n");
  else
    print_error(
        "ERROR: the shares do not rebuild a root (too few shares, a damaged share, or shares "
        "of different roots)\n");
  int misfits[2];
  const int found = vantiro_find_misfits(k, records, misfits);
  for (int i = 0; i < found; ++i)
    print_error("ERROR: %s does not fit the other shares (damaged, or of another root)\n",
                 paths[misfits[i]]);
}

// Fewer shares than the threshold that the split record or the root's signature on the
// shares names cannot rebuild the root: said as such, before anything is combined.
bool enough_shares(int k, const share_source* src) {
  const int need = src->has_split ? src->split.threshold : src->vouched > 0 ? src->threshold : 0;
  if (k >= need) return true;
  print_error("ERROR: %d shares given; this split needs %d\n", k, need);
  return false;
}

}  // namespace

bool open_share_source(const cmd_options& o, const vantiro_anchor* a, share_source* src) {
  src->anchor_key = a != nullptr ? a->key : nullptr;
  src->gpg = o.gpg;
  if (o.split != nullptr) {
    if (!read_split_record(o.split, a, &src->split)) return false;
    src->has_split = true;
  }
  return read_custodian_keys(o, &src->keys);
}

void close_share_source(share_source* src) { wipe_custodian_keys(&src->keys); }

void wipe_loaded_share(loaded_share* s) {
  secure_zero(s->record, sizeof s->record);
  secure_zero(&s->text, sizeof s->text);
}

share_kind load_share(const char* path, share_source* src, bool report_locked,
                      loaded_share* out) {
  out->kind = SHARE_FAILED;
  FILE* f = nullptr;
  const cli_open_result rc = cli_open_regular(path, &f);
  if (rc != CLI_OPEN_OK) {
    if (rc == CLI_OPEN_FAILED) print_error("ERROR: cannot read %s\n", path);
    print_error("ERROR: %s is not a %d-byte share\n", path, static_cast<int>(kRecord));
    return SHARE_FAILED;
  }
  // One byte beyond the largest share file of any form tells a longer file.
  uint8_t buf[kShareFileMax + 1];
  const size_t got = std::fread(buf, 1, sizeof buf, f);
  std::fclose(f);
  transcript_read(TRANSCRIPT_SHARE, path, buf, got);
  // The text forms are told by their first line, also behind a byte-order mark or blank
  // lines that an editor or a mail program may add (and that the strict readers refuse);
  // only what is no text form is read as a record, and only when it is exactly one.
  size_t start = got >= 3 && std::memcmp(buf, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  while (start < got && (buf[start] == '\n' || buf[start] == '\r' || buf[start] == ' ' ||
                         buf[start] == '\t'))
    ++start;
  const uint8_t* text = buf + start;
  const size_t left = got - start;
  const bool exact = start == 0;
  share_kind kind = SHARE_FAILED;
  if (begins_sealed_form(text, left)) {
    kind = read_sealed_form(path, buf, got, exact, out);
  } else if (begins_text_form(text, left)) {
    kind = read_text_form(path, buf, got, exact, out);
  } else if (begins_age_form(buf, got)) {
    // age itself allows whitespace before the armor, so the whole file goes to its reader.
    kind = got > kShareFileMax ? SHARE_FAILED
                               : read_age_form(path, buf, got, &src->keys, report_locked, out);
    if (got > kShareFileMax) print_error("ERROR: %s does not hold a vantiro share\n", path);
  } else if (got != kRecord && begins_openpgp_form(buf, got)) {
    // A record of x 128 or more can begin like a packet: 65 bytes are always a record.
    kind = read_openpgp_form(path, src->gpg, report_locked, out);
  } else if (got == kRecord) {
    std::memcpy(out->record, buf, kRecord);
    kind = SHARE_PLAIN;
  } else {
    print_error("ERROR: %s is not a %d-byte share\n", path, static_cast<int>(kRecord));
  }
  secure_zero(buf, sizeof buf);
  out->kind = kind;
  return kind;
}

bool signed_share_fits(const char* path, const uint8_t* key, const uint8_t* split, int threshold,
                       const share_source* src) {
  const uint8_t* want = src->anchor_key != nullptr ? src->anchor_key
                        : src->has_split           ? src->split.key
                                                   : nullptr;
  if (want != nullptr && std::memcmp(want, key, VANTIRO_KEY_SIZE) != 0) {
    char hex[65];
    vantiro_hex(key, VANTIRO_KEY_SIZE, hex, sizeof hex);
    print_error(src->anchor_key != nullptr
                     ? "ERROR: %s is a share of key %s, not the anchor's key\n"
                     : "ERROR: %s is a share of key %s, not the split record's key\n",
                 path, hex);
    return false;
  }
  if (!src->has_split) return true;
  if (std::memcmp(src->split.split, split, VANTIRO_SPLIT_ID_SIZE) != 0) {
    char hex[33];
    vantiro_hex(split, VANTIRO_SPLIT_ID_SIZE, hex, sizeof hex);
    print_error("ERROR: %s is a share of split %s, not of the split record's\n", path,
                 hex);
    return false;
  }
  if (src->split.threshold != threshold) {
    print_error("ERROR: %s is a share of a %d-of split; the split record says %d\n", path,
                 threshold, src->split.threshold);
    return false;
  }
  return true;
}

namespace {

// Notes a share the root signed for in src; shares of two splits never combine, and are
// named by what the root signed before any is opened.
bool note_vouched(const char* path, const uint8_t* key, const uint8_t* split, int threshold,
                  share_source* src) {
  if (!signed_share_fits(path, key, split, threshold, src)) return false;
  if (src->vouched > 0 && std::memcmp(src->split_id, split, VANTIRO_SPLIT_ID_SIZE) != 0) {
    char first[33];
    char other[33];
    vantiro_hex(src->split_id, sizeof src->split_id, first, sizeof first);
    vantiro_hex(split, VANTIRO_SPLIT_ID_SIZE, other, sizeof other);
    print_error("ERROR: %s is a share of split %s, %s of split %s; give shares of one split\n",
                 src->first_vouched, first, path, other);
    return false;
  }
  if (src->vouched++ == 0) {
    src->first_vouched = path;
    std::memcpy(src->key, key, sizeof src->key);
    std::memcpy(src->split_id, split, sizeof src->split_id);
    src->threshold = threshold;
  }
  return true;
}

}  // namespace

bool read_share(const char* path, uint8_t* rec, share_source* src) {
  loaded_share s;
  bool ok = false;
  switch (load_share(path, src, true, &s)) {
    case SHARE_PLAIN:
      std::memcpy(rec, s.record, kRecord);
      ok = true;
      break;
    case SHARE_SEALED:
      ok = note_vouched(path, s.sealed.key, s.sealed.split, s.sealed.threshold, src) &&
           open_sealed_share(path, &s.sealed, &src->keys, rec);
      break;
    case SHARE_TEXT:
    case SHARE_AGE:
    case SHARE_PGP:
      ok = note_vouched(path, s.text.key, s.text.split, s.text.threshold, src);
      if (ok) std::memcpy(rec, s.text.record, kRecord);
      break;
    default:
      break;
  }
  wipe_loaded_share(&s);
  return ok;
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
    print_error("ERROR: %s is not a share (x = 0)\n", paths[a]);
  else if (fault == VANTIRO_RECORDS_SAME)
    print_error("ERROR: %s and %s are the same share\n", paths[a], paths[b]);
  else
    print_error("ERROR: %s and %s both claim x = %d\n", paths[a], paths[b],
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
      print_error(recovering ? "ERROR: recover failed\n"
                            : "ERROR: more shares than any split issues (at most 16)\n");
  }
  if (own != nullptr) {
    secure_zero(own, kk * kRecord);
    std::free(own);
  }
  if (rc != 0) return false;
  // The root must be the one the split record, or the root's signature on the shares,
  // names.
  const uint8_t* named = split != nullptr ? split->key : src->vouched > 0 ? src->key : nullptr;
  if (named == nullptr || std::memcmp(root + 32, named, VANTIRO_KEY_SIZE) == 0) return true;
  char hex[65];
  vantiro_hex(root + 32, 32, hex, sizeof hex);
  secure_zero(root, kRoot);
  print_error(split != nullptr ? "ERROR: the shares rebuild key %s, not the split record's key\n"
                                : "ERROR: the shares rebuild key %s, not the key the sealed shares "
                                  "name\n",
               hex);
  return false;
}

bool rebuild_anchored_root(const vantiro_anchor* a, int k, char** paths, uint8_t* root,
                           uint8_t* records, share_source* src) {
  if (!rebuild_root(k, paths, root, records, false, src)) return false;
  if (std::memcmp(root + 32, a->key, sizeof a->key) == 0) {
    if (transcript_hold(root, false)) return true;
    secure_zero(root, kRoot);
    return false;
  }
  char hex[65];
  vantiro_hex(root + 32, 32, hex, sizeof hex);
  secure_zero(root, kRoot);
  print_error("ERROR: the shares rebuild key %s, not the anchor's key\n", hex);
  return false;
}

bool rebuild_root_for(const vantiro_anchor* a, int k, char** paths, const cmd_options& o,
                      uint8_t* root) {
  share_source src;
  if (!open_share_source(o, a, &src)) return false;
  const bool ok = rebuild_anchored_root(a, k, paths, root, nullptr, &src);
  close_share_source(&src);
  return ok;
}

}  // namespace cli
