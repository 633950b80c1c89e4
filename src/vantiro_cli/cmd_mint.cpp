// mint: a fresh root split into n shares; writes the public key, the DNS zone line and
// one new owner-only file per share into outdir.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli_internal.h"
#include "crypt.h"
#include "file_io.h"

namespace cli {

namespace {

// "_key." + a name of up to 248 characters and its trailing dot + " TXT \"" + the anchor
// record + "\"\n" is at most 459 characters.
constexpr size_t kDnsLineBuf = 512;

// True for a name that begins with "_key." in any letter case: the anchor's own name,
// given where the zone's is meant.
bool names_the_record(const char* fqdn) {
  static const char kLabel[] = "_key.";
  for (size_t i = 0; i + 1 < sizeof kLabel; ++i) {
    const char c = fqdn[i] >= 'A' && fqdn[i] <= 'Z' ? static_cast<char>(fqdn[i] + 32) : fqdn[i];
    if (c != kLabel[i]) return false;
  }
  return true;
}

}  // namespace

bool counts_are_usable(int n, int t) {
  if (n >= t && n <= VANTIRO_MAX_SHARES && t >= 2) return true;
  print_error("ERROR: need 2<=t<=n<=16\n");
  return false;
}

bool outdir_is_usable(const char* outdir, int max_x, bool sealed, char (&dir)[kPathBuf]) {
  if (outdir[0] == '\0') {
    print_error("ERROR: outdir must not be empty\n");
    return false;
  }
  if (refuse_stdin_output(outdir)) return false;
  // "out/" names the directory "out": its files are printed as out/share-01.share.
  size_t len = std::strlen(outdir);
  while (len > 1 && cli_is_separator(outdir[len - 1])) --len;
  // The longest path written is that of the share at max_x (operator.pub, _key.txt and
  // shares.txt are shorter); none may be cut short.
  const int longest = std::snprintf(nullptr, 0, "%.*s/share-%02d.%s", static_cast<int>(len),
                                    outdir, max_x, sealed ? "sealed" : "share");
  if (longest < 0 || static_cast<size_t>(longest) > kPathBuf - 1) {
    print_error("ERROR: outdir too long\n");
    return false;
  }
  std::memcpy(dir, outdir, len);
  dir[len] = '\0';
  // Checked before any key is drawn: a missing directory is named, not found out at the
  // first file.
  if (!cli_is_directory(dir)) {
    print_error("ERROR: %s is not an existing directory\n", outdir);
    return false;
  }
  return true;
}

void path_in(char (&path)[kPathBuf], const char* dir, const char* name) {
  // outdir_is_usable has made sure that every name written fits; one that would not is
  // left empty, which no file is created under, rather than cut short.
  const int len = std::snprintf(path, sizeof path, "%s/%s", dir, name);
  if (len < 0 || static_cast<size_t>(len) >= sizeof path) path[0] = '\0';
}

void share_path(char (&path)[kPathBuf], const char* outdir, int x, const char* ext) {
  char name[32];
  std::snprintf(name, sizeof name, "share-%02d.%s", x & 0xff, ext);
  path_in(path, outdir, name);
}

void split_record_path(char (&path)[kPathBuf], const char* outdir) {
  path_in(path, outdir, "shares.txt");
}

int write_split_record(const char* outdir, const vantiro_split_record* rec, const char* text,
                       size_t len) {
  char path[kPathBuf];
  split_record_path(path, outdir);
  if (write_file(path, reinterpret_cast<const uint8_t*>(text), len, false) != 0) return -1;
  std::printf("  split record: %s (split ", path);
  phex(rec->split, sizeof rec->split);
  std::printf(")\n");
  return 0;
}

bool refuse_existing_shares(const char* outdir, int n, const custodian_list* to) {
  char path[kPathBuf];
  for (int x = 1; x <= n; ++x) {
    share_path(path, outdir, x, to != nullptr ? form_extension(to->form[x - 1]) : kPlainShare);
    if (refuse_existing(path)) return true;
  }
  return false;
}

int write_share_files(const char* outdir, int n, const uint8_t* records) {
  char path[kPathBuf];
  int not_written = 0;
  for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
    const uint8_t* rec = records + i * kRecord;
    const int x = rec[0];
    share_path(path, outdir, x);
    // A share that is not on disk gets no line: the report lists what can be handed out.
    if (write_file(path, rec, kRecord, true) != 0) {
      ++not_written;
      continue;
    }
    uint8_t digest[32];
    sha256(rec, kRecord, digest);
    std::printf("    x=%3d -> %s  sha256=", x, path);
    phex(digest, 6);
    std::puts("...");
  }
  return not_written;
}

int finish_ceremony(const char* outdir, int not_written, int shares_written, int n, int t,
                    const char* too_few) {
  const bool synced = sync_dir(outdir) == 0;
  if (not_written != 0) {
    std::fflush(stdout);
    print_error("ERROR: %d file(s) not written; this ceremony is incomplete\n",
                 not_written);
  }
  if (shares_written < t) print_error(too_few, shares_written, n, t);
  return synced && not_written == 0 ? 0 : 1;
}

