// PBKDF2-HMAC-SHA-256: RFC 7914 answers, block layout of the output, the iteration and
// length edge cases, long salts taking part whole, and the Wycheproof suite.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "crypt.h"
#include "test_support.h"

namespace {

using vt::bytes;
using vt::to_hex;

bytes str(const char* s) { return bytes(s, s + std::strlen(s)); }

bytes derive(const bytes& pw, const bytes& salt, uint32_t iterations, size_t n) {
  bytes out(n);
  pbkdf2_sha256(pw.data(), pw.size(), salt.data(), salt.size(), iterations, out.data(), n);
  return out;
}

TEST(Pbkdf2, Rfc7914Vectors) {
  EXPECT_EQ(to_hex(derive(str("passwd"), str("salt"), 1, 64)),
            "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
            "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
  EXPECT_EQ(to_hex(derive(str("Password"), str("NaCl"), 80000, 64)),
            "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
            "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d");
}

// With one iteration block i is HMAC(P, S || INT(i)); 40 bytes are block 1 and the
// first 8 bytes of block 2, and 32 bytes are exactly block 1.
TEST(Pbkdf2, OutputIsConsecutiveBlocks) {
  const bytes pw = str("pw"), salt = str("NaCl");
  uint8_t block[2][32];
  for (uint8_t i = 1; i <= 2; ++i) {
    bytes m = salt;
    m.insert(m.end(), {0, 0, 0, i});
    sha256_hmac(pw.data(), pw.size(), m.data(), m.size(), block[i - 1]);
  }
  const bytes forty = derive(pw, salt, 1, 40);
  EXPECT_EQ(to_hex(forty.data(), 32), to_hex(block[0], 32));
  EXPECT_EQ(to_hex(forty.data() + 32, 8), to_hex(block[1], 8));
  EXPECT_EQ(to_hex(derive(pw, salt, 1, 32)), to_hex(block[0], 32));
  // More iterations keep the same layout: a shorter output is a prefix of a longer one.
  const bytes long_out = derive(pw, salt, 3, 100);
  EXPECT_EQ(to_hex(derive(pw, salt, 3, 40)), to_hex(long_out.data(), 40));
}

TEST(Pbkdf2, ZeroIterationsActAsOne) {
  const bytes pw = str("password"), salt = str("salt");
  EXPECT_EQ(derive(pw, salt, 0, 48), derive(pw, salt, 1, 48));
  EXPECT_NE(derive(pw, salt, 2, 48), derive(pw, salt, 1, 48));
}

TEST(Pbkdf2, ZeroLengthWritesNothing) {
  uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  pbkdf2_sha256(nullptr, 0, nullptr, 0, 5, out, 0);
  for (uint8_t b : out) EXPECT_EQ(b, 0xAA);
}

// Every salt byte takes part: a salt longer than 128 bytes no longer collides with its
// first 128 bytes, and changing its last byte changes the key.
TEST(Pbkdf2, WholeSaltTakesPart) {
  const bytes pw = str("password");
  bytes salt = vt::pseudo_random(200, 3);
  const bytes full = derive(pw, salt, 2, 32);
  EXPECT_NE(full, derive(pw, bytes(salt.begin(), salt.begin() + 128), 2, 32));
  salt[199] ^= 1;
  EXPECT_NE(full, derive(pw, salt, 2, 32));
}

TEST(Pbkdf2Wycheproof, HmacSha256) {
  nlohmann::json j;
  std::string why;
  if (!vt::load_wycheproof("pbkdf2_hmacsha256_test.json", &j, &why)) GTEST_SKIP() << why;
  int checked = 0;
  for (const auto& g : j["testGroups"]) {
    for (const auto& t : g["tests"]) {
      SCOPED_TRACE(t["tcId"].get<int>());
      ASSERT_EQ(t["result"], "valid");  // the suite has no other kind; a new one needs a look
      const bytes dk = derive(vt::from_hex(t["password"]), vt::from_hex(t["salt"]),
                              t["iterationCount"].get<uint32_t>(), t["dkLen"].get<size_t>());
      EXPECT_EQ(to_hex(dk), to_hex(vt::from_hex(t["dk"])));
      ++checked;
    }
  }
  EXPECT_EQ(checked, 60);
}

}  // namespace
