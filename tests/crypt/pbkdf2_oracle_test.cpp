// PBKDF2-HMAC-SHA-256 against OpenSSL's PKCS5_PBKDF2_HMAC, with salts on both sides of
// 128 bytes and passwords on both sides of the HMAC block.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "crypt.h"
#include "test_support.h"

namespace {

TEST(Pbkdf2Oracle, SaltPasswordAndLengthSweep) {
  for (size_t salt_len : {0, 1, 63, 64, 127, 128, 129, 200, 300}) {
    for (size_t pw_len : {1, 32, 64, 65, 150}) {
      for (size_t out_len : {1, 32, 40, 97}) {
        SCOPED_TRACE(testing::Message() << salt_len << "/" << pw_len << "/" << out_len);
        const vt::bytes salt = vt::pseudo_random(salt_len, salt_len + 1);
        const vt::bytes pw = vt::pseudo_random(pw_len, pw_len + 1000);
        const uint32_t iterations = static_cast<uint32_t>(1 + salt_len % 5);
        vt::bytes ours(out_len), theirs(out_len);
        pbkdf2_sha256(pw.data(), pw_len, salt.data(), salt_len, iterations, ours.data(), out_len);
        ASSERT_EQ(1, PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(pw.data()),
                                       static_cast<int>(pw_len), salt.data(),
                                       static_cast<int>(salt_len), static_cast<int>(iterations),
                                       EVP_sha256(), static_cast<int>(out_len), theirs.data()));
        ASSERT_EQ(vt::to_hex(ours), vt::to_hex(theirs));
      }
    }
  }
}

}  // namespace
