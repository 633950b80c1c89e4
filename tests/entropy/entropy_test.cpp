// Entropy source: cutoffs from the assessed min-entropy, RCT and APT failures driven by
// chosen samples, the conditioning function, and gathers from a working and a failing
// OS source, which leave no sample or output on the stack. The module's state is
// process-wide, so every test starts with entropy_init.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "crypt.h"
#include "entropy.h"
#include "os_random_hook.h"
#include "stack_scan.h"
#include "test_support.h"

namespace {

using vt::bytes;
using vt::to_hex;

class Entropy : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(entropy_init(8.0, 20), 0); }
  void TearDown() override { crypt_random_force_fail_FOR_TEST(0); }
};

TEST_F(Entropy, Cutoffs) {
  struct {
    double h;
    int alpha;
    uint32_t rct, apt;
  } cases[] = {{8.0, 20, 4, 13}, {4.0, 20, 6, 62},  {2.0, 20, 11, 177}, {1.0, 20, 21, 311},
               {0.5, 20, 41, 410}, {8.0, 64, 9, 23},
               // The summation from below stalls short of 1 - alpha ((1 - p)^512
               // underflows, or alpha is below the rounding of 1 - alpha): the exact cutoff.
               {0.25, 20, 81, 468}, {1.0, 50, 51, 346}, {4.0, 64, 17, 93}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.h << "/" << c.alpha);
    ASSERT_EQ(entropy_init(c.h, c.alpha), 0);
    EXPECT_EQ(entropy_rct_cutoff(), c.rct);
    EXPECT_EQ(entropy_apt_cutoff(), c.apt);
  }
}

// A refused argument changes neither the cutoffs nor the test state, failure included.
TEST_F(Entropy, BadInitArgumentsChangeNothing) {
  for (int i = 0; i < 4; ++i) entropy_health_update(5);
  ASSERT_EQ(entropy_health_failed(), 1);
  for (auto [h, alpha] : {std::pair{0.0, 20}, {-1.0, 20}, {8.5, 20}, {4.0, 0}, {4.0, -3},
                          {std::nan(""), 20}}) {
    EXPECT_EQ(entropy_init(h, alpha), -2);
    EXPECT_EQ(entropy_rct_cutoff(), 4u);
    EXPECT_EQ(entropy_apt_cutoff(), 13u);
    EXPECT_EQ(entropy_health_failed(), 1);
  }
}

// A source so poor that even the exact APT cutoff exceeds the window cannot be tested:
// refused like a bad argument, changing neither the cutoffs nor the test state.
TEST_F(Entropy, UntestableSourceRefused) {
  for (auto [h, alpha] : {std::pair{1e-300, INT_MAX}, {0.1, 64}, {0.03, 20}}) {
    EXPECT_EQ(entropy_init(h, alpha), -2) << h << "/" << alpha;
    EXPECT_EQ(entropy_rct_cutoff(), 4u);
    EXPECT_EQ(entropy_apt_cutoff(), 13u);
  }
  // h = 0.04 with alpha = 2^-20: P(X = 512) = 2^-20.48, just within the window.
  ASSERT_EQ(entropy_init(0.04, 20), 0);
  EXPECT_EQ(entropy_apt_cutoff(), 512u);
}

// A low-entropy source no longer passes: 98 % zero bytes after entropy_init(1.0, 50).
TEST_F(Entropy, AptFailsAMostlyConstantSourceAtSmallAlpha) {
  ASSERT_EQ(entropy_init(1.0, 50), 0);
  int rc = 0;
  for (uint32_t i = 0; i < 512 && rc == 0; ++i)
    rc = entropy_health_update(i % 50 == 49 ? static_cast<uint8_t>(1 + i % 7) : 0);
  EXPECT_EQ(rc, -1);
}

TEST_F(Entropy, RepetitionCountFailsAtCutoffAndSticks) {
  // Runs of three, broken by another value, pass.
  for (int s : {5, 5, 5, 6, 5, 5, 5}) ASSERT_EQ(entropy_health_update(static_cast<uint8_t>(s)), 0);
  ASSERT_EQ(entropy_init(8.0, 20), 0);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(entropy_health_update(5), 0);
  EXPECT_EQ(entropy_health_update(5), -1);
  EXPECT_EQ(entropy_health_failed(), 1);
  EXPECT_EQ(entropy_health_update(9), -1);  // sticky whatever comes next
  uint8_t out[8] = {};
  EXPECT_EQ(entropy_gather(out, 8), -1);
  EXPECT_EQ(to_hex(out, 8), std::string(16, '0'));
  ASSERT_EQ(entropy_init(8.0, 20), 0);
  EXPECT_EQ(entropy_health_failed(), 0);
  EXPECT_EQ(entropy_health_update(5), 0);
}

