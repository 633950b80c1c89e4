// The OS random source: its failure contract, the sticky failure switch, long requests
// that the OS answers in parts, and the millisecond clock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "crypt.h"

namespace {

bool all_zero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

class RandomSource : public ::testing::Test {
 protected:
  void TearDown() override { crypt_random_force_fail_FOR_TEST(0); }
};

TEST_F(RandomSource, NullBufferIsRefused) {
  EXPECT_EQ(crypt_fill_random(nullptr, 16), -1);
  EXPECT_EQ(crypt_fill_random(nullptr, 0), -1);
}

TEST_F(RandomSource, FailedDrawLeavesZerosAndTheSwitchSticks) {
  uint8_t buf[16];
  for (auto& b : buf) b = 0xAA;
  crypt_random_force_fail_FOR_TEST(1);
  EXPECT_EQ(crypt_fill_random(buf, sizeof buf), -1);
  EXPECT_TRUE(all_zero(buf, sizeof buf));
  // Still on for the next draw, and for any number of draws after it.
  for (int i = 0; i < 3; ++i) {
    for (auto& b : buf) b = 0x55;
    EXPECT_EQ(crypt_fill_random(buf, sizeof buf), -1);
    EXPECT_TRUE(all_zero(buf, sizeof buf));
  }
  crypt_random_force_fail_FOR_TEST(0);
  EXPECT_EQ(crypt_fill_random(buf, sizeof buf), 0);
}

TEST_F(RandomSource, DrawsFillTheWholeBuffer) {
  // Two 32-byte draws: each non-zero, and different (a stuck source would repeat).
  uint8_t a[32], b[32];
  ASSERT_EQ(crypt_fill_random(a, sizeof a), 0);
  ASSERT_EQ(crypt_fill_random(b, sizeof b), 0);
  EXPECT_FALSE(all_zero(a, sizeof a));
  EXPECT_NE(0, memcmp(a, b, sizeof a));
  EXPECT_EQ(crypt_fill_random(a, 0), 0);
}

TEST_F(RandomSource, LongRequestIsFilledToTheEnd) {
  // The kernel answers at most 32 MiB - 1 bytes per call, so 40 MiB takes several calls;
  // every part of the buffer, the last pages included, must receive random bytes.
  std::vector<uint8_t> big(40u << 20, 0);
  ASSERT_EQ(crypt_fill_random(big.data(), big.size()), 0);
  for (size_t off = 0; off < big.size(); off += 1u << 20)
    EXPECT_FALSE(all_zero(big.data() + off, 4096)) << "MiB " << (off >> 20);
  EXPECT_FALSE(all_zero(big.data() + big.size() - 4096, 4096));
}

TEST(Clock, MonotonicMilliseconds) {
  uint64_t t0 = crypt_time_ms();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  uint64_t t1 = crypt_time_ms();
  EXPECT_GE(t1, t0 + 25);
  EXPECT_LT(t1, t0 + 10000);
}

TEST(SecureZero, ZeroesExactlyTheRange) {
  uint8_t buf[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  secure_zero(buf + 2, 4);
  const uint8_t expect[8] = {1, 2, 0, 0, 0, 0, 7, 8};
  EXPECT_EQ(0, memcmp(buf, expect, 8));
  secure_zero(nullptr, 4);  // no effect, no crash
  secure_zero(buf, 0);
  EXPECT_EQ(buf[0], 1);
}

}  // namespace
