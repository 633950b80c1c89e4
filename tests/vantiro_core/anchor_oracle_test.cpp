// The anchor record and a rebuilt root checked with OpenSSL's Ed25519.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "core_support.h"

namespace {

bool openssl_verify(const uint8_t pk[32], const uint8_t* msg, size_t len, const uint8_t* sig) {
  EVP_PKEY* key = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, pk, 32);
  if (key == nullptr) return false;
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  bool ok = EVP_DigestVerifyInit(ctx, nullptr, nullptr, nullptr, key) == 1 &&
            EVP_DigestVerify(ctx, sig, 64, msg, len) == 1;
  EVP_MD_CTX_free(ctx);
  EVP_PKEY_free(key);
  return ok;
}

vt::bytes openssl_public_key(const uint8_t seed[32]) {
  EVP_PKEY* key = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed, 32);
  vt::bytes pk(32);
  size_t len = pk.size();
  EXPECT_EQ(1, EVP_PKEY_get_raw_public_key(key, pk.data(), &len));
  EVP_PKEY_free(key);
  return pk;
}

TEST(VantiroOracle, AnchorVerifiesAndRebuiltSeedGivesThePublishedKey) {
  for (int round = 0; round < 8; ++round) {
    vtc::Minted m = vtc::mint(5, 3);
    ASSERT_EQ(0, m.rc);
    uint8_t msg[40];
    std::memcpy(msg, m.pub, 32);
    std::memcpy(msg + 32, "operator", 8);
    vt::bytes sig = vtc::anchor_sig(m.anchor);
    EXPECT_TRUE(openssl_verify(m.pub, msg, sizeof msg, sig.data()));
    msg[0] ^= 0x40;
    EXPECT_FALSE(openssl_verify(m.pub, msg, sizeof msg, sig.data()));

    std::vector<uint8_t> recs = vtc::pick(m.records, {1, 3, 4});
    uint8_t root[64];
    ASSERT_EQ(0, vantiro_recover(3, recs.data(), root));
    EXPECT_EQ(vt::bytes(m.pub, m.pub + 32), openssl_public_key(root));
  }
}

TEST(VantiroOracle, SignatureOfARootVerifiesWithOpenSsl) {
  vtc::Minted m = vtc::mint(2, 2);
  ASSERT_EQ(0, m.rc);
  uint8_t root[64];
  ASSERT_EQ(0, vantiro_recover(2, m.records.data(), root));
  const vt::bytes msg = vt::pseudo_random(300, 9);
  uint8_t sig[64];
  ASSERT_EQ(0, vantiro_sign(root, msg.data(), msg.size(), sig));
  EXPECT_TRUE(openssl_verify(m.pub, msg.data(), msg.size(), sig));
}

}  // namespace
