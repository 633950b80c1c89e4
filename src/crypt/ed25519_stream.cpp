// Ed25519 over a message fed in chunks: two-pass signing that refuses when the two passes
// saw different bytes (a SHA-256 of each pass tells), and one-pass verification. Same results as ed25519_sign and
// ed25519_verify; the signing state is wiped on every path.
#include <cstring>

#include "crypt.h"
#include "curve25519_internal.h"
#include "ed25519_internal.h"

using namespace crypt_internal;

namespace {

// Phase markers, unlikely in a state never initialised; any other value, such as the 0
// left by a wipe, lets no signature out.
constexpr uint32_t kPass1 = 0x31737370;
constexpr uint32_t kPass2 = 0x32737370;
constexpr uint32_t kVerifying = 0x66726576;

// dst = src where mask is 0xFF, dst unchanged where it is 0, without a branch on mask.
void copy_masked(uint8_t* dst, const uint8_t* src, size_t n, uint8_t mask) {
  for (size_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(dst[i] ^ (mask & (dst[i] ^ src[i])));
}

}  // namespace

void ed25519_sign_stream_init(ed25519_sign_stream* st, const uint8_t sk[64]) {
  crypt_ed::expand(st->az, sk);
  std::memcpy(st->pk, sk + 32, 32);
  sha512_init(&st->hash_ctx);
  sha512_update(&st->hash_ctx, st->az + 32, 32);
  sha256_init(&st->seen_ctx);
  st->phase = kPass1;
}

void ed25519_sign_stream_update_hash(ed25519_sign_stream* st, const uint8_t* data, size_t len) {
  if (st->phase == kPass1 || st->phase == kPass2) sha512_update(&st->hash_ctx, data, len);
}

void ed25519_sign_stream_update_seen(ed25519_sign_stream* st, const uint8_t* data, size_t len) {
  if (st->phase == kPass1 || st->phase == kPass2) sha256_update(&st->seen_ctx, data, len);
}

void ed25519_sign_stream_update(ed25519_sign_stream* st, const uint8_t* data, size_t len) {
  ed25519_sign_stream_update_hash(st, data, len);
  ed25519_sign_stream_update_seen(st, data, len);
}

void ed25519_sign_stream_next_pass(ed25519_sign_stream* st) {
  if (st->phase != kPass1) {
    ed25519_sign_stream_abort(st);
    return;
  }
  // Nonce r = SHA-512(prefix || M) mod L and R = r B, as the one-shot signer does.
  uint8_t nonce[64];
  sha512_final(&st->hash_ctx, nonce);
  sc_reduce(st->r, nonce);
  secure_zero(nonce, sizeof nonce);
  crypt_ed::base_mul(st->R, st->r);
  sha256_final(&st->seen_ctx, st->seen);

  // Pass 2 hashes the challenge input, and the message again to be compared at the end.
  sha512_init(&st->hash_ctx);
  sha512_update(&st->hash_ctx, st->R, 32);
  sha512_update(&st->hash_ctx, st->pk, 32);
  sha256_init(&st->seen_ctx);
  st->phase = kPass2;
}

int ed25519_sign_stream_final(ed25519_sign_stream* st, uint8_t sig[64], uint8_t challenge[64],
                              uint8_t digest[32]) {
  if (st->phase != kPass2) {
    ed25519_sign_stream_abort(st);
    return -1;
  }
  uint8_t again[32];
  uint8_t wide[64];
  uint8_t k[32];
  uint8_t out[64];  // R || S, reaches sig only when both passes agree
  sha256_final(&st->seen_ctx, again);
  sha512_final(&st->hash_ctx, wide);
  sc_reduce(k, wide);
  std::memcpy(out, st->R, 32);
  sc_muladd(out + 32, k, st->az, st->r);  // S = k a + r mod L

  // The message digests of both passes compared, and the outputs chosen, without a
  // branch: the signature of a changed message must not show in the timing either.
  const uint8_t mask = static_cast<uint8_t>(0u - static_cast<uint32_t>(sha256_equal(st->seen, again)));
  copy_masked(sig, out, 64, mask);
  // The challenge digest is public once the signature is: what any verifier computes.
  if (challenge != nullptr) copy_masked(challenge, wide, 64, mask);
  if (digest != nullptr) copy_masked(digest, again, 32, mask);
  const int rc = static_cast<int>(mask & 1u) - 1;

  secure_zero(again, sizeof again);
  secure_zero(wide, sizeof wide);
  secure_zero(k, sizeof k);
  secure_zero(out, sizeof out);
  ed25519_sign_stream_abort(st);
  return rc;
}

void ed25519_sign_stream_abort(ed25519_sign_stream* st) { secure_zero(st, sizeof *st); }

void ed25519_verify_stream_init(ed25519_verify_stream* st, const uint8_t pk[32],
                                const uint8_t sig[64]) {
  std::memcpy(st->pk, pk, 32);
  std::memcpy(st->sig, sig, 64);
  sha512_init(&st->ctx);
  sha512_update(&st->ctx, st->sig, 32);
  sha512_update(&st->ctx, st->pk, 32);
  st->phase = kVerifying;
}

void ed25519_verify_stream_update(ed25519_verify_stream* st, const uint8_t* data, size_t len) {
  if (st->phase == kVerifying) sha512_update(&st->ctx, data, len);
}

int ed25519_verify_stream_final(ed25519_verify_stream* st) {
  if (st->phase != kVerifying) return -1;
  st->phase = 0;
  uint8_t h[64];
  sha512_final(&st->ctx, h);
  return ed25519_verify_hashed(st->pk, st->sig, h);
}
