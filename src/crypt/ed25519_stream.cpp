// Ed25519 over a message fed in chunks: two-pass signing that refuses when the two passes
// saw different bytes, and one-pass verification. Same results as ed25519_sign and
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

}  // namespace

void ed25519_sign_stream_init(ed25519_sign_stream* st, const uint8_t sk[64]) {
  crypt_ed::expand(st->az, sk);
  std::memcpy(st->pk, sk + 32, 32);
  sha512_init(&st->nonce_ctx);
  sha512_update(&st->nonce_ctx, st->az + 32, 32);
  st->phase = kPass1;
}

void ed25519_sign_stream_update(ed25519_sign_stream* st, const uint8_t* data, size_t len) {
  if (st->phase == kPass1) {
    sha512_update(&st->nonce_ctx, data, len);
  } else if (st->phase == kPass2) {
    sha512_update(&st->nonce_ctx, data, len);
    sha512_update(&st->challenge_ctx, data, len);
  }
}

void ed25519_sign_stream_next_pass(ed25519_sign_stream* st) {
  if (st->phase != kPass1) {
    ed25519_sign_stream_abort(st);
    return;
  }
  // Nonce r = SHA-512(prefix || M) mod L and R = r B, as the one-shot signer does.
  sha512_final(&st->nonce_ctx, st->nonce);
  sc_reduce(st->r, st->nonce);
  crypt_ed::base_mul(st->R, st->r);

  // Pass 2 hashes the nonce input again, to be compared at the end, and the challenge.
  sha512_init(&st->nonce_ctx);
  sha512_update(&st->nonce_ctx, st->az + 32, 32);
  sha512_init(&st->challenge_ctx);
  sha512_update(&st->challenge_ctx, st->R, 32);
  sha512_update(&st->challenge_ctx, st->pk, 32);
  st->phase = kPass2;
}

int ed25519_sign_stream_final(ed25519_sign_stream* st, uint8_t sig[64], uint8_t challenge[64]) {
  if (st->phase != kPass2) {
    ed25519_sign_stream_abort(st);
    return -1;
  }
  uint8_t again[64];
  uint8_t wide[64];
  uint8_t k[32];
  uint8_t out[64];  // R || S, reaches sig only when both passes agree
  sha512_final(&st->nonce_ctx, again);
  sha512_final(&st->challenge_ctx, wide);
  sc_reduce(k, wide);
  std::memcpy(out, st->R, 32);
  sc_muladd(out + 32, k, st->az, st->r);  // S = k a + r mod L

  // same is 1 when the nonce digests of both passes are equal, else 0. The digests are
  // secret, so neither the comparison nor the copy branches on them.
  uint8_t diff = 0;
  for (int i = 0; i < 64; ++i) diff |= static_cast<uint8_t>(st->nonce[i] ^ again[i]);
  const uint32_t same = (static_cast<uint32_t>(diff) - 1u) >> 31;
  const uint8_t mask = static_cast<uint8_t>(0u - same);
  for (int i = 0; i < 64; ++i) sig[i] = static_cast<uint8_t>(sig[i] ^ (mask & (sig[i] ^ out[i])));
  // The challenge digest is public once the signature is: what any verifier computes.
  if (challenge != nullptr) {
    for (int i = 0; i < 64; ++i)
      challenge[i] = static_cast<uint8_t>(challenge[i] ^ (mask & (challenge[i] ^ wide[i])));
  }

  secure_zero(again, sizeof again);
  secure_zero(wide, sizeof wide);
  secure_zero(k, sizeof k);
  secure_zero(out, sizeof out);
  ed25519_sign_stream_abort(st);
  return static_cast<int>(same) - 1;
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
