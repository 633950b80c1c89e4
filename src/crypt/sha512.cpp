// SHA-512 and SHA-384 (FIPS 180-4): one context record and one compression function,
// with its AVX2 form (sha512_avx2.cpp) chosen at run time where the processor has it.
#include "crypt.h"
#include "md_internal.h"
#include "sha_internal.h"

using namespace crypt_internal;

const uint64_t crypt_internal::sha512_k[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc, 0x3956c25bf348b538,
    0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118, 0xd807aa98a3030242, 0x12835b0145706fbe,
    0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2, 0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235,
    0xc19bf174cf692694, 0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5, 0x983e5152ee66dfab,
    0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4, 0xc6e00bf33da88fc2, 0xd5a79147930aa725,
    0x06ca6351e003826f, 0x142929670a0e6e70, 0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed,
    0x53380d139d95b3df, 0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30, 0xd192e819d6ef5218,
    0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8, 0x19a4c116b8d2d0c8, 0x1e376c085141ab53,
    0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8, 0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373,
    0x682e6ff3d6b2b8a3, 0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b, 0xca273eceea26619c,
    0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178, 0x06f067aa72176fba, 0x0a637dc5a2c898a6,
    0x113f9804bef90dae, 0x1b710b35131c471b, 0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc,
    0x431d67c49c100d4c, 0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817};

