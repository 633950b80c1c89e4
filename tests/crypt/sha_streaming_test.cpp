// Streaming: a message cut at arbitrary points and fed through several update calls
// gives the one-shot digest and the very context of a single update, for every hash of
// the family; SHA-256 on the SHA-extension code and on the portable code alike.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "crypt.h"
#include "sha_paths.h"
#include "test_support.h"

namespace {

// Feeds msg in pieces whose sizes are drawn from gen (0 included).
template <typename Ctx, typename Update>
void feed_in_pieces(Ctx* ctx, Update update, const vt::bytes& msg, std::mt19937& gen,
                    size_t max_piece = 300) {
  size_t pos = 0;
  while (pos < msg.size()) {
    size_t piece = std::uniform_int_distribution<size_t>(0, max_piece)(gen);
    if (piece > msg.size() - pos) piece = msg.size() - pos;
    update(ctx, piece ? msg.data() + pos : nullptr, piece);
    pos += piece;
  }
}

// Every field, the bytes in the buffer behind buflen included, matches: the context
// depends only on the bytes absorbed, not on how they were cut or which code ran.
template <typename Ctx>
::testing::AssertionResult same_context(const Ctx& a, const Ctx& b) {
  const char* differs = std::memcmp(a.state, b.state, sizeof a.state) != 0           ? "state"
                        : std::memcmp(&a.bitcount, &b.bitcount, sizeof a.bitcount) != 0 ? "bitcount"
                        : std::memcmp(a.buffer, b.buffer, sizeof a.buffer) != 0       ? "buffer"
                        : a.buflen != b.buflen                                        ? "buflen"
                                                                                      : nullptr;
  if (differs) return ::testing::AssertionFailure() << differs << " differs";
  return ::testing::AssertionSuccess();
}

// The context after a single update of the whole message. Contexts compared are zeroed
// first: the buffer holds whatever was there until a whole block has passed through.
template <typename Ctx, typename Init, typename Update>
Ctx whole(Init init, Update update, const vt::bytes& msg) {
  Ctx ctx{};
  init(&ctx);
  update(&ctx, msg.data(), msg.size());
  return ctx;
}

using ShaStreamingEachPath = ShaEachPath;
VT_SHA_EACH_PATH(ShaStreamingEachPath);

TEST_P(ShaStreamingEachPath, ArbitrarySplitsEqualOneShot) {
  std::mt19937 gen(20261208);
  for (int round = 0; round < 200; ++round) {
    size_t len = std::uniform_int_distribution<size_t>(0, 2000)(gen);
    vt::bytes msg = vt::pseudo_random(len, static_cast<uint64_t>(round));

    uint8_t one[64], streamed[64];
    sha256_ctx c256{};
    sha256_init(&c256);
    feed_in_pieces(&c256, sha256_update, msg, gen);
    ASSERT_TRUE(same_context(c256, whole<sha256_ctx>(sha256_init, sha256_update, msg))) << len;
    sha256_final(&c256, streamed);
    sha256(msg.data(), msg.size(), one);
    ASSERT_EQ(vt::to_hex(streamed, 32), vt::to_hex(one, 32)) << "sha256 len " << len;

    sha512_ctx c512{};
    sha512_init(&c512);
    feed_in_pieces(&c512, sha512_update, msg, gen);
    ASSERT_TRUE(same_context(c512, whole<sha512_ctx>(sha512_init, sha512_update, msg))) << len;
    sha512_final(&c512, streamed);
    sha512(msg.data(), msg.size(), one);
    ASSERT_EQ(vt::to_hex(streamed, 64), vt::to_hex(one, 64)) << "sha512 len " << len;

    sha384_init(&c512);
    feed_in_pieces(&c512, sha512_update, msg, gen);
    sha512_final(&c512, streamed);
    sha384(msg.data(), msg.size(), one);
    ASSERT_EQ(vt::to_hex(streamed, 48), vt::to_hex(one, 48)) << "sha384 len " << len;

    sha1_ctx c1{};
    sha1_init(&c1);
    feed_in_pieces(&c1, sha1_update, msg, gen);
    ASSERT_TRUE(same_context(c1, whole<sha1_ctx>(sha1_init, sha1_update, msg))) << len;
    sha1_final(&c1, streamed);
    sha1(msg.data(), msg.size(), one);
    ASSERT_EQ(vt::to_hex(streamed, 20), vt::to_hex(one, 20)) << "sha1 len " << len;
  }
}

TEST_P(ShaStreamingEachPath, ByteAtATimeAcrossBlockEdges) {
  vt::bytes msg = vt::pseudo_random(300, 99);
  uint8_t one[32], streamed[32];
  sha256_ctx ctx;
  sha256_init(&ctx);
  for (uint8_t b : msg) sha256_update(&ctx, &b, 1);
  sha256_final(&ctx, streamed);
  sha256(msg.data(), msg.size(), one);
  EXPECT_EQ(vt::to_hex(streamed, 32), vt::to_hex(one, 32));
}

TEST(ShaStreaming, ContextMayBeCopiedMidway) {
  // The record holds no pointers: a byte copy taken midway continues independently.
  vt::bytes msg = vt::pseudo_random(500, 5);
  sha512_ctx a;
  sha512_init(&a);
  sha512_update(&a, msg.data(), 200);
  sha512_ctx b = a;
  sha512_update(&a, msg.data() + 200, 300);
  sha512_update(&b, msg.data() + 200, 300);
  uint8_t da[64], db[64], one[64];
  sha512_final(&a, da);
  sha512_final(&b, db);
  sha512(msg.data(), msg.size(), one);
  EXPECT_EQ(vt::to_hex(da, 64), vt::to_hex(one, 64));
  EXPECT_EQ(vt::to_hex(db, 64), vt::to_hex(one, 64));
}

// The two SHA-256 codes on the same messages, up to 20 KB, cut differently (long runs of
// whole blocks among the pieces): identical contexts after every message and identical
// digests.
TEST(ShaStreaming, Sha256CodesAgree) {
  sha256_ni_off_FOR_TEST(0);
  if (!sha256_ni_available()) GTEST_SKIP() << "no SHA-extension code here to compare";
  struct Restore {
    ~Restore() { sha256_ni_off_FOR_TEST(0); }
  } restore;
  std::mt19937 gen(20261209);
  for (int round = 0; round < 300; ++round) {
    size_t len = std::uniform_int_distribution<size_t>(0, round < 200 ? 1500 : 20000)(gen);
    vt::bytes msg = vt::pseudo_random(len, 5000u + static_cast<uint64_t>(round));
    sha256_ctx ctx[2]{};
    uint8_t out[2][32];
    for (int off = 0; off < 2; ++off) {
      sha256_ni_off_FOR_TEST(off);
      sha256_init(&ctx[off]);
      feed_in_pieces(&ctx[off], sha256_update, msg, gen, 2000);
    }
    ASSERT_TRUE(same_context(ctx[0], ctx[1])) << "len " << len;
    for (int off = 0; off < 2; ++off) {
      sha256_ni_off_FOR_TEST(off);
      sha256_final(&ctx[off], out[off]);
    }
    ASSERT_EQ(vt::to_hex(out[0], 32), vt::to_hex(out[1], 32)) << "len " << len;
  }
}

}  // namespace
