// AES-256 and AES-128: the choice between the instruction code and the portable
// constant-time code, and the public ECB wrappers.
#include "aes_internal.h"
#include "crypt.h"

using namespace crypt_internal;

namespace crypt_internal {

void aes256_expand_key(const uint8_t key[32], uint32_t w[60]) {
  if (aesni_available())
    aes256_ni_expand_key(key, w);
  else
    aes256_ct_expand_key(key, w);
}

void aes256_encrypt_blocks(const uint32_t w[60], const uint8_t* in, uint8_t* out, size_t n) {
  if (aesni_available())
    aes256_ni_encrypt_blocks(w, in, out, n);
  else
    aes256_ct_encrypt_blocks(w, in, out, n);
}

void aes256_encrypt_block(const uint32_t w[60], const uint8_t in[16], uint8_t out[16]) {
  aes256_encrypt_blocks(w, in, out, 1);
}

void aes256_ctr32_xor(const uint32_t w[60], uint8_t ctr[16], const uint8_t* in, uint8_t* out,
                      size_t len) {
  if (aesni_available()) {
    aes256_ni_ctr32_xor(w, ctr, in, out, len);
    return;
  }
  // Eight counter blocks at a time: the portable code encrypts several blocks at once.
  constexpr size_t kBatch = 8;
  uint8_t cb[kBatch * 16];
  uint8_t ks[kBatch * 16];
  while (len > 0) {
    const size_t blocks = len >= kBatch * 16 ? kBatch : (len + 15) / 16;
    for (size_t b = 0; b < blocks; ++b) {
      for (int i = 0; i < 16; ++i) cb[16 * b + static_cast<size_t>(i)] = ctr[i];
      for (int i = 15; i >= 12; --i)
        if (++ctr[i] != 0) break;
    }
    aes256_ct_encrypt_blocks(w, cb, ks, blocks);
    const size_t n = len < blocks * 16 ? len : blocks * 16;
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(in[i] ^ ks[i]);
    in += n;
    out += n;
    len -= n;
  }
  secure_zero(cb, sizeof cb);
  secure_zero(ks, sizeof ks);
}

void aes128_expand_key(const uint8_t key[16], uint32_t w[44]) {
  if (aesni_available())
    aes128_ni_expand_key(key, w);
  else
    aes128_ct_expand_key(key, w);
}

void aes128_encrypt_block(const uint32_t w[44], const uint8_t in[16], uint8_t out[16]) {
  if (aesni_available())
    aes128_ni_encrypt_block(w, in, out);
  else
    aes128_ct_encrypt_block(w, in, out);
}

}  // namespace crypt_internal

void aes256_ecb_keysetup(aes256_ecb_ctx* ctx, const uint8_t key[32]) { aes256_expand_key(key, ctx->w); }

void aes256_ecb_encrypt_block(const aes256_ecb_ctx* ctx, const uint8_t in[16], uint8_t out[16]) {
  aes256_encrypt_blocks(ctx->w, in, out, 1);
}

void aes256_ecb_encrypt_blocks(const aes256_ecb_ctx* ctx, const uint8_t* in, uint8_t* out,
                               size_t n) {
  aes256_encrypt_blocks(ctx->w, in, out, n);
}

void aes128_ecb_keysetup(aes128_ecb_ctx* ctx, const uint8_t key[16]) { aes128_expand_key(key, ctx->w); }

void aes128_ecb_encrypt_block(const aes128_ecb_ctx* ctx, const uint8_t in[16], uint8_t out[16]) {
  aes128_encrypt_block(ctx->w, in, out);
}
