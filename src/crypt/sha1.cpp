// SHA-1 (FIPS 180-4), streaming and one-shot. Kept for HMAC-SHA-1.
#include "crypt.h"

#include <cstring>

namespace {

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void sha1_transform(sha1_ctx* ctx, const uint8_t block[64]) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i)
    w[i] = static_cast<uint32_t>(block[4 * i]) << 24 | static_cast<uint32_t>(block[4 * i + 1]) << 16 |
           static_cast<uint32_t>(block[4 * i + 2]) << 8 | static_cast<uint32_t>(block[4 * i + 3]);
  for (int i = 16; i < 80; ++i) w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  uint32_t a = ctx->state[0], b = ctx->state[1], c = ctx->state[2], d = ctx->state[3], e = ctx->state[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);  // Ch
      k = 0x5a827999;
    } else if (i < 40) {
      f = b ^ c ^ d;  // Parity
      k = 0x6ed9eba1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);  // Maj
      k = 0x8f1bbcdc;
    } else {
      f = b ^ c ^ d;
      k = 0xca62c1d6;
    }
    uint32_t t = rotl(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = rotl(b, 30);
    b = a;
    a = t;
  }
  ctx->state[0] += a;
  ctx->state[1] += b;
  ctx->state[2] += c;
  ctx->state[3] += d;
  ctx->state[4] += e;
}

}  // namespace

void sha1_init(sha1_ctx* ctx) {
  ctx->state[0] = 0x67452301;
  ctx->state[1] = 0xefcdab89;
  ctx->state[2] = 0x98badcfe;
  ctx->state[3] = 0x10325476;
  ctx->state[4] = 0xc3d2e1f0;
  ctx->bitcount = 0;
  ctx->buflen = 0;
}

void sha1_update(sha1_ctx* ctx, const uint8_t* data, size_t len) {
  // Input goes through the context's buffer in runs (a whole block at a time where it
  // can), and a full buffer is compressed at once.
  while (len > 0) {
    size_t take = 64 - ctx->buflen;
    if (take > len) take = len;
    memcpy(ctx->buffer + ctx->buflen, data, take);
    ctx->buflen += static_cast<uint32_t>(take);
    data += take;
    len -= take;
    if (ctx->buflen == 64) {
      sha1_transform(ctx, ctx->buffer);
      ctx->bitcount += 512;
      ctx->buflen = 0;
    }
  }
}

void sha1_final(sha1_ctx* ctx, uint8_t out[20]) {
  uint64_t total = ctx->bitcount + 8u * static_cast<uint64_t>(ctx->buflen);
  ctx->buffer[ctx->buflen++] = 0x80;
  if (ctx->buflen > 56) {
    for (uint32_t i = ctx->buflen; i < 64; ++i) ctx->buffer[i] = 0;
    sha1_transform(ctx, ctx->buffer);
    for (uint32_t i = 0; i < 56; ++i) ctx->buffer[i] = 0;
  } else {
    for (uint32_t i = ctx->buflen; i < 56; ++i) ctx->buffer[i] = 0;
  }
  ctx->buflen = 56;
  for (int i = 0; i < 8; ++i) ctx->buffer[56 + i] = static_cast<uint8_t>(total >> (56 - 8 * i));
  sha1_transform(ctx, ctx->buffer);
  for (int i = 0; i < 5; ++i) {
    out[4 * i] = static_cast<uint8_t>(ctx->state[i] >> 24);
    out[4 * i + 1] = static_cast<uint8_t>(ctx->state[i] >> 16);
    out[4 * i + 2] = static_cast<uint8_t>(ctx->state[i] >> 8);
    out[4 * i + 3] = static_cast<uint8_t>(ctx->state[i]);
  }
}

void sha1(const uint8_t* data, size_t len, uint8_t out[20]) {
  sha1_ctx ctx;
  sha1_init(&ctx);
  sha1_update(&ctx, data, len);
  sha1_final(&ctx, out);
}