int cmd_mint(int n, int t, const char* fqdn, const char* outdir_arg, const cmd_options& o) {
  if (!counts_are_usable(n, t)) return 1;
  if (vantiro_fqdn_ok(fqdn, std::strlen(fqdn)) == 0) {
    print_error(
        "ERROR: fqdn must be a DNS name (letters, digits, '-', '_', dots; at most 248 "
        "characters)\n");
    return 1;
  }
  // The record's own name would land at _key._key.<zone>.
  if (names_the_record(fqdn)) {
    print_error("ERROR: give the zone name (example.org), not the record's name\n");
    return 1;
  }
  const bool sealed = o.to_count > 0;
  char outdir[kPathBuf];
  if (!outdir_is_usable(outdir_arg, n, sealed, outdir)) return 1;
  // With --to, every share is sealed to its custodian and none is written in the clear.
  custodian_list to;
  if (sealed && !read_recipients(o, n, &to)) return 1;
  // Every output path is checked before a key is drawn: nothing is ever replaced.
  char path[kPathBuf];
  char key_path[kPathBuf];
  char record_path[kPathBuf];
  char revoke_path[kPathBuf];
  path_in(path, outdir, "operator.pub");
  path_in(key_path, outdir, "_key.txt");
  split_record_path(record_path, outdir);
  path_in(revoke_path, outdir, "revoke.txt");
  if (refuse_existing(path) || refuse_existing(key_path) ||
      refuse_existing_shares(outdir, n, sealed ? &to : nullptr) || refuse_existing(record_path) ||
      refuse_existing(revoke_path) || (o.transcript != nullptr && refuse_existing(o.transcript)))
    return 1;

  const size_t nn = static_cast<size_t>(n);
  uint8_t* records = alloc_zeroed(nn * kRecord);
  if (records == nullptr) return 1;
  uint8_t pub[32];
  char anchor[VANTIRO_ANCHOR_SIZE];
  vantiro_split_record rec;
  char text[VANTIRO_SPLIT_TEXT_MAX];
  size_t text_len = 0;
  sealed_batch batch;
  // The root's revocation is made while it lives, dated at the mint.
  char now[kUtcSize];
  utc_now(now);
  vantiro_mint_revocation revocation{};
  revocation.time = now;
  // With a transcript, the root stays until its first entry is signed at the end.
  uint8_t root[kRoot];
  uint8_t* keep = o.transcript != nullptr ? root : nullptr;
  // Sealed, the records never leave the core: it wipes them once they are sealed.
  int rc = sealed ? vantiro_mint_sealed(n, t, &to.pk[0][0], pub, records, anchor, sizeof anchor,
                                        &rec, text, sizeof text, &text_len, batch.file, batch.len,
                                        to.form, to.cert, &revocation, keep)
                  : vantiro_mint_recorded(n, t, pub, records, anchor, sizeof anchor, &rec, text,
                                          sizeof text, &text_len, &revocation, keep);
  if (rc == 0 && keep != nullptr) {
    const bool held = transcript_hold(root, true);
    secure_zero(root, sizeof root);
    if (!held) {
      secure_zero(records, nn * kRecord);
      std::free(records);
      return 1;
    }
  }
  if (rc != 0) {
    print_error("ERROR: vantiro_mint rc=%d\n", rc);
    std::free(records);
    return 1;
  }
  // The split record lists the shares of x = 1..n in order, with their fingerprints.
  for (int i = 0; sealed && i < n; ++i) {
    batch.x[i] = rec.x[i];
    std::memcpy(batch.fingerprint[i], rec.digest[i], 32);
  }

  if (write_file(path, pub, sizeof pub, false) != 0) {
    secure_zero(records, nn * kRecord);
    std::free(records);
    return 1;
  }
  int not_written = 0;
  // The owner is written absolute: a relative one would be read below the zone's origin.
  char line[kDnsLineBuf];
  const bool absolute = fqdn[std::strlen(fqdn) - 1] == '.';
  const int line_len = std::snprintf(line, sizeof line, "_key.%s%s TXT \"%s\"\n", fqdn,
                                     absolute ? "" : ".", anchor);
  if (write_file(key_path, reinterpret_cast<const uint8_t*>(line), static_cast<size_t>(line_len),
                 false) != 0)
    ++not_written;

  std::printf("== Ardessa Vantiro: root minted (%d-of-%d) ==\n", t, n);
  std::printf("  operator pubkey: ");
  phex(pub, sizeof pub);
  std::printf("\n  _key.%s TXT -> %s\n", fqdn, anchor);
  std::printf("  wrote %s/operator.pub  %s/_key.txt\n", outdir, outdir);
  std::puts(sealed ? "  sealed shares (EACH OPENS ONLY WITH ITS CUSTODIAN'S KEY):"
                   : "  shares (DISTRIBUTE EACH TO A SEPARATE PLACE):");
  const int shares_not_written = sealed ? write_sealed_files(outdir, &to, &batch)
                                        : write_share_files(outdir, n, records);
  not_written += shares_not_written;
  if (write_split_record(outdir, &rec, text, text_len) != 0) ++not_written;
  if (write_file(revoke_path, reinterpret_cast<const uint8_t*>(revocation.text), revocation.len,
                 true) == 0)
    std::printf("  revocation: %s (owner-only): KEEP IT OFFLINE, apart from the shares; publish it "
                "only if the root is lost or compromised\n",
                revoke_path);
  else
    ++not_written;
  secure_zero(records, nn * kRecord);
  std::free(records);
  std::printf("  The whole root is wiped. Any %d shares reconstruct it. No network was touched.\n",
              t);
  // An incomplete ceremony is not to be published.
  if (not_written == 0)
    std::printf("  NOW: publish _key.%s + operator.pub; scatter the shares; then reconnect.\n",
                fqdn);
  return finish_ceremony(outdir, not_written, n - shares_not_written, n, t,
                         "ERROR: only %d of %d shares were written, fewer than %d: this root "
                         "cannot be rebuilt; do not publish it\n");
}

}  // namespace cli
