// Ed25519 against OpenSSL: identical public keys and signatures for random seeds and
// messages of random length, and each side accepts the other's signatures; large messages
// signed through the streamed interface.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>

#include "crypt.h"
#include "curve25519_internal.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

struct Pkey {
  EVP_PKEY* k;
  ~Pkey() { EVP_PKEY_free(k); }
};

struct MdCtx {
  EVP_MD_CTX* c = EVP_MD_CTX_new();
  ~MdCtx() { EVP_MD_CTX_free(c); }
};

TEST(Ed25519Oracle, MatchesOpenSsl) {
  for (uint64_t iter = 0; iter < 200; ++iter) {
    const vt::bytes seed = vt::pseudo_random(32, 7000 + iter);
    const vt::bytes msg = vt::pseudo_random(vt::pseudo_random(1, iter)[0] + (iter % 3) * 200, iter);
    uint8_t pk[32], sk[64], sig[64];
    ed25519_seed_keypair(pk, sk, seed.data());
    ed25519_sign(sk, msg.data(), msg.size(), sig);

    Pkey priv{EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, seed.data(), 32)};
    ASSERT_NE(priv.k, nullptr);
    uint8_t opk[32];
    size_t len = 32;
    ASSERT_EQ(EVP_PKEY_get_raw_public_key(priv.k, opk, &len), 1);
    ASSERT_EQ(vt::to_hex(pk, 32), vt::to_hex(opk, 32)) << "iteration " << iter;

    uint8_t osig[64];
    size_t siglen = 64;
    MdCtx sctx;
    ASSERT_EQ(EVP_DigestSignInit(sctx.c, nullptr, nullptr, nullptr, priv.k), 1);
    ASSERT_EQ(EVP_DigestSign(sctx.c, osig, &siglen, msg.data(), msg.size()), 1);
    ASSERT_EQ(vt::to_hex(sig, 64), vt::to_hex(osig, 64)) << "iteration " << iter;

    // Cross verification, also of a tampered copy.
    Pkey pub{EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, pk, 32)};
    ASSERT_NE(pub.k, nullptr);
    uint8_t bad[64];
    memcpy(bad, sig, 64);
    bad[iter % 64] ^= static_cast<uint8_t>(1u << (iter % 8));
    for (const uint8_t* s : {static_cast<const uint8_t*>(sig), static_cast<const uint8_t*>(bad)}) {
      MdCtx vctx;
      ASSERT_EQ(EVP_DigestVerifyInit(vctx.c, nullptr, nullptr, nullptr, pub.k), 1);
      const int theirs = EVP_DigestVerify(vctx.c, s, 64, msg.data(), msg.size()) == 1;
      const int ours = ed25519_verify(pk, msg.data(), msg.size(), s) == 0;
      EXPECT_EQ(ours, theirs) << "iteration " << iter;
      EXPECT_EQ(ours, s == sig) << "iteration " << iter;
    }
  }
}

TEST(Ed25519Oracle, StreamedLargeMessagesVerifyUnderOpenSsl) {
  const size_t kChunk = 64 * 1024;
  for (uint64_t iter = 0; iter < 3; ++iter) {
    const vt::bytes seed = vt::pseudo_random(32, 9000 + iter);
    const vt::bytes msg = vt::pseudo_random((1u << 20) + iter * 4097, 9100 + iter);
    uint8_t pk[32], sk[64], sig[64];
    ed25519_seed_keypair(pk, sk, seed.data());
    ed25519_sign_stream st;
    ed25519_sign_stream_init(&st, sk);
    for (int pass = 0; pass < 2; ++pass) {
      if (pass == 1) ed25519_sign_stream_next_pass(&st);
      for (size_t at = 0; at < msg.size(); at += kChunk)
        ed25519_sign_stream_update(&st, msg.data() + at, std::min(kChunk, msg.size() - at));
    }
    ASSERT_EQ(ed25519_sign_stream_final(&st, sig, nullptr, nullptr), 0) << "iteration " << iter;

    Pkey pub{EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, pk, 32)};
    ASSERT_NE(pub.k, nullptr);
    MdCtx vctx;
    ASSERT_EQ(EVP_DigestVerifyInit(vctx.c, nullptr, nullptr, nullptr, pub.k), 1);
    EXPECT_EQ(EVP_DigestVerify(vctx.c, sig, 64, msg.data(), msg.size()), 1) << "iteration " << iter;
  }
}

}  // namespace
