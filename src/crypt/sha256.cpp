// SHA-256 (FIPS 180-4), streaming and one-shot, with hex rendering and a constant-time
// digest comparison.
#include "crypt.h"
#include "md_internal.h"
#include "sha_internal.h"

namespace crypt_internal {

const uint32_t sha256_k[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

}  // namespace crypt_internal

using namespace crypt_internal;

namespace {

const char hex_lut[] = "0123456789abcdef";

inline uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

// One round with the working variables named in place, so that consecutive rounds rotate
// the names instead of moving eight values around. Maj(a, b, c) = b ^ ((a ^ b) & (b ^ c)),
// and this round's b ^ c is the previous round's a ^ b: ab and bc alternate between two
// variables. Sigma1(e) = e>>>6 ^ e>>>11 ^ e>>>25 is taken as ((e>>>14 ^ e)>>>5 ^ e)>>>6,
// which needs one copy of e instead of three (Sigma0 likewise). The message word comes
// from a ring of 16 that SHA256_SCHEDULE refills.
#define SHA256_ROUND(a, b, c, d, e, f, g, h, ab, bc, i)                                   \
  do {                                                                                  \
    h += rotr(rotr(rotr(e, 14) ^ e, 5) ^ e, 6) + (g ^ (e & (f ^ g))) + sha256_k[i] +    \
         w[(i) & 15];                                                                   \
    d += h;                                                                             \
    ab = a ^ b;                                                                         \
    h += rotr(rotr(rotr(a, 9) ^ a, 11) ^ a, 2) + (b ^ (ab & bc));                       \
  } while (0)

#define SHA256_SCHEDULE(i)                                                              \
  w[(i) & 15] += (rotr(rotr(w[((i) - 2) & 15], 2) ^ w[((i) - 2) & 15], 17) ^            \
                  (w[((i) - 2) & 15] >> 10)) +                                          \
                 w[((i) - 7) & 15] +                                                    \
                 (rotr(rotr(w[((i) - 15) & 15], 11) ^ w[((i) - 15) & 15], 7) ^          \
                  (w[((i) - 15) & 15] >> 3))

// Not inlined: its frame, spills included, lies below its caller's, where
// crypt_md::wipe_stack_below reaches.
[[gnu::noinline]] void sha256_transform(sha256_ctx* ctx, const uint8_t block[64]) {
  uint32_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = crypt_md::load_be32(block + 4 * i);
  uint32_t a = ctx->state[0], b = ctx->state[1], c = ctx->state[2], d = ctx->state[3];
  uint32_t e = ctx->state[4], f = ctx->state[5], g = ctx->state[6], h = ctx->state[7];
  uint32_t x = b ^ c, y = 0;
  // Fully unrolled, so that every ring index is a constant.
#pragma GCC unroll 5
  for (int i = 0; i < 64; i += 16) {
    if (i > 0) {
#pragma GCC unroll 16
      for (int j = 0; j < 16; ++j) SHA256_SCHEDULE(i + j);
    }
    SHA256_ROUND(a, b, c, d, e, f, g, h, y, x, i);
    SHA256_ROUND(h, a, b, c, d, e, f, g, x, y, i + 1);
    SHA256_ROUND(g, h, a, b, c, d, e, f, y, x, i + 2);
    SHA256_ROUND(f, g, h, a, b, c, d, e, x, y, i + 3);
    SHA256_ROUND(e, f, g, h, a, b, c, d, y, x, i + 4);
    SHA256_ROUND(d, e, f, g, h, a, b, c, x, y, i + 5);
    SHA256_ROUND(c, d, e, f, g, h, a, b, y, x, i + 6);
    SHA256_ROUND(b, c, d, e, f, g, h, a, x, y, i + 7);
    SHA256_ROUND(a, b, c, d, e, f, g, h, y, x, i + 8);
    SHA256_ROUND(h, a, b, c, d, e, f, g, x, y, i + 9);
    SHA256_ROUND(g, h, a, b, c, d, e, f, y, x, i + 10);
    SHA256_ROUND(f, g, h, a, b, c, d, e, x, y, i + 11);
    SHA256_ROUND(e, f, g, h, a, b, c, d, y, x, i + 12);
    SHA256_ROUND(d, e, f, g, h, a, b, c, x, y, i + 13);
    SHA256_ROUND(c, d, e, f, g, h, a, b, y, x, i + 14);
    SHA256_ROUND(b, c, d, e, f, g, h, a, x, y, i + 15);
  }
  ctx->state[0] += a;
  ctx->state[1] += b;
  ctx->state[2] += c;
  ctx->state[3] += d;
  ctx->state[4] += e;
  ctx->state[5] += f;
  ctx->state[6] += g;
  ctx->state[7] += h;
}

#undef SHA256_SCHEDULE
#undef SHA256_ROUND

// Compresses n consecutive blocks at p, on the SHA extensions where the processor has them.
void compress(sha256_ctx* ctx, const uint8_t* p, size_t n) {
#ifdef VANTIRO_SHA_NI
  if (sha256_ni_available()) {
    sha256_ni_blocks(ctx->state, p, n);
    crypt_md::wipe_stack_below_if_instrumented();
    return;
  }
#endif
  for (size_t i = 0; i < n; ++i) sha256_transform(ctx, p + 64 * i);
  crypt_md::wipe_stack_below();
}

}  // namespace

void sha256_init(sha256_ctx* ctx) {
  static const uint32_t iv[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  for (int i = 0; i < 8; ++i) ctx->state[i] = iv[i];
  ctx->bitcount = 0;
  ctx->buflen = 0;
}

void sha256_update(sha256_ctx* ctx, const uint8_t* data, size_t len) {
  crypt_md::absorb<64>(ctx, data, len, [](sha256_ctx* c, const uint8_t* p, size_t n) {
    compress(c, p, n);
    c->bitcount += 512u * static_cast<uint64_t>(n);
  });
}

void sha256_final(sha256_ctx* ctx, uint8_t out[32]) {
  const uint64_t total = ctx->bitcount + 8u * static_cast<uint64_t>(ctx->buflen);
  crypt_md::pad<64, 8>(ctx, [](sha256_ctx* c) { compress(c, c->buffer, 1); });
  crypt_md::store_be64(ctx->buffer + 56, total);
  compress(ctx, ctx->buffer, 1);
  for (int i = 0; i < 8; ++i) crypt_md::store_be32(out + 4 * i, ctx->state[i]);
}

void sha256(const uint8_t* data, size_t len, uint8_t out[32]) {
  sha256_ctx ctx;
  sha256_init(&ctx);
  sha256_update(&ctx, data, len);
  sha256_final(&ctx, out);
  secure_zero(&ctx, sizeof ctx);  // its buffer holds the message's last block
}

void sha256_to_hex(const uint8_t digest[32], char out[65]) {
  for (int i = 0; i < 32; ++i) {
    out[2 * i] = hex_lut[digest[i] >> 4];
    out[2 * i + 1] = hex_lut[digest[i] & 15];
  }
  out[64] = 0;
}

int sha256_equal(const uint8_t a[32], const uint8_t b[32]) {
  uint8_t d = 0;
  for (int i = 0; i < 32; ++i) d = static_cast<uint8_t>(d | (a[i] ^ b[i]));
  // 1 when d == 0, computed without a branch on d.
  return static_cast<int>((static_cast<uint32_t>(d) - 1u) >> 31);
}
