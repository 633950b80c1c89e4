// AES-256-GCM against OpenSSL's libcrypto over random keys, IVs and lengths that cross
// block boundaries and groups of blocks in both the plaintext and the AAD, on both paths.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <vector>

#include "aes_paths.h"
#include "crypt.h"
#include "openssl_aead.h"
#include "test_support.h"

namespace {

using Aes256GcmOracle = AesEachPath;

TEST_P(Aes256GcmOracle, RandomInputs) {
  // Every third length to 69, then lengths around the groups of four and eight blocks.
  std::vector<size_t> pt_lens;
  for (size_t n = 0; n <= 70; n += 3) pt_lens.push_back(n);
  for (size_t n : {64, 65, 127, 128, 129, 255, 256, 257}) pt_lens.push_back(n);
  uint64_t seed = 1;
  for (size_t pt_len : pt_lens) {
    for (size_t aad_len : {0, 1, 15, 16, 17, 45, 64, 65, 129}) {
      SCOPED_TRACE(testing::Message() << "pt " << pt_len << " aad " << aad_len);
      vt::bytes key = vt::pseudo_random(32, seed++), iv = vt::pseudo_random(12, seed++);
      vt::bytes pt = vt::pseudo_random(pt_len, seed++), aad = vt::pseudo_random(aad_len, seed++);
      vt::bytes want;
      uint8_t want_tag[16];
      openssl_seal(EVP_aes_256_gcm(), key, iv, aad, pt, &want, want_tag);
      vt::bytes got(pt_len);
      uint8_t tag[16];
      ASSERT_EQ(0, aes256gcm_encrypt_aad(key.data(), iv.data(), pt.data(), pt_len, aad.data(), aad_len,
                                         got.data(), tag));
      EXPECT_EQ(vt::to_hex(got), vt::to_hex(want));
      EXPECT_EQ(vt::to_hex(tag, 16), vt::to_hex(want_tag, 16));
    }
  }
}

VT_AES_EACH_PATH(Aes256GcmOracle);

}  // namespace
