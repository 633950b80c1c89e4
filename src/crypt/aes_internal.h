// Module-internal AES-256 core (encryption direction only), shared by the public ECB
// wrappers and GCM. Table-driven S-box: not constant-time against cache timing, but no
// branch on key or data.
#pragma once

#include <cstdint>

namespace crypt_internal {

// Expands a 32-byte key into the 60 schedule words; each word packs four schedule bytes
// big-endian (key byte 0 is the top byte of w[0]).
void aes256_expand_key(const uint8_t key[32], uint32_t w[60]);

// Encrypts one block under the schedule w. in and out may be the same buffer.
void aes256_encrypt_block(const uint32_t w[60], const uint8_t in[16], uint8_t out[16]);

}  // namespace crypt_internal
