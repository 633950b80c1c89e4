// AES-256 against OpenSSL's libcrypto over many random keys and blocks.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "aes_paths.h"
#include "crypt.h"
#include "test_support.h"

namespace {

using Aes256Oracle = AesEachPath;

void openssl_aes256_block(const uint8_t key[32], const uint8_t in[16], uint8_t out[16]) {
  EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
  ASSERT_NE(c, nullptr);
  int len = 0;
  ASSERT_EQ(1, EVP_EncryptInit_ex(c, EVP_aes_256_ecb(), nullptr, key, nullptr));
  EVP_CIPHER_CTX_set_padding(c, 0);
  ASSERT_EQ(1, EVP_EncryptUpdate(c, out, &len, in, 16));
  ASSERT_EQ(len, 16);
  EVP_CIPHER_CTX_free(c);
}

TEST_P(Aes256Oracle, RandomKeysAndBlocks) {
  for (uint64_t seed = 0; seed < 200; ++seed) {
    vt::bytes key = vt::pseudo_random(32, seed);
    vt::bytes blocks = vt::pseudo_random(16 * 8, seed + 1000);
    aes256_ecb_ctx ctx;
    aes256_ecb_keysetup(&ctx, key.data());
    for (size_t b = 0; b < 8; ++b) {
      uint8_t ours[16], theirs[16];
      aes256_ecb_encrypt_block(&ctx, blocks.data() + 16 * b, ours);
      openssl_aes256_block(key.data(), blocks.data() + 16 * b, theirs);
      ASSERT_EQ(vt::to_hex(ours, 16), vt::to_hex(theirs, 16)) << "seed " << seed << " block " << b;
    }
  }
}

VT_AES_EACH_PATH(Aes256Oracle);

}  // namespace
