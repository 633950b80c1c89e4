// check: a custodian checks shares alone against the split record that the root signed,
// combining nothing and writing nothing.
#include <cstdio>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

namespace {

// A sealed share's header against the record, and what it holds once opened.
bool check_sealed(const char* path, const vantiro_sealed_share* s, uint8_t* share,
                  share_source* src) {
  if (!signed_share_fits(path, s->key, s->split, s->threshold, src)) return false;
  const int listed = vantiro_split_record_check_fingerprint(&src->split, s->x, s->fingerprint);
  if (listed != VANTIRO_SHARE_LISTED) {
    // Its header is not the record's: the same lines as for a plain share.
    if (listed == VANTIRO_SHARE_CHANGED)
      print_error("ERROR: %s is not share %d of this split (its fingerprint differs)\n",
                   path, s->x);
    else
      print_error("ERROR: %s: the split record lists no share %d\n", path, s->x);
    return false;
  }
  bool no_key = false;
  if (open_sealed_share(path, s, &src->keys, share, &no_key)) {
    if (!check_against_record(&src->split, 1, &path, share, false)) return false;
    std::printf("  %s: sealed share %d of this split, opened, intact\n", path, s->x);
    return true;
  }
  if (!no_key) return false;
  std::printf("  %s: sealed share %d of this split, signed by the root; not opened (no "
              "--key for it)\n",
              path, s->x);
  return true;
}

// Checks one share file against the split record alone: a plain share by its fingerprint;
// a share text, or an age share opened with its --key, by its signature, header and
// record; a sealed share by its signature and header, and, opened with its --key where one
// is given, by the fingerprint of what it holds. Prints a line for the share either way.
bool check_one(const char* path, share_source* src) {
  loaded_share s;
  bool ok = false;
  switch (load_share(path, src, false, &s)) {
    case SHARE_PLAIN:
      ok = check_against_record(&src->split, 1, &path, s.record, true);
      break;
    case SHARE_TEXT:
    case SHARE_AGE:
    case SHARE_PGP:
      ok = signed_share_fits(path, s.text.key, s.text.split, s.text.threshold, src) &&
           check_against_record(&src->split, 1, &path, s.text.record, false);
      if (ok && s.kind == SHARE_TEXT)
        std::printf("  %s: share text %d of this split, signed by the root, intact\n", path,
                    s.text.x);
      if (ok && s.kind == SHARE_AGE)
        std::printf("  %s: age file, share %d of this split, opened, intact\n", path, s.text.x);
      if (ok && s.kind == SHARE_PGP)
        std::printf("  %s: OpenPGP message, share %d of this split, opened with gpg, intact\n",
                    path, s.text.x);
      break;
    case SHARE_PGP_LOCKED:
      std::printf("  %s: OpenPGP message, not opened (no --gpg)\n", path);
      ok = true;
      break;
    case SHARE_AGE_LOCKED:
      std::printf("  %s: age file, not opened (no --key for it)\n", path);
      ok = true;
      break;
    case SHARE_SEALED:
      ok = check_sealed(path, &s.sealed, s.record, src);
      break;
    default:
      break;
  }
  wipe_loaded_share(&s);
  return ok;
}

}  // namespace

int cmd_check(const char* anchor_path, const char* split_path, int k, char** share_paths,
              const cmd_options& o) {
  trusted_anchor t;
  if (!read_trusted_anchor(anchor_path, o, &t)) return 1;
  const vantiro_anchor& a = t.a;
  cmd_options with_split = o;
  with_split.split = split_path;
  share_source src;
  if (!open_share_source(with_split, &a, &src)) return 1;
  const vantiro_split_record& rec = src.split;
  std::printf("== split checked ==\n  key: ");
  phex(rec.key, sizeof rec.key);
  std::printf("\n  split: ");
  phex(rec.split, sizeof rec.split);
  std::printf(", any %d of these %d shares rebuild the root\n", rec.threshold, rec.count);
  print_trust_lines(&t);
  for (int i = 0; i < rec.count; ++i) {
    std::printf("    x=%3d  sha256=", rec.x[i]);
    phex(rec.digest[i], 6);
    std::puts("...");
  }
  // Every share is checked, and every failure named.
  bool all = true;
  for (int i = 0; i < k; ++i) all = check_one(share_paths[i], &src) && all;
  // A key given to check shares that opens none of them was given for a share sealed to
  // someone else: the misdirected seal this check is there to catch.
  for (int i = 0; i < src.keys.count; ++i) {
    if (src.keys.opened[i]) continue;
    print_error("ERROR: --key %s opens none of the shares given\n", src.keys.path[i]);
    all = false;
  }
  close_share_source(&src);
  return all ? 0 : 1;
}

}  // namespace cli
