// sign: signs a message file with the root rebuilt from share files in memory; the root
// is never written anywhere, and the signature leaves only after it verifies under the
// anchor's key.
#include <cstdio>
#include <cstdlib>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

namespace {

// Feeds one whole pass over the message to the signer (and to the digest, when given).
// False after printing "cannot read".
bool sign_pass(FILE* msg, const char* path, uint8_t* chunk, vantiro_signer* signer,
               sha256_ctx* digest, unsigned long long* size) {
  std::rewind(msg);
  *size = 0;
  for (;;) {
    size_t got = 0;
    if (!read_chunk(msg, path, chunk, kChunk, &got)) return false;
    if (got == 0) return true;
    vantiro_sign_update(signer, chunk, got);
    if (digest != nullptr) sha256_update(digest, chunk, got);
    *size += got;
  }
}

// Two passes over the message, then the signature; the signer is wiped on every path.
// Prints its refusals; 0 with the signature in sig.
int sign_message(FILE* msg, const char* path, const vantiro_anchor* a, uint8_t* root,
                 uint8_t sig[64], uint8_t digest[32], unsigned long long* size) {
  uint8_t* chunk = alloc_zeroed(kChunk);
  if (chunk == nullptr) {
    secure_zero(root, kRoot);
    return -1;
  }
  vantiro_signer signer;
  const int begun = vantiro_sign_begin(&signer, root);
  secure_zero(root, kRoot);
  if (begun != 0) {  // unreachable after the rebuild's own check; refused all the same
    std::free(chunk);
    std::fputs("ERROR: the rebuilt root is not a key pair\n", stderr);
    return -1;
  }
  sha256_ctx hash;
  sha256_init(&hash);
  unsigned long long first = 0;
  bool ok = sign_pass(msg, path, chunk, &signer, nullptr, &first);
  if (ok) {
    vantiro_sign_next_pass(&signer);
    ok = sign_pass(msg, path, chunk, &signer, &hash, size);
  }
  std::free(chunk);
  if (!ok) {
    vantiro_sign_abort(&signer);
    return -1;
  }
  const int rc = vantiro_sign_end(&signer, a->key, sig);
  if (rc == -3) {
    std::fprintf(stderr, "ERROR: %s changed while it was being signed; no signature was written\n",
                 path);
    return -1;
  }
  if (rc != 0) {
    std::fputs("ERROR: the signature does not verify under the anchor's key; none was written\n",
               stderr);
    return -1;
  }
  sha256_final(&hash, digest);
  return 0;
}

}  // namespace

int cmd_sign(const char* anchor_path, const char* msg_path, const char* sigout, int k,
             char** share_paths, const cmd_options& o) {
  if (is_stdin(msg_path)) {
    std::fputs("ERROR: sign reads the message twice; give a file, not standard input\n", stderr);
    return 1;
  }
  if (refuse_stdin_output(sigout)) return 1;
  vantiro_anchor a;
  if (!read_anchor(anchor_path, &a)) return 1;
  if (refuse_existing(sigout)) return 1;
  share_source src;
  if (!open_share_source(o, &a, &src)) return 1;
  FILE* msg = open_input(msg_path);
  if (msg == nullptr) {
    close_share_source(&src);
    return 1;
  }
  uint8_t root[kRoot];
  uint8_t sig[64];
  uint8_t digest[32];
  unsigned long long size = 0;
  const bool rebuilt = rebuild_anchored_root(&a, k, share_paths, root, nullptr, &src);
  close_share_source(&src);
  const bool signed_ok = rebuilt && sign_message(msg, msg_path, &a, root, sig, digest, &size) == 0;
  close_input(msg);
  if (!signed_ok) return 1;
  if (write_file(sigout, sig, sizeof sig, false) != 0) return 1;
  std::printf("== signed with the root ==\n");
  print_anchor_lines(&a, false);
  std::printf("  message: %s (%llu bytes)\n  sha256: ", msg_path, size);
  phex(digest, sizeof digest);
  std::printf("\n  signature: ");
  phex(sig, sizeof sig);
  std::printf("\n  wrote 64B signature -> %s\n", sigout);
  return sync_dir_of(sigout) == 0 ? 0 : 1;
}

}  // namespace cli
