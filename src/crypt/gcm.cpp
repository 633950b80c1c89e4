// AES-256-GCM (NIST SP 800-38D) with 96-bit IVs and 128-bit tags, one-shot over whole
// buffers. Calls the AES core directly. The key schedule, the hash key, the encrypted J0,
// the counter block and the GHASH state are wiped before every return.
#include "aes_internal.h"
#include "crypt.h"
#include "gcm_internal.h"

using namespace crypt_internal;

namespace {

// SP 800-38D bounds: plaintext at most 2^39 - 256 bits, so the 32-bit block counter never
// wraps back onto J0; AAD below 2^64 bits, so its bit length fits the length block.
constexpr uint64_t GCM_MAX_PLAIN = (uint64_t{1} << 36) - 32;
constexpr uint64_t GCM_MAX_AAD = (uint64_t{1} << 61) - 1;

// Test hook, called with the verdict of the tag comparison before decryption acts on it.
void (*g_verdict_hook)(const void*, size_t) = nullptr;

bool gcm_lengths_ok(size_t data_len, size_t aad_len) {
  return static_cast<uint64_t>(data_len) <= GCM_MAX_PLAIN && static_cast<uint64_t>(aad_len) <= GCM_MAX_AAD;
}

void store_be64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (56 - 8 * i));
}

void b128_to(uint8_t out[16], b128 x) {
  store_be64(out, x.hi);
  store_be64(out + 8, x.lo);
}

// Shared set-up: key schedule, hash key H = AES(0^128) and J0 = IV || 00 00 00 01.
void gcm_setup(const uint8_t key[32], const uint8_t iv[12], uint32_t w[60], b128* h, uint8_t j0[16]) {
  aes256_expand_key(key, w);
  uint8_t hb[16] = {0};
  aes256_encrypt_block(w, hb, hb);
  *h = b128_from(hb);
  secure_zero(hb, sizeof hb);
  for (int i = 0; i < 12; ++i) j0[i] = iv[i];
  j0[12] = 0;
  j0[13] = 0;
  j0[14] = 0;
  j0[15] = 1;
}

// What encryption and decryption make from the key, wiped on every way out.
struct GcmState {
  uint32_t w[60];
  b128 h;
  uint8_t j0[16];
  uint8_t cb[16];  // the counter block, left past the blocks used
  b128 s;          // GHASH state
};

void gcm_wipe(GcmState* st) { secure_zero(st, sizeof *st); }

// The first counter block inc32(J0): J0 ends in 00 00 00 01.
void gcm_first_counter(GcmState* st) {
  for (int i = 0; i < 16; ++i) st->cb[i] = st->j0[i];
  st->cb[15] = 2;
}

// The tag: AES(J0) XOR the GHASH state once the length block is absorbed.
void gcm_finish(GcmState* st, size_t aad_len, size_t cipher_len, uint8_t tag[16]) {
  uint8_t block[16];
  store_be64(block, static_cast<uint64_t>(aad_len) * 8);
  store_be64(block + 8, static_cast<uint64_t>(cipher_len) * 8);
  ghash(&st->s, st->h, block, 16);
  aes256_encrypt_block(st->w, st->j0, block);  // the encrypted J0
  uint8_t sb[16];
  b128_to(sb, st->s);
  for (int i = 0; i < 16; ++i) tag[i] = static_cast<uint8_t>(block[i] ^ sb[i]);
  secure_zero(block, sizeof block);
  secure_zero(sb, sizeof sb);
}

int gcm_encrypt(const uint8_t key[32], const uint8_t iv[12], const uint8_t* plain, size_t plain_len,
                const uint8_t* aad, size_t aad_len, uint8_t* cipher, uint8_t tag[16]) {
  if (!gcm_lengths_ok(plain_len, aad_len)) return -1;
  GcmState st;
  gcm_setup(key, iv, st.w, &st.h, st.j0);
  st.s = {0, 0};
  ghash(&st.s, st.h, aad, aad_len);
  gcm_first_counter(&st);
  // The ciphertext is hashed after it is produced, so cipher may be the plaintext buffer;
  // the instruction code does both in one pass.
  if (aesni_available()) {
    gcm_ni_encrypt(st.w, st.h, st.cb, &st.s, plain, cipher, plain_len);
  } else {
    aes256_ctr32_xor(st.w, st.cb, plain, cipher, plain_len);
    ghash(&st.s, st.h, cipher, plain_len);
  }
  gcm_finish(&st, aad_len, plain_len, tag);
  gcm_wipe(&st);
  return 0;
}

