// AES-256, AES-128 and GHASH on the AES-NI and PCLMULQDQ instructions, after Intel's white
// papers on them. Byte for byte the results of the portable code: the key schedule is
// stored as the same big-endian words (60, or 44 for AES-128), and each call turns those
// words back into round keys. The instructions take the same time whatever the key and
// data, and no branch or memory index here depends on either.
#include "aes_internal.h"
#include "crypt.h"
#include "gcm_internal.h"

using namespace crypt_internal;

namespace {

int g_ni_off = 0;  // test hook: 1 forces the portable code

}  // namespace

// Compiled where GCC or Clang target x86-64, the MinGW build for Windows included; each
// function carries the instruction sets it needs, so the rest of the program does not.
#if defined(__GNUC__) && defined(__x86_64__)
#define VANTIRO_AES_NI 1
#include <cpuid.h>
#include <immintrin.h>
#include <wmmintrin.h>

#define VT_NI __attribute__((target("aes,pclmul,sse4.1")))

namespace {

// cpuid leaf 1 ECX: bit 1 PCLMULQDQ, bit 9 SSSE3, bit 19 SSE4.1, bit 25 AES-NI.
bool cpu_has_aes_ni() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const unsigned need = (1u << 1) | (1u << 9) | (1u << 19) | (1u << 25);
  return (c & need) == need;
}

// p, handed back as if it depended on x. Keys (the schedule words, the powers of H) are
// read through it: the compiler can then neither hoist the reads out of a loop nor keep
// copies of its own, so it holds one or two keys in registers at a time rather than all
// of them, which it would spill to stack slots that no wipe reaches.
template <typename T>
VT_NI inline const T* after(const T* p, __m128i x) {
  __asm__("" : "+r"(p) : "x"(x));
  return p;
}

// ---- AES ----------------------------------------------------------------------------

// Round key r from the schedule words: each word holds its four bytes big-endian, so the
// bytes of every 32-bit lane are reversed into block order. Made where it is used and
// kept only in a register, so the key schedule is never copied to memory.
VT_NI inline __m128i round_key(const uint32_t* w, int r) {
  const __m128i bswap32 = _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 4 * r)), bswap32);
}

// The inverse, for one key: round key r stored as its four schedule words.
VT_NI inline void put_round_key(uint32_t* w, int r, __m128i k) {
  const __m128i bswap32 = _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(w + 4 * r), _mm_shuffle_epi8(k, bswap32));
}

VT_NI inline __m128i load16(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

VT_NI inline void store16(uint8_t* p, __m128i x) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x); }

// N blocks through the Nr rounds (14 for AES-256, 10 for AES-128) together: each round
// key is used N times while the earlier rounds of the other blocks are still in the
// pipeline. Eight keep it full.
constexpr int kWide = 8;

template <int N, int Nr = 14>
VT_NI inline void encrypt_group(const uint32_t* w, __m128i x[N]) {
  w = after(w, x[0]);
  const __m128i k0 = round_key(w, 0);
#pragma GCC unroll 8
  for (int i = 0; i < N; ++i) x[i] = _mm_xor_si128(x[i], k0);
#pragma GCC unroll 13
  for (int r = 1; r < Nr; ++r) {
    const __m128i k = round_key(w, r);
#pragma GCC unroll 8
    for (int i = 0; i < N; ++i) x[i] = _mm_aesenc_si128(x[i], k);
  }
  const __m128i klast = round_key(w, Nr);
#pragma GCC unroll 8
  for (int i = 0; i < N; ++i) x[i] = _mm_aesenclast_si128(x[i], klast);
}

// N blocks from in to out.
template <int N, int Nr = 14>
VT_NI inline void encrypt_blocks_n(const uint32_t* w, const uint8_t* in, uint8_t* out) {
  __m128i x[N];
#pragma GCC unroll 8
  for (int i = 0; i < N; ++i) x[i] = load16(in + 16 * i);
  encrypt_group<N, Nr>(w, x);
#pragma GCC unroll 8
  for (int i = 0; i < N; ++i) store16(out + 16 * i, x[i]);
}

