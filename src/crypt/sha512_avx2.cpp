// SHA-512 compression with the message schedule in AVX2 registers, after the approach of
// Intel's "Fast SHA-512 Implementations on Intel Architecture Processors". Two blocks are
// scheduled together, one per 128-bit half of each vector: a half holds two consecutive
// message words, and the sigma1 term of a pair needs only the pair before it, so every
// step yields the next two words of both blocks. The words plus round constants go to the
// stack; the rounds then run on general registers (rorx from BMI2), first of one block,
// then of the other.
#include "crypt.h"
#include "sha_internal.h"

using namespace crypt_internal;

namespace {

int g_avx2_off = 0;  // test hook: 1 forces the portable code

}  // namespace

#ifdef VANTIRO_SHA512_AVX2
#include <immintrin.h>

#if defined(__clang__)
#define VANTIRO_SHA512_AVX2_BEGIN \
  _Pragma("clang attribute push(__attribute__((target(\"avx2,bmi,bmi2\"))), apply_to = function)")
#define VANTIRO_SHA512_AVX2_END _Pragma("clang attribute pop")
#else
#define VANTIRO_SHA512_AVX2_BEGIN \
  _Pragma("GCC push_options") _Pragma("GCC target(\"avx2,bmi,bmi2\")")
#define VANTIRO_SHA512_AVX2_END _Pragma("GCC pop_options")
#endif

VANTIRO_SHA512_AVX2_BEGIN

namespace {

template <int N>
inline __m256i ror4(__m256i x) {
  return _mm256_or_si256(_mm256_srli_epi64(x, N), _mm256_slli_epi64(x, 64 - N));
}


// Byte order of each 64-bit word reversed: the message words are big-endian.
inline __m256i load_words(const uint8_t* p, const uint8_t* q) {
  const __m256i bswap = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8,
                                         7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
  return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), bswap);
}

// Words 2i and 2i + 1 of both blocks, from x, which holds words 2i - 16 .. 2i - 1 (x[j & 7]
// words 2j and 2j + 1): W[t] = sigma1(W[t-2]) + W[t-7] + sigma0(W[t-15]) + W[t-16].
// ror 8 is a byte shuffle, one instruction instead of three.
inline void next_words(__m256i x[8], int i) {
  const __m256i ror8 = _mm256_setr_epi8(1, 2, 3, 4, 5, 6, 7, 0, 9, 10, 11, 12, 13, 14, 15, 8,
                                        1, 2, 3, 4, 5, 6, 7, 0, 9, 10, 11, 12, 13, 14, 15, 8);
  const __m256i w2 = x[(i - 1) & 7];
  const __m256i w7 = _mm256_alignr_epi8(x[(i - 3) & 7], x[(i - 4) & 7], 8);
  const __m256i w15 = _mm256_alignr_epi8(x[(i - 7) & 7], x[i & 7], 8);
  const __m256i s0 = _mm256_xor_si256(_mm256_xor_si256(ror4<1>(w15), _mm256_shuffle_epi8(w15, ror8)),
                                      _mm256_srli_epi64(w15, 7));
  const __m256i s1 = _mm256_xor_si256(_mm256_xor_si256(ror4<19>(w2), ror4<61>(w2)),
                                      _mm256_srli_epi64(w2, 6));
  x[i & 7] = _mm256_add_epi64(_mm256_add_epi64(x[i & 7], s0), _mm256_add_epi64(w7, s1));
}

inline void store_wk(uint64_t wk[4], __m256i w, int i) {
  const __m256i k = _mm256_broadcastsi128_si256(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(sha512_k + 2 * i)));
  _mm256_store_si256(reinterpret_cast<__m256i*>(wk), _mm256_add_epi64(w, k));
}

