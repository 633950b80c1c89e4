// verify: checks an anchor's self-signature, and a message file's signature under the
// anchor's key.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

namespace {

// A signature file: 64 raw bytes, or 128 lower-case hex digits with one optional line end.
bool read_signature(const char* path, uint8_t sig[64]) {
  uint8_t buf[131];
  size_t len = 0;
  const int rc = read_small_file(path, buf, sizeof buf, &len);
  if (rc == -1) return false;
  if (rc == 0 && len == 64) {
    std::memcpy(sig, buf, 64);
    return true;
  }
  if (rc == 0 && len > 128 && buf[len - 1] == '\n') --len;
  if (rc == 0 && len > 128 && buf[len - 1] == '\r') --len;
  if (rc == 0 && len == 128 && vantiro_unhex(reinterpret_cast<const char*>(buf), 128, sig) == 0)
    return true;
  print_error("ERROR: %s is not a signature (64 bytes, or 128 hex digits)\n",
               shown(path));
  return false;
}

}  // namespace

int cmd_verify(const char* anchor_path, const char* msg_path, const char* sig_path,
               const cmd_options& o) {
  if (msg_path != nullptr && is_stdin(anchor_path) + is_stdin(msg_path) + is_stdin(sig_path) > 1) {
    print_error("ERROR: only one operand can be - (standard input)\n");
    return 1;
  }
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
  uint8_t sig[64];
  if (!read_signature(sig_path, sig)) return 1;
  message_in msg;
  if (!open_message(msg_path, &msg)) return 1;
  ed25519_verify_stream st;
  ed25519_verify_stream_init(&st, a.key, sig);
  unsigned long long size = 0;
  const pass_result got = read_pass(
      &msg, [&st](const uint8_t* p, size_t n) { ed25519_verify_stream_update(&st, p, n); }, &size);
  close_message(&msg);
  if (got == PASS_CHANGED)
    print_error("ERROR: %s changed while it was being read\n", shown(msg_path));
  if (got != PASS_OK) return 1;
  if (ed25519_verify_stream_final(&st) != 0) {
    char hex[65];
    vantiro_hex(a.key, sizeof a.key, hex, sizeof hex);
    print_error("ERROR: %s does not verify: not a signature of %s under key %s\n",
                 shown(sig_path), shown(msg_path), hex);
    return 1;
  }
  std::printf("== signature verified ==\n");
  print_anchor_lines(&a, true);
  std::printf("  self-signature: %s\n", a.has_sig != 0 ? "valid" : "none (a raw key)");
  print_trust_lines(&t);
  std::printf("  message: %s (%llu bytes)\n", shown(msg_path), size);
  return 0;
}

}  // namespace cli
