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

// A record with x = 0 carries its 64 bytes through as the root (weight 1 at zero, every
// other record weight 0): given a real root of someone else's, it would pass the
// self-check. Such records, and repeated x, are refused before combining.
TEST(VantiroRecover, RecordsThatCannotBeSharesAreNamed) {
  vtc::Minted m = vtc::mint(5, 3);
  ASSERT_EQ(0, m.rc);
  uint8_t pk[32], foreign[64];
  ASSERT_EQ(0, ed25519_keypair(pk, foreign));
  std::vector<uint8_t> zero(1, 0);
  zero.insert(zero.end(), foreign, foreign + 64);
  std::vector<uint8_t> with_zero = vtc::pick(m.records, {0, 1});
  with_zero.insert(with_zero.end(), zero.begin(), zero.end());
  std::vector<uint8_t> same_x = vtc::pick(m.records, {0, 1, 2, 3});
  same_x[3 * VANTIRO_RECORD_SIZE] = 2;  // record 3 claims record 1's x with other bytes
  struct Row {
    const char* what;
    std::vector<uint8_t> recs;
    int code, first, second;
  };
  const Row rows[] = {
      {"fine", vtc::pick(m.records, {4, 0, 2}), VANTIRO_RECORDS_OK, -7, -7},
      {"x = 0 with a real foreign root", with_zero, VANTIRO_RECORD_X_ZERO, 2, -1},
      {"identical records", vtc::pick(m.records, {3, 0, 2, 0}), VANTIRO_RECORDS_SAME, 1, 3},
      {"same x, other bytes", same_x, VANTIRO_RECORDS_SAME_X, 1, 3},
  };
  for (const Row& r : rows) {
    const int k = static_cast<int>(r.recs.size() / VANTIRO_RECORD_SIZE);
    int first = -7, second = -7;
    EXPECT_EQ(r.code, vantiro_check_records(k, r.recs.data(), &first, &second)) << r.what;
    EXPECT_EQ(r.first, first) << r.what;
    EXPECT_EQ(r.second, second) << r.what;
    if (r.code != VANTIRO_RECORDS_OK) expect_not_a_root(r.recs, r.what);
  }
  EXPECT_EQ(-1, vantiro_check_records(17, m.records.data(), nullptr, nullptr));
  secure_zero(foreign, sizeof foreign);
}

// The records whose setting aside leaves a rebuildable root are named; a set that holds
// two roots' shares, or too few, names none.
TEST(VantiroRecover, MisfitsAreFoundBySettingAsideOneOrTwo) {
  vtc::Minted m = vtc::mint(5, 3);
  vtc::Minted other = vtc::mint(5, 2);
  ASSERT_EQ(0, m.rc);
  ASSERT_EQ(0, other.rc);
  std::vector<uint8_t> damaged = m.records;
  damaged[4 * VANTIRO_RECORD_SIZE + 9] ^= 0x40;
  std::vector<uint8_t> two_foreign = vtc::pick(other.records, {3});
  std::vector<uint8_t> mine = vtc::pick(m.records, {0, 1, 2});
  two_foreign.insert(two_foreign.end(), mine.begin(), mine.end());
  std::vector<uint8_t> last = vtc::pick(other.records, {4});
  two_foreign.insert(two_foreign.end(), last.begin(), last.end());
  std::vector<uint8_t> two_roots = vtc::pick(other.records, {0, 1});
  std::vector<uint8_t> third = vtc::pick(vtc::mint(3, 2).records, {0, 2});
  two_roots.insert(two_roots.end(), third.begin(), third.end());
  struct Row {
    const char* what;
    std::vector<uint8_t> recs;
    std::vector<int> named;
  };
  const Row rows[] = {
      {"fifth share damaged", damaged, {4}},
      {"two shares of another root around three good ones", two_foreign, {0, 4}},
      {"two 2-of-n roots, two shares each", two_roots, {}},
      {"too few shares", vtc::pick(m.records, {0, 1}), {}},
  };
  for (const Row& r : rows) {
    int misfits[2] = {-1, -1};
    const int n = vantiro_find_misfits(static_cast<int>(r.recs.size() / VANTIRO_RECORD_SIZE),
                                       r.recs.data(), misfits);
    EXPECT_EQ(r.named, std::vector<int>(misfits, misfits + n)) << r.what;
  }
}

// A lost share comes back byte for byte from any t others; x among the inputs, x out of
// range or records that rebuild no root give nothing.
TEST(VantiroReissue, LostShareAgainAndRefusals) {
  vtc::Minted m = vtc::mint(5, 3);
  ASSERT_EQ(0, m.rc);
  const std::vector<uint8_t> given = vtc::pick(m.records, {4, 0, 1});
  uint8_t out[65];
  ASSERT_EQ(0, vantiro_reissue(3, given.data(), 3, out));
  EXPECT_EQ(vtc::pick(m.records, {2}), std::vector<uint8_t>(out, out + 65));
  struct Row {
    int k, x, rc;
  };
  for (Row r : {Row{3, 1, -1}, Row{3, 0, -1}, Row{3, 256, -1}, Row{2, 4, -3}, Row{1, 4, -1}}) {
    std::memset(out, 0xAA, sizeof out);
    EXPECT_EQ(r.rc, vantiro_reissue(r.k, given.data(), r.x, out)) << r.k << " " << r.x;
    for (uint8_t b : out) ASSERT_EQ(0xAA, b);
  }
}

// A given root split anew: any t of the records rebuild it, and nothing is drawn for a
// refused argument.
TEST(VantiroSplit, GivenRootSplitsAndProves) {
  uint8_t pk[32], root[64];
  ASSERT_EQ(0, ed25519_keypair(pk, root));
  std::vector<uint8_t> recs(4 * VANTIRO_RECORD_SIZE, 0);
  ASSERT_EQ(0, vantiro_split(4, 2, root, recs.data()));
  std::vector<uint8_t> two = vtc::pick(recs, {3, 1});
  uint8_t rebuilt[64];
  ASSERT_EQ(0, vantiro_recover(2, two.data(), rebuilt));
  EXPECT_EQ(vt::bytes(root, root + 64), vt::bytes(rebuilt, rebuilt + 64));
  EXPECT_EQ(-1, vantiro_split(4, 5, root, recs.data()));
  EXPECT_EQ(-1, vantiro_split(17, 2, root, recs.data()));
  secure_zero(root, sizeof root);
  secure_zero(rebuilt, sizeof rebuilt);
}

}  // namespace
