// Padding boundaries and the context fields around them: where one final compression
// suffices and where two are needed, the length field, and the 128-bit SHA-512 counter.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "crypt.h"
#include "sha_paths.h"
#include "test_support.h"

namespace {

uint64_t be64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = v << 8 | p[i];
  return v;
}

// After final, the buffer holds the last padded block: for `len` bytes of message in a
// 64-byte-block hash the block ends in the bit length; when the 0x80 does not leave room
// for it, the last block is all zero but for the length.
template <typename Ctx, typename Init, typename Update, typename Final>
void check_small_block_padding(Init init, Update update, Final fin) {
  for (size_t len : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 119u, 120u}) {
    std::vector<uint8_t> msg(len, 0x61);
    Ctx ctx;
    init(&ctx);
    update(&ctx, msg.data(), msg.size());
    EXPECT_EQ(ctx.buflen, len % 64) << len;
    EXPECT_EQ(ctx.bitcount, 512u * (len / 64)) << len;
    uint64_t before = ctx.bitcount;
    uint8_t out[32];
    fin(&ctx, out);
    EXPECT_EQ(ctx.buflen, 56u) << len;
    EXPECT_EQ(ctx.bitcount, before) << "final leaves bitcount alone, len " << len;
    EXPECT_EQ(be64(ctx.buffer + 56), 8u * len) << len;
    size_t tail = len % 64;
    if (tail < 56) {
      // One final compression: message tail, 0x80, zeros, length.
      EXPECT_EQ(ctx.buffer[tail], 0x80) << len;
      for (size_t i = tail + 1; i < 56; ++i) EXPECT_EQ(ctx.buffer[i], 0) << len << " at " << i;
    } else {
      // Two: the last block is 56 zero bytes and the length.
      for (size_t i = 0; i < 56; ++i) EXPECT_EQ(ctx.buffer[i], 0) << len << " at " << i;
    }
  }
}

using ShaPaddingEachPath = ShaEachPath;
VT_SHA_EACH_PATH(ShaPaddingEachPath);

TEST_P(ShaPaddingEachPath, Sha256Boundaries) {
  check_small_block_padding<sha256_ctx>(sha256_init, sha256_update, sha256_final);
}

TEST(ShaPadding, Sha1Boundaries) {
  check_small_block_padding<sha1_ctx>(sha1_init, sha1_update, sha1_final);
}

TEST_P(ShaPaddingEachPath, Sha512Boundaries) {
  for (size_t len : {0u, 1u, 111u, 112u, 127u, 128u, 129u, 239u, 240u}) {
    std::vector<uint8_t> msg(len, 0x61);
    sha512_ctx ctx;
    sha512_init(&ctx);
    sha512_update(&ctx, msg.data(), msg.size());
    EXPECT_EQ(ctx.buflen, len % 128) << len;
    EXPECT_EQ(ctx.bitcount[0], 1024u * (len / 128)) << len;
    uint8_t out[64];
    sha512_final(&ctx, out);
    EXPECT_EQ(ctx.buflen, 112u);
    EXPECT_EQ(ctx.bitcount[0], 1024u * (len / 128));
    EXPECT_EQ(be64(ctx.buffer + 112), 0u) << len;
    EXPECT_EQ(be64(ctx.buffer + 120), 8u * len) << len;
    size_t tail = len % 128;
    if (tail < 112) {
      EXPECT_EQ(ctx.buffer[tail], 0x80) << len;
      for (size_t i = tail + 1; i < 112; ++i) EXPECT_EQ(ctx.buffer[i], 0) << len << " at " << i;
    } else {
      for (size_t i = 0; i < 112; ++i) EXPECT_EQ(ctx.buffer[i], 0) << len << " at " << i;
    }
  }
}

TEST_P(ShaPaddingEachPath, Sha512CounterCarriesIntoHighWord) {
  sha512_ctx ctx;
  sha512_init(&ctx);
  ctx.bitcount[0] = ~uint64_t{0} - 2047;  // 2^64 - 2048: the wrap falls inside one update
  ctx.bitcount[1] = 7;
  std::vector<uint8_t> blocks(3 * 128 + 5, 0x33);
  sha512_update(&ctx, blocks.data(), blocks.size());
  EXPECT_EQ(ctx.bitcount[0], 1024u);
  EXPECT_EQ(ctx.bitcount[1], 8u);
  uint8_t out[64];
  sha512_final(&ctx, out);
  // The length field carries the whole 128-bit count: high word, then low word.
  EXPECT_EQ(be64(ctx.buffer + 112), 8u);
  EXPECT_EQ(be64(ctx.buffer + 120), 1024u + 40u);

}

TEST(ShaPadding, EmptyUpdateChangesNothing) {
  sha256_ctx a, b;
  sha256_init(&a);
  sha256_update(&a, reinterpret_cast<const uint8_t*>("abc"), 3);
  b = a;
  sha256_update(&a, nullptr, 0);
  EXPECT_EQ(0, memcmp(&a, &b, sizeof a));

  sha512_ctx c, d;
  sha512_init(&c);
  d = c;
  sha512_update(&c, nullptr, 0);
  EXPECT_EQ(0, memcmp(&c, &d, sizeof c));

  sha1_ctx e, f;
  sha1_init(&e);
  f = e;
  sha1_update(&e, nullptr, 0);
  EXPECT_EQ(0, memcmp(&e, &f, sizeof e));
}

TEST(ShaPadding, InitMakesAFinishedContextUsableAgain) {
  sha256_ctx ctx;
  uint8_t first[32], second[32];
  sha256_init(&ctx);
  sha256_update(&ctx, reinterpret_cast<const uint8_t*>("xyz"), 3);
  sha256_final(&ctx, first);
  sha256_init(&ctx);
  sha256_update(&ctx, reinterpret_cast<const uint8_t*>("abc"), 3);
  sha256_final(&ctx, second);
  EXPECT_EQ(vt::to_hex(second, 32), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
