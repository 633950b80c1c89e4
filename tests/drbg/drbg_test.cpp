// CTR_DRBG behaviour: argument and size limits, the reseed interval, failures that leave
// the context and the output as they were, determinism and the counter-block layout.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "aes_paths.h"
#include "drbg.h"
#include "test_support.h"

namespace {

using CtrDrbg = AesEachPath;

const vt::bytes kEntropy = vt::pseudo_random(48, 100);

drbg_ctx fresh(uint64_t seed = 100) {
  vt::bytes e = vt::pseudo_random(32, seed);
  drbg_ctx ctx{};
  EXPECT_EQ(0, drbg_instantiate(&ctx, e.data(), e.size(), nullptr, 0, nullptr, 0));
  return ctx;
}

bool same(const drbg_ctx& a, const drbg_ctx& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST_P(CtrDrbg, InstantiateLimits) {
  vt::bytes big = vt::pseudo_random(600, 1);
  drbg_ctx ctx{};
  const drbg_ctx zero{};
  EXPECT_EQ(-1, drbg_instantiate(&ctx, big.data(), 31, nullptr, 0, nullptr, 0));
  EXPECT_EQ(-1, drbg_instantiate(&ctx, nullptr, 32, nullptr, 0, nullptr, 0));
  EXPECT_EQ(-1, drbg_instantiate(nullptr, big.data(), 32, nullptr, 0, nullptr, 0));
  EXPECT_TRUE(same(ctx, zero));
  EXPECT_EQ(0, drbg_instantiate(&ctx, big.data(), 32, nullptr, 0, nullptr, 0));
  EXPECT_EQ(ctx.instantiated, 1);
  EXPECT_EQ(ctx.reseed_counter, 1u);

  // 32 + 16 + 464 = 512 fits; one more byte does not, and the old state survives.
  drbg_ctx full{};
  EXPECT_EQ(0, drbg_instantiate(&full, big.data(), 32, big.data() + 32, 16, big.data() + 48, 464));
  drbg_ctx before = full;
  EXPECT_EQ(-1, drbg_instantiate(&full, big.data(), 32, big.data() + 32, 16, big.data() + 48, 465));
  EXPECT_EQ(-1, drbg_instantiate(&full, big.data(), 513, nullptr, 0, nullptr, 0));
  EXPECT_TRUE(same(full, before));

  // Lengths whose sum wraps around size_t are refused, not copied.
  EXPECT_EQ(-1, drbg_instantiate(&full, big.data(), 32, big.data(), SIZE_MAX - 31, nullptr, 0));
  EXPECT_EQ(-1, drbg_instantiate(&full, big.data(), 32, big.data(), 100, big.data(), SIZE_MAX - 99));
  EXPECT_TRUE(same(full, before));

  // Instantiating again replaces the state.
  EXPECT_EQ(0, drbg_instantiate(&full, big.data() + 1, 32, nullptr, 0, nullptr, 0));
  EXPECT_FALSE(same(full, before));
}

TEST_P(CtrDrbg, ReseedLimits) {
  drbg_ctx ctx = fresh();
  vt::bytes add = vt::pseudo_random(600, 2);
  drbg_ctx before = ctx;
  EXPECT_EQ(-1, drbg_reseed(&ctx, kEntropy.data(), 31, nullptr, 0));
  EXPECT_EQ(-1, drbg_reseed(&ctx, nullptr, 32, nullptr, 0));
  EXPECT_EQ(-1, drbg_reseed(nullptr, kEntropy.data(), 32, nullptr, 0));
  EXPECT_EQ(-1, drbg_reseed(&ctx, kEntropy.data(), 32, add.data(), 481));
  EXPECT_EQ(-1, drbg_reseed(&ctx, kEntropy.data(), 32, add.data(), SIZE_MAX - 31));
  EXPECT_TRUE(same(ctx, before));
  EXPECT_EQ(0, drbg_reseed(&ctx, kEntropy.data(), 32, add.data(), 480));
  EXPECT_FALSE(same(ctx, before));
  EXPECT_EQ(ctx.reseed_counter, 1u);
}

TEST_P(CtrDrbg, GenerateLimitsLeaveStateAndOutputUntouched) {
  drbg_ctx ctx = fresh();
  std::vector<uint8_t> out(65537, 0xab);
  const std::vector<uint8_t> sentinel = out;
  vt::bytes add = vt::pseudo_random(513, 3);
  const drbg_ctx before = ctx;

  EXPECT_EQ(-1, drbg_generate(&ctx, out.data(), 0, nullptr, 0));
  EXPECT_EQ(-1, drbg_generate(&ctx, out.data(), 65537, nullptr, 0));
  EXPECT_EQ(-1, drbg_generate(&ctx, nullptr, 16, nullptr, 0));
  EXPECT_EQ(-1, drbg_generate(nullptr, out.data(), 16, nullptr, 0));
  EXPECT_EQ(-1, drbg_generate(&ctx, out.data(), 16, add.data(), 513));
  EXPECT_TRUE(same(ctx, before));
  EXPECT_EQ(out, sentinel);

  // An absent additional input is ignored whatever its stated length.
  drbg_ctx a = ctx, b = ctx;
  uint8_t x[16], y[16];
  EXPECT_EQ(0, drbg_generate(&a, x, 16, nullptr, 513));
  EXPECT_EQ(0, drbg_generate(&b, y, 16, add.data(), 0));
  EXPECT_EQ(0, std::memcmp(x, y, 16));
  EXPECT_TRUE(same(a, b));

  EXPECT_EQ(0, drbg_generate(&ctx, out.data(), 65536, add.data(), 512));
  EXPECT_EQ(out[65536], 0xab);
  EXPECT_EQ(ctx.reseed_counter, 2u);
}

TEST_P(CtrDrbg, ReseedIntervalBoundary) {
  drbg_ctx ctx = fresh();
  uint8_t out[32];
  ctx.reseed_counter = uint64_t{1} << 48;
  EXPECT_EQ(0, drbg_generate(&ctx, out, sizeof out, nullptr, 0));
  EXPECT_EQ(ctx.reseed_counter, (uint64_t{1} << 48) + 1);

  std::memset(out, 0x5c, sizeof out);
  const drbg_ctx due = ctx;
  EXPECT_EQ(-2, drbg_generate(&ctx, out, sizeof out, nullptr, 0));
  vt::bytes add = vt::pseudo_random(20, 4);
  EXPECT_EQ(-2, drbg_generate(&ctx, out, sizeof out, add.data(), add.size()));
  EXPECT_TRUE(same(ctx, due));
  for (uint8_t b : out) EXPECT_EQ(b, 0x5c);

  ASSERT_EQ(0, drbg_reseed(&ctx, kEntropy.data(), 32, nullptr, 0));
  EXPECT_EQ(ctx.reseed_counter, 1u);
  EXPECT_EQ(0, drbg_generate(&ctx, out, sizeof out, nullptr, 0));
}

TEST_P(CtrDrbg, UninstantiatedContextsAreRefused) {
  drbg_ctx ctx = fresh();
  drbg_uninstantiate(&ctx);
  const drbg_ctx zero{};
  EXPECT_TRUE(same(ctx, zero));
  uint8_t out[16] = {0};
  EXPECT_EQ(-1, drbg_generate(&ctx, out, sizeof out, nullptr, 0));
  EXPECT_EQ(-1, drbg_reseed(&ctx, kEntropy.data(), 32, nullptr, 0));
  EXPECT_TRUE(same(ctx, zero));
  drbg_uninstantiate(nullptr);  // does nothing
}

TEST_P(CtrDrbg, DeterminismAndAdditionalInput) {
  vt::bytes nonce = vt::pseudo_random(16, 5), pers = vt::pseudo_random(40, 6);
  drbg_ctx a{}, b{};
  ASSERT_EQ(0, drbg_instantiate(&a, kEntropy.data(), 32, nonce.data(), 16, pers.data(), 40));
  ASSERT_EQ(0, drbg_instantiate(&b, kEntropy.data(), 32, nonce.data(), 16, pers.data(), 40));
  uint8_t x[100], y[100];
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(0, drbg_generate(&a, x, sizeof x, nullptr, 0));
    ASSERT_EQ(0, drbg_generate(&b, y, sizeof y, nullptr, 0));
    EXPECT_EQ(0, std::memcmp(x, y, sizeof x));
  }
  vt::bytes add = vt::pseudo_random(10, 7);
  ASSERT_EQ(0, drbg_generate(&a, x, sizeof x, nullptr, 0));
  ASSERT_EQ(0, drbg_generate(&b, y, sizeof y, add.data(), add.size()));
  EXPECT_NE(0, std::memcmp(x, y, sizeof x));

  // Nonce and personalization both enter the seed.
  drbg_ctx c{}, d{}, f{};
  ASSERT_EQ(0, drbg_instantiate(&c, kEntropy.data(), 32, nullptr, 0, nullptr, 0));
  ASSERT_EQ(0, drbg_instantiate(&d, kEntropy.data(), 32, nonce.data(), 16, nullptr, 0));
  ASSERT_EQ(0, drbg_instantiate(&f, kEntropy.data(), 32, nullptr, 0, pers.data(), 40));
  EXPECT_FALSE(same(c, d));
  EXPECT_FALSE(same(c, f));
}

TEST_P(CtrDrbg, RequestsConsumeWholeCounterBlocks) {
  // 20 bytes use two counter blocks: the output is a prefix of a 32-byte request, and the
  // state afterwards equals that of the 32-byte request, not that of a 16-byte one.
  drbg_ctx base = fresh(9);
  drbg_ctx c16 = base, c20 = base, c32 = base;
  uint8_t o16[16], o20[20], o32[32];
  ASSERT_EQ(0, drbg_generate(&c16, o16, 16, nullptr, 0));
  ASSERT_EQ(0, drbg_generate(&c20, o20, 20, nullptr, 0));
  ASSERT_EQ(0, drbg_generate(&c32, o32, 32, nullptr, 0));
  EXPECT_EQ(0, std::memcmp(o20, o32, 20));
  EXPECT_EQ(0, std::memcmp(o16, o32, 16));
  EXPECT_TRUE(same(c20, c32));
  EXPECT_FALSE(same(c16, c20));
}

VT_AES_EACH_PATH(CtrDrbg);

}  // namespace
