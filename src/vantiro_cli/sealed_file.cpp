// Custodian key files and sealed share files: the --to public keys, the --key secret keys,
// and sealed shares read, checked, opened and written.
#include <cstdio>
#include <cstring>

#include "cli_internal.h"
#include "crypt.h"
#include "file_io.h"

namespace cli {

namespace {

constexpr char kSealedMagic[] = "vantiro sealed share";

// A custodian public key file: 64 lower-case hex digits with an optional LF or CRLF. 32
// raw bytes are what keygen writes as the secret key, so they are never read as a
// public one.
bool parse_public_key(const uint8_t* buf, size_t len, uint8_t pk[32]) {
  if (len == 65 && buf[64] == '\n') len = 64;
  if (len == 66 && buf[64] == '\r' && buf[65] == '\n') len = 64;
  return len == 64 && vantiro_unhex(reinterpret_cast<const char*>(buf), 64, pk) == 0;
}

}  // namespace

bool read_custodian_keys(const cmd_options& o, custodian_keys* keys) {
  keys->count = 0;
  for (int i = 0; i < o.key_count; ++i) {
    // Standard input goes through a stdio buffer that would keep the key.
    if (is_stdin(o.key[i])) {
      std::fputs("ERROR: --key takes a file, not standard input\n", stderr);
      wipe_custodian_keys(keys);
      return false;
    }
    uint8_t* sk = keys->sk[i];
    size_t len = 0;
    const int rc = read_small_file(o.key[i], sk, 32, &len);
    if (rc != 0 || len != 32) {
      if (rc != -1) std::fprintf(stderr, "ERROR: %s is not a custodian key\n", shown(o.key[i]));
      wipe_custodian_keys(keys);
      return false;
    }
    keys->path[i] = o.key[i];
    vantiro_custodian_public(sk, keys->pk[i]);
    keys->count = i + 1;
  }
  return true;
}

void wipe_custodian_keys(custodian_keys* keys) {
  secure_zero(keys->sk, sizeof keys->sk);
  keys->count = 0;
}

bool read_recipients(const cmd_options& o, int n, uint8_t* recipients) {
  if (o.to_count != n) {
    std::fprintf(stderr, "ERROR: %d shares need %d --to keys, one per share in share order\n", n,
                 n);
    return false;
  }
  for (int i = 0; i < n; ++i) {
    uint8_t buf[66];
    size_t len = 0;
    uint8_t* pk = recipients + static_cast<size_t>(i) * 32;
    const int rc = read_small_file(o.to[i], buf, sizeof buf, &len);
    const bool parsed = rc == 0 && parse_public_key(buf, len, pk);
    // It may be a secret key given by mistake: nothing of it stays or is shown.
    secure_zero(buf, sizeof buf);
    if (rc == -1) return false;
    if (!parsed) {
      std::fprintf(stderr,
                   rc == 0 && len == 32
                       ? "ERROR: %s is not a custodian public key (a 32-byte file is a secret "
                         "key; give its .pub file)\n"
                       : "ERROR: %s is not a custodian public key\n",
                   shown(o.to[i]));
      return false;
    }
    if (vantiro_custodian_key_has_small_order(pk) != 0 ||
        vantiro_custodian_key_is_canonical(pk) == 0) {
      std::fprintf(stderr, "ERROR: %s is not a usable custodian key\n", shown(o.to[i]));
      return false;
    }
    for (int j = 0; j < i; ++j) {
      if (std::memcmp(recipients + static_cast<size_t>(j) * 32, pk, 32) != 0) continue;
      std::fprintf(stderr,
                   "ERROR: %s and %s are the same custodian key; each share goes to its own "
                   "custodian\n",
                   shown(o.to[j]), shown(o.to[i]));
      return false;
    }
  }
  return true;
}

bool seal_records(const uint8_t* root, const uint8_t split[VANTIRO_SPLIT_ID_SIZE], int t, int n,
                  const uint8_t* records, const uint8_t* recipients,
                  char (*texts)[VANTIRO_SEALED_TEXT_MAX], size_t* lens) {
  for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
    const int rc = vantiro_sealed_share_make(root, split, t, records + i * kRecord,
                                             recipients + i * 32, texts[i],
                                             VANTIRO_SEALED_TEXT_MAX, &lens[i]);
    if (rc != 0) {
      std::fprintf(stderr, "ERROR: vantiro_sealed_share_make rc=%d\n", rc);
      return false;
    }
  }
  return true;
}

int write_sealed_files(const char* outdir, int n, const char (*texts)[VANTIRO_SEALED_TEXT_MAX],
                       const size_t* lens) {
  char path[kPathBuf];
  int not_written = 0;
  for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
    vantiro_sealed_share s;
    const auto* text = reinterpret_cast<const uint8_t*>(texts[i]);
    // Read back as a custodian will read it: a text that does not parse is never written.
    if (vantiro_sealed_share_parse(text, lens[i], &s) != 0) {
      std::fputs("ERROR: a sealed share does not read back\n", stderr);
      ++not_written;
      continue;
    }
    share_path(path, outdir, s.x, true);
    if (write_file(path, text, lens[i], true) != 0) {
      ++not_written;
      continue;
    }
    std::printf("    x=%3d -> %s  sealed to ", s.x, path);
    phex(s.recipient, 8);
    std::printf("...  sha256=");
    phex(s.fingerprint, 6);
    std::puts("...");
  }
  return not_written;
}