// A window of 512 samples whose first value A recurs at the given positions; the other
// samples are never A and never repeat back to back, so the RCT stays quiet.
std::vector<uint8_t> window_with(uint8_t a, std::initializer_list<int> at) {
  std::vector<uint8_t> w(512);
  for (size_t i = 0; i < w.size(); ++i) w[i] = static_cast<uint8_t>(0x80 | (i & 0x7F));
  w[0] = a;
  for (int i : at) w[static_cast<size_t>(i)] = a;
  return w;
}

TEST_F(Entropy, AdaptiveProportionFailsOnThirteenthInWindow) {
  const auto w = window_with(0x11, {40, 80, 120, 160, 200, 240, 280, 320, 360, 400, 440, 511});
  for (size_t i = 0; i < 511; ++i) ASSERT_EQ(entropy_health_update(w[i]), 0) << i;
  EXPECT_EQ(entropy_health_update(w[511]), -1);  // the 512th sample is still in the window
  EXPECT_EQ(entropy_health_failed(), 1);
}

TEST_F(Entropy, SampleAfterWindowOpensNewWindow) {
  // Twelve occurrences fill the first window without failing; the 513th sample, A again,
  // starts a fresh window with A counted once rather than a thirteenth time.
  const auto w = window_with(0x11, {40, 80, 120, 160, 200, 240, 280, 320, 360, 400, 440});
  for (uint8_t s : w) ASSERT_EQ(entropy_health_update(static_cast<uint8_t>(s)), 0);
  ASSERT_EQ(entropy_health_update(0x11), 0);
  // That new window fails once it holds 13 of its own reference value.
  for (int k = 0; k < 12; ++k) {
    ASSERT_EQ(entropy_health_update(0x22), 0);
    ASSERT_EQ(entropy_health_update(0x33), 0);
    EXPECT_EQ(entropy_health_update(0x11), k < 11 ? 0 : -1) << k;
  }
}

TEST_F(Entropy, ConditionVectors) {
  const uint8_t two_zeros[2] = {0, 0};
  uint8_t six_zeros[6] = {}, digest[32], out[65];
  sha256(six_zeros, 6, digest);
  ASSERT_EQ(entropy_condition(two_zeros, 2, out, 1), 0);
  EXPECT_EQ(out[0], digest[0]);

  const bytes in = vt::pseudo_random(40, 6);
  bytes c0 = {0, 0, 0, 0}, c1 = {0, 0, 0, 1};
  c0.insert(c0.end(), in.begin(), in.end());
  c1.insert(c1.end(), in.begin(), in.end());
  uint8_t b0[32], b1[32];
  sha256(c0.data(), c0.size(), b0);
  sha256(c1.data(), c1.size(), b1);
  out[64] = 0xAA;
  ASSERT_EQ(entropy_condition(in.data(), in.size(), out, 64), 0);
  EXPECT_EQ(to_hex(out, 64), to_hex(b0, 32) + to_hex(b1, 32));
  EXPECT_EQ(out[64], 0xAA);
  ASSERT_EQ(entropy_condition(in.data(), in.size(), out, 33), 0);
  EXPECT_EQ(to_hex(out, 33), to_hex(b0, 32) + to_hex(b1, 1));

  const uint8_t counter0[4] = {0, 0, 0, 0};
  sha256(counter0, 4, digest);
  ASSERT_EQ(entropy_condition(two_zeros, 0, out, 32), 0);  // empty input is allowed
  EXPECT_EQ(to_hex(out, 32), to_hex(digest, 32));
}

TEST_F(Entropy, BadArgumentsRefusedUntouched) {
  uint8_t in[4] = {}, out[65];
  std::fill(std::begin(out), std::end(out), 0xAA);
  EXPECT_EQ(entropy_condition(nullptr, 0, out, 8), -2);
  EXPECT_EQ(entropy_condition(in, 4, nullptr, 8), -2);
  EXPECT_EQ(entropy_condition(in, 4, out, 0), -2);
  EXPECT_EQ(entropy_condition(in, 4, out, 65), -2);
  EXPECT_EQ(entropy_gather(out, 0), -2);
  EXPECT_EQ(entropy_gather(out, 65), -2);
  EXPECT_EQ(entropy_gather(nullptr, 8), -2);
  EXPECT_EQ(entropy_raw_dump(nullptr, 8), -2);
  EXPECT_EQ(entropy_raw_dump(out, 0), -2);
  for (uint8_t b : out) EXPECT_EQ(b, 0xAA);
  EXPECT_EQ(entropy_health_failed(), 0);
}

