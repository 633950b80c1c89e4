// Module-internal GHASH pieces of AES-256-GCM, declared here so that the constant-time
// check can drive them with a secret hash key.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crypt_internal {

// A GF(2^128) element as two big-endian halves: bit 0 of the block (the top bit of its
// first byte) is the top bit of hi.
struct b128 {
  uint64_t hi;
  uint64_t lo;
};

// Loads 16 bytes as two big-endian 64-bit halves.
b128 b128_from(const uint8_t in[16]);

// x * y in GF(2^128) with the GCM bit order, on integer multiplications of operands
// spread so that carries fall into zero bits: no branch and no memory access depends on
// x or y.
b128 gf_mult(b128 x, b128 y);

// Absorbs len bytes of data into *state under the hash key h; a final partial block is
// zero-filled. A zero len reads nothing and leaves *state unchanged.
void ghash(b128* state, b128 h, const uint8_t* data, size_t len);
// The same in portable constant-time code, and on PCLMULQDQ (aes_ni.cpp; call only where
// aesni_available()). ghash chooses between them.
void ghash_portable(b128* state, b128 h, const uint8_t* data, size_t len);
void ghash_clmul(b128* state, b128 h, const uint8_t* data, size_t len);

// OR of the byte-wise XOR of two 16-byte tags: 0 exactly when they are equal. Reads all
// 16 bytes whatever they hold.
uint8_t gcm_tag_diff(const uint8_t a[16], const uint8_t b[16]);

// GCM encryption's bulk on AES-NI and PCLMULQDQ (aes_ni.cpp; call only where
// aesni_available()): out = in XOR the keystream from ctr on, as aes256_ctr32_xor, with
// out absorbed into *state under h, as ghash, in one pass. w is the AES-256 schedule.
void gcm_ni_encrypt(const uint32_t w[60], b128 h, uint8_t ctr[16], b128* state, const uint8_t* in,
                    uint8_t* out, size_t len);

// Test hook: decryption passes the verdict of its tag comparison (one byte, 0 when the
// tags agree) to hook before acting on it, so that the constant-time check can mark that
// one intended branch public. nullptr (the default) calls nothing.
void gcm_verdict_hook_FOR_TEST(void (*hook)(const void* verdict, size_t len));

}  // namespace crypt_internal
