// CTR_DRBG after NIST SP 800-90A 10.2.1: AES-256, block cipher derivation function, no
// prediction resistance. Reaches AES only through the public ECB wrappers. Every
// temporary that held key, counter or seed material is wiped before returning.
#include "drbg.h"

#include <cstring>

#include "crypt.h"

namespace {

constexpr size_t SEED_MATERIAL_MAX = 512;
constexpr size_t MIN_ENTROPY = 32;
constexpr size_t MAX_REQUEST = 65536;                 // 2^19 bits
constexpr uint64_t RESEED_INTERVAL = uint64_t{1} << 48;
constexpr size_t SEEDLEN = 48;
constexpr size_t GENERATE_BATCH = 16;  // counter blocks per call into the cipher

// Concatenates up to three inputs into dest (room for SEED_MATERIAL_MAX bytes). Returns the
// number of bytes written, or -1 without copying when the lengths add up to more than that.
// Lengths are summed one at a time against the limit so that huge values cannot wrap.
int cat3(uint8_t* dest, const uint8_t* a, size_t a_len, const uint8_t* b, size_t b_len, const uint8_t* c,
         size_t c_len) {
  if (a_len > SEED_MATERIAL_MAX || b_len > SEED_MATERIAL_MAX - a_len ||
      c_len > SEED_MATERIAL_MAX - a_len - b_len)
    return -1;
  size_t n = 0;
  const uint8_t* parts[3] = {a, b, c};
  const size_t lens[3] = {a_len, b_len, c_len};
  for (int p = 0; p < 3; ++p) {
    if (parts[p] == nullptr || lens[p] == 0) continue;
    for (size_t i = 0; i < lens[p]; ++i) dest[n + i] = parts[p][i];
    n += lens[p];
  }
  return static_cast<int>(n);
}

void store_be32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

// Block_Cipher_df (SP 800-90A 10.3.2) for 48 output bytes; input holds at most
// SEED_MATERIAL_MAX bytes.
void block_cipher_df(const uint8_t* input, size_t len, uint8_t out[SEEDLEN]) {
  // IV || S in one buffer: 16 IV bytes, then S = L || N || input || 0x80 || zero fill.
  uint8_t iv_s[16 + 8 + SEED_MATERIAL_MAX + 1 + 16];
  uint8_t* s = iv_s + 16;
  store_be32(s, static_cast<uint32_t>(len));
  store_be32(s + 4, SEEDLEN);
  for (size_t i = 0; i < len; ++i) s[8 + i] = input[i];
  size_t s_len = 8 + len;
  s[s_len++] = 0x80;
  while (s_len % 16 != 0) s[s_len++] = 0;

  uint8_t df_key[32];
  for (int i = 0; i < 32; ++i) df_key[i] = static_cast<uint8_t>(i);
  aes256_ecb_ctx df_ctx;
  aes256_ecb_keysetup(&df_ctx, df_key);

  uint8_t temp[SEEDLEN];
  for (uint32_t i = 0; i < 3; ++i) {
    store_be32(iv_s, i);
    for (int j = 4; j < 16; ++j) iv_s[j] = 0;
    // BCC: CBC-MAC with a zero IV over IV || S.
    uint8_t* chain = temp + 16 * i;
    for (int j = 0; j < 16; ++j) chain[j] = 0;
    for (size_t off = 0; off < 16 + s_len; off += 16) {
      for (int j = 0; j < 16; ++j) chain[j] ^= iv_s[off + static_cast<size_t>(j)];
      aes256_ecb_encrypt_block(&df_ctx, chain, chain);
    }
  }

  aes256_ecb_ctx k_ctx;
  aes256_ecb_keysetup(&k_ctx, temp);
  uint8_t x[16];
  for (int j = 0; j < 16; ++j) x[j] = temp[32 + j];
  for (int i = 0; i < 3; ++i) {
    aes256_ecb_encrypt_block(&k_ctx, x, x);
    for (int j = 0; j < 16; ++j) out[16 * i + j] = x[j];
  }

  secure_zero(iv_s, sizeof iv_s);
  secure_zero(temp, sizeof temp);
  secure_zero(&df_ctx, sizeof df_ctx);
  secure_zero(&k_ctx, sizeof k_ctx);
  secure_zero(x, sizeof x);
}

uint64_t load_be64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = v << 8 | p[i];
  return v;
}

void store_be64(uint8_t* p, uint64_t v) {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // One byte swap and one 8-byte store: the byte loop below is compiled into far slower
  // code when counter blocks are made many at a time.
  v = __builtin_bswap64(v);
  std::memcpy(p, &v, 8);
#else
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (56 - 8 * i));
#endif
}

// The counter V as a 128-bit big-endian integer on two 64-bit halves.
struct Counter {
  uint64_t hi, lo;
};

Counter load_v(const uint8_t v[16]) { return {load_be64(v), load_be64(v + 8)}; }

void store_v(uint8_t v[16], Counter c) {
  store_be64(v, c.hi);
  store_be64(v + 8, c.lo);
}

// V = V + 1, wrapping modulo 2^128, written to block; the carry into the upper half is
// arithmetic (1 exactly when the lower half wrapped to 0), not a branch.
void next_block(Counter* c, uint8_t block[16]) {
#if defined(__GNUC__)
  // Hides the counter from loop analysis: the compiler would otherwise end the caller's
  // loop by comparing the secret counter with its start value plus the count.
  __asm__("" : "+r"(c->lo), "+r"(c->hi));
#endif
  c->lo += 1;
  c->hi += ((c->lo | (0 - c->lo)) >> 63) ^ 1;
  store_v(block, *c);
}

