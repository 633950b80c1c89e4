// Module-internal helpers of the ceremony core.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypt.h"

// Equality of n bytes, examining all of them with no branch on their contents.
inline bool core_equal_ct(const uint8_t* a, const uint8_t* b, size_t n) {
  uint8_t diff = 0;
  for (size_t i = 0; i < n; ++i) diff = static_cast<uint8_t>(diff | (a[i] ^ b[i]));
  return diff == 0;
}

// True when root[32..63] is the public key that key generation derives from the seed
// root[0..31]; compared over all 32 bytes, the derived secret key wiped.
inline bool core_root_matches_seed(const uint8_t root[64]) {
  uint8_t pk[32];
  uint8_t sk[64];
  ed25519_seed_keypair(pk, sk, root);
  secure_zero(sk, sizeof sk);
  return core_equal_ct(pk, root + 32, sizeof pk);
}
