// Module-internal helpers of the ceremony core.
#pragma once

#include <cstddef>
#include <cstdint>

// Equality of n bytes, examining all of them with no branch on their contents.
inline bool core_equal_ct(const uint8_t* a, const uint8_t* b, size_t n) {
  uint8_t diff = 0;
  for (size_t i = 0; i < n; ++i) diff = static_cast<uint8_t>(diff | (a[i] ^ b[i]));
  return diff == 0;
}