// CTR_DRBG_Update (SP 800-90A 10.2.1.2).
void ctr_drbg_update(const uint8_t provided[SEEDLEN], uint8_t key[32], uint8_t v[16]) {
  aes256_ecb_ctx ctx;
  aes256_ecb_keysetup(&ctx, key);
  uint8_t temp[SEEDLEN];
  Counter c = load_v(v);
  for (int i = 0; i < 3; ++i) next_block(&c, temp + 16 * i);
  aes256_ecb_encrypt_blocks(&ctx, temp, temp, 3);
  for (size_t i = 0; i < SEEDLEN; ++i) temp[i] ^= provided[i];
  for (int i = 0; i < 32; ++i) key[i] = temp[i];
  for (int i = 0; i < 16; ++i) v[i] = temp[32 + i];
  secure_zero(&ctx, sizeof ctx);
  secure_zero(temp, sizeof temp);
  secure_zero(&c, sizeof c);
}

}  // namespace

int drbg_instantiate(drbg_ctx* ctx, const uint8_t* entropy, size_t entropy_len, const uint8_t* nonce,
                     size_t nonce_len, const uint8_t* pers, size_t pers_len) {
  if (ctx == nullptr || entropy == nullptr || entropy_len < MIN_ENTROPY) return -1;
  uint8_t material[SEED_MATERIAL_MAX];
  int n = cat3(material, entropy, entropy_len, nonce, nonce_len, pers, pers_len);
  if (n < 0) return -1;
  uint8_t seed[SEEDLEN];
  block_cipher_df(material, static_cast<size_t>(n), seed);
  for (int i = 0; i < 32; ++i) ctx->key[i] = 0;
  for (int i = 0; i < 16; ++i) ctx->v[i] = 0;
  ctr_drbg_update(seed, ctx->key, ctx->v);
  ctx->reseed_counter = 1;
  ctx->instantiated = 1;
  secure_zero(material, sizeof material);
  secure_zero(seed, sizeof seed);
  return 0;
}

int drbg_reseed(drbg_ctx* ctx, const uint8_t* entropy, size_t entropy_len, const uint8_t* add,
                size_t add_len) {
  if (ctx == nullptr || ctx->instantiated != 1 || entropy == nullptr || entropy_len < MIN_ENTROPY) return -1;
  uint8_t material[SEED_MATERIAL_MAX];
  int n = cat3(material, entropy, entropy_len, add, add_len, nullptr, 0);
  if (n < 0) return -1;
  uint8_t seed[SEEDLEN];
  block_cipher_df(material, static_cast<size_t>(n), seed);
  ctr_drbg_update(seed, ctx->key, ctx->v);
  ctx->reseed_counter = 1;
  secure_zero(material, sizeof material);
  secure_zero(seed, sizeof seed);
  return 0;
}

int drbg_generate(drbg_ctx* ctx, uint8_t* out, size_t out_len, const uint8_t* add, size_t add_len) {
  if (ctx == nullptr || ctx->instantiated != 1 || out == nullptr || out_len == 0 || out_len > MAX_REQUEST)
    return -1;
  if (ctx->reseed_counter > RESEED_INTERVAL) return -2;
  const bool have_add = add != nullptr && add_len != 0;
  if (have_add && add_len > SEED_MATERIAL_MAX) return -1;

  uint8_t addl[SEEDLEN] = {0};
  if (have_add) {
    // Copied first, so the additional input may share memory with out.
    uint8_t material[SEED_MATERIAL_MAX];
    for (size_t i = 0; i < add_len; ++i) material[i] = add[i];
    block_cipher_df(material, add_len, addl);
    ctr_drbg_update(addl, ctx->key, ctx->v);
    secure_zero(material, sizeof material);
  }

  // Counter blocks are made a batch at a time and encrypted together, so that several
  // blocks are in flight in the cipher; whole batches go straight into out.
  aes256_ecb_ctx aes;
  aes256_ecb_keysetup(&aes, ctx->key);
  uint8_t batch[16 * GENERATE_BATCH];
  Counter c = load_v(ctx->v);
  for (size_t done = 0; done < out_len;) {
    const size_t left = out_len - done;
    const size_t blocks = left >= sizeof batch ? GENERATE_BATCH : (left + 15) / 16;
    for (size_t b = 0; b < blocks; ++b) next_block(&c, batch + 16 * b);
    if (left >= 16 * blocks) {
      aes256_ecb_encrypt_blocks(&aes, batch, out + done, blocks);
      done += 16 * blocks;
    } else {
      aes256_ecb_encrypt_blocks(&aes, batch, batch, blocks);
      for (size_t i = 0; i < left; ++i) out[done + i] = batch[i];
      done = out_len;
    }
  }
  store_v(ctx->v, c);
  secure_zero(&aes, sizeof aes);
  secure_zero(batch, sizeof batch);
  secure_zero(&c, sizeof c);

  ctr_drbg_update(addl, ctx->key, ctx->v);
  ctx->reseed_counter += 1;
  secure_zero(addl, sizeof addl);
  return 0;
}

void drbg_uninstantiate(drbg_ctx* ctx) {
  if (ctx != nullptr) secure_zero(ctx, sizeof *ctx);
}
