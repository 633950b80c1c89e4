// Sealing with an AEAD of OpenSSL's libcrypto (AES-256-GCM, ChaCha20-Poly1305), the
// independent oracle of the *_oracle_test.cpp programs: a 32-byte key, a 12-byte nonce
// and a 16-byte tag.
#pragma once

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "test_support.h"

inline void openssl_seal(const EVP_CIPHER* cipher, const vt::bytes& key, const vt::bytes& iv,
                         const vt::bytes& aad, const vt::bytes& pt, vt::bytes* ct, uint8_t tag[16]) {
  EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
  ASSERT_NE(c, nullptr);
  int len = 0;
  ASSERT_EQ(1, EVP_EncryptInit_ex(c, cipher, nullptr, key.data(), iv.data()));
  if (!aad.empty()) {
    ASSERT_EQ(1, EVP_EncryptUpdate(c, nullptr, &len, aad.data(), static_cast<int>(aad.size())));
  }
  ct->assign(pt.size(), 0);
  if (!pt.empty()) {
    ASSERT_EQ(1, EVP_EncryptUpdate(c, ct->data(), &len, pt.data(), static_cast<int>(pt.size())));
  }
  ASSERT_EQ(1, EVP_EncryptFinal_ex(c, nullptr, &len));
  ASSERT_EQ(1, EVP_CIPHER_CTX_ctrl(c, EVP_CTRL_AEAD_GET_TAG, 16, tag));
  EVP_CIPHER_CTX_free(c);
}