namespace {

inline uint64_t rotr(uint64_t x, int n) { return (x >> n) | (x << (64 - n)); }

// One round with the working variables named in place, Maj through the a ^ b of the
// previous round, the Sigmas as nested rotations, message words from a ring of 16 (see
// the SHA-256 transform).
#define SHA512_ROUND(a, b, c, d, e, f, g, h, ab, bc, i)                                   \
  do {                                                                                  \
    h += rotr(rotr(rotr(e, 23) ^ e, 4) ^ e, 14) + (g ^ (e & (f ^ g))) + sha512_k[i] +       \
         w[(i) & 15];                                                                   \
    d += h;                                                                             \
    ab = a ^ b;                                                                         \
    h += rotr(rotr(rotr(a, 5) ^ a, 6) ^ a, 28) + (b ^ (ab & bc));                       \
  } while (0)

#define SHA512_SCHEDULE(i)                                                              \
  w[(i) & 15] += (rotr(rotr(w[((i) - 2) & 15], 42) ^ w[((i) - 2) & 15], 19) ^           \
                  (w[((i) - 2) & 15] >> 6)) +                                           \
                 w[((i) - 7) & 15] +                                                    \
                 (rotr(rotr(w[((i) - 15) & 15], 7) ^ w[((i) - 15) & 15], 1) ^           \
                  (w[((i) - 15) & 15] >> 7))

// Not inlined: its frame, spills included, lies below its caller's, where
// crypt_md::wipe_stack_below reaches.
[[gnu::noinline]] void sha512_transform(sha512_ctx* ctx, const uint8_t block[128]) {
  uint64_t w[16];
  for (int i = 0; i < 16; ++i) w[i] = crypt_md::load_be64(block + 8 * i);
  uint64_t a = ctx->state[0], b = ctx->state[1], c = ctx->state[2], d = ctx->state[3];
  uint64_t e = ctx->state[4], f = ctx->state[5], g = ctx->state[6], h = ctx->state[7];
  uint64_t x = b ^ c, y = 0;
  // Fully unrolled, so that every ring index is a constant.
#pragma GCC unroll 5
  for (int i = 0; i < 80; i += 16) {
    if (i > 0) {
#pragma GCC unroll 16
      for (int j = 0; j < 16; ++j) SHA512_SCHEDULE(i + j);
    }
    SHA512_ROUND(a, b, c, d, e, f, g, h, y, x, i);
    SHA512_ROUND(h, a, b, c, d, e, f, g, x, y, i + 1);
    SHA512_ROUND(g, h, a, b, c, d, e, f, y, x, i + 2);
    SHA512_ROUND(f, g, h, a, b, c, d, e, x, y, i + 3);
    SHA512_ROUND(e, f, g, h, a, b, c, d, y, x, i + 4);
    SHA512_ROUND(d, e, f, g, h, a, b, c, x, y, i + 5);
    SHA512_ROUND(c, d, e, f, g, h, a, b, y, x, i + 6);
    SHA512_ROUND(b, c, d, e, f, g, h, a, x, y, i + 7);
    SHA512_ROUND(a, b, c, d, e, f, g, h, y, x, i + 8);
    SHA512_ROUND(h, a, b, c, d, e, f, g, x, y, i + 9);
    SHA512_ROUND(g, h, a, b, c, d, e, f, y, x, i + 10);
    SHA512_ROUND(f, g, h, a, b, c, d, e, x, y, i + 11);
    SHA512_ROUND(e, f, g, h, a, b, c, d, y, x, i + 12);
    SHA512_ROUND(d, e, f, g, h, a, b, c, x, y, i + 13);
    SHA512_ROUND(c, d, e, f, g, h, a, b, y, x, i + 14);
    SHA512_ROUND(b, c, d, e, f, g, h, a, x, y, i + 15);
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

#undef SHA512_SCHEDULE
#undef SHA512_ROUND

// Compresses n consecutive blocks at p, on AVX2 where the processor has it, and counts them.
void compress(sha512_ctx* ctx, const uint8_t* p, size_t n) {
#ifdef VANTIRO_SHA512_AVX2
  // The AVX2 code schedules two blocks at once: pairs go there, and a lone block (short
  // messages, the final padded block) to the one-block code, which is twice as fast for it.
  if (sha512_avx2_available() && n >= 2) {
    const size_t pairs = n & ~static_cast<size_t>(1);
    sha512_avx2_blocks(ctx->state, p, pairs);
    crypt_md::wipe_stack_below_if_instrumented();
    p += 128 * pairs;
    n -= pairs;
  }
#endif
  if (n == 0) return;
  for (size_t i = 0; i < n; ++i) sha512_transform(ctx, p + 128 * i);
  crypt_md::wipe_stack_below();
}

void start(sha512_ctx* ctx, const uint64_t iv[8]) {
  for (int i = 0; i < 8; ++i) ctx->state[i] = iv[i];
  ctx->bitcount[0] = 0;
  ctx->bitcount[1] = 0;
  ctx->buflen = 0;
}

}  // namespace

void sha512_init(sha512_ctx* ctx) {
  static const uint64_t iv[8] = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b,
                                 0xa54ff53a5f1d36f1, 0x510e527fade682d1, 0x9b05688c2b3e6c1f,
                                 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};
  start(ctx, iv);
}

void sha384_init(sha512_ctx* ctx) {
  static const uint64_t iv[8] = {0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17,
                                 0x152fecd8f70e5939, 0x67332667ffc00b31, 0x8eb44a8768581511,
                                 0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4};
  start(ctx, iv);
}

void sha512_update(sha512_ctx* ctx, const uint8_t* data, size_t len) {
  crypt_md::absorb<128>(ctx, data, len, [](sha512_ctx* c, const uint8_t* p, size_t n) {
    compress(c, p, n);
    // 1024 n bits, added to the pair of words as one 128-bit number.
    const uint64_t blocks = static_cast<uint64_t>(n);
    const uint64_t low = c->bitcount[0] + (blocks << 10);
    c->bitcount[1] += (blocks >> 54) + (low < c->bitcount[0]);
    c->bitcount[0] = low;
  });
}

void sha512_final(sha512_ctx* ctx, uint8_t out[64]) {
  const uint64_t low = ctx->bitcount[0] + 8u * static_cast<uint64_t>(ctx->buflen);
  const uint64_t high = ctx->bitcount[1] + (low < ctx->bitcount[0]);
  crypt_md::pad<128, 16>(ctx, [](sha512_ctx* c) { compress(c, c->buffer, 1); });
  crypt_md::store_be64(ctx->buffer + 112, high);
  crypt_md::store_be64(ctx->buffer + 120, low);
  compress(ctx, ctx->buffer, 1);
  for (int i = 0; i < 8; ++i) crypt_md::store_be64(out + 8 * i, ctx->state[i]);
}

void sha512(const uint8_t* data, size_t len, uint8_t out[64]) {
  sha512_ctx ctx;
  sha512_init(&ctx);
  sha512_update(&ctx, data, len);
  sha512_final(&ctx, out);
  secure_zero(&ctx, sizeof ctx);  // its buffer holds the message's last block
}

void sha384(const uint8_t* data, size_t len, uint8_t out[48]) {
  sha512_ctx ctx;
  uint8_t full[64];
  sha384_init(&ctx);
  sha512_update(&ctx, data, len);
  sha512_final(&ctx, full);
  for (int i = 0; i < 48; ++i) out[i] = full[i];
  secure_zero(&ctx, sizeof ctx);
  secure_zero(full, sizeof full);
}
