// Independent oracle: digests of many random messages of 0 to 1,000 bytes compared with
// OpenSSL's libcrypto, with SHA-256 on the SHA-extension code and on the portable code.
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <random>

#include "crypt.h"
#include "sha_paths.h"
#include "test_support.h"

namespace {

vt::bytes openssl_digest(const EVP_MD* md, const vt::bytes& msg) {
  uint8_t out[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  EXPECT_EQ(1, EVP_Digest(msg.data(), msg.size(), out, &n, md, nullptr));
  return vt::bytes(out, out + n);
}

using ShaOracleEachPath = ShaEachPath;
VT_SHA_EACH_PATH(ShaOracleEachPath);

TEST_P(ShaOracleEachPath, RandomMessagesMatchOpenSsl) {
  std::mt19937 gen(7);
  for (size_t len = 0; len <= 1000; ++len) {
    // Every length up to 300 (all padding cases of both block sizes), then a sample.
    if (len > 300 && std::uniform_int_distribution<int>(0, 3)(gen) != 0) continue;
    vt::bytes msg = vt::pseudo_random(len, len * 31 + 1);
    uint8_t out[64];
    sha1(msg.data(), len, out);
    ASSERT_EQ(vt::bytes(out, out + 20), openssl_digest(EVP_sha1(), msg)) << "sha1 len " << len;
    sha256(msg.data(), len, out);
    ASSERT_EQ(vt::bytes(out, out + 32), openssl_digest(EVP_sha256(), msg)) << "sha256 len " << len;
    sha384(msg.data(), len, out);
    ASSERT_EQ(vt::bytes(out, out + 48), openssl_digest(EVP_sha384(), msg)) << "sha384 len " << len;
    sha512(msg.data(), len, out);
    ASSERT_EQ(vt::bytes(out, out + 64), openssl_digest(EVP_sha512(), msg)) << "sha512 len " << len;
  }
}

}  // namespace
