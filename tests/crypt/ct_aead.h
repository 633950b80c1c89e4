// The constant-time check of a whole AEAD, shared by the valgrind checks of AES-256-GCM
// and ChaCha20-Poly1305: an encryption with its key, nonce, plaintext and AAD secret, and
// decryptions with those and the received tag secret, once with a good tag and once with
// a tampered one. The AEAD's test hook must mark its one tag verdict public (with
// declassify_verdict) before the decryption branches on it.
#pragma once

#include <cstdio>
#include <cstring>

#include "ct.h"
#include "test_support.h"

namespace ct_check {

inline int g_failures = 0;
inline const char* g_path = "";  // named in failure messages

inline void check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAIL (%s): %s\n", g_path, what);
    ++g_failures;
  }
}

inline void declassify_verdict(const void* verdict, size_t len) { CT_PUBLIC(verdict, len); }

inline void mark(vt::bytes* const* all, size_t n, bool secret) {
  for (size_t i = 0; i < n; ++i) {
    if (secret)
      CT_SECRET(all[i]->data(), all[i]->size());
    else
      CT_PUBLIC(all[i]->data(), all[i]->size());
  }
}

// seal(key, nonce, aad, aad_len, pt, len, ct, tag) and
// open(key, nonce, aad, aad_len, ct, len, tag, pt) return 0, or -1 when refused.
template <class Seal, class Open>
void check_aead(Seal seal, Open open, size_t pt_len, size_t aad_len) {
  vt::bytes key = vt::pseudo_random(32, 1), nonce = vt::pseudo_random(12, 2);
  vt::bytes pt = vt::pseudo_random(pt_len, 3), aad = vt::pseudo_random(aad_len, 4);
  vt::bytes* const inputs[] = {&key, &nonce, &pt, &aad};
  vt::bytes ct(pt_len);
  uint8_t tag[16];
  mark(inputs, 4, true);
  int r = seal(key.data(), nonce.data(), aad.data(), aad_len, pt.data(), pt_len, ct.data(), tag);
  mark(inputs, 4, false);
  CT_PUBLIC(ct.data(), ct.size());
  CT_PUBLIC(tag, 16);
  check(r == 0, "encrypt returns 0");

  for (int tampered = 0; tampered < 2; ++tampered) {
    uint8_t t[16];
    std::memcpy(t, tag, 16);
    t[7] = static_cast<uint8_t>(t[7] ^ tampered);
    vt::bytes c = ct, back(pt_len, 0x42);
    mark(inputs, 4, true);
    CT_SECRET(c.data(), c.size());
    CT_SECRET(t, 16);
    r = open(key.data(), nonce.data(), aad.data(), aad_len, c.data(), pt_len, t, back.data());
    mark(inputs, 4, false);
    CT_PUBLIC(back.data(), back.size());
    if (tampered)
      check(r == -1 && back == vt::bytes(pt_len, 0x42), "a tampered tag is refused, nothing written");
    else
      check(r == 0 && back == pt, "round trip with secret inputs");
  }
}

}  // namespace ct_check