// Reverses bytes 12..15 (the 32-bit counter of a counter block) and leaves the rest, so
// that lane 3 holds the counter as a number and _mm_add_epi32 counts modulo 2^32.
VT_NI inline __m128i counter_order() {
  return _mm_set_epi8(12, 13, 14, 15, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
}

// One step of the AES-256 key expansion, after Intel's AES-NI white paper. a holds the
// previous even round key, t the result of aeskeygenassist on the odd one; each word of
// the new key is the xor of all words of a up to it, and the broadcast word from t.
VT_NI inline __m128i expand_even(__m128i a, __m128i t) {
  t = _mm_shuffle_epi32(t, 0xff);  // RotWord(SubWord(w)) ^ rcon, in every lane
  a = _mm_xor_si128(a, _mm_slli_si128(a, 4));
  a = _mm_xor_si128(a, _mm_slli_si128(a, 8));
  return _mm_xor_si128(a, t);
}

// The odd round keys: SubWord of the last word of the even key, without rotation or rcon.
VT_NI inline __m128i expand_odd(__m128i even, __m128i b) {
  const __m128i t = _mm_shuffle_epi32(_mm_aeskeygenassist_si128(even, 0), 0xaa);
  b = _mm_xor_si128(b, _mm_slli_si128(b, 4));
  b = _mm_xor_si128(b, _mm_slli_si128(b, 8));
  return _mm_xor_si128(b, t);
}

// ---- GHASH ----------------------------------------------------------------------------
//
// A field element is held bit-reflected: the block's bytes reversed (a b128's hi, the
// first eight bytes big-endian, is the top lane), so coefficient i of the polynomial is
// bit 127 - i of the register, and multiplying by x is a right shift.
// The carry-less product of two reflected 128-bit values is the reflection of the true
// product in 255 bits, one short of 256; taking the hash key as H/x instead of H makes up
// for it, so a product of an element and a key power is the reflected 256-bit a*h. Its
// reduction modulo P = x^128 + x^7 + x^2 + x + 1 folds the upper 128 degrees down as
// multiples of x^128 = x^7 + x^2 + x + 1, 64 at a time.

VT_NI inline __m128i reverse_bytes() {
  return _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
}

// The x + x^2 + x^7 part of x^128 = 1 + x + x^2 + x^7, reflected into a 64-bit word for
// the carry-less product (bits 63, 62 and 57); the 1 is the folded word itself.
VT_NI inline __m128i fold_constant() {
  return _mm_set_epi64x(0, static_cast<long long>(0xc200000000000000ull));
}

// Karatsuba products of a and b: lo, hi and the middle term before lo and hi are taken
// out. bk is b's two halves xored (low lane). Sums of these over several blocks reduce
// once.
struct Product {
  __m128i lo, hi, mid;
};

VT_NI inline Product clmul(__m128i a, __m128i b, __m128i bk) {
  const __m128i ak = _mm_xor_si128(a, _mm_shuffle_epi32(a, 0x4e));
  return {_mm_clmulepi64_si128(a, b, 0x00), _mm_clmulepi64_si128(a, b, 0x11),
          _mm_clmulepi64_si128(ak, bk, 0x00)};
}

VT_NI inline void accumulate(Product* acc, Product p) {
  acc->lo = _mm_xor_si128(acc->lo, p.lo);
  acc->hi = _mm_xor_si128(acc->hi, p.hi);
  acc->mid = _mm_xor_si128(acc->mid, p.mid);
}

// Reduces a (sum of) product(s) [hi:lo] = words v3 v2 v1 v0 to one reflected element.
// The lowest word v0 holds degrees 192..255; as x^128 times degrees 64..127 it comes
// back as v0 * 0xc2.. xored into v2:v1, and v0 itself into v2. Then v1, now holding
// degrees 128..191, the same way into v3:v2 and v3.
VT_NI inline __m128i reduce(Product p) {
  const __m128i mid = _mm_xor_si128(p.mid, _mm_xor_si128(p.lo, p.hi));
  __m128i lo = _mm_xor_si128(p.lo, _mm_slli_si128(mid, 8));
  __m128i hi = _mm_xor_si128(p.hi, _mm_srli_si128(mid, 8));
  const __m128i c = fold_constant();
  const __m128i t = _mm_clmulepi64_si128(lo, c, 0x00);
  lo = _mm_xor_si128(lo, _mm_slli_si128(t, 8));
  hi = _mm_xor_si128(hi, _mm_srli_si128(t, 8));
  return _mm_xor_si128(_mm_xor_si128(hi, lo), _mm_clmulepi64_si128(lo, c, 0x01));
}

VT_NI inline __m128i halves_xored(__m128i b) { return _mm_xor_si128(b, _mm_shuffle_epi32(b, 0x4e)); }

// h/x: the left shift divides by x; where h has a constant term (bit 127), P is added
// first, which brings in x^127 + x^6 + x + 1 (bits 0, 121, 126 and 127). The mask comes
// from the bit by arithmetic, not a branch.
VT_NI inline __m128i divide_by_x(__m128i h) {
  const __m128i top = _mm_srai_epi32(_mm_shuffle_epi32(h, 0xff), 31);
  const __m128i shifted = _mm_or_si128(_mm_slli_epi64(h, 1), _mm_slli_si128(_mm_srli_epi64(h, 63), 8));
  const __m128i p = _mm_set_epi64x(static_cast<long long>(0xc200000000000000ull), 1);
  return _mm_xor_si128(shifted, _mm_and_si128(top, p));
}

VT_NI inline __m128i from_b128(b128 x) {
  return _mm_set_epi64x(static_cast<long long>(x.hi), static_cast<long long>(x.lo));
}

VT_NI inline b128 to_b128(__m128i x) {
  return {static_cast<uint64_t>(_mm_extract_epi64(x, 1)), static_cast<uint64_t>(_mm_cvtsi128_si64(x))};
}

// hp[i] = H^(i+1) / x and hk[i] its halves xored, for i < n.
VT_NI inline void key_powers(b128 h, size_t n, __m128i* hp, __m128i* hk) {
  hp[0] = divide_by_x(from_b128(h));
  hk[0] = halves_xored(hp[0]);
  for (size_t i = 1; i < n; ++i) {
    // (H^i / x) (H / x) x = H^(i+1) / x: the product of two keys is again a key.
    hp[i] = reduce(clmul(hp[i - 1], hp[0], hk[0]));
    hk[i] = halves_xored(hp[i]);
  }
}

// The most blocks that share one reduction: Y' = (Y + B0) H^n + B1 H^(n-1) + ... + B(n-1) H.
constexpr int kGhashWide = 8;

// Absorbs n (1..8) whole blocks into y, with hp[i] = H^(i+1) / x and hk[i] its halves
// xored.
VT_NI inline __m128i absorb(__m128i y, const uint8_t* data, size_t n, const __m128i* hp, const __m128i* hk) {
  const __m128i rev = reverse_bytes();
  hp = after(hp, y);
  hk = after(hk, y);
  Product acc = clmul(_mm_xor_si128(y, _mm_shuffle_epi8(load16(data), rev)), hp[n - 1], hk[n - 1]);
  for (size_t i = 1; i < n; ++i)
    accumulate(&acc, clmul(_mm_shuffle_epi8(load16(data + 16 * i), rev), hp[n - 1 - i], hk[n - 1 - i]));
  return reduce(acc);
}

// The same for eight blocks; the product with y, the one that waits for the previous
// reduction, is summed last, so the others are under way before it.
VT_NI inline __m128i absorb8(__m128i y, const uint8_t* data, const __m128i* hp, const __m128i* hk) {
  const __m128i rev = reverse_bytes();
  const __m128i b1 = _mm_shuffle_epi8(load16(data + 16), rev);
  hp = after(hp, b1);
  hk = after(hk, b1);
  Product acc = clmul(b1, hp[6], hk[6]);
#pragma GCC unroll 6
  for (int i = 2; i < kGhashWide; ++i)
    accumulate(&acc, clmul(_mm_shuffle_epi8(load16(data + 16 * i), rev), hp[7 - i], hk[7 - i]));
  accumulate(&acc, clmul(_mm_xor_si128(y, _mm_shuffle_epi8(load16(data), rev)), hp[7], hk[7]));
  return reduce(acc);
}

}  // namespace

