// Signing with a root held in memory, over a message streamed in two passes, and checking
// each signature under the published key before it is released.
#include <cstring>

#include "core_internal.h"
#include "crypt.h"
#include "vantiro_core.h"

int vantiro_sign_begin(vantiro_signer* s, const uint8_t root[VANTIRO_ROOT_SIZE]) {
  if (s == nullptr || root == nullptr) return -1;
  // Signing one message under seed || A and seed || A' gives one nonce and two
  // challenges, from which anyone computes the secret scalar: refuse such a root.
  if (!core_root_is_consistent(root)) return -3;
  ed25519_sign_stream_init(&s->stream, root);
  std::memcpy(s->key, root + 32, sizeof s->key);
  return 0;
}

void vantiro_sign_update(vantiro_signer* s, const uint8_t* data, size_t len) {
  ed25519_sign_stream_update(&s->stream, data, len);
}

void vantiro_sign_update_hash(vantiro_signer* s, const uint8_t* data, size_t len) {
  ed25519_sign_stream_update_hash(&s->stream, data, len);
}

void vantiro_sign_update_seen(vantiro_signer* s, const uint8_t* data, size_t len) {
  ed25519_sign_stream_update_seen(&s->stream, data, len);
}

void vantiro_sign_next_pass(vantiro_signer* s) { ed25519_sign_stream_next_pass(&s->stream); }

int vantiro_sign_end(vantiro_signer* s, const uint8_t key[32], uint8_t sig[64],
                     uint8_t digest[32]) {
  if (s == nullptr || key == nullptr || sig == nullptr || digest == nullptr) {
    if (s != nullptr) ed25519_sign_stream_abort(&s->stream);
    return -1;
  }
  // The signature is checked under the key it must verify under: a key other than the
  // root's own cannot pass.
  if (!core_equal_ct(key, s->key, sizeof s->key)) {
    ed25519_sign_stream_abort(&s->stream);
    return -4;
  }
  uint8_t out[64];
  uint8_t challenge[64];
  uint8_t seen[32];
  if (ed25519_sign_stream_final(&s->stream, out, challenge, seen) != 0) return -3;
  // Checked as a relying party checks it, under the key it is released for; a fault in
  // the signing arithmetic stops here.
  if (ed25519_verify_hashed(key, out, challenge) != 0) return -4;
  std::memcpy(sig, out, sizeof out);
  std::memcpy(digest, seen, sizeof seen);
  return 0;
}

void vantiro_sign_abort(vantiro_signer* s) {
  if (s != nullptr) ed25519_sign_stream_abort(&s->stream);
}
