// AES-256-GCM against Project Wycheproof, on each AES path: every case with a 256-bit key,
// a 96-bit IV and a 128-bit tag (the only shape the interface has).
#include <gtest/gtest.h>

#include "aead_wycheproof.h"
#include "aes_paths.h"
#include "gcm_aead.h"

namespace {

using Aes256GcmWycheproof = AesEachPath;

TEST_P(Aes256GcmWycheproof, ApplicableCases) {
  vt::check_aead_wycheproof("aes_gcm_test.json", gcm_seal, gcm_open);
}

VT_AES_EACH_PATH(Aes256GcmWycheproof);

}  // namespace
