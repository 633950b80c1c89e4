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

}  // namespace crypt_ed
