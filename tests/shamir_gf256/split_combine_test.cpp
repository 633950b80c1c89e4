// Split then combine: every t-subset rebuilds the secret, too few or malformed point sets
// give a wrong value (with result 0), and the share bytes equal an independent
// polynomial evaluation over GF(2^8).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "shamir_gf256.h"
#include "stack_scan.h"
#include "test_support.h"

namespace {

// Deterministic coefficient stream for reproducible splits.
uint64_t g_stream = 0;
int stream_rng(uint8_t* buf, size_t len) {
  for (size_t i = 0; i < len; ++i) {
    g_stream = g_stream * 6364136223846793005ull + 1442695040888963407ull;
    buf[i] = static_cast<uint8_t>(g_stream >> 56);
  }
  return 0;
}

struct Split {
  std::vector<uint8_t> xs, shares;
};

Split split(const vt::bytes& secret, int n, int t, uint64_t seed) {
  g_stream = seed;
  Split s{std::vector<uint8_t>(static_cast<size_t>(n)),
          std::vector<uint8_t>(static_cast<size_t>(n) * secret.size())};
  EXPECT_EQ(0, shamir_split(secret.data(), secret.size(), n, t, s.xs.data(), s.shares.data(),
                            stream_rng));
  return s;
}

// Combines the shares whose indices are listed, rows arranged to match their x bytes.
vt::bytes combine(const Split& s, size_t len, const std::vector<int>& pick, int* rc = nullptr) {
  std::vector<uint8_t> xs, rows;
  for (int i : pick) {
    xs.push_back(s.xs[static_cast<size_t>(i)]);
    rows.insert(rows.end(), s.shares.begin() + i * static_cast<long>(len),
                s.shares.begin() + (i + 1) * static_cast<long>(len));
  }
  vt::bytes out(len, 0xEE);
  int r = shamir_combine(static_cast<int>(pick.size()), len, xs.data(), rows.data(), out.data());
  if (rc) *rc = r;
  return out;
}

// Every subset of {0..n-1} of size k, in lexicographic order.
std::vector<std::vector<int>> subsets(int n, int k) {
  std::vector<std::vector<int>> all;
  for (unsigned mask = 0; mask < (1u << n); ++mask) {
    if (__builtin_popcount(mask) != k) continue;
    std::vector<int> s;
    for (int i = 0; i < n; ++i)
      if (mask & (1u << i)) s.push_back(i);
    all.push_back(s);
  }
  return all;
}

// Reference field multiply, written independently (bitwise, with branches).
uint8_t ref_mul(uint8_t a, uint8_t b) {
  uint8_t p = 0;
  while (b) {
    if (b & 1) p ^= a;
    a = static_cast<uint8_t>((a & 0x80) ? ((a << 1) ^ 0x1B) : (a << 1));
    b >>= 1;
  }
  return p;
}

TEST(ShamirSplitCombine, EveryThresholdSubsetRebuildsTheSecret) {
  const vt::bytes secret = vt::pseudo_random(64, 7);
  struct Case {
    int n, t;
  };
  for (Case c : {Case{5, 3}, Case{4, 2}, Case{2, 2}, Case{6, 6}}) {
    Split s = split(secret, c.n, c.t, 100u + static_cast<uint64_t>(c.n));
    for (int k = c.t; k <= c.n; ++k) {
      for (const auto& pick : subsets(c.n, k)) {
        int rc = -9;
        EXPECT_EQ(secret, combine(s, 64, pick, &rc)) << c.t << "-of-" << c.n << " k=" << k;
        EXPECT_EQ(0, rc);
        // Order of the supplied shares does not matter.
        std::vector<int> rev(pick.rbegin(), pick.rend());
        EXPECT_EQ(secret, combine(s, 64, rev));
      }
    }
  }
}

// From any t shares, the evaluation at a missing x is that share byte for byte; at a new
// x it is one value whatever t shares it came from, and it rebuilds the secret with t - 1.
TEST(ShamirSplitCombine, EvaluationAtXReissuesShares) {
  const vt::bytes secret = vt::pseudo_random(64, 9);
  Split s = split(secret, 5, 3, 321);
  auto eval = [&](const std::vector<int>& pick, uint8_t x) {
    std::vector<uint8_t> xs, rows;
    for (int i : pick) {
      xs.push_back(s.xs[static_cast<size_t>(i)]);
      rows.insert(rows.end(), s.shares.begin() + i * 64L, s.shares.begin() + (i + 1) * 64L);
    }
    vt::bytes out(64, 0xEE);
    EXPECT_EQ(0, shamir_eval(static_cast<int>(pick.size()), 64, xs.data(), rows.data(), x,
                             out.data()));
    return out;
  };
  for (const auto& pick : subsets(5, 3)) {
    for (int missing = 0; missing < 5; ++missing)
      EXPECT_EQ(vt::bytes(s.shares.begin() + missing * 64L, s.shares.begin() + (missing + 1) * 64L),
                eval(pick, s.xs[static_cast<size_t>(missing)]));
    EXPECT_EQ(eval({0, 1, 2}, 200), eval(pick, 200));
    EXPECT_EQ(secret, eval(pick, 0));
  }
  Split extended = s;
  extended.xs.push_back(200);
  const vt::bytes at200 = eval({1, 3, 4}, 200);
  extended.shares.insert(extended.shares.end(), at200.begin(), at200.end());
  EXPECT_EQ(secret, combine(extended, 64, {5, 2, 0}));
  uint8_t out[4];
  EXPECT_EQ(-1, shamir_eval(1, 4, s.xs.data(), s.shares.data(), 3, out));
}

TEST(ShamirSplitCombine, TooFewSharesGiveAWrongValueWithResultZero) {
  const vt::bytes secret = vt::pseudo_random(64, 8);
  Split s = split(secret, 5, 3, 42);
  for (const auto& pick : subsets(5, 2)) {
    int rc = -9;
    EXPECT_NE(secret, combine(s, 64, pick, &rc));
    EXPECT_EQ(0, rc);
  }
  // A 16-of-16 split is not rebuilt by 15 shares.
  Split big = split(secret, 16, 16, 43);
  std::vector<int> fifteen;
  for (int i = 0; i < 15; ++i) fifteen.push_back(i);
  EXPECT_NE(secret, combine(big, 64, fifteen));
  fifteen.push_back(15);
  EXPECT_EQ(secret, combine(big, 64, fifteen));
}

TEST(ShamirSplitCombine, RepeatedXGivesAWrongValueWithResultZero) {
  const vt::bytes secret = vt::pseudo_random(64, 9);
  Split s = split(secret, 5, 3, 44);
  // Shares 0, 1 and 1 again: x = 1, 2, 2.
  int rc = -9;
  EXPECT_NE(secret, combine(s, 64, {0, 1, 1}, &rc));
  EXPECT_EQ(0, rc);
  // Two copies of the same share of a 2-of-n split.
  Split s2 = split(secret, 3, 2, 45);
  EXPECT_NE(secret, combine(s2, 64, {2, 2}, &rc));
  EXPECT_EQ(0, rc);
}

TEST(ShamirSplitCombine, ShareAtXZeroIsReturnedUnchanged) {
  // With x = 0, 4, 9 the Lagrange weight of the first point is 1 and the others are 0.
  const vt::bytes rows = vt::pseudo_random(3 * 16, 10);
  const uint8_t xs[3] = {0, 4, 9};
  vt::bytes out(16);
  ASSERT_EQ(0, shamir_combine(3, 16, xs, rows.data(), out.data()));
  EXPECT_EQ(vt::bytes(rows.begin(), rows.begin() + 16), out);
}

TEST(ShamirSplitCombine, SharesMatchAnIndependentPolynomialEvaluation) {
  const vt::bytes secret = vt::pseudo_random(33, 11);
  for (int t : {2, 3, 5, 16}) {
    const int n = 16;
    Split s = split(secret, n, t, 500u + static_cast<uint64_t>(t));
    g_stream = 500u + static_cast<uint64_t>(t);
    std::vector<uint8_t> coef(static_cast<size_t>(t));
    for (size_t p = 0; p < secret.size(); ++p) {
      coef[0] = secret[p];
      stream_rng(coef.data() + 1, static_cast<size_t>(t - 1));
      for (int j = 0; j < n; ++j) {
        // Horner's rule at x = j + 1.
        uint8_t y = 0;
        for (int m = t - 1; m >= 0; --m)
          y = static_cast<uint8_t>(ref_mul(y, static_cast<uint8_t>(j + 1)) ^ coef[static_cast<size_t>(m)]);
        ASSERT_EQ(y, s.shares[static_cast<size_t>(j) * secret.size() + p])
            << "t=" << t << " share " << j << " byte " << p;
      }
    }
  }
}

TEST(ShamirSplitCombine, FieldIsTheAesField) {
  // FIPS 197 example: {57} x {83} = {c1}. With t = 2, a zero secret and the coefficient
  // 0x83, the share at x = 0x57 is 0x83 * 0x57.
  const uint8_t secret[1] = {0};
  std::vector<uint8_t> xs(0x57), shares(0x57);
  auto rng83 = [](uint8_t* buf, size_t len) {
    std::memset(buf, 0x83, len);
    return 0;
  };
  ASSERT_EQ(0, shamir_split(secret, 1, 0x57, 2, xs.data(), shares.data(), rng83));
  EXPECT_EQ(0x57, xs[0x56]);
  EXPECT_EQ(0xC1, shares[0x56]);
}

TEST(ShamirSplitCombine, FixedCoefficientStreams) {
  const vt::bytes secret = vt::pseudo_random(64, 12);
  std::vector<uint8_t> xs(5), shares(5 * 64);
  // All-zero coefficients: every row is the secret.
  auto zeros = [](uint8_t* buf, size_t len) {
    std::memset(buf, 0, len);
    return 0;
  };
  ASSERT_EQ(0, shamir_split(secret.data(), 64, 5, 3, xs.data(), shares.data(), zeros));
  for (size_t j = 0; j < 5; ++j)
    EXPECT_EQ(secret, vt::bytes(shares.begin() + static_cast<long>(j * 64),
                                shares.begin() + static_cast<long>((j + 1) * 64)));
  // t = 2 and coefficient 1: row j is the secret XOR (j + 1).
  auto ones = [](uint8_t* buf, size_t len) {
    std::memset(buf, 1, len);
    return 0;
  };
  ASSERT_EQ(0, shamir_split(secret.data(), 64, 5, 2, xs.data(), shares.data(), ones));
  for (size_t j = 0; j < 5; ++j)
    for (size_t p = 0; p < 64; ++p)
      ASSERT_EQ(secret[p] ^ (j + 1), shares[j * 64 + p]) << j << " " << p;
}

TEST(ShamirSplitCombine, ManyRandomSplitsRoundTrip) {
  for (uint64_t seed = 0; seed < 40; ++seed) {
    const vt::bytes secret = vt::pseudo_random(1 + seed % 70, seed);
    const int n = 2 + static_cast<int>(seed % 15);
    const int t = 2 + static_cast<int>(seed % static_cast<uint64_t>(n - 1));
    Split s = split(secret, n, t, seed * 31);
    std::vector<int> pick;  // the last t shares
    for (int i = n - t; i < n; ++i) pick.push_back(i);
    EXPECT_EQ(secret, combine(s, secret.size(), pick)) << t << "-of-" << n;
  }
}

// The split's coefficient row, with the secret byte in front of it, gives that byte away
// together with any one share: none of it may stay on the stack. The last row drawn is
// the one a missing wipe would leave.
std::vector<uint8_t> g_last_row;
const uint8_t* g_last_row_at = nullptr;
int recording_rng(uint8_t* buf, size_t len) {
  stream_rng(buf, len);
  g_last_row.assign(buf, buf + len);
  g_last_row_at = buf;
  return 0;
}

TEST(ShamirSplitCombine, SplitLeavesNoCoefficientRow) {
  for (auto [n, t] : {std::pair{20, 16}, {255, 200}}) {
    const vt::bytes secret = vt::pseudo_random(64, 8);
    std::vector<uint8_t> xs(static_cast<size_t>(n)), shares(static_cast<size_t>(n) * 64);
    g_last_row.reserve(255);
    int rc = 99;
    const vt::StackSnapshot snap = vt::stack_after([&] {
      rc = shamir_split(secret.data(), 64, n, t, xs.data(), shares.data(), recording_rng);
    });
    ASSERT_EQ(0, rc);
    ASSERT_TRUE(snap.covers(g_last_row_at)) << "the scan does not see the split's frame";
    vt::bytes row = {secret[63]};
    row.insert(row.end(), g_last_row.begin(), g_last_row.end());
    EXPECT_FALSE(snap.holds(row)) << n << "/" << t;
  }
}

}  // namespace
