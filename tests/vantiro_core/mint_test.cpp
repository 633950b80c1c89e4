// Minting: argument refusals, the anchor record, and share records that rebuild the root.
#include <gtest/gtest.h>

#include "core_support.h"
#include "crypt.h"

namespace {

TEST(VantiroMint, RefusedArgumentsTouchNothing) {
  struct Case {
    int n, t;
  };
  for (Case c : {Case{17, 2}, Case{5, 1}, Case{2, 3}, Case{16, 17}, Case{0, 0}, Case{-1, 2}}) {
    uint8_t pub[32];
    std::memset(pub, 0xAA, sizeof pub);
    char anchor[VANTIRO_ANCHOR_SIZE];
    std::memset(anchor, 'Z', sizeof anchor);
    std::vector<uint8_t> records(17 * VANTIRO_RECORD_SIZE, 0xAA);
    EXPECT_EQ(-1, vantiro_mint(c.n, c.t, pub, records.data(), anchor, sizeof anchor))
        << c.n << " " << c.t;
    for (uint8_t b : pub) ASSERT_EQ(0xAA, b);
    for (char ch : anchor) ASSERT_EQ('Z', ch);
    for (uint8_t b : records) ASSERT_EQ(0xAA, b);
  }
  uint8_t pub[32];
  char anchor[VANTIRO_ANCHOR_SIZE];
  uint8_t records[3 * VANTIRO_RECORD_SIZE];
  EXPECT_EQ(-1, vantiro_mint(3, 2, nullptr, records, anchor, sizeof anchor));
  EXPECT_EQ(-1, vantiro_mint(3, 2, pub, nullptr, anchor, sizeof anchor));
  EXPECT_EQ(-1, vantiro_mint(3, 2, pub, records, nullptr, sizeof anchor));
}

TEST(VantiroMint, AnchorRecordIsSelfSigned) {
  vtc::Minted m = vtc::mint(5, 3);
  ASSERT_EQ(0, m.rc);
  const std::string anchor(m.anchor);
  ASSERT_EQ(197u, anchor.size());
  EXPECT_EQ("k=" + vt::to_hex(m.pub, 32) + " s=", anchor.substr(0, 69));
  for (char c : anchor.substr(69)) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
  uint8_t msg[40];
  std::memcpy(msg, m.pub, 32);
  std::memcpy(msg + 32, "operator", 8);
  vt::bytes sig = vtc::anchor_sig(m.anchor);
  EXPECT_EQ(0, ed25519_verify(m.pub, msg, sizeof msg, sig.data()));
  msg[39] ^= 1;
  EXPECT_NE(0, ed25519_verify(m.pub, msg, sizeof msg, sig.data()));
}

TEST(VantiroMint, AnchorBufferSize) {
  // 197 bytes: a key was made (pub written) but nothing else.
  uint8_t pub[32] = {};
  char anchor[198];
  std::memset(anchor, 'Z', sizeof anchor);
  std::vector<uint8_t> records(3 * VANTIRO_RECORD_SIZE, 0xAA);
  EXPECT_EQ(-5, vantiro_mint(3, 2, pub, records.data(), anchor, 197));
  EXPECT_NE(vt::bytes(32, 0), vt::bytes(pub, pub + 32));
  for (char c : anchor) ASSERT_EQ('Z', c);
  for (uint8_t b : records) ASSERT_EQ(0xAA, b);
  // 198 bytes are filled exactly, the NUL last.
  EXPECT_EQ(0, vantiro_mint(3, 2, pub, records.data(), anchor, 198));
  EXPECT_EQ('\0', anchor[197]);
  EXPECT_EQ(197u, std::strlen(anchor));
}

TEST(VantiroMint, RecordsRebuildTheRootFromAnyThresholdSet) {
  struct Case {
    int n, t;
  };
  for (Case c : {Case{5, 3}, Case{2, 2}, Case{16, 16}, Case{16, 2}}) {
    vtc::Minted m = vtc::mint(c.n, c.t);
    ASSERT_EQ(0, m.rc) << c.t << "-of-" << c.n;
    for (int i = 0; i < c.n; ++i)
      EXPECT_EQ(i + 1, m.records[static_cast<size_t>(i) * VANTIRO_RECORD_SIZE]);
    // The last t records, and the first t in reverse order.
    std::vector<int> last, first_rev;
    for (int i = c.n - c.t; i < c.n; ++i) last.push_back(i);
    for (int i = c.t - 1; i >= 0; --i) first_rev.push_back(i);
    for (const auto& idx : {last, first_rev}) {
      std::vector<uint8_t> recs = vtc::pick(m.records, idx);
      uint8_t root[64];
      ASSERT_EQ(0, vantiro_recover(c.t, recs.data(), root));
      EXPECT_EQ(vt::bytes(m.pub, m.pub + 32), vt::bytes(root + 32, root + 64));
    }
  }
}

TEST(VantiroMint, SuccessiveMintsAreUnrelated) {
  vtc::Minted a = vtc::mint(3, 2), b = vtc::mint(3, 2);
  ASSERT_EQ(0, a.rc);
  ASSERT_EQ(0, b.rc);
  EXPECT_NE(vt::bytes(a.pub, a.pub + 32), vt::bytes(b.pub, b.pub + 32));
  EXPECT_NE(a.records, b.records);
}

TEST(VantiroMint, ForcedRandomFailureWritesNothing) {
  uint8_t pub[32];
  std::memset(pub, 0xAA, sizeof pub);
  char anchor[VANTIRO_ANCHOR_SIZE];
  std::memset(anchor, 'Z', sizeof anchor);
  std::vector<uint8_t> records(5 * VANTIRO_RECORD_SIZE, 0xAA);
  crypt_random_force_fail_FOR_TEST(1);
  const int rc = vantiro_mint(5, 3, pub, records.data(), anchor, sizeof anchor);
  crypt_random_force_fail_FOR_TEST(0);
  EXPECT_EQ(-2, rc);
  for (uint8_t b : pub) ASSERT_EQ(0xAA, b);
  for (char c : anchor) ASSERT_EQ('Z', c);
  for (uint8_t b : records) ASSERT_EQ(0xAA, b);
  // The source works again afterwards.
  EXPECT_EQ(0, vtc::mint(5, 3).rc);
}

TEST(VantiroHexSign, HexEncoding) {
  const uint8_t data[3] = {0x00, 0xAB, 0x7F};
  char out[7];
  std::memset(out, 'Z', sizeof out);
  EXPECT_EQ(-5, vantiro_hex(data, 3, out, 6));
  for (char c : out) ASSERT_EQ('Z', c);
  EXPECT_EQ(0, vantiro_hex(data, 3, out, 7));
  EXPECT_STREQ("00ab7f", out);
  EXPECT_EQ(0, vantiro_hex(data, 0, out, 1));
  EXPECT_EQ('\0', out[0]);
  const vt::bytes all = vt::pseudo_random(32, 5);
  char hex[65];
  EXPECT_EQ(-5, vantiro_hex(all.data(), 32, hex, 64));
  // A len whose 2 * len + 1 wraps to 5 must not pass for one that fits in 7.
  EXPECT_EQ(-5, vantiro_hex(data, SIZE_MAX / 2 + 3, out, 7));
  EXPECT_EQ(-5, vantiro_hex(data, SIZE_MAX, out, 7));
  EXPECT_EQ(0, vantiro_hex(all.data(), 32, hex, 65));
  EXPECT_EQ(vt::to_hex(all), std::string(hex));
}

// Refused: null pointers, and a root whose public half is not its seed's (signing under
// both halves would give away the secret scalar).
TEST(VantiroHexSign, SignRefusesNullsAndForeignPublicHalfAndMatchesEd25519) {
  uint8_t pk[32], sk[64], sig[64], ref[64], other_pk[32], other_sk[64];
  ASSERT_EQ(0, ed25519_keypair(pk, sk));
  ASSERT_EQ(0, ed25519_keypair(other_pk, other_sk));
  const uint8_t msg[5] = {1, 2, 3, 4, 5};
  std::memset(sig, 0xAA, sizeof sig);
  EXPECT_EQ(-1, vantiro_sign(nullptr, msg, sizeof msg, sig));
  EXPECT_EQ(-1, vantiro_sign(sk, nullptr, sizeof msg, sig));
  EXPECT_EQ(-1, vantiro_sign(sk, msg, sizeof msg, nullptr));
  uint8_t mixed[64];
  for (int i : {32, 63}) {  // one bit off in the public half
    std::memcpy(mixed, sk, 64);
    mixed[i] ^= 1;
    EXPECT_EQ(-3, vantiro_sign(mixed, msg, sizeof msg, sig)) << i;
  }
  std::memcpy(mixed + 32, other_pk, 32);  // another key's public half
  EXPECT_EQ(-3, vantiro_sign(mixed, msg, sizeof msg, sig));
  for (uint8_t b : sig) ASSERT_EQ(0xAA, b);
  EXPECT_EQ(0, vantiro_sign(sk, msg, sizeof msg, sig));
  ed25519_sign(sk, msg, sizeof msg, ref);
  EXPECT_EQ(vt::bytes(ref, ref + 64), vt::bytes(sig, sig + 64));
  EXPECT_EQ(0, ed25519_verify(pk, msg, sizeof msg, sig));
  secure_zero(sk, sizeof sk);
  secure_zero(other_sk, sizeof other_sk);
  secure_zero(mixed, sizeof mixed);
}

}  // namespace
