// HMAC-SHA-1/256/384: RFC 2202 and RFC 4231 known answers, the key-length boundaries
// where a key starts being hashed, aliasing, and the Wycheproof MAC suites.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "crypt.h"
#include "test_support.h"

namespace {

using vt::bytes;
using vt::from_hex;
using vt::to_hex;

bytes str(const char* s) { return bytes(s, s + std::strlen(s)); }
bytes fill(size_t n, uint8_t v) { return bytes(n, v); }
bytes counting(uint8_t from, size_t n) {
  bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(from + i);
  return b;
}

std::string mac(int which, const bytes& key, const bytes& msg) {
  uint8_t out[48];
  switch (which) {
    case 1: sha1_hmac(key.data(), key.size(), msg.data(), msg.size(), out); return to_hex(out, 20);
    case 256: sha256_hmac(key.data(), key.size(), msg.data(), msg.size(), out); return to_hex(out, 32);
    default: sha384_hmac(key.data(), key.size(), msg.data(), msg.size(), out); return to_hex(out, 48);
  }
}

struct rfc_case {
  bytes key, msg;
  std::string sha1, sha256, sha384;  // RFC 4231 case 5 gives a 128-bit truncation only
};

std::vector<rfc_case> rfc_cases() {
  const char* c7 =
      "This is a test using a larger than block-size key and a larger than block-size data. "
      "The key needs to be hashed before being used by the HMAC algorithm.";
  return {
      {fill(20, 0x0b), str("Hi There"), "b617318655057264e28bc0b6fb378c8ef146be00",
       "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7",
       "afd03944d84895626b0825f4ab46907f15f9dadbe4101ec682aa034c7cebc59cfaea9ea9076ede7f4af152e8b2fa9cb6"},
      {str("Jefe"), str("what do ya want for nothing?"), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79",
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843",
       "af45d2e376484031617f78d2b58a6b1b9c7ef464f5a01b47e42ec3736322445e8e2240ca5e69e2c78b3239ecfab21649"},
      {fill(20, 0xaa), fill(50, 0xdd), "125d7342b9ac11cd91a39af48aa17b4f63f175d3",
       "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe",
       "88062608d3e6ad8a0aa2ace014c8a86f0aa635d947ac9febe83ef4e55966144b2a5ab39dc13814b94e3ab6e101a34f27"},
      {counting(1, 25), fill(50, 0xcd), "4c9007f4026250c6bc8414f9bf50c86c2d7235da",
       "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b",
       "3e8a69b7783c25851933ab6290af6ca77a9981480850009cc5577c6e1f573b4e6801dd23c4a7d679ccf8a386c674cffb"},
      {fill(20, 0x0c), str("Test With Truncation"), "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04",
       "a3b6167473100ee06e0c796c2955552b", "3abf34c3503b2a23a46efc619baef897"},
      {fill(131, 0xaa), str("Test Using Larger Than Block-Size Key - Hash Key First"), "",
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54",
       "4ece084485813e9088d2c63a041bc5b44f9ef1012a2b588f3cd11f05033ac4c60c2ef6ab4030fe8296248df163f44952"},
      {fill(131, 0xaa), str(c7), "",
       "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2",
       "6617178e941f020d351e2f254e8fd32c602420feb0b8fb9adccebb82461e99c5a678cc31e799176d3860e6110c46523e"},
      // RFC 2202 cases 6 and 7: 80-byte keys, longer than the SHA-1 block.
      {fill(80, 0xaa), str("Test Using Larger Than Block-Size Key - Hash Key First"),
       "aa4ae5e15272d00e95705637ce8a3b55ed402112", "", ""},
      {fill(80, 0xaa), str("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
       "e8e99d0f45237d786d6bbaa7965c7808bbff1a91", "", ""},
  };
}

TEST(Hmac, RfcKnownAnswers) {
  int n = 0;
  for (const auto& c : rfc_cases()) {
    SCOPED_TRACE(n++);
    if (!c.sha1.empty()) {
      EXPECT_EQ(mac(1, c.key, c.msg), c.sha1);
    }
    if (!c.sha256.empty()) {
      EXPECT_EQ(mac(256, c.key, c.msg).substr(0, c.sha256.size()), c.sha256);
    }
    if (!c.sha384.empty()) {
      EXPECT_EQ(mac(384, c.key, c.msg).substr(0, c.sha384.size()), c.sha384);
    }
  }
}

TEST(Hmac, EmptyKeyAndMessageWithNullPointers) {
  uint8_t out[48];
  sha1_hmac(nullptr, 0, nullptr, 0, out);
  EXPECT_EQ(to_hex(out, 20), "fbdb1d1b18aa6c08324b7d64b71fb76370690e1d");
  sha256_hmac(nullptr, 0, nullptr, 0, out);
  EXPECT_EQ(to_hex(out, 32), "b613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad");
  sha384_hmac(nullptr, 0, nullptr, 0, out);
  EXPECT_EQ(to_hex(out, 48),
            "6c1f2ee938fad2e24bd91298474382ca218c75db3d83e114b3d4367776d14d3551289e75e8209cd4b792302840234adc");
}

// A key of exactly one block is used as it is; one byte more and it is replaced by its
// digest, so the MAC equals the MAC under that digest.
TEST(Hmac, KeyHashedOnlyWhenLongerThanBlock) {
  const bytes msg = str("boundary");
  for (int which : {1, 256, 384}) {
    SCOPED_TRACE(which);
    const size_t block = which == 384 ? 128 : 64;
    for (size_t len : {block - 1, block, block + 1, 2 * block + 3}) {
      SCOPED_TRACE(len);
      const bytes key = vt::pseudo_random(len, len);
      bytes digest(48);
      if (which == 1) sha1(key.data(), key.size(), digest.data());
      if (which == 256) sha256(key.data(), key.size(), digest.data());
      if (which == 384) sha384(key.data(), key.size(), digest.data());
      digest.resize(which == 1 ? 20 : which == 256 ? 32 : 48);
      if (len > block) {
        EXPECT_EQ(mac(which, key, msg), mac(which, digest, msg));
      } else {
        EXPECT_NE(mac(which, key, msg), mac(which, digest, msg));
      }
    }
  }
}

// out may be the same memory as msg or key (PBKDF2 feeds each U back this way).
TEST(Hmac, OutputMayAliasMessageOrKey) {
  for (int which : {1, 256, 384}) {
    for (size_t key_len : {16, 200}) {
      SCOPED_TRACE(which * 1000 + static_cast<int>(key_len));
      const bytes key = vt::pseudo_random(key_len, 7);
      const bytes msg = vt::pseudo_random(48, 8);
      const size_t n = which == 1 ? 20 : which == 256 ? 32 : 48;
      const std::string expect = mac(which, key, msg);
      bytes m = msg, k = key;
      k.resize(std::max<size_t>(key.size(), n));  // room for the MAC over a short key
      auto run = [&](const uint8_t* kp, const uint8_t* mp, uint8_t* out) {
        if (which == 1) sha1_hmac(kp, key.size(), mp, msg.size(), out);
        if (which == 256) sha256_hmac(kp, key.size(), mp, msg.size(), out);
        if (which == 384) sha384_hmac(kp, key.size(), mp, msg.size(), out);
      };
      run(key.data(), m.data(), m.data());
      EXPECT_EQ(to_hex(m.data(), n), expect);
      run(k.data(), msg.data(), k.data());
      EXPECT_EQ(to_hex(k.data(), n), expect);
    }
  }
}

// Wycheproof MAC suites. Only full-length tags are checked: the one-shot HMACs have
// no truncated form, so the groups with shorter tags are counted and skipped.
void wycheproof(const char* file, int which, size_t full_bits, int expect_checked,
                int expect_skipped) {
  nlohmann::json j;
  std::string why;
  if (!vt::load_wycheproof(file, &j, &why)) GTEST_SKIP() << why;
  int checked = 0, skipped = 0;
  for (const auto& g : j["testGroups"]) {
    for (const auto& t : g["tests"]) {
      if (g["tagSize"].get<size_t>() != full_bits) {
        ++skipped;
        continue;
      }
      SCOPED_TRACE(t["tcId"].get<int>());
      const std::string got = mac(which, from_hex(t["key"]), from_hex(t["msg"]));
      const std::string tag = to_hex(from_hex(t["tag"]));
      if (t["result"] == "valid") {
        EXPECT_EQ(got, tag);
      } else {
        EXPECT_NE(got, tag);
      }
      ++checked;
    }
  }
  EXPECT_EQ(checked, expect_checked);
  EXPECT_EQ(skipped, expect_skipped);
  testing::Test::RecordProperty("skipped_truncated_tags", skipped);
}

TEST(HmacWycheproof, Sha1) { wycheproof("hmac_sha1_test.json", 1, 160, 87, 83); }
TEST(HmacWycheproof, Sha256) { wycheproof("hmac_sha256_test.json", 256, 256, 87, 87); }
TEST(HmacWycheproof, Sha384) { wycheproof("hmac_sha384_test.json", 384, 384, 87, 87); }

}  // namespace
