// The ChaCha20-Poly1305 AEAD (RFC 8439), one-shot over whole buffers: the Poly1305 key
// is the first half of key stream block 0, the data is encrypted from block 1, and the
// tag covers the AAD and the ciphertext, each zero-padded to 16 bytes, and their lengths.
#include "chacha_internal.h"
#include "crypt.h"
#include "gcm_internal.h"

using namespace crypt_internal;

namespace {

// Block 0 makes the Poly1305 key and the counter is 32 bits: 2^32 - 1 blocks of data.
constexpr uint64_t MAX_DATA = (uint64_t{1} << 38) - 64;

// Test hook, called with the verdict of the tag comparison before decryption acts on it.
void (*g_verdict_hook)(const void*, size_t) = nullptr;

// The argument checks shared by both directions: in (len bytes) and aad may be null only
// when empty; the key, nonce, output and tag never.
bool args_ok(const uint8_t* key, const uint8_t* nonce, const uint8_t* aad, size_t aad_len,
             const uint8_t* in, size_t len, const uint8_t* out, const uint8_t* tag) {
  if (key == nullptr || nonce == nullptr || out == nullptr || tag == nullptr) return false;
  if ((aad == nullptr && aad_len != 0) || (in == nullptr && len != 0)) return false;
  return static_cast<uint64_t>(len) <= MAX_DATA;
}

void store_le64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The tag over aad and the ciphertext under the one-time key of key and nonce. Wipes the
// key stream block and the Poly1305 state.
void compute_tag(const uint8_t key[32], const uint8_t nonce[12], const uint8_t* aad,
                 size_t aad_len, const uint8_t* cipher, size_t cipher_len, uint8_t tag[16]) {
  static const uint8_t zeros[16] = {0};
  uint8_t block0[64];
  chacha20_block(key, 0, nonce, block0);
  poly1305_state st;
  poly1305_init(&st, block0);
  secure_zero(block0, sizeof block0);
  poly1305_update(&st, aad, aad_len);
  poly1305_update(&st, zeros, (16 - aad_len % 16) % 16);
  poly1305_update(&st, cipher, cipher_len);
  poly1305_update(&st, zeros, (16 - cipher_len % 16) % 16);
  uint8_t lengths[16];
  store_le64(lengths, static_cast<uint64_t>(aad_len));
  store_le64(lengths + 8, static_cast<uint64_t>(cipher_len));
  poly1305_update(&st, lengths, sizeof lengths);
  poly1305_final(&st, tag);  // wipes st
}

}  // namespace

void crypt_internal::chacha20poly1305_verdict_hook_FOR_TEST(void (*hook)(const void*, size_t)) {
  g_verdict_hook = hook;
}

int chacha20poly1305_encrypt(const uint8_t key[32], const uint8_t nonce[12], const uint8_t* aad,
                             size_t aad_len, const uint8_t* plain, size_t plain_len,
                             uint8_t* cipher, uint8_t tag[16]) {
  if (!args_ok(key, nonce, aad, aad_len, plain, plain_len, cipher, tag)) return -1;
  // The ciphertext is authenticated after it is written, so cipher may be plain.
  chacha20_xor(key, 1, nonce, plain, cipher, plain_len);
  compute_tag(key, nonce, aad, aad_len, cipher, plain_len, tag);
  return 0;
}

int chacha20poly1305_decrypt(const uint8_t key[32], const uint8_t nonce[12], const uint8_t* aad,
                             size_t aad_len, const uint8_t* cipher, size_t cipher_len,
                             const uint8_t tag[16], uint8_t* plain) {
  if (!args_ok(key, nonce, aad, aad_len, cipher, cipher_len, plain, tag)) return -1;
  uint8_t expected[16];
  compute_tag(key, nonce, aad, aad_len, cipher, cipher_len, expected);
  // One test of the whole difference: no early exit on the first differing byte.
  uint8_t diff = gcm_tag_diff(expected, tag);
  secure_zero(expected, sizeof expected);
  if (g_verdict_hook != nullptr) g_verdict_hook(&diff, sizeof diff);
  if (diff != 0) return -1;
  // Plaintext is released only after the tag has verified.
  chacha20_xor(key, 1, nonce, cipher, plain, cipher_len);
  return 0;
}
