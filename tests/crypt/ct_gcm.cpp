// Constant-time check of AES-256-GCM under valgrind memcheck (run without a single report).
//
// What is marked secret, and why:
// - The AES key cannot be: the cipher indexes its S-box with key and state bytes, a known
//   and accepted table-lookup leak. So the key and IV stay public, which keeps every AES
//   input (key, counter blocks, J0, the zero block) public as well.
// - Plaintext and AAD are marked secret for a whole encryption: the keystream XOR and
//   GHASH must neither branch on nor index by them.
// - The hash key H is secret in real use; it is marked secret here by driving GHASH
//   directly with a secret H and secret data, which checks that the multiplication adds
//   V under a mask instead of branching on the bits of H.
// - The tag comparison is checked on its own, with both the expected and the received
//   tag secret: it must read all 16 bytes with no early exit. The single test of its
//   result in decryption is the public verdict, so a whole decryption with a secret tag
//   would report exactly that one, intended branch; the comparison is run alone and its
//   result declassified instead.
#include <cstdio>
#include <cstring>

#include "crypt.h"
#include "ct.h"
#include "gcm_internal.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

int g_failures = 0;

void check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAIL: %s\n", what);
    ++g_failures;
  }
}

void check_encrypt_with_secret_data() {
  vt::bytes key = vt::pseudo_random(32, 1), iv = vt::pseudo_random(12, 2);
  vt::bytes pt = vt::pseudo_random(53, 3), aad = vt::pseudo_random(37, 4);
  vt::bytes ct(pt.size());
  uint8_t tag[16];
  CT_SECRET(pt.data(), pt.size());
  CT_SECRET(aad.data(), aad.size());
  int r = aes256gcm_encrypt_aad(key.data(), iv.data(), pt.data(), pt.size(), aad.data(), aad.size(), ct.data(),
                                tag);
  CT_PUBLIC(pt.data(), pt.size());
  CT_PUBLIC(aad.data(), aad.size());
  CT_PUBLIC(ct.data(), ct.size());
  CT_PUBLIC(tag, 16);
  check(r == 0, "encrypt returns 0");
  vt::bytes back(pt.size());
  check(aes256gcm_decrypt_aad(key.data(), iv.data(), ct.data(), ct.size(), aad.data(), aad.size(), tag,
                              back.data()) == 0 && back == pt,
        "round trip after secret-data encryption");
}

void check_ghash_with_secret_key() {
  vt::bytes hb = vt::pseudo_random(16, 5), data = vt::pseudo_random(45, 6);
  b128 h = b128_from(hb.data());
  b128 want = {0, 0};
  ghash(&want, h, data.data(), data.size());

  b128 got = {0, 0};
  CT_SECRET(&h, sizeof h);
  CT_SECRET(data.data(), data.size());
  ghash(&got, h, data.data(), data.size());
  CT_PUBLIC(&got, sizeof got);
  CT_PUBLIC(&h, sizeof h);
  CT_PUBLIC(data.data(), data.size());
  check(got.hi == want.hi && got.lo == want.lo, "GHASH with a secret hash key");
  check(got.hi != 0 || got.lo != 0, "GHASH result is not trivially zero");
}

void check_tag_comparison() {
  vt::bytes a = vt::pseudo_random(16, 7);
  for (int differing = -1; differing < 16; ++differing) {
    vt::bytes b = a;
    if (differing >= 0) b[static_cast<size_t>(differing)] ^= 0x10;
    CT_SECRET(a.data(), 16);
    CT_SECRET(b.data(), 16);
    uint8_t d = gcm_tag_diff(a.data(), b.data());
    CT_PUBLIC(&d, 1);
    CT_PUBLIC(a.data(), 16);
    CT_PUBLIC(b.data(), 16);
    check((d == 0) == (differing < 0), "tag comparison verdict");
  }
}

}  // namespace

int main() {
  check_encrypt_with_secret_data();
  check_ghash_with_secret_key();
  check_tag_comparison();
  if (g_failures != 0) return 1;
  std::printf("ct_gcm: ok\n");
  return 0;
}
