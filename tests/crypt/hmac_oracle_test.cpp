// HMAC against OpenSSL's libcrypto over a sweep of key and message lengths that crosses
// every block boundary of the key (hashed or not) and of the message.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "crypt.h"
#include "test_support.h"

namespace {

TEST(HmacOracle, KeyAndMessageLengthSweep) {
  for (size_t key_len = 0; key_len <= 260; key_len += (key_len < 140 ? 1 : 7)) {
    for (size_t msg_len : {0, 1, 55, 56, 64, 111, 112, 128, 300}) {
      SCOPED_TRACE(testing::Message() << key_len << "/" << msg_len);
      const vt::bytes key = vt::pseudo_random(key_len, key_len * 31 + msg_len);
      const vt::bytes msg = vt::pseudo_random(msg_len, msg_len + 5);
      // This libcrypto refuses an empty key; zero padding makes one zero byte the same key.
      const uint8_t zero = 0;
      const uint8_t* okey = key_len == 0 ? &zero : key.data();
      const int okey_len = key_len == 0 ? 1 : static_cast<int>(key_len);
      uint8_t ours[48], theirs[EVP_MAX_MD_SIZE];
      unsigned int n = 0;
      sha1_hmac(key.data(), key_len, msg.data(), msg_len, ours);
      HMAC(EVP_sha1(), okey, okey_len, msg.data(), msg_len, theirs, &n);
      ASSERT_EQ(vt::to_hex(ours, 20), vt::to_hex(theirs, n));
      sha256_hmac(key.data(), key_len, msg.data(), msg_len, ours);
      HMAC(EVP_sha256(), okey, okey_len, msg.data(), msg_len, theirs, &n);
      ASSERT_EQ(vt::to_hex(ours, 32), vt::to_hex(theirs, n));
      sha384_hmac(key.data(), key_len, msg.data(), msg_len, ours);
      HMAC(EVP_sha384(), okey, okey_len, msg.data(), msg_len, theirs, &n);
      ASSERT_EQ(vt::to_hex(ours, 48), vt::to_hex(theirs, n));
    }
  }
}

}  // namespace
