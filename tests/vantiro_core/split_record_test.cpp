// Split records signed only by their own root and read back strictly; shares proved to lie
// on one split without a record only when one share more than the threshold is given.
#include <gtest/gtest.h>

#include <string>

#include "core_support.h"

namespace {

// A 3-of-5 root of our own, its shares and its record text.
struct Split {
  uint8_t root[64];
  std::vector<uint8_t> records = std::vector<uint8_t>(5 * VANTIRO_RECORD_SIZE);
  vantiro_split_record rec{};
  char text[VANTIRO_SPLIT_TEXT_MAX];
  size_t len = 0;
  Split() {
    uint8_t pk[32];
    EXPECT_EQ(0, ed25519_keypair(pk, root));
    EXPECT_EQ(0, vantiro_split(5, 3, root, records.data()));
    EXPECT_EQ(0, vantiro_split_record_new(root, 3, 5, records.data(), &rec, text, sizeof text, &len));
  }
};

TEST(VantiroSplitRecord, SignedByItsRootAloneAndReadBack) {
  Split s;
  vantiro_split_record back;
  ASSERT_EQ(0, vantiro_split_record_parse(reinterpret_cast<const uint8_t*>(s.text), s.len, &back));
  EXPECT_EQ(0, std::memcmp(&s.rec, &back, sizeof back));
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(VANTIRO_SHARE_LISTED,
              vantiro_split_record_check(&back, s.records.data() + i * VANTIRO_RECORD_SIZE));
  std::vector<uint8_t> changed = vtc::pick(s.records, {2});
  changed[9] ^= 1;
  EXPECT_EQ(VANTIRO_SHARE_CHANGED, vantiro_split_record_check(&back, changed.data()));
  changed[0] = 6;
  EXPECT_EQ(VANTIRO_SHARE_UNLISTED, vantiro_split_record_check(&back, changed.data()));

  // Another root, or a root whose halves disagree, does not sign for this key.
  Split other;
  char text[VANTIRO_SPLIT_TEXT_MAX];
  size_t len = 0;
  EXPECT_EQ(-3, vantiro_split_record_sign(other.root, &back, text, sizeof text, &len));
  uint8_t mixed[64];
  std::memcpy(mixed, other.root, 32);
  std::memcpy(mixed + 32, s.root + 32, 32);
  EXPECT_EQ(-3, vantiro_split_record_sign(mixed, &back, text, sizeof text, &len));
  EXPECT_EQ(-1, vantiro_split_record_sign(s.root, &back, text, s.len - 1, &len));

  // Lines go in x order; x = 0 and a listed x are refused; fewer lines than t are no record.
  vantiro_split_record r = back;
  std::vector<uint8_t> at200 = vtc::pick(s.records, {0});
  at200[0] = 200;
  std::vector<uint8_t> at9 = at200;
  at9[0] = 9;
  ASSERT_EQ(0, vantiro_split_record_add(&r, at200.data()));
  ASSERT_EQ(0, vantiro_split_record_add(&r, at9.data()));
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 9, 200}), std::vector<uint8_t>(r.x, r.x + 7));
  EXPECT_EQ(-1, vantiro_split_record_add(&r, at9.data()));
  at9[0] = 0;
  EXPECT_EQ(-1, vantiro_split_record_add(&r, at9.data()));
  r.count = 2;
  EXPECT_EQ(-1, vantiro_split_record_sign(s.root, &r, text, sizeof text, &len));
  secure_zero(s.root, sizeof s.root);
  secure_zero(other.root, sizeof other.root);
}

TEST(VantiroSplitRecord, OneSplitProvedOnlyWithMoreSharesThanTheThreshold) {
  Split s;
  std::vector<uint8_t> bad = vtc::pick(s.records, {0, 1, 2, 3, 4});
  bad[3 * VANTIRO_RECORD_SIZE + 30] ^= 4;  // share 4 damaged
  struct {
    std::vector<uint8_t> recs;
    int rc, misfit;
  } cases[] = {
      {vtc::pick(s.records, {0, 1, 2, 3}), 0, -1},  // t + 1
      {vtc::pick(s.records, {4, 0, 2}), 1, -1},     // exactly t: nothing to prove it by
      {bad, -3, 3},                                 // only leaving share 4 out rebuilds
  };
  for (const auto& c : cases) {
    int misfit = 99;
    const int k = static_cast<int>(c.recs.size() / VANTIRO_RECORD_SIZE);
    EXPECT_EQ(c.rc, vantiro_prove_one_split(k, c.recs.data(), s.rec.key, &misfit)) << k;
    EXPECT_EQ(c.misfit, misfit) << k;
  }
  secure_zero(s.root, sizeof s.root);
}

}  // namespace
