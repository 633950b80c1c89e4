// BLAKE2b (RFC 7693): keyed or unkeyed, digests of 1 to 64 bytes, absorbed in pieces of
// any size. Whole blocks are compressed straight from the caller's bytes; only the last
// block of what has arrived so far waits in the context, since the final block is
// compressed with its own flag and cannot be told until the input ends.
#include <cstring>

#include "crypt.h"

namespace {

constexpr uint64_t kIv[8] = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b,
                             0xa54ff53a5f1d36f1, 0x510e527fade682d1, 0x9b05688c2b3e6c1f,
                             0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};

// The message word order of each round; rounds 10 and 11 take rows 0 and 1 again.
constexpr uint8_t kSigma[10][16] = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
    {14, 10, 4, 8, 9, 15, 13, 6, 1, 12, 0, 2, 11, 7, 5, 3},
    {11, 8, 12, 0, 5, 2, 15, 13, 10, 14, 3, 6, 7, 1, 9, 4},
    {7, 9, 3, 1, 13, 12, 11, 14, 2, 6, 5, 10, 4, 0, 15, 8},
    {9, 0, 5, 7, 2, 4, 10, 15, 14, 1, 11, 12, 6, 8, 3, 13},
    {2, 12, 6, 10, 0, 11, 8, 3, 4, 13, 7, 5, 15, 14, 1, 9},
    {12, 5, 1, 15, 14, 13, 4, 10, 0, 7, 6, 3, 9, 2, 8, 11},
    {13, 11, 7, 14, 12, 1, 3, 9, 5, 0, 15, 4, 8, 6, 2, 10},
    {6, 15, 14, 9, 11, 3, 0, 8, 12, 2, 13, 7, 1, 4, 10, 5},
    {10, 2, 8, 4, 7, 6, 1, 5, 15, 11, 9, 14, 3, 12, 13, 0},
};

inline uint64_t rotr(uint64_t x, int n) { return (x >> n) | (x << (64 - n)); }

inline uint64_t load64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

#define BLAKE2B_G(a, b, c, d, x, y) \
  do {                              \
    a = a + b + (x);                \
    d = rotr(d ^ a, 32);            \
    c = c + d;                      \
    b = rotr(b ^ c, 24);            \
    a = a + b + (y);                \
    d = rotr(d ^ a, 16);            \
    c = c + d;                      \
    b = rotr(b ^ c, 63);            \
  } while (0)

// Compresses one 128-byte block; last marks the final block. A block from the context's
// buffer may be the key block, whose message words and working vector are wiped after;
// blocks straight from the caller's message are public.
void compress(blake2b_ctx* ctx, const uint8_t* block, bool last) {
  uint64_t m[16];
  uint64_t v[16];
  for (int i = 0; i < 16; ++i) m[i] = load64(block + 8 * i);
  for (int i = 0; i < 8; ++i) {
    v[i] = ctx->h[i];
    v[i + 8] = kIv[i];
  }
  v[12] ^= ctx->t[0];
  v[13] ^= ctx->t[1];
  if (last) v[14] = ~v[14];
  for (int round = 0; round < 12; ++round) {
    const uint8_t* s = kSigma[round % 10];
    BLAKE2B_G(v[0], v[4], v[8], v[12], m[s[0]], m[s[1]]);
    BLAKE2B_G(v[1], v[5], v[9], v[13], m[s[2]], m[s[3]]);
    BLAKE2B_G(v[2], v[6], v[10], v[14], m[s[4]], m[s[5]]);
    BLAKE2B_G(v[3], v[7], v[11], v[15], m[s[6]], m[s[7]]);
    BLAKE2B_G(v[0], v[5], v[10], v[15], m[s[8]], m[s[9]]);
    BLAKE2B_G(v[1], v[6], v[11], v[12], m[s[10]], m[s[11]]);
    BLAKE2B_G(v[2], v[7], v[8], v[13], m[s[12]], m[s[13]]);
    BLAKE2B_G(v[3], v[4], v[9], v[14], m[s[14]], m[s[15]]);
  }
  for (int i = 0; i < 8; ++i) ctx->h[i] ^= v[i] ^ v[i + 8];
  if (block == ctx->buffer) {
    secure_zero(m, sizeof m);
    secure_zero(v, sizeof v);
  }
}

// Counts n more bytes in the 128-bit byte counter.
void count(blake2b_ctx* ctx, uint64_t n) {
  ctx->t[0] += n;
  if (ctx->t[0] < n) ++ctx->t[1];
}

}  // namespace

int blake2b_init(blake2b_ctx* ctx, size_t outlen, const uint8_t* key, size_t keylen) {
  if (ctx == nullptr || outlen == 0 || outlen > BLAKE2B_OUT_MAX || keylen > BLAKE2B_KEY_MAX ||
      (key == nullptr && keylen != 0))
    return -1;
  for (int i = 0; i < 8; ++i) ctx->h[i] = kIv[i];
  // Parameter block: digest length, key length, fanout 1, depth 1.
  ctx->h[0] ^= 0x01010000u ^ (static_cast<uint64_t>(keylen) << 8) ^ outlen;
  ctx->t[0] = ctx->t[1] = 0;
  ctx->outlen = outlen;
  std::memset(ctx->buffer, 0, sizeof ctx->buffer);
  ctx->buflen = 0;
  if (keylen > 0) {  // the key, zero-padded to a block, is the first block of input
    std::memcpy(ctx->buffer, key, keylen);
    ctx->buflen = BLAKE2B_BLOCK;
  }
  return 0;
}

void blake2b_update(blake2b_ctx* ctx, const uint8_t* data, size_t len) {
  if (len == 0) return;  // data may be null
  if (ctx->buflen > 0) {
    size_t take = BLAKE2B_BLOCK - ctx->buflen;
    if (take > len) take = len;
    std::memcpy(ctx->buffer + ctx->buflen, data, take);
    ctx->buflen += take;
    data += take;
    len -= take;
    if (len == 0) return;  // the buffered block may still be the last
    count(ctx, BLAKE2B_BLOCK);
    compress(ctx, ctx->buffer, false);
    ctx->buflen = 0;
  }
  // Every whole block but one that could end the input, straight from data.
  while (len > BLAKE2B_BLOCK) {
    count(ctx, BLAKE2B_BLOCK);
    compress(ctx, data, false);
    data += BLAKE2B_BLOCK;
    len -= BLAKE2B_BLOCK;
  }
  std::memcpy(ctx->buffer, data, len);
  ctx->buflen = len;
}

void blake2b_final(blake2b_ctx* ctx, uint8_t* out) {
  count(ctx, ctx->buflen);
  std::memset(ctx->buffer + ctx->buflen, 0, BLAKE2B_BLOCK - ctx->buflen);
  compress(ctx, ctx->buffer, true);
  for (size_t i = 0; i < ctx->outlen; ++i)
    out[i] = static_cast<uint8_t>(ctx->h[i / 8] >> (8 * (i % 8)));
  secure_zero(ctx, sizeof *ctx);
}

int blake2b(const uint8_t* key, size_t keylen, const uint8_t* data, size_t len, uint8_t* out,
            size_t outlen) {
  blake2b_ctx ctx;
  if (out == nullptr || blake2b_init(&ctx, outlen, key, keylen) != 0) return -1;
  blake2b_update(&ctx, data, len);
  blake2b_final(&ctx, out);
  return 0;
}
