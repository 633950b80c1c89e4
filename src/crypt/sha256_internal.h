// SHA-256 block compression shared between the portable code and the one on the x86 SHA
// extensions. Module-internal.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crypt_internal {

// The round constants, in round order.
extern const uint32_t sha256_k[64];

// The SHA-extension code is compiled in on x86-64 with GCC or Clang and runs where the
// processor has the SHA extensions, SSSE3 and SSE4.1; its results are exactly those of the
// portable code. Not on Windows, like the AVX2 field code: that build keeps one code path.
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#define VANTIRO_SHA_NI 1
// Compresses `blocks` consecutive 64-byte blocks at data into state (a, b, ..., h order).
// Call only where sha256_ni_available() is true.
void sha256_ni_blocks(uint32_t state[8], const uint8_t* data, size_t blocks);
#endif
// True when the SHA-extension code is compiled in, the processor has it and the test
// hook has not switched it off.
bool sha256_ni_available();
// Test hook: a non-zero off makes SHA-256 take the portable code.
void sha256_ni_off_FOR_TEST(int off);

}  // namespace crypt_internal