share_kind load_share(const char* path, uint8_t* rec, vantiro_sealed_share* sealed) {
  FILE* f = nullptr;
  const cli_open_result rc = cli_open_regular(path, &f);
  if (rc != CLI_OPEN_OK) {
    if (rc == CLI_OPEN_FAILED) std::fprintf(stderr, "ERROR: cannot read %s\n", path);
    std::fprintf(stderr, "ERROR: %s is not a %d-byte share\n", path, static_cast<int>(kRecord));
    return SHARE_FAILED;
  }
  // One byte beyond the largest sealed share tells a longer file.
  uint8_t buf[VANTIRO_SEALED_TEXT_MAX + 1];
  const size_t got = std::fread(buf, 1, sizeof buf, f);
  std::fclose(f);
  // The text forms are told by their first line, also behind a byte-order mark or blank
  // lines that an editor or a mail program may add (and that the strict readers refuse);
  // only what is no text form is read as a record, and only when it is exactly one.
  size_t start = got >= 3 && std::memcmp(buf, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  while (start < got && (buf[start] == '\n' || buf[start] == '\r' || buf[start] == ' ' ||
                         buf[start] == '\t'))
    ++start;
  const bool sealed_text = got - start >= sizeof kSealedMagic - 1 &&
                           std::memcmp(buf + start, kSealedMagic, sizeof kSealedMagic - 1) == 0;
  share_kind kind = SHARE_FAILED;
  if (sealed_text) {
    const int prc = start == 0 ? vantiro_sealed_share_parse(buf, got, sealed) : -1;
    if (prc == -3)
      std::fprintf(stderr, "ERROR: %s is not signed by the root it names\n", path);
    else if (prc != 0)
      std::fprintf(stderr, "ERROR: %s is not a sealed share\n", path);
    else
      kind = SHARE_SEALED;
  } else if (got == kRecord) {
    std::memcpy(rec, buf, kRecord);
    kind = SHARE_PLAIN;
  } else {
    std::fprintf(stderr, "ERROR: %s is not a %d-byte share\n", path, static_cast<int>(kRecord));
  }
  secure_zero(buf, sizeof buf);
  return kind;
}

bool sealed_share_fits(const char* path, const vantiro_sealed_share* s, const share_source* src) {
  const uint8_t* want = src->anchor_key != nullptr ? src->anchor_key
                        : src->has_split           ? src->split.key
                                                   : nullptr;
  if (want != nullptr && std::memcmp(want, s->key, sizeof s->key) != 0) {
    char hex[65];
    vantiro_hex(s->key, sizeof s->key, hex, sizeof hex);
    std::fprintf(stderr,
                 src->anchor_key != nullptr
                     ? "ERROR: %s is a share of key %s, not the anchor's key\n"
                     : "ERROR: %s is a share of key %s, not the split record's key\n",
                 path, hex);
    return false;
  }
  if (!src->has_split) return true;
  if (std::memcmp(src->split.split, s->split, sizeof s->split) != 0) {
    char hex[33];
    vantiro_hex(s->split, sizeof s->split, hex, sizeof hex);
    std::fprintf(stderr, "ERROR: %s is a share of split %s, not of the split record's\n", path,
                 hex);
    return false;
  }
  if (src->split.threshold != s->threshold) {
    std::fprintf(stderr, "ERROR: %s is a share of a %d-of split; the split record says %d\n", path,
                 s->threshold, src->split.threshold);
    return false;
  }
  return true;
}

bool open_sealed_share(const char* path, const vantiro_sealed_share* s, custodian_keys* keys,
                       uint8_t* rec, bool* no_key) {
  int which = -1;
  for (int i = 0; i < keys->count && which < 0; ++i)
    if (std::memcmp(keys->pk[i], s->recipient, 32) == 0) which = i;
  if (which < 0) {
    if (no_key != nullptr) {
      *no_key = true;
      return false;
    }
    char hex[65];
    vantiro_hex(s->recipient, sizeof s->recipient, hex, sizeof hex);
    std::fprintf(stderr, "ERROR: no --key opens %s (it is sealed to %.16s...)\n", path, hex);
    return false;
  }
  const int rc = vantiro_sealed_share_open(s, keys->sk[which], rec);
  if (rc == -3)
    std::fprintf(stderr, "ERROR: %s does not hold the share its header names\n", path);
  else if (rc != 0)
    std::fprintf(stderr, "ERROR: %s does not open with %s\n", path, keys->path[which]);
  if (rc == 0) keys->opened[which] = true;
  return rc == 0;
}

}  // namespace cli
