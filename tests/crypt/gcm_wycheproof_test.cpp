// AES-256-GCM against Project Wycheproof, on each AES path: every case with a 256-bit key,
// a 96-bit IV and a 128-bit tag (the only shape the interface has).
#include <gtest/gtest.h>

#include "aead_wycheproof.h"
#include "aes_paths.h"
#include "crypt.h"

namespace {

using Aes256GcmWycheproof = AesEachPath;

TEST_P(Aes256GcmWycheproof, ApplicableCases) {
  vt::check_aead_wycheproof(
      "aes_gcm_test.json",
      [](const uint8_t* key, const uint8_t* iv, const uint8_t* aad, size_t aad_len, const uint8_t* msg,
         size_t len, uint8_t* ct, uint8_t* tag) {
        return aes256gcm_encrypt_aad(key, iv, msg, len, aad, aad_len, ct, tag);
      },
      [](const uint8_t* key, const uint8_t* iv, const uint8_t* aad, size_t aad_len, const uint8_t* ct,
         size_t len, const uint8_t* tag, uint8_t* msg) {
        return aes256gcm_decrypt_aad(key, iv, ct, len, aad, aad_len, tag, msg);
      });
}

VT_AES_EACH_PATH(Aes256GcmWycheproof);

}  // namespace
