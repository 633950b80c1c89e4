// sign: signs a message file with the root rebuilt from share files in memory; the root
// is never written anywhere, and the signature leaves only after it verifies under the
// anchor's key.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

namespace {

// Feeds one whole pass over the message to the signer; the message is read from its start
// each time.
// The SHA-256 that proves the pass runs on the reading thread, beside the secret hash.
pass_result sign_pass(const message_in* m, vantiro_signer* signer, unsigned long long* size) {
  std::rewind(m->f);
  return read_message_pass(
      m,
      [](void* s, const uint8_t* p, size_t n) {
        vantiro_sign_update_hash(static_cast<vantiro_signer*>(s), p, n);
      },
      signer,
      [](void* s, const uint8_t* p, size_t n) {
        vantiro_sign_update_seen(static_cast<vantiro_signer*>(s), p, n);
      },
      signer, size);
}

// Two passes over the message, then the signature; the signer is wiped on every path.
// Prints its refusals; 0 with the signature in sig and the message's SHA-256 in digest.
int sign_message(const message_in* m, const vantiro_anchor* a, uint8_t* root, uint8_t sig[64],
                 uint8_t digest[32], unsigned long long* size) {
  vantiro_signer signer;
  const int begun = vantiro_sign_begin(&signer, root);
  secure_zero(root, kRoot);
  if (begun != 0) {  // unreachable after the rebuild's own check; refused all the same
    print_error("ERROR: the rebuilt root is not a key pair\n");
    return -1;
  }
  pass_result got = sign_pass(m, &signer, size);
  if (got == PASS_OK) {
    vantiro_sign_next_pass(&signer);
    got = sign_pass(m, &signer, size);
  }
  // A pass that ends off the size taken at open saw another file than the other pass
  // did, or will: the same refusal as for two passes whose digests differ.
  const int rc = got == PASS_OK ? vantiro_sign_end(&signer, a->key, sig, digest) : -3;
  if (got != PASS_OK) vantiro_sign_abort(&signer);
  if (got == PASS_FAILED) return -1;
  if (rc == -3) {
    print_error("ERROR: %s changed while it was being signed; no signature was written\n",
                 m->path);
    return -1;
  }
  if (rc != 0) {
    print_error("ERROR: the signature does not verify under the anchor's key; none was written\n");
    return -1;
  }
  return 0;
}

// minisign's trusted comment: the time, the message's base name (control characters shown
// as '?', which would end the comment's line) and the key it is by.
void trusted_comment(const char* msg_path, const uint8_t key[32], char (&out)[512]) {
  const char* base = msg_path;
  for (const char* p = msg_path; *p != '\0'; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  char name[401];
  size_t n = 0;
  for (; base[n] != '\0' && n + 1 < sizeof name; ++n) {
    const auto c = static_cast<unsigned char>(base[n]);
    name[n] = c < 0x20 || c == 0x7f ? '?' : base[n];
  }
  name[n] = '\0';
  char hex[17];
  vantiro_hex(key, 8, hex, sizeof hex);
  std::snprintf(out, sizeof out, "timestamp:%lld\tfile:%s\tvantiro root %s",
                static_cast<long long>(std::time(nullptr)), name, hex);
}

// One pass over the message into the prehash of the format (its SHA-256 for the report on
// the reading thread), then both signatures over the digest. The root is wiped on every
// path. Prints its refusals; 0 with the signature file's text in text.
int sign_prehashed(const message_in* m, const vantiro_anchor* a, uint8_t* root, int format,
                   const char* ns, uint8_t sig[64], uint8_t digest[32], unsigned long long* size,
                   char (&text)[VANTIRO_FORMAT_TEXT_MAX], size_t* len) {
  vantiro_prehash ph;
  vantiro_prehash_init(&ph, format == VANTIRO_FORMAT_MINISIGN ? VANTIRO_PREHASH_BLAKE2B
                                                              : VANTIRO_PREHASH_SHA512);
  sha256_ctx seen;
  sha256_init(&seen);
  const pass_result got = read_message_pass(
      m,
      [](void* c, const uint8_t* p, size_t n) {
        vantiro_prehash_update(static_cast<vantiro_prehash*>(c), p, n);
      },
      &ph,
      [](void* c, const uint8_t* p, size_t n) { sha256_update(static_cast<sha256_ctx*>(c), p, n); },
      &seen, size);
  uint8_t prehash[64];
  size_t prehash_len = 0;
  vantiro_prehash_final(&ph, prehash, &prehash_len);
  sha256_final(&seen, digest);
  int rc = -1;
  if (got == PASS_OK) {
    char comment[512];
    trusted_comment(m->path, a->key, comment);
    rc = vantiro_sign_prehashed(root, a->key, format, prehash, ns, comment, text, sizeof text, len,
                                sig);
  }
  secure_zero(root, kRoot);
  if (got == PASS_CHANGED)
    print_error("ERROR: %s changed while it was being signed; no signature was written\n",
                 m->path);
  if (got != PASS_OK) return -1;
  if (rc == -3) print_error("ERROR: the rebuilt root is not a key pair\n");
  if (rc == -4 || rc == -1)
    print_error("ERROR: the signature does not verify under the anchor's key; none was written\n");
  return rc == 0 ? 0 : -1;
}

}  // namespace

int cmd_sign(const char* anchor_path, const char* msg_path, const char* sigout, int k,
             char** share_paths, const cmd_options& o) {
  if (is_stdin(msg_path)) {
    print_error("ERROR: sign reads the message twice; give a file, not standard input\n");
    return 1;
  }
  if (refuse_stdin_output(sigout)) return 1;
  const int format = signature_format(o.format);
  if (format < 0) return 1;
  if (o.ns != nullptr && format != VANTIRO_FORMAT_OPENSSH) {
    print_error("ERROR: --namespace goes with --format ssh\n");
    return 1;
  }
  const char* ns = o.ns != nullptr ? o.ns : VANTIRO_DEFAULT_NAMESPACE;
  if (!vantiro_namespace_ok(ns)) {
    print_error("ERROR: --namespace takes 1 to 64 printable characters without spaces\n");
    return 1;
  }
  trusted_anchor t;
  if (!read_trusted_anchor(anchor_path, o, &t)) return 1;
  const vantiro_anchor& a = t.a;
  // With a transcript that could take no entry of this root, nothing runs.
  if (refuse_existing(sigout) || !transcript_accepts(a.key, false)) return 1;
  share_source src;
  if (!open_share_source(o, &a, &src)) return 1;
  message_in msg;
  if (!open_message(msg_path, &msg)) {
    close_share_source(&src);
    return 1;
  }
  uint8_t root[kRoot];
  uint8_t sig[64];
  uint8_t digest[32];
  unsigned long long size = 0;
  const bool rebuilt = rebuild_anchored_root(&a, k, share_paths, root, nullptr, &src);
  close_share_source(&src);
  const bool prehashed = format == VANTIRO_FORMAT_MINISIGN || format == VANTIRO_FORMAT_OPENSSH;
  char text[VANTIRO_FORMAT_TEXT_MAX];
  size_t len = 0;
  bool signed_ok = false;
  if (rebuilt && prehashed)
    signed_ok = sign_prehashed(&msg, &a, root, format, ns, sig, digest, &size, text, &len) == 0;
  else if (rebuilt)
    signed_ok = sign_message(&msg, &a, root, sig, digest, &size) == 0;
  close_message(&msg);
  if (!signed_ok) return 1;
  transcript_read_digest(TRANSCRIPT_MESSAGE, msg_path, digest);
  transcript_message_signature(sig);
  if (format == VANTIRO_FORMAT_SIGNIFY) vantiro_signify_text(a.key, sig, text, sizeof text, &len);
  const bool written = format == VANTIRO_FORMAT_RAW
                           ? write_file(sigout, sig, sizeof sig, false) == 0
                           : write_file(sigout, reinterpret_cast<const uint8_t*>(text), len,
                                        false) == 0;
  if (!written) return 1;
  std::printf("== signed with the root ==\n");
  print_anchor_lines(&a, false);
  print_trust_lines(&t);
  std::printf("  message: %s (%llu bytes)\n  sha256: ", msg_path, size);
  phex(digest, sizeof digest);
  std::printf("\n  signature: ");
  phex(sig, sizeof sig);
  if (format == VANTIRO_FORMAT_RAW) {
    std::printf("\n  wrote 64B signature -> %s\n", sigout);
  } else {
    char keynum[2 * VANTIRO_KEYNUM_SIZE + 1];
    keynum_hex(a.key, keynum);
    std::printf("\n  keynum: %s\n  wrote %dB %s signature -> %s\n", keynum,
                static_cast<int>(len), signature_format_name(format), sigout);
  }
  return sync_dir_of(sigout) == 0 ? 0 : 1;
}

}  // namespace cli
