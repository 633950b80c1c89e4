// sign: signs a message file with the root rebuilt from share files in memory; the root
// is never written anywhere, and the signature leaves only after it verifies under the
// anchor's key.
#include <cstdio>
#include <cstdlib>

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

}  // namespace

int cmd_sign(const char* anchor_path, const char* msg_path, const char* sigout, int k,
             char** share_paths, const cmd_options& o) {
  if (is_stdin(msg_path)) {
    print_error("ERROR: sign reads the message twice; give a file, not standard input\n");
    return 1;
  }
  if (refuse_stdin_output(sigout)) return 1;
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
  const bool signed_ok = rebuilt && sign_message(&msg, &a, root, sig, digest, &size) == 0;
  close_message(&msg);
  if (!signed_ok) return 1;
  transcript_read_digest(TRANSCRIPT_MESSAGE, msg_path, digest);
  transcript_message_signature(sig);
  if (write_file(sigout, sig, sizeof sig, false) != 0) return 1;
  std::printf("== signed with the root ==\n");
  print_anchor_lines(&a, false);
  print_trust_lines(&t);
  std::printf("  message: %s (%llu bytes)\n  sha256: ", msg_path, size);
  phex(digest, sizeof digest);
  std::printf("\n  signature: ");
  phex(sig, sizeof sig);
  std::printf("\n  wrote 64B signature -> %s\n", sigout);
  return sync_dir_of(sigout) == 0 ? 0 : 1;
}

}  // namespace cli
