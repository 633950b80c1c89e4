// X25519 against OpenSSL for random scalars and random u-coordinates (bit 255 included).
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "crypt.h"
#include "test_support.h"

namespace {

struct Pkey {
  EVP_PKEY* k;
  ~Pkey() { EVP_PKEY_free(k); }
};

struct PkeyCtx {
  EVP_PKEY_CTX* c;
  ~PkeyCtx() { EVP_PKEY_CTX_free(c); }
};

TEST(X25519Oracle, MatchesOpenSsl) {
  for (uint64_t iter = 0; iter < 300; ++iter) {
    const vt::bytes scalar = vt::pseudo_random(32, 11000 + iter);
    const vt::bytes point = vt::pseudo_random(32, 21000 + iter);
    uint8_t ours[32];
    x25519(ours, scalar.data(), point.data());

    Pkey priv{EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, scalar.data(), 32)};
    Pkey peer{EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, point.data(), 32)};
    ASSERT_NE(priv.k, nullptr);
    ASSERT_NE(peer.k, nullptr);
    PkeyCtx ctx{EVP_PKEY_CTX_new(priv.k, nullptr)};
    ASSERT_EQ(EVP_PKEY_derive_init(ctx.c), 1);
    ASSERT_EQ(EVP_PKEY_derive_set_peer(ctx.c, peer.k), 1);
    uint8_t theirs[32];
    size_t len = 32;
    ASSERT_EQ(EVP_PKEY_derive(ctx.c, theirs, &len), 1);
    ASSERT_EQ(vt::to_hex(ours, 32), vt::to_hex(theirs, 32)) << "iteration " << iter;

    // The public key of the scalar, against OpenSSL's.
    uint8_t nine[32] = {9}, pub[32], opub[32];
    x25519(pub, scalar.data(), nine);
    len = 32;
    ASSERT_EQ(EVP_PKEY_get_raw_public_key(priv.k, opub, &len), 1);
    ASSERT_EQ(vt::to_hex(pub, 32), vt::to_hex(opub, 32)) << "iteration " << iter;
  }
}

}  // namespace
