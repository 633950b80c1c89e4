// Constant-time check of AES-256-GCM under valgrind memcheck (run without a single report),
// on the AES-NI and PCLMULQDQ code (which valgrind emulates) and on the portable code.
//
// Marked secret, on each path:
// - a whole encryption's key, IV, plaintext and AAD: neither the AES code, nor the
//   keystream XOR, nor GHASH with its hash key derived from the key may branch on or
//   index memory by them;
// - a whole decryption's key, IV, ciphertext, AAD and received tag, with a good tag and a
//   tampered one. Its single test of the tag verdict is the public outcome; a test hook
//   marks that one byte public just before the test, so every other step stays checked;
// - GHASH driven directly with a secret hash key H and secret data.
// And once, as it has one path: the tag comparison with both tags secret, which must
// read all 16 bytes with no early exit.
#include <cstdio>
#include <string>

#include "aes_internal.h"
#include "crypt.h"
#include "ct_aead.h"
#include "gcm_aead.h"
#include "gcm_internal.h"

using namespace crypt_internal;
using ct_check::check;
using ct_check::g_failures;
using ct_check::g_path;

namespace {

void check_ghash_with_secret_key() {
  vt::bytes hb = vt::pseudo_random(16, 5), data = vt::pseudo_random(16 * 9 + 13, 6);
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
  gcm_verdict_hook_FOR_TEST(ct_check::declassify_verdict);
  std::string ran;
  for (int ni = 1; ni >= 0; --ni) {
    aesni_off_FOR_TEST(ni ? 0 : 1);
    if (ni && !aesni_available()) continue;
    g_path = ni ? "AES-NI" : "portable";
    // Past two groups of eight blocks with a partial block; AAD past a group of four.
    ct_check::check_aead(gcm_seal, gcm_open, 16 * 17 + 5, 16 * 4 + 7);
    check_ghash_with_secret_key();
    ran += ran.empty() ? g_path : std::string(" and ") + g_path;
  }
  aesni_off_FOR_TEST(0);
  g_path = "comparison";
  check_tag_comparison();
  gcm_verdict_hook_FOR_TEST(nullptr);
  if (g_failures != 0) return 1;
  std::printf("ct_gcm: ok (%s)\n", ran.c_str());
  return 0;
}
