// SHA-256 and SHA-512 block compression shared between the portable code and the
// instruction-specific code chosen at run time: SHA-256 on the x86 SHA extensions,
// SHA-512 (and SHA-384) on AVX2. Module-internal.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crypt_internal {

// The round constants, in round order.
extern const uint32_t sha256_k[64];
extern const uint64_t sha512_k[80];

// The instruction-specific code is compiled in on x86-64 with GCC or Clang, and runs where
// the processor has the SHA extensions, SSSE3 and SSE4.1 (SHA-256), or AVX2 and BMI2
// (SHA-512); its results are exactly those of the portable code. Not on Windows, like the
// AVX2 field code: that build keeps one code path (GCC there does not align the stack for
// 32-byte vectors).
#if defined(__GNUC__) && defined(__x86_64__) && !defined(_WIN32)
#define VANTIRO_SHA_NI 1
#define VANTIRO_SHA512_AVX2 1
// Compress `blocks` consecutive blocks (64 or 128 bytes) at data into state (a, b, ..., h
// order). Call only where the matching *_available() is true.
void sha256_ni_blocks(uint32_t state[8], const uint8_t* data, size_t blocks);
void sha512_avx2_blocks(uint64_t state[8], const uint8_t* data, size_t blocks);
#endif
// True when that code is compiled in, the processor has what it needs and the test hook
// has not switched it off.
bool sha256_ni_available();
bool sha512_avx2_available();
// Test hooks: a non-zero off makes that hash take the portable code.
void sha256_ni_off_FOR_TEST(int off);
void sha512_avx2_off_FOR_TEST(int off);

}  // namespace crypt_internal
