// AES-256 and AES-128 against OpenSSL's libcrypto over many random keys and blocks; AES-256
// CFB over random lengths, and AES key wrap over every length, under both key sizes.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>

#include "aes_paths.h"
#include "crypt.h"
#include "test_support.h"

namespace {

using AesOracle = AesEachPath;

// len bytes of in through cipher under key (and iv) with OpenSSL, all at once, into out.
void openssl_encrypt(const EVP_CIPHER* cipher, const uint8_t* key, const uint8_t* iv, const uint8_t* in,
                     size_t len, uint8_t* out, size_t out_len) {
  EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
  ASSERT_NE(c, nullptr);
  EVP_CIPHER_CTX_set_flags(c, EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
  int n = 0, fin = 0;
  ASSERT_EQ(1, EVP_EncryptInit_ex(c, cipher, nullptr, key, iv));
  EVP_CIPHER_CTX_set_padding(c, 0);
  ASSERT_EQ(1, EVP_EncryptUpdate(c, out, &n, in, static_cast<int>(len)));
  ASSERT_EQ(1, EVP_EncryptFinal_ex(c, out + n, &fin));
  ASSERT_EQ(static_cast<size_t>(n + fin), out_len);
  EVP_CIPHER_CTX_free(c);
}

void openssl_aes256_block(const uint8_t key[32], const uint8_t in[16], uint8_t out[16]) {
  openssl_encrypt(EVP_aes_256_ecb(), key, nullptr, in, 16, out, 16);
}

TEST_P(AesOracle, RandomKeysAndBlocks) {
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

TEST_P(AesOracle, Aes128RandomKeysAndBlocks) {
  for (uint64_t seed = 0; seed < 200; ++seed) {
    vt::bytes key = vt::pseudo_random(16, seed + 2000), block = vt::pseudo_random(16, seed + 3000);
    aes128_ecb_ctx ctx;
    aes128_ecb_keysetup(&ctx, key.data());
    uint8_t ours[16], theirs[16];
    aes128_ecb_encrypt_block(&ctx, block.data(), ours);
    openssl_encrypt(EVP_aes_128_ecb(), key.data(), nullptr, block.data(), 16, theirs, 16);
    ASSERT_EQ(vt::to_hex(ours, 16), vt::to_hex(theirs, 16)) << "seed " << seed;
  }
}

TEST_P(AesOracle, CfbRandomLengthsSeparateAndInPlace) {
  for (uint64_t seed = 0; seed < 300; ++seed) {
    SCOPED_TRACE(seed);
    const size_t len = vt::pseudo_random(1, seed + 4000)[0] + (seed % 3 == 0 ? 256 : 0);
    vt::bytes key = vt::pseudo_random(32, seed + 5000), iv = vt::pseudo_random(16, seed + 6000);
    vt::bytes in = vt::pseudo_random(len, seed + 7000), theirs(len + 16);
    openssl_encrypt(EVP_aes_256_cfb128(), key.data(), iv.data(), in.data(), len, theirs.data(), len);
    vt::bytes ours(len);
    aes256_cfb_encrypt(key.data(), iv.data(), in.data(), len, ours.data());
    ASSERT_EQ(vt::to_hex(ours), vt::to_hex(theirs.data(), len));
    aes256_cfb_encrypt(key.data(), iv.data(), in.data(), len, in.data());
    ASSERT_EQ(in, ours);
  }
}

TEST_P(AesOracle, KeyWrapEveryLengthBothKeySizes) {
  for (size_t len = 16; len <= 1024; len += 8) {
    for (size_t kek_len : {16u, 32u}) {
      SCOPED_TRACE(testing::Message() << "kek " << kek_len << " len " << len);
      vt::bytes kek = vt::pseudo_random(kek_len, len + 8000), in = vt::pseudo_random(len, len + 9000);
      vt::bytes ours(len + 8), theirs(len + 16);
      ASSERT_EQ(0, aes_key_wrap(kek.data(), kek_len, in.data(), len, ours.data()));
      openssl_encrypt(kek_len == 16 ? EVP_aes_128_wrap() : EVP_aes_256_wrap(), kek.data(), nullptr, in.data(),
                      len, theirs.data(), len + 8);
      ASSERT_EQ(vt::to_hex(ours), vt::to_hex(theirs.data(), len + 8));
    }
  }
}

VT_AES_EACH_PATH(AesOracle);

}  // namespace