TEST_F(Entropy, GatherFromWorkingSource) {
  uint8_t a[64], b[64];
  ASSERT_EQ(entropy_gather(a, 64), 0);
  ASSERT_EQ(entropy_gather(b, 64), 0);
  EXPECT_NE(to_hex(a, 64), to_hex(b, 64));
  EXPECT_NE(to_hex(a, 64), std::string(128, '0'));
  uint8_t one[2] = {0, 0xAA};
  EXPECT_EQ(entropy_gather(one, 1), 0);
  EXPECT_EQ(one[1], 0xAA);
  uint8_t raw[100] = {};
  EXPECT_EQ(entropy_raw_dump(raw, sizeof raw), 0);
  EXPECT_NE(to_hex(raw, 100), std::string(200, '0'));
}

// A failed OS draw is never conditioned into output, even when its zeros would be too
// few to trip the RCT: the gather fails, sets the sticky failure and leaves out alone.
TEST_F(Entropy, FailingSourceNeverYieldsOutput) {
  crypt_random_force_fail_FOR_TEST(1);
  uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  EXPECT_EQ(entropy_gather(out, 1), -1);
  EXPECT_EQ(entropy_health_failed(), 1);
  EXPECT_EQ(entropy_gather(out, 2), -1);
  for (uint8_t b : out) EXPECT_EQ(b, 0xAA);
  uint8_t raw[16];
  std::fill(std::begin(raw), std::end(raw), 0xAA);
  EXPECT_EQ(entropy_raw_dump(raw, sizeof raw), -1);
  for (uint8_t b : raw) EXPECT_EQ(b, 0);

  crypt_random_force_fail_FOR_TEST(0);
  EXPECT_EQ(entropy_gather(out, 4), -1);  // still failed until entropy_init
  for (uint8_t b : out) EXPECT_EQ(b, 0xAA);
  ASSERT_EQ(entropy_init(8.0, 20), 0);
  EXPECT_EQ(entropy_gather(out, 4), 0);
}

// The OS draws of a gather, served from g_samples; where they went is kept.
bytes g_samples;
const uint8_t* g_samples_at = nullptr;
int serve_samples(uint8_t* buf, size_t len) {
  if (len > g_samples.size()) return -1;
  std::copy(g_samples.begin(), g_samples.begin() + static_cast<long>(len), buf);
  g_samples_at = buf;
  return 1;
}

// A gather leaves neither its samples nor its output (the conditioning blocks, or the
// hash state words they were stored from) on the stack, whether the tests pass the
// samples or refuse them.
TEST_F(Entropy, GatherLeavesNoSamplesNoOutput) {
  bytes refused = vt::pseudo_random(124, 22);
  refused.insert(refused.end(), {7, 7, 7, 7});  // a run that trips the RCT (cutoff 4)
  for (const auto& [samples, want] : {std::pair{vt::pseudo_random(128, 21), 0}, {refused, -1}}) {
    SCOPED_TRACE(want);
    ASSERT_EQ(entropy_init(8.0, 20), 0);
    g_samples = samples;
    vt::g_os_random_hook = serve_samples;
    bytes out(64, 0);
    int rc = 99;
    const vt::StackSnapshot snap = vt::stack_after([&] { rc = entropy_gather(out.data(), 64); });
    vt::g_os_random_hook = nullptr;
    ASSERT_EQ(want, rc);
    ASSERT_TRUE(snap.covers(g_samples_at)) << "the scan does not see the gather's frame";
    EXPECT_FALSE(snap.holds(samples.data(), 32)) << "samples left";
    if (rc != 0) continue;
    for (auto half = out.begin(); half != out.end(); half += 32) {
      bytes block(half, half + 32);
      EXPECT_FALSE(snap.holds(block)) << "output block left";
      for (auto w = block.begin(); w != block.end(); w += 4) std::reverse(w, w + 4);
      EXPECT_FALSE(snap.holds(block)) << "hash state words left";
    }
  }
}

}  // namespace
