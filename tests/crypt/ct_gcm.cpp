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
#include <cstring>
#include <string>

#include "aes_internal.h"
#include "crypt.h"
#include "ct.h"
#include "gcm_internal.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

int g_failures = 0;
const char* g_path = "";

void check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAIL (%s): %s\n", g_path, what);
    ++g_failures;
  }
}

void declassify_verdict(const void* verdict, size_t len) { CT_PUBLIC(verdict, len); }

struct Inputs {
  vt::bytes key = vt::pseudo_random(32, 1), iv = vt::pseudo_random(12, 2);
  // Past two groups of eight blocks with a partial block; AAD past a group of four.
  vt::bytes pt = vt::pseudo_random(16 * 17 + 5, 3), aad = vt::pseudo_random(16 * 4 + 7, 4);
};

void mark_secret(Inputs& in) {
  CT_SECRET(in.key.data(), in.key.size());
  CT_SECRET(in.iv.data(), in.iv.size());
  CT_SECRET(in.pt.data(), in.pt.size());
  CT_SECRET(in.aad.data(), in.aad.size());
}

void mark_public(Inputs& in) {
  CT_PUBLIC(in.key.data(), in.key.size());
  CT_PUBLIC(in.iv.data(), in.iv.size());
  CT_PUBLIC(in.pt.data(), in.pt.size());
  CT_PUBLIC(in.aad.data(), in.aad.size());
}

void check_encrypt_and_decrypt() {
  Inputs in;
  vt::bytes ct(in.pt.size());
  uint8_t tag[16];
  mark_secret(in);
  int r = aes256gcm_encrypt_aad(in.key.data(), in.iv.data(), in.pt.data(), in.pt.size(), in.aad.data(),
                                in.aad.size(), ct.data(), tag);
  mark_public(in);
  CT_PUBLIC(ct.data(), ct.size());
  CT_PUBLIC(tag, 16);
  check(r == 0, "encrypt returns 0");

  for (int tampered = 0; tampered < 2; ++tampered) {
    uint8_t t[16];
    std::memcpy(t, tag, 16);
    t[7] = static_cast<uint8_t>(t[7] ^ tampered);
    vt::bytes c = ct, back(ct.size(), 0x42);
    mark_secret(in);
    CT_SECRET(c.data(), c.size());
    CT_SECRET(t, 16);
    r = aes256gcm_decrypt_aad(in.key.data(), in.iv.data(), c.data(), c.size(), in.aad.data(), in.aad.size(), t,
                              back.data());
    mark_public(in);
    CT_PUBLIC(back.data(), back.size());
    if (tampered) {
      check(r == -1 && back == vt::bytes(ct.size(), 0x42), "a tampered tag is refused, nothing written");
    } else {
      check(r == 0 && back == in.pt, "round trip with secret inputs");
    }
  }
}

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
  gcm_verdict_hook_FOR_TEST(declassify_verdict);
  std::string ran;
  for (int ni = 1; ni >= 0; --ni) {
    aesni_off_FOR_TEST(ni ? 0 : 1);
    if (ni && !aesni_available()) continue;
    g_path = ni ? "AES-NI" : "portable";
    check_encrypt_and_decrypt();
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