bool crypt_internal::aesni_available() {
  static const bool have = cpu_has_aes_ni();
  return have && g_ni_off == 0;
}

namespace {

// Round keys i (even, with round constant Rcon) and i + 1 (odd, while i + 1 < 15) from a
// and b, the two before them, written out as they are made.
template <int Rcon>
VT_NI inline void expand_pair(__m128i* a, __m128i* b, uint32_t w[60], int i) {
  *a = expand_even(*a, _mm_aeskeygenassist_si128(*b, Rcon));
  put_round_key(w, i, *a);
  if (i + 1 == 15) return;
  *b = expand_odd(*a, *b);
  put_round_key(w, i + 1, *b);
}

// AES-128 round key i (1..10) from round key i - 1, with round constant Rcon: each word
// the xor of the words of the previous key up to it and RotWord(SubWord) of its last word.
template <int Rcon>
VT_NI inline void expand128(__m128i* k, uint32_t w[44], int i) {
  *k = expand_even(*k, _mm_aeskeygenassist_si128(*k, Rcon));
  put_round_key(w, i, *k);
}

}  // namespace

VT_NI void crypt_internal::aes128_ni_expand_key(const uint8_t key[16], uint32_t w[44]) {
  __m128i k = load16(key);
  put_round_key(w, 0, k);
  expand128<0x01>(&k, w, 1);
  expand128<0x02>(&k, w, 2);
  expand128<0x04>(&k, w, 3);
  expand128<0x08>(&k, w, 4);
  expand128<0x10>(&k, w, 5);
  expand128<0x20>(&k, w, 6);
  expand128<0x40>(&k, w, 7);
  expand128<0x80>(&k, w, 8);
  expand128<0x1b>(&k, w, 9);
  expand128<0x36>(&k, w, 10);
}

