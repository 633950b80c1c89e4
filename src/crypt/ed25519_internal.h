// Steps of Ed25519 shared by the one-shot and the streamed signing and verification.
// Module-internal.
#pragma once

#include <cstdint>

namespace crypt_ed {

// az = SHA-512(seed) with its first half clamped: the secret scalar a, then the prefix.
// Wipes its hash context; the caller wipes az.
void expand(uint8_t az[64], const uint8_t seed[32]);

// out = encoding of k * B, k a 256-bit little-endian number (secret; constant time).
void base_mul(uint8_t out[32], const uint8_t k[32]);

// Cofactorless check of sig under pk, given h = SHA-512(R || pk || M): 0 valid, -1 when
// S >= L, pk does not decode or S B - k A does not encode as R.
int verify_hashed(const uint8_t pk[32], const uint8_t sig[64], const uint8_t h[64]);

}  // namespace crypt_ed
