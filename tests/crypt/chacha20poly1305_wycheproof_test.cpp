// ChaCha20-Poly1305 against Project Wycheproof: every case with a 256-bit key, a 96-bit
// nonce and a 128-bit tag (the only shape the interface has).
#include <gtest/gtest.h>

#include "aead_wycheproof.h"
#include "crypt.h"

namespace {

TEST(ChaCha20Poly1305Wycheproof, ApplicableCases) {
  vt::check_aead_wycheproof("chacha20_poly1305_test.json", chacha20poly1305_encrypt,
                            chacha20poly1305_decrypt);
}

}  // namespace