VT_NI void crypt_internal::aes128_ni_encrypt_block(const uint32_t w[44], const uint8_t in[16],
                                                  uint8_t out[16]) {
  encrypt_blocks_n<1, 10>(w, in, out);
}

VT_NI void crypt_internal::aes256_ni_expand_key(const uint8_t key[32], uint32_t w[60]) {
  __m128i a = load16(key), b = load16(key + 16);
  // No other copy of the schedule remains; aeskeygenassist takes its round constant as an
  // immediate, hence one instance per step.
  put_round_key(w, 0, a);
  put_round_key(w, 1, b);
  expand_pair<0x01>(&a, &b, w, 2);
  expand_pair<0x02>(&a, &b, w, 4);
  expand_pair<0x04>(&a, &b, w, 6);
  expand_pair<0x08>(&a, &b, w, 8);
  expand_pair<0x10>(&a, &b, w, 10);
  expand_pair<0x20>(&a, &b, w, 12);
  expand_pair<0x40>(&a, &b, w, 14);
}

VT_NI void crypt_internal::aes256_ni_encrypt_blocks(const uint32_t w[60], const uint8_t* in, uint8_t* out,
                                                    size_t n) {
  for (; n >= kWide; in += 16 * kWide, out += 16 * kWide, n -= kWide) encrypt_blocks_n<kWide>(w, in, out);
  // The last few as groups of four, two and one, independent of each other.
  if (n & 4) {
    encrypt_blocks_n<4>(w, in, out);
    in += 64;
    out += 64;
  }
  if (n & 2) {
    encrypt_blocks_n<2>(w, in, out);
    in += 32;
    out += 32;
  }
  if (n & 1) encrypt_blocks_n<1>(w, in, out);
}

VT_NI void crypt_internal::aes256_ni_ctr32_xor(const uint32_t w[60], uint8_t ctr[16], const uint8_t* in,
                                               uint8_t* out, size_t len) {
  const __m128i order = counter_order();
  __m128i c = _mm_shuffle_epi8(load16(ctr), order);
  __m128i x[kWide];
  while (len > 0) {
    const size_t blocks = len >= 16 * kWide ? kWide : (len + 15) / 16;
#pragma GCC unroll 8
    for (int i = 0; i < kWide; ++i)
      x[i] = _mm_shuffle_epi8(_mm_add_epi32(c, _mm_set_epi32(i, 0, 0, 0)), order);
    c = _mm_add_epi32(c, _mm_set_epi32(static_cast<int>(blocks), 0, 0, 0));
    encrypt_group<kWide>(w, x);
    if (len >= 16 * kWide) {
#pragma GCC unroll 8
      for (int i = 0; i < kWide; ++i) store16(out + 16 * i, _mm_xor_si128(load16(in + 16 * i), x[i]));
      in += 16 * kWide;
      out += 16 * kWide;
      len -= 16 * kWide;
      continue;
    }
    // The last, short group: whole blocks, then a partial one through a wiped buffer.
    // Unrolled, so that each block's keystream stays in its register.
#pragma GCC unroll 8
    for (int i = 0; i < kWide; ++i) {
      const size_t at = 16 * static_cast<size_t>(i);
      if (at + 16 <= len) {
        store16(out + at, _mm_xor_si128(load16(in + at), x[i]));
      } else if (at < len) {
        uint8_t ks[16];
        store16(ks, x[i]);
        for (size_t j = at; j < len; ++j) out[j] = static_cast<uint8_t>(in[j] ^ ks[j - at]);
        secure_zero(ks, sizeof ks);
      }
    }
    len = 0;
  }
  store16(ctr, _mm_shuffle_epi8(c, order));
}

