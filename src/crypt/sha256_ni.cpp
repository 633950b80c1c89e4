// SHA-256 compression on the x86 SHA extensions, after Intel's description of them.
// sha256rnds2 runs two rounds on the state held as ABEF and CDGH (two registers), taking
// the two message-plus-constant words from the low half of its third operand;
// sha256msg1 and sha256msg2 compute the message schedule four words at a time.
#include "sha_internal.h"

using namespace crypt_internal;

namespace {

int g_ni_off = 0;  // test hook: 1 forces the portable code

}  // namespace

#ifdef VANTIRO_SHA_NI
#include <cpuid.h>
#include <immintrin.h>

// Opens and closes a region of functions compiled for the SHA extensions (GCC and Clang
// spell it apart).
#if defined(__clang__)
#define VANTIRO_SHA_NI_BEGIN \
  _Pragma("clang attribute push(__attribute__((target(\"sha,sse4.1,ssse3\"))), apply_to = function)")
#define VANTIRO_SHA_NI_END _Pragma("clang attribute pop")
#else
#define VANTIRO_SHA_NI_BEGIN \
  _Pragma("GCC push_options") _Pragma("GCC target(\"sha,sse4.1,ssse3\")")
#define VANTIRO_SHA_NI_END _Pragma("GCC pop_options")
#endif

namespace {

// cpuid rather than __builtin_cpu_supports("sha"), which Clang 14 does not know:
// leaf 1 ECX bit 9 (SSSE3) and bit 19 (SSE4.1), leaf 7 EBX bit 29 (SHA).
bool cpu_has_sha_ni() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  if (!(c & (1u << 9)) || !(c & (1u << 19))) return false;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return (b & (1u << 29)) != 0;
}

}  // namespace

VANTIRO_SHA_NI_BEGIN

void crypt_internal::sha256_ni_blocks(uint32_t state[8], const uint8_t* data, size_t blocks) {
  // Byte order of each 32-bit word reversed: the message words are big-endian.
  const __m128i bswap = _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
  const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abef_in = abef, cdgh_in = cdgh;
    // m[g & 3] holds message words 4g .. 4g+3 while rounds 4g .. 4g+3 run. Words from 16
    // on are built in two steps: msg1 (the sigma0 part) three groups ahead, then the
    // w[i-7] part and msg2 (sigma1) one group ahead.
    __m128i m[4];
#pragma GCC unroll 16
    for (int g = 0; g < 16; ++g) {
      if (g < 4) {
        m[g] = _mm_shuffle_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)), bswap);
      }
      __m128i wk = _mm_add_epi32(
          m[g & 3], _mm_loadu_si128(reinterpret_cast<const __m128i*>(sha256_k + 4 * g)));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
      if (g >= 3 && g < 15) {
        const __m128i w7 = _mm_alignr_epi8(m[g & 3], m[(g - 1) & 3], 4);
        m[(g + 1) & 3] = _mm_sha256msg2_epu32(_mm_add_epi32(m[(g + 1) & 3], w7), m[g & 3]);
      }
      wk = _mm_shuffle_epi32(wk, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, wk);
      if (g >= 1 && g < 13) m[(g - 1) & 3] = _mm_sha256msg1_epu32(m[(g - 1) & 3], m[g & 3]);
    }
    abef = _mm_add_epi32(abef, abef_in);
    cdgh = _mm_add_epi32(cdgh, cdgh_in);
  }

  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

VANTIRO_SHA_NI_END
#endif

bool crypt_internal::sha256_ni_available() {
#ifdef VANTIRO_SHA_NI
  static const bool have = cpu_has_sha_ni();
  return have && g_ni_off == 0;
#else
  return false;
#endif
}

void crypt_internal::sha256_ni_off_FOR_TEST(int off) { g_ni_off = off; }
