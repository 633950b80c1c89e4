// x25519 on an arbitrary scalar and u-coordinate (input: scalar || point || extra) against
// OpenSSL. OpenSSL refuses to derive when the shared value is zero (small-order or zero
// point), where this function returns 32 zero bytes: that is the only allowed difference.
// Also the key conversions: ed25519_pk_to_x25519 of the point bytes equals (1 + y) / (1 - y)
// computed with OpenSSL's bignums, and for the scalar taken as an Ed25519 seed,
// x25519(ed25519_sk_to_x25519(sk), 9) equals ed25519_pk_to_x25519 of its public key.
#include <openssl/bn.h>
#include <openssl/evp.h>

#include <cstring>

#include "crypt.h"
#include "fuzz_check.h"

namespace {

bool openssl_x25519(const uint8_t scalar[32], const uint8_t point[32], uint8_t out[32]) {
  EVP_PKEY* priv = EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, scalar, 32);
  EVP_PKEY* peer = EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, point, 32);
  FUZZ_CHECK(priv != nullptr && peer != nullptr);
  EVP_PKEY_CTX* c = EVP_PKEY_CTX_new(priv, nullptr);
  FUZZ_CHECK(c != nullptr && EVP_PKEY_derive_init(c) == 1);
  size_t len = 32;
  bool ok = EVP_PKEY_derive_set_peer(c, peer) == 1 && EVP_PKEY_derive(c, out, &len) == 1 && len == 32;
  EVP_PKEY_CTX_free(c);
  EVP_PKEY_free(peer);
  EVP_PKEY_free(priv);
  return ok;
}

void reverse32(const uint8_t in[32], uint8_t out[32]) {
  for (int i = 0; i < 32; ++i) out[i] = in[31 - i];
}

// (1 + y) / (1 - y) mod p for the key's y (bit 255 dropped), 0 when 1 - y is 0.
void montgomery_u(const uint8_t pk[32], uint8_t out[32]) {
  uint8_t be[32];
  reverse32(pk, be);
  be[0] &= 0x7f;
  BN_CTX* bc = BN_CTX_new();
  BIGNUM *p = BN_new(), *y = BN_bin2bn(be, 32, nullptr), *num = BN_new(), *den = BN_new(), *u = BN_new();
  FUZZ_CHECK(bc && p && y && num && den && u);
  FUZZ_CHECK(BN_set_word(p, 1) && BN_lshift(p, p, 255) && BN_sub_word(p, 19));
  FUZZ_CHECK(BN_nnmod(y, y, p, bc) && BN_copy(num, y) && BN_add_word(num, 1));
  FUZZ_CHECK(BN_set_word(den, 1) && BN_mod_sub(den, den, y, p, bc));
  if (BN_is_zero(den)) {
    BN_zero(u);
  } else {
    FUZZ_CHECK(BN_mod_inverse(den, den, p, bc) != nullptr && BN_mod_mul(u, num, den, p, bc));
  }
  uint8_t ube[32];
  FUZZ_CHECK(BN_bn2binpad(u, ube, 32) == 32);
  reverse32(ube, out);
  BN_free(p), BN_free(y), BN_free(num), BN_free(den), BN_free(u);
  BN_CTX_free(bc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 64) return 0;
  uint8_t scalar[32], point[32];
  std::memcpy(scalar, data, 32);
  std::memcpy(point, data + 32, 32);

  uint8_t ours[32], theirs[32];
  x25519(ours, scalar, point);
  static const uint8_t zero[32] = {};
  bool is_zero = std::memcmp(ours, zero, 32) == 0;
  bool derived = openssl_x25519(scalar, point, theirs);
  FUZZ_CHECK(derived == !is_zero);
  if (derived) FUZZ_CHECK(std::memcmp(ours, theirs, 32) == 0);

  // The output may overwrite the scalar or the point it was computed from (checked when the
  // input's first extra byte is odd, to keep most runs to one ladder each side).
  if (size > 64 && (data[64] & 1)) {
    uint8_t alias[32];
    std::memcpy(alias, scalar, 32);
    x25519(alias, alias, point);
    FUZZ_CHECK(std::memcmp(alias, ours, 32) == 0);
    std::memcpy(alias, point, 32);
    x25519(alias, scalar, alias);
    FUZZ_CHECK(std::memcmp(alias, ours, 32) == 0);
  }

  uint8_t u[32], want_u[32];
  ed25519_pk_to_x25519(u, point);
  montgomery_u(point, want_u);
  FUZZ_CHECK(std::memcmp(u, want_u, 32) == 0);

  // The scalar as an Ed25519 seed: both conversions meet at the same X25519 public key.
  uint8_t sk[64], pk[32];
  EVP_PKEY* ed = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, scalar, 32);
  size_t len = 32;
  FUZZ_CHECK(ed != nullptr && EVP_PKEY_get_raw_public_key(ed, pk, &len) == 1);
  EVP_PKEY_free(ed);
  std::memcpy(sk, scalar, 32);
  std::memcpy(sk + 32, pk, 32);
  uint8_t xsk[32], xpk[32], from_sk[32];
  static const uint8_t nine[32] = {9};
  ed25519_sk_to_x25519(xsk, sk);
  x25519(from_sk, xsk, nine);
  ed25519_pk_to_x25519(xpk, pk);
  FUZZ_CHECK(std::memcmp(from_sk, xpk, 32) == 0);
  return 0;
}
