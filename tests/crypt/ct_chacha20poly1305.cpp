// Constant-time check of ChaCha20-Poly1305 under valgrind memcheck (run without a single
// report): whole encryptions and decryptions with every input secret (ct_aead.h), so that
// neither ChaCha20 nor Poly1305, keyed from the secret key, may branch on or index memory
// by them. Two key stream blocks and a partial one; AAD past one Poly1305 block, unaligned.
#include <cstdio>

#include "chacha_internal.h"
#include "crypt.h"
#include "ct_aead.h"

int main() {
  crypt_internal::chacha20poly1305_verdict_hook_FOR_TEST(ct_check::declassify_verdict);
  ct_check::g_path = "ChaCha20-Poly1305";
  ct_check::check_aead(chacha20poly1305_encrypt, chacha20poly1305_decrypt, 64 * 2 + 21, 16 + 7);
  crypt_internal::chacha20poly1305_verdict_hook_FOR_TEST(nullptr);
  if (ct_check::g_failures != 0) return 1;
  std::printf("ct_chacha20poly1305: ok\n");
  return 0;
}
