// Recovery: refusals, any threshold set rebuilds the root, and every value that is not a
// root (too few shares, mixed roots, repeated or zero x, damaged shares) is refused.
#include <gtest/gtest.h>

#include "core_support.h"
#include "crypt.h"
#include "shamir_gf256.h"

namespace {

int os_rng(uint8_t* buf, size_t len) { return crypt_fill_random(buf, len); }

// Share records of a split of an arbitrary 64-byte value, for crafted roots.
std::vector<uint8_t> split_records(const uint8_t* root, int n, int t) {
  uint8_t xs[16], rows[16 * 64];
  EXPECT_EQ(0, shamir_split(root, 64, n, t, xs, rows, os_rng));
  std::vector<uint8_t> recs(static_cast<size_t>(n) * VANTIRO_RECORD_SIZE);
  for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
    recs[i * VANTIRO_RECORD_SIZE] = xs[i];
    std::memcpy(&recs[i * VANTIRO_RECORD_SIZE + 1], rows + i * 64, 64);
  }
  return recs;
}

// Runs vantiro_recover on k records and expects the refusal -3 with root wiped.
void expect_not_a_root(const std::vector<uint8_t>& recs, const char* what) {
  uint8_t root[64];
  std::memset(root, 0xAA, sizeof root);
  EXPECT_EQ(-3, vantiro_recover(static_cast<int>(recs.size() / VANTIRO_RECORD_SIZE), recs.data(),
                                root))
      << what;
  EXPECT_EQ(vt::bytes(64, 0), vt::bytes(root, root + 64)) << what;
}

TEST(VantiroRecover, RefusedArgumentsTouchNothing) {
  vtc::Minted m = vtc::mint(16, 2);
  ASSERT_EQ(0, m.rc);
  std::vector<uint8_t> seventeen = m.records;
  seventeen.insert(seventeen.end(), m.records.begin(), m.records.begin() + VANTIRO_RECORD_SIZE);
  uint8_t root[64];
  std::memset(root, 0xAA, sizeof root);
  EXPECT_EQ(-1, vantiro_recover(1, m.records.data(), root));
  EXPECT_EQ(-1, vantiro_recover(17, seventeen.data(), root));
  EXPECT_EQ(-1, vantiro_recover(0, m.records.data(), root));
  EXPECT_EQ(-1, vantiro_recover(2, nullptr, root));
  EXPECT_EQ(-1, vantiro_recover(2, m.records.data(), nullptr));
  for (uint8_t b : root) ASSERT_EQ(0xAA, b);
}

TEST(VantiroRecover, ThresholdSetsRebuildTheSameRoot) {
  vtc::Minted m = vtc::mint(5, 3);
  ASSERT_EQ(0, m.rc);
  uint8_t first[64];
  std::vector<uint8_t> odd = vtc::pick(m.records, {0, 2, 4});
  ASSERT_EQ(0, vantiro_recover(3, odd.data(), first));
  EXPECT_EQ(vt::bytes(m.pub, m.pub + 32), vt::bytes(first + 32, first + 64));
  for (const auto& idx : std::vector<std::vector<int>>{{4, 2, 0}, {1, 2, 3}, {0, 1, 2, 3, 4},
                                                        {3, 0, 4, 1}}) {
    std::vector<uint8_t> recs = vtc::pick(m.records, idx);
    uint8_t root[64];
    ASSERT_EQ(0, vantiro_recover(static_cast<int>(idx.size()), recs.data(), root));
    EXPECT_EQ(vt::bytes(first, first + 64), vt::bytes(root, root + 64));
  }
  // Two records of a 2-of-n root in either order.
  vtc::Minted two = vtc::mint(4, 2);
  ASSERT_EQ(0, two.rc);
  uint8_t a[64], b[64];
  std::vector<uint8_t> ab = vtc::pick(two.records, {1, 3}), ba = vtc::pick(two.records, {3, 1});
  ASSERT_EQ(0, vantiro_recover(2, ab.data(), a));
  ASSERT_EQ(0, vantiro_recover(2, ba.data(), b));
  EXPECT_EQ(vt::bytes(a, a + 64), vt::bytes(b, b + 64));
  EXPECT_EQ(vt::bytes(two.pub, two.pub + 32), vt::bytes(a + 32, a + 64));
}

TEST(VantiroRecover, ValuesThatAreNotARootAreRefused) {
  vtc::Minted m = vtc::mint(5, 3);
  vtc::Minted other = vtc::mint(5, 3);
  ASSERT_EQ(0, m.rc);
  ASSERT_EQ(0, other.rc);
  for (const auto& idx : std::vector<std::vector<int>>{{0, 1}, {2, 4}, {3, 1}})
    expect_not_a_root(vtc::pick(m.records, idx), "two of a 3-of-5");
  std::vector<uint8_t> mixed = vtc::pick(m.records, {0, 1});
  std::vector<uint8_t> foreign = vtc::pick(other.records, {2});
  mixed.insert(mixed.end(), foreign.begin(), foreign.end());
  expect_not_a_root(mixed, "a share of another root mixed in");
  expect_not_a_root(vtc::pick(m.records, {0, 1, 1}), "repeated x");
  std::vector<uint8_t> zero_x = vtc::pick(m.records, {0, 1, 2});
  zero_x[2 * VANTIRO_RECORD_SIZE] = 0;
  expect_not_a_root(zero_x, "x = 0");
  std::vector<uint8_t> damaged = vtc::pick(m.records, {0, 1, 2});
  damaged[VANTIRO_RECORD_SIZE + 40] ^= 0x01;
  expect_not_a_root(damaged, "one flipped bit");
  std::vector<uint8_t> zeros(3 * VANTIRO_RECORD_SIZE, 0);
  expect_not_a_root(zeros, "all-zero records");
}

TEST(VantiroRecover, SelfCheckBindsTheWholeKeyHalf) {
  uint8_t pk[32], sk[64];
  ASSERT_EQ(0, ed25519_keypair(pk, sk));
  // The genuine root passes through a plain split.
  std::vector<uint8_t> recs = split_records(sk, 3, 2);
  uint8_t root[64];
  ASSERT_EQ(0, vantiro_recover(2, recs.data(), root));
  EXPECT_EQ(vt::bytes(sk, sk + 64), vt::bytes(root, root + 64));
  // The negated key (sign bit flipped) differs only in one bit; it must be refused, as
  // must the key of another seed.
  uint8_t crafted[64];
  std::memcpy(crafted, sk, 64);
  crafted[63] ^= 0x80;
  expect_not_a_root(split_records(crafted, 3, 2), "negated public key");
  uint8_t pk2[32], sk2[64];
  ASSERT_EQ(0, ed25519_keypair(pk2, sk2));
  std::memcpy(crafted + 32, pk2, 32);
  expect_not_a_root(split_records(crafted, 3, 2), "key of another seed");
  secure_zero(sk, sizeof sk);
  secure_zero(sk2, sizeof sk2);
  secure_zero(root, sizeof root);
}

}  // namespace
