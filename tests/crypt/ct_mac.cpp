// Constant-time check: the HMAC keys, the HKDF input key material and PRK, and the
// PBKDF2 password are marked undefined, so valgrind reports any branch or memory index
// that depends on them. Lengths, messages, salts and info are public. Key lengths on
// both sides of each block size cover the hashed-key path too.
#include <cstdio>

#include "crypt.h"
#include "ct.h"

int main() {
  uint8_t key[300], msg[150], out[12300];
  for (size_t i = 0; i < sizeof key; ++i) key[i] = static_cast<uint8_t>(i * 7 + 1);
  for (size_t i = 0; i < sizeof msg; ++i) msg[i] = static_cast<uint8_t>(i);

  const size_t key_lens[] = {0, 20, 64, 65, 128, 129, 300};
  for (size_t key_len : key_lens) {
    CT_SECRET(key, sizeof key);
    sha1_hmac(key, key_len, msg, sizeof msg, out);
    sha256_hmac(key, key_len, msg, sizeof msg, out);
    sha384_hmac(key, key_len, msg, sizeof msg, out);
    // Output aliasing the secret key.
    sha256_hmac(key, key_len, key, 32, key);
    pbkdf2_sha256(key, key_len, msg, 150, 3, out, 70);
  }

  uint8_t prk[48];
  CT_SECRET(key, sizeof key);
  hkdf_extract_sha256(msg, 16, key, 40, prk);
  int rc = hkdf_expand_sha256(prk, msg, 10, out, 100);
  hkdf_extract_sha384(nullptr, 0, key, 40, prk);
  rc |= hkdf_expand_sha384(prk, msg, 10, out, 100);
  hkdf_extract_sha256(key, 200, msg, 40, prk);  // secret salt, hashed as an HMAC key
  rc |= hkdf_expand_sha256(prk, msg, 150, out, 8160);
  CT_SECRET(prk, sizeof prk);
  rc |= hkdf_expand_sha384(prk, nullptr, 0, out, 12240);

  // The status and the length are public; the derived bytes stay secret.
  CT_PUBLIC(&rc, sizeof rc);
  std::printf("ct_mac: %s\n", rc == 0 ? "done" : "unexpected status");
  return rc == 0 ? 0 : 1;
}
