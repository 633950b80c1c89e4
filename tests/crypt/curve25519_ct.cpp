// Constant-time check, run under valgrind memcheck: key generation from a fixed seed,
// signing (one-shot and streamed) and X25519 with their secret inputs marked undefined.
// Any branch or memory index that depends on a secret makes memcheck report an error
// (and the run fail).
// Outputs that are public by design are marked defined before they are compared.
#include <cstdio>
#include <cstring>
#include <string>

#include "crypt.h"
#include "ct.h"
#include "curve25519_internal.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

int failures = 0;

void expect_hex(const char* what, const uint8_t* got, size_t n, const char* hex) {
  if (vt::to_hex(got, n) != hex) {
    std::printf("FAIL %s: %s\n", what, vt::to_hex(got, n).c_str());
    ++failures;
  }
}


// One pass over key generation, signing and X25519 with their secrets marked undefined.
void run() {
  // RFC 8032 TEST 2 and RFC 7748 section 5.2, first vector.
  const vt::bytes seed_v = vt::from_hex("4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb");
  const char* pk_hex = "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c";
  const char* sig_hex =
      "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
      "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00";
  uint8_t seed[32], pk[32], sk[64], sig[64];
  std::memcpy(seed, seed_v.data(), 32);
  const uint8_t msg[1] = {0x72};

  CT_SECRET(seed, sizeof seed);
  ed25519_seed_keypair(pk, sk, seed);
  CT_PUBLIC(pk, sizeof pk);
  expect_hex("public key", pk, 32, pk_hex);

  CT_SECRET(sk, 32);  // the seed half; the public half stays defined
  CT_PUBLIC(sk + 32, 32);
  ed25519_sign(sk, msg, sizeof msg, sig);
  CT_PUBLIC(sig, sizeof sig);
  expect_hex("signature", sig, 64, sig_hex);

  // Streamed signing, and its refusal (sig left zero) when pass 2 sees other bytes: both
  // must take the same path.
  for (uint8_t changed = 0; changed < 2; ++changed) {
    ed25519_sign_stream st;
    const uint8_t other[1] = {static_cast<uint8_t>(msg[0] ^ changed)};
    std::memset(sig, 0, sizeof sig);
    ed25519_sign_stream_init(&st, sk);
    ed25519_sign_stream_update(&st, msg, sizeof msg);
    ed25519_sign_stream_next_pass(&st);
    ed25519_sign_stream_update(&st, other, sizeof other);
    (void)ed25519_sign_stream_final(&st, sig, nullptr, nullptr);  // its result is checked by the unit tests
    CT_PUBLIC(sig, sizeof sig);
    expect_hex("streamed signature", sig, 64, changed ? std::string(128, '0').c_str() : sig_hex);
  }

  uint8_t xsk[32];
  ed25519_sk_to_x25519(xsk, sk);  // secret in, secret out
  uint8_t scalar[32], point[32], out[32];
  std::memcpy(scalar, vt::from_hex("a546e36bf0527c9d3b16154b82465edd62144c0ac1fc5a18506a2244ba449ac4").data(), 32);
  std::memcpy(point, vt::from_hex("e6db6867583030db3594c1a424b15f7c726624ec26b3353b10a903a6d0ab1c4c").data(), 32);
  CT_SECRET(scalar, sizeof scalar);
  x25519(out, scalar, point);
  CT_PUBLIC(out, sizeof out);
  expect_hex("x25519", out, 32, "c3da55379de9c6908e94ea4df28d084f32eccf03491c71f754b4075577a28552");

}

}  // namespace

int main() {
  // With the AVX2 lane code where the processor (as valgrind presents it) has it, then
  // with the one-at-a-time code.
  run();
  fe_lanes_off_FOR_TEST(1);
  run();
  fe_lanes_off_FOR_TEST(0);
  if (failures == 0) std::printf("constant-time run complete (lanes %s)\n", fe_lanes_available() ? "on" : "unavailable");
  return failures == 0 ? 0 : 1;
}
