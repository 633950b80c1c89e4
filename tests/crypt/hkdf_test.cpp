// HKDF over SHA-256 and SHA-384: RFC 5869 answers, the salt defaults, the output length
// limits with their refusal, block layout, and the Wycheproof suites.
#include <gtest/gtest.h>

#include <string>

#include "crypt.h"
#include "test_support.h"

namespace {

using vt::bytes;
using vt::from_hex;
using vt::to_hex;

bytes counting(uint8_t from, size_t n) {
  bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(from + i);
  return b;
}

// Extract then expand with the hash of the given digest length (32 or 48).
int hkdf(size_t hash_len, const bytes& salt, const bytes& ikm, const bytes& info, bytes* okm,
         bytes* prk_out = nullptr) {
  uint8_t prk[48];
  int rc;
  if (hash_len == 32) {
    hkdf_extract_sha256(salt.data(), salt.size(), ikm.data(), ikm.size(), prk);
    rc = hkdf_expand_sha256(prk, info.data(), info.size(), okm->data(), okm->size());
  } else {
    hkdf_extract_sha384(salt.data(), salt.size(), ikm.data(), ikm.size(), prk);
    rc = hkdf_expand_sha384(prk, info.data(), info.size(), okm->data(), okm->size());
  }
  if (prk_out) prk_out->assign(prk, prk + hash_len);
  return rc;
}

TEST(Hkdf, Rfc5869Sha256Cases) {
  struct {
    bytes ikm, salt, info;
    size_t len;
    const char *prk, *okm;
  } cases[] = {
      {bytes(22, 0x0b), counting(0, 13), counting(0xf0, 10), 42,
       "077709362c2e32df0ddc3f0dc47bba6390b6c73bb50f9c3122ec844ad7c2b3e5",
       "3cb25f25faacd57a90434f64d0362f2a2d2d0a90cf1a5a4c5db02d56ecc4c5bf34007208d5b887185865"},
      {counting(0, 80), counting(0x60, 80), counting(0xb0, 80), 82,
       "06a6b88c5853361a06104c9ceb35b45cef760014904671014a193f40c15fc244",
       "b11e398dc80327a1c8e7f78c596a49344f012eda2d4efad8a050cc4c19afa97c"
       "59045a99cac7827271cb41c65e590e09da3275600c2f09b8367793a9aca3db71"
       "cc30c58179ec3e87c14c01d5c1f3434f1d87"},
      {bytes(22, 0x0b), {}, {}, 42,
       "19ef24a32c717b167f33a91d6f648bdf96596776afdb6377ac434c1c293ccb04",
       "8da4e775a563c18f715f802a063c5a31b8a11f5c5ee1879ec3454e5f3c738d2d9d201395faa4b61a96c8"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.okm);
    bytes okm(c.len), prk;
    EXPECT_EQ(hkdf(32, c.salt, c.ikm, c.info, &okm, &prk), 0);
    EXPECT_EQ(to_hex(prk), c.prk);
    EXPECT_EQ(to_hex(okm), c.okm);
  }
}

TEST(Hkdf, MissingSaltIsHashLenZeros) {
  const bytes ikm = vt::pseudo_random(30, 1);
  uint8_t a[48], b[48], c[48];
  const uint8_t zeros[48] = {};
  hkdf_extract_sha256(nullptr, 0, ikm.data(), ikm.size(), a);
  hkdf_extract_sha256(zeros, 0, ikm.data(), ikm.size(), b);
  hkdf_extract_sha256(zeros, 32, ikm.data(), ikm.size(), c);
  EXPECT_EQ(to_hex(a, 32), to_hex(b, 32));
  EXPECT_EQ(to_hex(a, 32), to_hex(c, 32));
  hkdf_extract_sha384(nullptr, 0, ikm.data(), ikm.size(), a);
  hkdf_extract_sha384(zeros, 0, ikm.data(), ikm.size(), b);
  hkdf_extract_sha384(zeros, 48, ikm.data(), ikm.size(), c);
  EXPECT_EQ(to_hex(a, 48), to_hex(b, 48));
  EXPECT_EQ(to_hex(a, 48), to_hex(c, 48));
}

// 255 blocks are the most expand may derive; one byte more is refused with -1 and the
// whole requested output zero-filled, never a partial key.
TEST(Hkdf, LengthLimitsForBothHashes) {
  const bytes prk = vt::pseudo_random(48, 2), info = {1, 2, 3};
  for (size_t hash_len : {32, 48}) {
    SCOPED_TRACE(hash_len);
    auto expand = [&](bytes* out) {
      return hash_len == 32 ? hkdf_expand_sha256(prk.data(), info.data(), 3, out->data(), out->size())
                            : hkdf_expand_sha384(prk.data(), info.data(), 3, out->data(), out->size());
    };
    bytes max(255 * hash_len, 0xAA);
    EXPECT_EQ(expand(&max), 0);
    // The last block is T(255), distinct from its neighbour and from the filler.
    EXPECT_NE(to_hex(max.data() + max.size() - hash_len, hash_len),
              to_hex(max.data() + max.size() - 2 * hash_len, hash_len));
    EXPECT_NE(to_hex(max.data() + max.size() - hash_len, hash_len), to_hex(bytes(hash_len, 0xAA)));
    bytes over(255 * hash_len + 1, 0xAA);
    EXPECT_EQ(expand(&over), -1);
    EXPECT_EQ(over, bytes(over.size(), 0));
    bytes none;
    EXPECT_EQ(expand(&none), 0);
  }
}

TEST(Hkdf, ZeroLengthWritesNothing) {
  const uint8_t prk[48] = {9};
  uint8_t sentinel = 0xAA;
  EXPECT_EQ(hkdf_expand_sha256(prk, nullptr, 0, &sentinel, 0), 0);
  EXPECT_EQ(hkdf_expand_sha384(prk, nullptr, 0, &sentinel, 0), 0);
  EXPECT_EQ(sentinel, 0xAA);
}

// T(i) = HMAC(PRK, T(i-1) || info || i): checked for the first two blocks through the
// one-shot HMAC, and a shorter output is a prefix of a longer one.
TEST(Hkdf, BlocksChainAndShorterIsPrefix) {
  const bytes prk = vt::pseudo_random(32, 4), info = vt::pseudo_random(300, 5);
  bytes m = info;
  m.push_back(1);
  uint8_t t1[32], t2[32];
  sha256_hmac(prk.data(), 32, m.data(), m.size(), t1);
  m.assign(t1, t1 + 32);
  m.insert(m.end(), info.begin(), info.end());
  m.push_back(2);
  sha256_hmac(prk.data(), 32, m.data(), m.size(), t2);
  bytes out33(33);
  ASSERT_EQ(hkdf_expand_sha256(prk.data(), info.data(), info.size(), out33.data(), 33), 0);
  EXPECT_EQ(to_hex(out33), to_hex(t1, 32) + to_hex(t2, 1));

  for (size_t hash_len : {32, 48}) {
    bytes longer(1000), shorter(421);
    const bytes salt = {7}, ikm = {8};
    ASSERT_EQ(hkdf(hash_len, salt, ikm, info, &longer), 0);
    ASSERT_EQ(hkdf(hash_len, salt, ikm, info, &shorter), 0);
    EXPECT_EQ(to_hex(shorter), to_hex(longer.data(), shorter.size()));
  }
}

void wycheproof(const char* file, size_t hash_len, int expect_valid, int expect_invalid) {
  nlohmann::json j;
  std::string why;
  if (!vt::load_wycheproof(file, &j, &why)) GTEST_SKIP() << why;
  int valid = 0, invalid = 0;
  for (const auto& g : j["testGroups"]) {
    for (const auto& t : g["tests"]) {
      SCOPED_TRACE(t["tcId"].get<int>());
      bytes okm(t["size"].get<size_t>(), 0xAA);
      const int rc = hkdf(hash_len, from_hex(t["salt"]), from_hex(t["ikm"]), from_hex(t["info"]), &okm);
      if (t["result"] == "valid") {
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(to_hex(okm), to_hex(from_hex(t["okm"])));
        ++valid;
      } else {
        // The suite's only invalid cases ask for more than 255 blocks.
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(okm, bytes(okm.size(), 0));
        ++invalid;
      }
    }
  }
  EXPECT_EQ(valid, expect_valid);
  EXPECT_EQ(invalid, expect_invalid);
}

TEST(HkdfWycheproof, Sha256) { wycheproof("hkdf_sha256_test.json", 32, 83, 3); }
TEST(HkdfWycheproof, Sha384) { wycheproof("hkdf_sha384_test.json", 48, 80, 3); }

}  // namespace