int gcm_decrypt(const uint8_t key[32], const uint8_t iv[12], const uint8_t* cipher, size_t cipher_len,
                const uint8_t* aad, size_t aad_len, const uint8_t tag[16], uint8_t* plain) {
  if (!gcm_lengths_ok(cipher_len, aad_len)) return -1;
  GcmState st;
  gcm_setup(key, iv, st.w, &st.h, st.j0);
  st.s = {0, 0};
  ghash(&st.s, st.h, aad, aad_len);
  ghash(&st.s, st.h, cipher, cipher_len);
  uint8_t expected[16];
  gcm_finish(&st, aad_len, cipher_len, expected);
  // One test of the whole difference: no early exit on the first differing byte.
  uint8_t diff = gcm_tag_diff(expected, tag);
  secure_zero(expected, sizeof expected);
  if (g_verdict_hook != nullptr) g_verdict_hook(&diff, sizeof diff);
  if (diff != 0) {
    gcm_wipe(&st);
    return -1;
  }
  // Plaintext is released only after the tag has verified.
  gcm_first_counter(&st);
  aes256_ctr32_xor(st.w, st.cb, cipher, plain, cipher_len);
  gcm_wipe(&st);
  return 0;
}

}  // namespace

namespace crypt_internal {

b128 b128_from(const uint8_t in[16]) {
  b128 x = {0, 0};
  for (int i = 0; i < 8; ++i) {
    x.hi = x.hi << 8 | in[i];
    x.lo = x.lo << 8 | in[8 + i];
  }
  return x;
}

namespace {

// Low 64 bits of the carry-less product of x and y on ordinary integer multiplication.
// Each operand is split into four parts whose set bits are four apart; the integer product
// of two parts gathers at most 15 terms at any bit (16 only at bit 60, whose overflow
// leaves the word), so its carries run into the three zero bits above each slot and never
// reach the next one. The parity bit of each slot is the carry-less sum.
uint64_t clmul_lo(uint64_t x, uint64_t y) {
  constexpr uint64_t m0 = 0x1111111111111111, m1 = m0 << 1, m2 = m0 << 2, m3 = m0 << 3;
  uint64_t x0 = x & m0, x1 = x & m1, x2 = x & m2, x3 = x & m3;
  uint64_t y0 = y & m0, y1 = y & m1, y2 = y & m2, y3 = y & m3;
  uint64_t z0 = (x0 * y0) ^ (x1 * y3) ^ (x2 * y2) ^ (x3 * y1);
  uint64_t z1 = (x0 * y1) ^ (x1 * y0) ^ (x2 * y3) ^ (x3 * y2);
  uint64_t z2 = (x0 * y2) ^ (x1 * y1) ^ (x2 * y0) ^ (x3 * y3);
  uint64_t z3 = (x0 * y3) ^ (x1 * y2) ^ (x2 * y1) ^ (x3 * y0);
  return (z0 & m0) | (z1 & m1) | (z2 & m2) | (z3 & m3);
}

uint64_t rev64(uint64_t x) {
  x = ((x >> 1) & 0x5555555555555555) | ((x & 0x5555555555555555) << 1);
  x = ((x >> 2) & 0x3333333333333333) | ((x & 0x3333333333333333) << 2);
  x = ((x >> 4) & 0x0f0f0f0f0f0f0f0f) | ((x & 0x0f0f0f0f0f0f0f0f) << 4);
  x = ((x >> 8) & 0x00ff00ff00ff00ff) | ((x & 0x00ff00ff00ff00ff) << 8);
  x = ((x >> 16) & 0x0000ffff0000ffff) | ((x & 0x0000ffff0000ffff) << 16);
  return (x >> 32) | (x << 32);
}

// The 127-bit carry-less product of x and y as hi:lo. The high half is the low half of
// the product of the bit-reversed operands, reversed back.
void clmul64(uint64_t x, uint64_t y, uint64_t* hi, uint64_t* lo) {
  *lo = clmul_lo(x, y);
  *hi = rev64(clmul_lo(rev64(x), rev64(y))) >> 1;
}

}  // namespace

b128 gf_mult(b128 x, b128 y) {
  // Karatsuba over 64-bit halves: three carry-less products make the 256-bit product of
  // the bit-reflected operands, z3:z2:z1:z0 from the top.
  uint64_t h1, l1, h0, l0, hm, lm;
  clmul64(x.hi, y.hi, &h1, &l1);
  clmul64(x.lo, y.lo, &h0, &l0);
  clmul64(x.hi ^ x.lo, y.hi ^ y.lo, &hm, &lm);
  hm ^= h1 ^ h0;
  lm ^= l1 ^ l0;
  uint64_t z3 = h1, z2 = l1 ^ hm, z1 = h0 ^ lm, z0 = l0;
  // Reflected operands give the product one bit low: shift it up so that the coefficient
  // of x^k sits at bit 255 - k.
  z3 = z3 << 1 | z2 >> 63;
  z2 = z2 << 1 | z1 >> 63;
  z1 = z1 << 1 | z0 >> 63;
  z0 <<= 1;
  // Reduce modulo x^128 + x^7 + x^2 + x + 1: the coefficients of x^(128+m) fold onto
  // x^m, x^(m+1), x^(m+2), x^(m+7); the top word first, since its fold reaches z1.
  z2 ^= z0 ^ (z0 >> 1) ^ (z0 >> 2) ^ (z0 >> 7);
  z1 ^= (z0 << 63) ^ (z0 << 62) ^ (z0 << 57);
  z3 ^= z1 ^ (z1 >> 1) ^ (z1 >> 2) ^ (z1 >> 7);
  z2 ^= (z1 << 63) ^ (z1 << 62) ^ (z1 << 57);
  return b128{z3, z2};
}

void ghash(b128* state, b128 h, const uint8_t* data, size_t len) {
  if (aesni_available())
    ghash_clmul(state, h, data, len);
  else
    ghash_portable(state, h, data, len);
}

void ghash_portable(b128* state, b128 h, const uint8_t* data, size_t len) {
  while (len >= 16) {
    b128 block = b128_from(data);
    state->hi ^= block.hi;
    state->lo ^= block.lo;
    *state = gf_mult(*state, h);
    data += 16;
    len -= 16;
  }
  if (len > 0) {
    uint8_t last[16] = {0};
    for (size_t i = 0; i < len; ++i) last[i] = data[i];
    b128 block = b128_from(last);
    state->hi ^= block.hi;
    state->lo ^= block.lo;
    *state = gf_mult(*state, h);
  }
}

void gcm_verdict_hook_FOR_TEST(void (*hook)(const void* verdict, size_t len)) { g_verdict_hook = hook; }

uint8_t gcm_tag_diff(const uint8_t a[16], const uint8_t b[16]) {
  uint8_t d = 0;
  for (int i = 0; i < 16; ++i) d = static_cast<uint8_t>(d | (a[i] ^ b[i]));
  return d;
}

}  // namespace crypt_internal

