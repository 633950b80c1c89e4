// ChaCha20-Poly1305 against OpenSSL's libcrypto over random keys, nonces and lengths
// that end at every offset in a Poly1305 block and around the 64-byte key stream blocks,
// and one input of a whole 64 KiB chunk and a bit more; each result also opens again.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <vector>

#include "crypt.h"
#include "openssl_aead.h"
#include "test_support.h"

namespace {

TEST(ChaCha20Poly1305Oracle, RandomInputs) {
  std::vector<size_t> pt_lens;
  for (size_t n = 0; n <= 130; n += 5) pt_lens.push_back(n);
  for (size_t n : {63, 64, 65, 191, 192, 193, 300, 65536 + 17}) pt_lens.push_back(n);
  uint64_t seed = 1;
  for (size_t pt_len : pt_lens) {
    for (size_t aad_len : {0, 1, 12, 15, 16, 17, 33, 64, 65}) {
      SCOPED_TRACE(testing::Message() << "pt " << pt_len << " aad " << aad_len);
      vt::bytes key = vt::pseudo_random(32, seed++), nonce = vt::pseudo_random(12, seed++);
      vt::bytes pt = vt::pseudo_random(pt_len, seed++), aad = vt::pseudo_random(aad_len, seed++);
      vt::bytes want;
      uint8_t want_tag[16];
      openssl_seal(EVP_chacha20_poly1305(), key, nonce, aad, pt, &want, want_tag);
      vt::bytes got(pt_len + 1), back(pt_len + 1);
      uint8_t tag[16];
      ASSERT_EQ(0, chacha20poly1305_encrypt(key.data(), nonce.data(), aad.data(), aad_len, pt.data(),
                                            pt_len, got.data(), tag));
      EXPECT_EQ(vt::to_hex(got.data(), pt_len), vt::to_hex(want));
      EXPECT_EQ(vt::to_hex(tag, 16), vt::to_hex(want_tag, 16));
      ASSERT_EQ(0, chacha20poly1305_decrypt(key.data(), nonce.data(), aad.data(), aad_len, got.data(),
                                            pt_len, tag, back.data()));
      EXPECT_EQ(vt::to_hex(back.data(), pt_len), vt::to_hex(pt));
    }
  }
}

}  // namespace
