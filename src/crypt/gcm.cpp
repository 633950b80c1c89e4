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

b128 gf_mult(b128 x, b128 y) {
  b128 z = {0, 0};
  b128 v = x;
  for (int i = 0; i < 128; ++i) {
    uint64_t bit = i < 64 ? (y.hi >> (63 - i)) & 1 : (y.lo >> (127 - i)) & 1;
    uint64_t add = 0 - bit;
    z.hi ^= v.hi & add;
    z.lo ^= v.lo & add;
    uint64_t carry = 0 - (v.lo & 1);
    v.lo = v.lo >> 1 | v.hi << 63;
    v.hi = (v.hi >> 1) ^ (uint64_t{0xe1} << 56 & carry);
  }
  return z;
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