int aes256gcm_encrypt(const uint8_t key[32], const uint8_t iv[12], const uint8_t* plain, size_t plain_len,
                      uint8_t* cipher, uint8_t tag[16]) {
  return gcm_encrypt(key, iv, plain, plain_len, nullptr, 0, cipher, tag);
}

int aes256gcm_decrypt(const uint8_t key[32], const uint8_t iv[12], const uint8_t* cipher, size_t cipher_len,
                      const uint8_t tag[16], uint8_t* plain) {
  return gcm_decrypt(key, iv, cipher, cipher_len, nullptr, 0, tag, plain);
}

int aes256gcm_encrypt_aad(const uint8_t key[32], const uint8_t iv[12], const uint8_t* plain,
                          size_t plain_len, const uint8_t* aad, size_t aad_len, uint8_t* cipher,
                          uint8_t tag[16]) {
  return gcm_encrypt(key, iv, plain, plain_len, aad, aad_len, cipher, tag);
}

int aes256gcm_decrypt_aad(const uint8_t key[32], const uint8_t iv[12], const uint8_t* cipher,
                          size_t cipher_len, const uint8_t* aad, size_t aad_len, const uint8_t tag[16],
                          uint8_t* plain) {
  return gcm_decrypt(key, iv, cipher, cipher_len, aad, aad_len, tag, plain);
}
