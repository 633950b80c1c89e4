// SHA-1 (FIPS 180-4), streaming and one-shot. Kept for HMAC-SHA-1.
#include "crypt.h"
#include "md_internal.h"

namespace {

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

// Not inlined: its frame, spills included, lies below its caller's, where
// crypt_md::wipe_stack_below reaches.
[[gnu::noinline]] void sha1_transform(sha1_ctx* ctx, const uint8_t block[64]) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i)
    w[i] = crypt_md::load_be32(block + 4 * i);
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

// Compresses n consecutive blocks at p; the stack below is wiped after them (the
// schedule begins with the block itself).
void compress(sha1_ctx* ctx, const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) sha1_transform(ctx, p + 64 * i);
  crypt_md::wipe_stack_below();
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
  crypt_md::absorb<64>(ctx, data, len, [](sha1_ctx* c, const uint8_t* p, size_t n) {
    compress(c, p, n);
    c->bitcount += 512u * static_cast<uint64_t>(n);
  });
}

void sha1_final(sha1_ctx* ctx, uint8_t out[20]) {
  const uint64_t total = ctx->bitcount + 8u * static_cast<uint64_t>(ctx->buflen);
  crypt_md::pad<64, 8>(ctx, [](sha1_ctx* c) { compress(c, c->buffer, 1); });
  crypt_md::store_be64(ctx->buffer + 56, total);
  compress(ctx, ctx->buffer, 1);
  for (int i = 0; i < 5; ++i) crypt_md::store_be32(out + 4 * i, ctx->state[i]);
}

void sha1(const uint8_t* data, size_t len, uint8_t out[20]) {
  sha1_ctx ctx;
  sha1_init(&ctx);
  sha1_update(&ctx, data, len);
  sha1_final(&ctx, out);
  secure_zero(&ctx, sizeof ctx);  // its buffer holds the message's last block
}
