// Argument refusals (nothing written) and the random-callback contract.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "shamir_gf256.h"
#include "test_support.h"

namespace {

std::vector<size_t> g_calls;  // lengths requested by each rng call, in order
int counting_rng(uint8_t* buf, size_t len) {
  g_calls.push_back(len);
  std::memset(buf, 0x5A, len);
  return 0;
}

// A source that always fails: its result must be ignored by the split.
int failing_rng(uint8_t* buf, size_t len) {
  std::memset(buf, 0, len);
  return -1;
}

TEST(ShamirArguments, SplitRefusalsWriteNothing) {
  const uint8_t secret[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  struct Case {
    int n, t;
    bool null_rng, null_secret;
    size_t len;
  };
  const Case refused[] = {
      {5, 1, false, false, 8},   {5, 0, false, false, 8},  {5, -3, false, false, 8},
      {2, 3, false, false, 8},   {256, 2, false, false, 8}, {5, 3, true, false, 8},
      {5, 3, true, false, 0},    {5, 3, false, true, 8},   {5, 3, false, true, 0},
      {-1, -2, false, false, 8},
  };
  for (const Case& c : refused) {
    std::vector<uint8_t> xs(300, 0xAA), shares(300 * 8, 0xAA);
    g_calls.clear();
    EXPECT_EQ(-1, shamir_split(c.null_secret ? nullptr : secret, c.len, c.n, c.t, xs.data(),
                               shares.data(), c.null_rng ? nullptr : counting_rng))
        << "n=" << c.n << " t=" << c.t;
    EXPECT_EQ(std::vector<uint8_t>(300, 0xAA), xs);
    EXPECT_EQ(std::vector<uint8_t>(300 * 8, 0xAA), shares);
    EXPECT_TRUE(g_calls.empty());
  }
}

TEST(ShamirArguments, SplitBoundsAccepted) {
  const vt::bytes secret = vt::pseudo_random(4, 1);
  std::vector<uint8_t> xs(255), shares(255 * 4);
  EXPECT_EQ(0, shamir_split(secret.data(), 4, 2, 2, xs.data(), shares.data(), counting_rng));
  EXPECT_EQ(0, shamir_split(secret.data(), 4, 255, 2, xs.data(), shares.data(), counting_rng));
  for (size_t j = 0; j < 255; ++j) EXPECT_EQ(j + 1, xs[j]);
  EXPECT_EQ(0, shamir_split(secret.data(), 4, 255, 255, xs.data(), shares.data(), counting_rng));
  // Threshold 255 over 255 shares still rebuilds.
  vt::bytes out(4);
  ASSERT_EQ(0, shamir_combine(255, 4, xs.data(), shares.data(), out.data()));
  EXPECT_EQ(secret, out);
}

TEST(ShamirArguments, ZeroLengthFillsXsWithoutDrawing) {
  const uint8_t secret[1] = {9};
  std::vector<uint8_t> xs(7, 0xAA), shares(8, 0xAA);
  g_calls.clear();
  EXPECT_EQ(0, shamir_split(secret, 0, 7, 4, xs.data(), shares.data(), counting_rng));
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7}), xs);
  EXPECT_EQ(std::vector<uint8_t>(8, 0xAA), shares);
  EXPECT_TRUE(g_calls.empty());
}

TEST(ShamirArguments, RngCalledOncePerByteForThresholdMinusOne) {
  const vt::bytes secret = vt::pseudo_random(64, 2);
  for (int t : {2, 3, 16}) {
    std::vector<uint8_t> xs(16), shares(16 * 64);
    g_calls.clear();
    ASSERT_EQ(0, shamir_split(secret.data(), 64, 16, t, xs.data(), shares.data(), counting_rng));
    EXPECT_EQ(std::vector<size_t>(64, static_cast<size_t>(t - 1)), g_calls) << "t=" << t;
  }
}

TEST(ShamirArguments, RngResultIsIgnored) {
  // A failing source leaves zero coefficients; the split still completes with result 0,
  // and then every row equals the secret. Recording the failure is the caller's job.
  const vt::bytes secret = vt::pseudo_random(64, 3);
  std::vector<uint8_t> xs(3), shares(3 * 64);
  ASSERT_EQ(0, shamir_split(secret.data(), 64, 3, 2, xs.data(), shares.data(), failing_rng));
  EXPECT_EQ(secret, vt::bytes(shares.begin(), shares.begin() + 64));
  EXPECT_EQ(secret, vt::bytes(shares.end() - 64, shares.end()));
}

TEST(ShamirArguments, CombineRefusesFewerThanTwo) {
  const uint8_t xs[2] = {1, 2};
  const uint8_t rows[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  for (int k : {1, 0, -5}) {
    uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(-1, shamir_combine(k, 4, xs, rows, out)) << k;
    for (uint8_t b : out) EXPECT_EQ(0xAA, b);
  }
}

}  // namespace
