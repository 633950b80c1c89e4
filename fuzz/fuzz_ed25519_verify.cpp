// ed25519_verify on an arbitrary public key, signature and message, against OpenSSL's
// libcrypto. The first input byte picks the mode:
//   even: the rest is pk (32 bytes) || sig (64 bytes) || msg, verified as given;
//   odd:  the rest is seed (32 bytes) || tamper (2 bytes, big-endian) || msg. The key pair
//         and signature come from OpenSSL (ed25519_sign must give the same signature);
//         tamper mod 769 = 0 keeps them, any other value t flips bit t - 1 of pk || sig;
//         then both verify.
// Random bytes reach only the rejecting path; the odd mode keeps the accepting path and
// its near misses under test.
//
// Both verifiers are cofactorless, neither tests for small-order points, both reject S >= L
// and compare R as the bytes given against a canonical encoding. The one place where this
// design may answer otherwise is the decoding of the public key, which accepts two encodings
// that RFC 8032 rejects:
//   - y not reduced: the 255-bit y field holds y + p (possible for y < 19) and decodes as y;
//   - x = 0 with the sign bit set (y = 1 or y = p - 1), decoding to x = 0.
// A disagreement is allowed only when the key is such an encoding and this side is the one
// that accepts; any other disagreement aborts.
#include <openssl/evp.h>

#include <cstring>

#include "crypt.h"
#include "fuzz_check.h"

namespace {

// p = 2^255 - 19, little-endian.
const uint8_t P[32] = {0xed, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                       0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                       0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f};

// The 255-bit y field of an encoding, compared with p as little-endian numbers.
bool y_field_at_least_p(const uint8_t pk[32]) {
  for (int i = 31; i >= 0; --i) {
    uint8_t b = i == 31 ? static_cast<uint8_t>(pk[31] & 0x7f) : pk[i];
    if (b != P[i]) return b > P[i];
  }
  return true;
}

// y = 1 or y = p - 1 (the points with x = 0), given canonically, with the sign bit set.
bool zero_x_with_sign(const uint8_t pk[32]) {
  if ((pk[31] & 0x80) == 0) return false;
  bool one = pk[0] == 1, minus_one = pk[0] == 0xec;
  for (int i = 1; i < 31; ++i) {
    one = one && pk[i] == 0;
    minus_one = minus_one && pk[i] == 0xff;
  }
  one = one && (pk[31] & 0x7f) == 0;
  minus_one = minus_one && (pk[31] & 0x7f) == 0x7f;
  return one || minus_one;
}

bool openssl_verify(const uint8_t pk[32], const uint8_t* msg, size_t len, const uint8_t sig[64]) {
  EVP_PKEY* key = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, pk, 32);
  if (key == nullptr) return false;
  EVP_MD_CTX* c = EVP_MD_CTX_new();
  FUZZ_CHECK(c != nullptr);
  static const uint8_t nothing = 0;
  bool ok = EVP_DigestVerifyInit(c, nullptr, nullptr, nullptr, key) == 1 &&
            EVP_DigestVerify(c, sig, 64, len ? msg : &nothing, len) == 1;
  EVP_MD_CTX_free(c);
  EVP_PKEY_free(key);
  return ok;
}

// OpenSSL's public key and signature for a seed.
void openssl_sign(const uint8_t seed[32], const uint8_t* msg, size_t len, uint8_t pk[32], uint8_t sig[64]) {
  EVP_PKEY* key = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed, 32);
  FUZZ_CHECK(key != nullptr);
  size_t n = 32;
  FUZZ_CHECK(EVP_PKEY_get_raw_public_key(key, pk, &n) == 1 && n == 32);
  EVP_MD_CTX* c = EVP_MD_CTX_new();
  FUZZ_CHECK(c != nullptr);
  static const uint8_t nothing = 0;
  n = 64;
  FUZZ_CHECK(EVP_DigestSignInit(c, nullptr, nullptr, nullptr, key) == 1 &&
             EVP_DigestSign(c, sig, &n, len ? msg : &nothing, len) == 1 && n == 64);
  EVP_MD_CTX_free(c);
  EVP_PKEY_free(key);
}

void compare(const uint8_t pk[32], const uint8_t* msg, size_t len, const uint8_t sig[64]) {
  int rc = ed25519_verify(pk, msg, len, sig);
  FUZZ_CHECK(rc == 0 || rc == -1);
  bool ours = rc == 0;
  bool theirs = openssl_verify(pk, msg, len, sig);
  if (ours != theirs && !(ours && (y_field_at_least_p(pk) || zero_x_with_sign(pk)))) {
    std::fprintf(stderr, "ed25519_verify %s, OpenSSL %s\n", ours ? "accepts" : "rejects",
                 theirs ? "accepts" : "rejects");
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool sign_mode = data[0] & 1;
  ++data, --size;
  if (!sign_mode) {
    if (size < 96) return 0;
    uint8_t pk[32], sig[64];
    std::memcpy(pk, data, 32);
    std::memcpy(sig, data + 32, 64);
    compare(pk, data + 96, size - 96, sig);
    return 0;
  }
  if (size < 34) return 0;
  const uint8_t* msg = data + 34;
  const size_t len = size - 34;
  uint8_t sk[64], sig[64], ours[64];
  std::memcpy(sk, data, 32);
  openssl_sign(sk, msg, len, sk + 32, sig);
  ed25519_sign(sk, msg, len, ours);
  FUZZ_CHECK(std::memcmp(ours, sig, 64) == 0);
  FUZZ_CHECK(ed25519_verify(sk + 32, msg, len, sig) == 0);
  const size_t tamper = (static_cast<size_t>(data[32]) << 8 | data[33]) % 769;
  if (tamper != 0) {
    const size_t bit = tamper - 1;
    uint8_t* target = bit < 256 ? sk + 32 + bit / 8 : sig + (bit - 256) / 8;
    *target ^= static_cast<uint8_t>(1u << (bit % 8));
  }
  compare(sk + 32, msg, len, sig);
  return 0;
}