VT_NI void crypt_internal::ghash_clmul(b128* state, b128 h, const uint8_t* data, size_t len) {
  if (len == 0) return;
  __m128i y = from_b128(*state);
  // Only the powers of H that this input uses: one per block, at most eight.
  const size_t blocks = (len + 15) / 16;
  const size_t powers = blocks < kGhashWide ? blocks : kGhashWide;
  __m128i hp[kGhashWide], hk[kGhashWide];
  key_powers(h, powers, hp, hk);
  for (; len >= 16 * kGhashWide; data += 16 * kGhashWide, len -= 16 * kGhashWide)
    y = absorb8(y, data, hp, hk);
  if (len >= 16) {
    const size_t n = len / 16;
    y = absorb(y, data, n, hp, hk);
    data += 16 * n;
    len -= 16 * n;
  }
  if (len > 0) {
    uint8_t last[16] = {0};
    for (size_t i = 0; i < len; ++i) last[i] = data[i];
    y = absorb(y, last, 1, hp, hk);
    secure_zero(last, sizeof last);
  }
  *state = to_b128(y);
  secure_zero(hp, powers * sizeof hp[0]);
  secure_zero(hk, powers * sizeof hk[0]);
}

VT_NI void crypt_internal::gcm_ni_encrypt(const uint32_t w[60], b128 h, uint8_t ctr[16], b128* state,
                                          const uint8_t* in, uint8_t* out, size_t len) {
  if (len < 16 * kWide * 2) {
    // Too short for two groups to overlap.
    aes256_ni_ctr32_xor(w, ctr, in, out, len);
    ghash_clmul(state, h, out, len);
    return;
  }
  __m128i hp[kGhashWide], hk[kGhashWide];
  key_powers(h, kGhashWide, hp, hk);
  __m128i y = from_b128(*state);
  const __m128i order = counter_order();
  __m128i c = _mm_shuffle_epi8(load16(ctr), order);
  __m128i x[kWide];
  // Each turn encrypts a group of eight blocks and hashes the group of ciphertext written
  // the turn before: the AES rounds and the carry-less products use different units.
  const uint8_t* written = nullptr;
  for (; len >= 16 * kWide; in += 16 * kWide, out += 16 * kWide, len -= 16 * kWide) {
#pragma GCC unroll 8
    for (int i = 0; i < kWide; ++i)
      x[i] = _mm_shuffle_epi8(_mm_add_epi32(c, _mm_set_epi32(i, 0, 0, 0)), order);
    c = _mm_add_epi32(c, _mm_set_epi32(kWide, 0, 0, 0));
    encrypt_group<kWide>(w, x);
    if (written != nullptr) y = absorb8(y, written, hp, hk);
#pragma GCC unroll 8
    for (int i = 0; i < kWide; ++i) store16(out + 16 * i, _mm_xor_si128(load16(in + 16 * i), x[i]));
    written = out;
  }
  y = absorb8(y, written, hp, hk);
  *state = to_b128(y);
  store16(ctr, _mm_shuffle_epi8(c, order));
  secure_zero(hp, sizeof hp);
  secure_zero(hk, sizeof hk);
  // Fewer than eight blocks are left.
  aes256_ni_ctr32_xor(w, ctr, in, out, len);
  ghash_clmul(state, h, out, len);
}

#else  // no instruction code here: aesni_available() is false and nothing below runs

bool crypt_internal::aesni_available() { return false; }

// Never called where aesni_available() is false; they defer to the portable code all the
// same, so a stray call still gives the right bytes.
void crypt_internal::aes256_ni_expand_key(const uint8_t key[32], uint32_t w[60]) {
  aes256_ct_expand_key(key, w);
}
void crypt_internal::aes256_ni_encrypt_blocks(const uint32_t w[60], const uint8_t* in, uint8_t* out,
                                              size_t n) {
  aes256_ct_encrypt_blocks(w, in, out, n);
}
void crypt_internal::aes256_ni_ctr32_xor(const uint32_t w[60], uint8_t ctr[16], const uint8_t* in,
                                         uint8_t* out, size_t len) {
  aes256_ctr32_xor(w, ctr, in, out, len);
}
void crypt_internal::aes128_ni_expand_key(const uint8_t key[16], uint32_t w[44]) {
  aes128_ct_expand_key(key, w);
}
void crypt_internal::aes128_ni_encrypt_block(const uint32_t w[44], const uint8_t in[16], uint8_t out[16]) {
  aes128_ct_encrypt_block(w, in, out);
}
void crypt_internal::ghash_clmul(b128* state, b128 h, const uint8_t* data, size_t len) {
  ghash_portable(state, h, data, len);
}
void crypt_internal::gcm_ni_encrypt(const uint32_t w[60], b128 h, uint8_t ctr[16], b128* state,
                                    const uint8_t* in, uint8_t* out, size_t len) {
  aes256_ctr32_xor(w, ctr, in, out, len);
  ghash_portable(state, h, out, len);
}

#endif

void crypt_internal::aesni_off_FOR_TEST(int off) { g_ni_off = off; }