// One round with the working variables named in place; wk is W[t] + K[t]. Written out in
// instructions, so that no register spills: d + h + wk is formed first, so the new e waits
// on e for four steps only (Ch, then Sigma1). Maj(a, b, c) = (a & (b ^ c)) + (b & c), the
// two with no bit in common; bc is b ^ c, the a ^ b of the round before, and b & c is
// ~(b ^ c) & c: only one step of Maj waits on a, so the new a, too, waits four steps on a.
// bc is used up.
#define SHA512_AVX2_ROUND(a, b, c, d, e, f, g, h, ab, bc, wk)                                \
  do {                                                                                       \
    uint64_t t0, t1;                                                                         \
    __asm__("add %[w], %[vh]\n\t"                                                            \
            "add %[vh], %[vd]\n\t"                                                           \
            "andn %[vc], %[vbc], %[t0]\n\t"                                                  \
            "add %[t0], %[vh]\n\t"                                                           \
            "andn %[vg], %[ve], %[t1]\n\t"                                                   \
            "mov %[ve], %[t0]\n\t"                                                           \
            "and %[vf], %[t0]\n\t"                                                           \
            "or %[t0], %[t1]\n\t"                                                            \
            "add %[t1], %[vd]\n\t"                                                           \
            "add %[t1], %[vh]\n\t"                                                           \
            "rorx $14, %[ve], %[t0]\n\t"                                                     \
            "rorx $18, %[ve], %[t1]\n\t"                                                     \
            "xor %[t1], %[t0]\n\t"                                                           \
            "rorx $41, %[ve], %[t1]\n\t"                                                     \
            "xor %[t1], %[t0]\n\t"                                                           \
            "add %[t0], %[vd]\n\t"                                                           \
            "add %[t0], %[vh]\n\t"                                                           \
            "and %[va], %[vbc]\n\t"                                                          \
            "add %[vbc], %[vh]\n\t"                                                          \
            "rorx $28, %[va], %[t0]\n\t"                                                     \
            "rorx $34, %[va], %[t1]\n\t"                                                     \
            "xor %[t1], %[t0]\n\t"                                                           \
            "rorx $39, %[va], %[t1]\n\t"                                                     \
            "xor %[t1], %[t0]\n\t"                                                           \
            "add %[t0], %[vh]\n\t"                                                           \
            "mov %[va], %[vab]\n\t"                                                          \
            "xor %[vb], %[vab]"                                                              \
            : [vh] "+r"(h), [vd] "+r"(d), [vbc] "+r"(bc), [vab] "=&r"(ab), [t0] "=&r"(t0),   \
              [t1] "=&r"(t1)                                                                 \
            : [w] "m"(wk), [va] "r"(a), [vb] "r"(b), [vc] "r"(c), [ve] "r"(e), [vf] "r"(f),  \
              [vg] "r"(g)                                                                    \
            : "cc");                                                                         \
  } while (0)

// Eight rounds from round 2i, the words in lanes lane and lane + 1 of entries i .. i + 3
// of the words-plus-constants array at wk (four words an entry); before each two rounds,
// then(entry): the schedule's work spread among the rounds, not bunched before them (a
// bunch of vector instructions holds up the rounds' own more than the same work spread).
#define SHA512_AVX2_EIGHT(wk, i, lane, then)                                     \
  do {                                                                           \
    then((i) + 8);                                                               \
    SHA512_AVX2_ROUND(a, b, c, d, e, f, g, h, y, x, wk[4 * (i) + (lane)]);        \
    SHA512_AVX2_ROUND(h, a, b, c, d, e, f, g, x, y, wk[4 * (i) + (lane) + 1]);    \
    then((i) + 9);                                                               \
    SHA512_AVX2_ROUND(g, h, a, b, c, d, e, f, y, x, wk[4 * (i) + (lane) + 4]);    \
    SHA512_AVX2_ROUND(f, g, h, a, b, c, d, e, x, y, wk[4 * (i) + (lane) + 5]);    \
    then((i) + 10);                                                              \
    SHA512_AVX2_ROUND(e, f, g, h, a, b, c, d, y, x, wk[4 * (i) + (lane) + 8]);    \
    SHA512_AVX2_ROUND(d, e, f, g, h, a, b, c, x, y, wk[4 * (i) + (lane) + 9]);    \
    then((i) + 11);                                                              \
    SHA512_AVX2_ROUND(c, d, e, f, g, h, a, b, y, x, wk[4 * (i) + (lane) + 12]);   \
    SHA512_AVX2_ROUND(b, c, d, e, f, g, h, a, x, y, wk[4 * (i) + (lane) + 13]);   \
  } while (0)

