// Module-internal pieces of ChaCha20-Poly1305: the ChaCha20 stream and the Poly1305
// one-time authenticator, declared here so that the tests can check each on its own
// published vectors and the constant-time check can drive the AEAD's tag verdict.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crypt_internal {

// One 64-byte ChaCha20 key stream block for key, block counter and nonce.
void chacha20_block(const uint8_t key[32], uint32_t counter, const uint8_t nonce[12],
                    uint8_t out[64]);
// out = in XOR the ChaCha20 key stream from block counter on; in may equal out. The
// caller keeps counter + len / 64 within 32 bits. Wipes its state and key stream blocks.
void chacha20_xor(const uint8_t key[32], uint32_t counter, const uint8_t nonce[12],
                  const uint8_t* in, uint8_t* out, size_t len);

// Poly1305 over a message fed in pieces: the accumulator and r in 26-bit limbs, s as
// four little-endian words, and a partial block waiting for more input.
struct poly1305_state {
  uint32_t r[5];
  uint32_t h[5];
  uint32_t s[4];
  uint8_t buf[16];
  size_t used;  // bytes waiting in buf, 0..15 between calls
};

// Starts a MAC under the 32-byte one-time key (r, clamped here, then s).
void poly1305_init(poly1305_state* st, const uint8_t key[32]);
// Absorbs len bytes; data may be null when len is 0.
void poly1305_update(poly1305_state* st, const uint8_t* data, size_t len);
// Writes the 16-byte tag and wipes st.
void poly1305_final(poly1305_state* st, uint8_t tag[16]);

// Test hook: decryption passes the verdict of its tag comparison (one byte, 0 when the
// tags agree) to hook before acting on it, so that the constant-time check can mark that
// one intended branch public. nullptr (the default) calls nothing.
void chacha20poly1305_verdict_hook_FOR_TEST(void (*hook)(const void* verdict, size_t len));

}  // namespace crypt_internal
