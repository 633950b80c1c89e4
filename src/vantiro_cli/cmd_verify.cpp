// verify: checks an anchor's self-signature, and a message file's signature under the
// anchor's key, in any form sign writes or a stock signer makes.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

namespace {

// A signature file of any form, told by its content (vantiro_sig_parse).
bool read_signature(const char* path, vantiro_sig_file* sig) {
  uint8_t buf[VANTIRO_FORMAT_TEXT_MAX];
  size_t len = 0;
  const int rc = read_small_file(path, buf, sizeof buf, &len);
  if (rc == -1) return false;
  if (rc == 0 && vantiro_sig_parse(buf, len, sig) == 0) return true;
  print_error("ERROR: %s is not a signature (64 bytes, 128 hex digits, or a signify, minisign "
               "or SSH signature file)\n",
               shown(path));
  return false;
}

// What a signature file says before the message is read: its key and, for minisign, the
// global signature over its trusted comment; for an SSH signature, its namespace.
bool signature_fits(const char* sig_path, const vantiro_sig_file* s, const vantiro_anchor* a,
                    const char* ns) {
  uint8_t keynum[VANTIRO_KEYNUM_SIZE];
  vantiro_keynum(a->key, keynum);
  char key_hex[65];
  vantiro_hex(a->key, sizeof a->key, key_hex, sizeof key_hex);
  if (s->has_keynum != 0 && std::memcmp(keynum, s->keynum, sizeof keynum) != 0) {
    char theirs[17];
    char ours[17];
    vantiro_hex(s->keynum, sizeof s->keynum, theirs, sizeof theirs);
    vantiro_hex(keynum, sizeof keynum, ours, sizeof ours);
    print_error("ERROR: %s was made by key %s, not by the anchor's key (%s)\n",
                 shown(sig_path), theirs, ours);
    return false;
  }
  if (vantiro_sig_verify_global(s, a->key) != 0) {
    print_error("ERROR: %s does not verify: its trusted comment is not signed by key %s\n",
                 shown(sig_path), key_hex);
    return false;
  }
  if (s->format == VANTIRO_FORMAT_OPENSSH && std::strcmp(s->comment, ns) != 0) {
    print_error("ERROR: %s is for namespace %s, not %s\n", shown(sig_path), s->comment,
                 ns);
    return false;
  }
  return true;
}

// One pass over the message: Ed25519 streamed over it, or the prehash of the form.
pass_result check_message(const message_in* m, const vantiro_sig_file* s, const uint8_t key[32],
                          const char* ns, bool* valid, unsigned long long* size) {
  if (s->prehash == VANTIRO_PREHASH_NONE) {
    ed25519_verify_stream st;
    ed25519_verify_stream_init(&st, key, s->sig);
    const pass_result got = read_pass(
        m, [&st](const uint8_t* p, size_t n) { ed25519_verify_stream_update(&st, p, n); }, size);
    *valid = got == PASS_OK && ed25519_verify_stream_final(&st) == 0;
    return got;
  }
  vantiro_prehash ph;
  vantiro_prehash_init(&ph, s->prehash);
  const pass_result got = read_pass(
      m, [&ph](const uint8_t* p, size_t n) { vantiro_prehash_update(&ph, p, n); }, size);
  uint8_t digest[64];
  size_t len = 0;
  vantiro_prehash_final(&ph, digest, &len);
  *valid = got == PASS_OK && vantiro_sig_verify_prehashed(s, key, digest, len, ns) == 0;
  return got;
}

}  // namespace

int cmd_verify(const char* anchor_path, const char* msg_path, const char* sig_path,
               const cmd_options& o) {
  if (msg_path != nullptr && is_stdin(anchor_path) + is_stdin(msg_path) + is_stdin(sig_path) > 1) {
    print_error("ERROR: only one operand can be - (standard input)\n");
    return 1;
  }
  const char* ns = o.ns != nullptr ? o.ns : VANTIRO_DEFAULT_NAMESPACE;
  trusted_anchor t;
  if (!read_trusted_anchor(anchor_path, o, &t)) return 1;
  const vantiro_anchor& a = t.a;
  if (msg_path == nullptr) {
    if (a.has_sig == 0) {
      print_error("ERROR: %s is a raw key: it carries no self-signature to verify\n",
                   shown(anchor_path));
      return 1;
    }
    std::printf("== anchor verified ==\n");
    print_anchor_lines(&a, true);
    std::printf("  self-signature: valid\n");
    print_trust_lines(&t);
    return 0;
  }
  vantiro_sig_file sig;
  if (!read_signature(sig_path, &sig) || !signature_fits(sig_path, &sig, &a, ns)) return 1;
  message_in msg;
  if (!open_message(msg_path, &msg)) return 1;
  bool valid = false;
  unsigned long long size = 0;
  const pass_result got = check_message(&msg, &sig, a.key, ns, &valid, &size);
  close_message(&msg);
  if (got == PASS_CHANGED)
    print_error("ERROR: %s changed while it was being read\n", shown(msg_path));
  if (got != PASS_OK) return 1;
  if (!valid) {
    char hex[65];
    vantiro_hex(a.key, sizeof a.key, hex, sizeof hex);
    print_error("ERROR: %s does not verify: not a signature of %s under key %s\n",
                 shown(sig_path), shown(msg_path), hex);
    return 1;
  }
  char keynum[2 * VANTIRO_KEYNUM_SIZE + 1];
  keynum_hex(a.key, keynum);
  std::printf("== signature verified ==\n");
  print_anchor_lines(&a, true);
  std::printf("  self-signature: %s\n", a.has_sig != 0 ? "valid" : "none (a raw key)");
  print_trust_lines(&t);
  std::printf("  message: %s (%llu bytes)\n", shown(msg_path), size);
  std::printf("  signature: %s, keynum %s\n", signature_format_name(sig.format), keynum);
  if (sig.format == VANTIRO_FORMAT_MINISIGN) std::printf("  trusted comment: %s\n", sig.comment);
  if (sig.format == VANTIRO_FORMAT_OPENSSH) std::printf("  namespace: %s\n", sig.comment);
  return 0;
}

}  // namespace cli