// After the words are stored: the rounds then load each word with a plain 64-bit load
// from the stack instead of taking it out of a vector register (two instructions).
#define SHA512_AVX2_STORED __asm__ __volatile__("" ::: "memory")

// Entry j of the schedule of both blocks, eight entries before its rounds.
#define SHA512_AVX2_NEXT(j)                \
  do {                                     \
    if ((j) < 40) {                        \
      next_words(w, (j));                  \
      store_wk(wk[(j)], w[(j) & 7], (j));  \
      SHA512_AVX2_STORED;                  \
    }                                      \
  } while (0)

#define SHA512_AVX2_NOTHING(j) \
  do {                         \
  } while (0)

#define SHA512_AVX2_LOAD_STATE                                   \
  uint64_t a = state[0], b = state[1], c = state[2], d = state[3]; \
  uint64_t e = state[4], f = state[5], g = state[6], h = state[7]; \
  uint64_t x = b ^ c, y = 0

#define SHA512_AVX2_ADD_STATE \
  state[0] += a;              \
  state[1] += b;              \
  state[2] += c;              \
  state[3] += d;              \
  state[4] += e;              \
  state[5] += f;              \
  state[6] += g;              \
  state[7] += h

// The block at p, with the schedule of it and of the block at q computed alongside its
// rounds (vector and general registers work side by side); the words plus constants of
// both are left in wk, entry i holding words 2i and 2i + 1 of p (lanes 0, 1) and q (2, 3).
[[gnu::always_inline]] inline void first_block(uint64_t state[8], uint64_t wk[40][4],
                                               const uint8_t* p, const uint8_t* q) {
  __m256i w[8];
#pragma GCC unroll 8
  for (int i = 0; i < 8; ++i) {
    w[i] = load_words(p + 16 * i, q + 16 * i);
    store_wk(wk[i], w[i], i);
  }
  SHA512_AVX2_STORED;
  const uint64_t* words = &wk[0][0];
  SHA512_AVX2_LOAD_STATE;
#pragma GCC unroll 10
  for (int i = 0; i < 40; i += 4) SHA512_AVX2_EIGHT(words, i, 0, SHA512_AVX2_NEXT);
  SHA512_AVX2_ADD_STATE;
}

// The rounds of the second block, its words plus constants already in lanes 2 and 3.
[[gnu::always_inline]] inline void second_block(uint64_t state[8], const uint64_t wk[40][4]) {
  const uint64_t* words = &wk[0][0];
  SHA512_AVX2_LOAD_STATE;
#pragma GCC unroll 10
  for (int i = 0; i < 40; i += 4) SHA512_AVX2_EIGHT(words, i, 2, SHA512_AVX2_NOTHING);
  SHA512_AVX2_ADD_STATE;
}

#undef SHA512_AVX2_NOTHING
#undef SHA512_AVX2_NEXT
#undef SHA512_AVX2_STORED
#undef SHA512_AVX2_ADD_STATE
#undef SHA512_AVX2_LOAD_STATE
#undef SHA512_AVX2_EIGHT
#undef SHA512_AVX2_ROUND

}  // namespace

void crypt_internal::sha512_avx2_blocks(uint64_t state[8], const uint8_t* data, size_t blocks) {
  alignas(32) uint64_t wk[40][4];
  while (blocks > 0) {
    // A lone last block is scheduled twice over, and its second copy left unused.
    const size_t n = blocks > 1 ? 2 : 1;
    first_block(state, wk, data, data + 128 * (n - 1));
    if (n == 2) second_block(state, wk);
    data += 128 * n;
    blocks -= n;
  }
  // The words derive from the message, which may be a secret (a key, a seed).
  secure_zero(wk, sizeof wk);
}

VANTIRO_SHA512_AVX2_END
#endif

bool crypt_internal::sha512_avx2_available() {
#ifdef VANTIRO_SHA512_AVX2
  static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2");
  return have && g_avx2_off == 0;
#else
  return false;
#endif
}

void crypt_internal::sha512_avx2_off_FOR_TEST(int off) { g_avx2_off = off; }
