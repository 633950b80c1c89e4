// Ed25519 behaviour: key generation and its failure path, determinism, the S range check,
// tampering with any bit, a secret key whose public half does not match, and the
// documented acceptances of small-order and non-canonical keys.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "crypt.h"
#include "curve25519_internal.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

using vt::bytes;

struct Keys {
  uint8_t pk[32];
  uint8_t sk[64];
};

Keys from_seed(uint64_t s) {
  Keys k;
  ed25519_seed_keypair(k.pk, k.sk, vt::pseudo_random(32, s).data());
  return k;
}

bytes operator_message(const uint8_t pk[32]) {
  bytes m(pk, pk + 32);
  for (char c : std::string("operator")) m.push_back(static_cast<uint8_t>(c));
  return m;
}

TEST(Ed25519, KeypairSignsAndVerifiesTheOperatorMessage) {
  Keys k;
  ASSERT_EQ(ed25519_keypair(k.pk, k.sk), 0);
  EXPECT_EQ(bytes(k.sk + 32, k.sk + 64), bytes(k.pk, k.pk + 32));
  Keys again;
  ed25519_seed_keypair(again.pk, again.sk, k.sk);  // the seed alone determines the pair
  EXPECT_EQ(bytes(again.pk, again.pk + 32), bytes(k.pk, k.pk + 32));
  const bytes msg = operator_message(k.pk);
  ASSERT_EQ(msg.size(), 40u);
  uint8_t sig[64], sig2[64];
  ed25519_sign(k.sk, msg.data(), msg.size(), sig);
  ed25519_sign(k.sk, msg.data(), msg.size(), sig2);
  EXPECT_EQ(bytes(sig, sig + 64), bytes(sig2, sig2 + 64));
  EXPECT_EQ(ed25519_verify(k.pk, msg.data(), msg.size(), sig), 0);
  Keys other;
  ASSERT_EQ(ed25519_keypair(other.pk, other.sk), 0);
  EXPECT_NE(bytes(other.pk, other.pk + 32), bytes(k.pk, k.pk + 32));
}

TEST(Ed25519, KeypairFailsCleanlyWhenTheRandomSourceFails) {
  Keys k;
  memset(k.pk, 0xAA, 32);
  memset(k.sk, 0xAA, 64);
  crypt_random_force_fail_FOR_TEST(1);
  EXPECT_EQ(ed25519_keypair(k.pk, k.sk), -1);
  EXPECT_EQ(ed25519_keypair(nullptr, nullptr), -1);
  crypt_random_force_fail_FOR_TEST(0);
  EXPECT_EQ(bytes(k.pk, k.pk + 32), bytes(32, 0));
  EXPECT_EQ(bytes(k.sk, k.sk + 64), bytes(64, 0));
  EXPECT_EQ(ed25519_keypair(k.pk, k.sk), 0);
}

TEST(Ed25519, ScalarRangeCheck) {
  Keys k = from_seed(1);
  const bytes msg = vt::pseudo_random(10, 2);
  uint8_t sig[64];
  ed25519_sign(k.sk, msg.data(), msg.size(), sig);
  ASSERT_EQ(ed25519_verify(k.pk, msg.data(), msg.size(), sig), 0);
  // S + L satisfies the same equation but is not the canonical scalar.
  uint8_t forged[64];
  memcpy(forged, sig, 64);
  unsigned carry = 0;
  for (int i = 0; i < 32; ++i) {
    carry += unsigned{sig[32 + i]} + GROUP_ORDER[i];
    forged[32 + i] = static_cast<uint8_t>(carry);
    carry >>= 8;
  }
  EXPECT_EQ(ed25519_verify(k.pk, msg.data(), msg.size(), forged), -1);
  memcpy(forged + 32, GROUP_ORDER, 32);  // S = L
  EXPECT_EQ(ed25519_verify(k.pk, msg.data(), msg.size(), forged), -1);
  memcpy(forged, sig, 64);
  forged[63] = 0x11;
  EXPECT_EQ(ed25519_verify(k.pk, msg.data(), msg.size(), forged), -1);
}

TEST(Ed25519, AnySingleBitFlipFails) {
  Keys k = from_seed(3);
  bytes msg = vt::pseudo_random(5, 4);
  uint8_t sig[64];
  ed25519_sign(k.sk, msg.data(), msg.size(), sig);
  ASSERT_EQ(ed25519_verify(k.pk, msg.data(), msg.size(), sig), 0);
  for (int bit = 0; bit < 64 * 8; ++bit) {
    sig[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
    EXPECT_EQ(ed25519_verify(k.pk, msg.data(), msg.size(), sig), -1) << "signature bit " << bit;
    sig[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
  }
  for (int bit = 0; bit < 32 * 8; ++bit) {
    k.pk[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
    EXPECT_EQ(ed25519_verify(k.pk, msg.data(), msg.size(), sig), -1) << "key bit " << bit;
    k.pk[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
  }
  for (size_t bit = 0; bit < msg.size() * 8; ++bit) {
    msg[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
    EXPECT_EQ(ed25519_verify(k.pk, msg.data(), msg.size(), sig), -1) << "message bit " << bit;
    msg[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
  }
  EXPECT_EQ(ed25519_verify(k.pk, msg.data(), msg.size() - 1, sig), -1);
}

TEST(Ed25519, PublicHalfOfTheSecretKeyIsHashedAsStored) {
  Keys k = from_seed(5), other = from_seed(6);
  memcpy(k.sk + 32, other.pk, 32);
  const bytes msg = vt::pseudo_random(40, 7);
  uint8_t sig[64];
  ed25519_sign(k.sk, msg.data(), msg.size(), sig);
  EXPECT_EQ(ed25519_verify(k.pk, msg.data(), msg.size(), sig), -1);
  EXPECT_EQ(ed25519_verify(other.pk, msg.data(), msg.size(), sig), -1);
}

TEST(Ed25519, SignatureMayOverlapItsInputs) {
  Keys k = from_seed(8);
  bytes buf = vt::pseudo_random(64, 9);
  uint8_t expect[64];
  ed25519_sign(k.sk, buf.data(), buf.size(), expect);
  const bytes msg = buf;
  ed25519_sign(k.sk, buf.data(), buf.size(), buf.data());
  EXPECT_EQ(buf, bytes(expect, expect + 64));
  EXPECT_EQ(ed25519_verify(k.pk, msg.data(), msg.size(), buf.data()), 0);
  ed25519_sign(k.sk, msg.data(), msg.size(), k.sk);  // over the secret key itself
  EXPECT_EQ(bytes(k.sk, k.sk + 64), bytes(expect, expect + 64));
}

// Two documented acceptances, pinned. The check is cofactorless with no small-order test:
// the neutral key 01 00..00 with R = 01 00..00 and S = 0 verifies every message. A key
// given as y + p decodes to the point of y but is hashed as given: with y = 0 (a point A
// of order 4, so R = -k A with S = 0 verifies whenever k fits), signatures valid under
// the canonical key fail under p's encoding.
TEST(Ed25519, SmallOrderAndNonCanonicalKeysAsDocumented) {
  bytes neutral(32, 0);
  neutral[0] = 1;
  bytes trivial = neutral;
  trivial.resize(64, 0);
  for (size_t len : {0, 1, 40, 300}) {
    const bytes msg = vt::pseudo_random(len, 30 + len);
    EXPECT_EQ(ed25519_verify(neutral.data(), msg.data(), len, trivial.data()), 0) << len;
  }

  const bytes canonical(32, 0);
  bytes plus_p(32, 0xFF);
  plus_p[0] = 0xED;
  plus_p[31] = 0x7F;
  ge a, b;
  ASSERT_EQ(ge_frombytes(&a, canonical.data()), 0);
  ASSERT_EQ(ge_frombytes(&b, plus_p.data()), 0);
  uint8_t ea[32], eb[32];
  ge_tobytes(ea, &a);
  ge_tobytes(eb, &b);
  EXPECT_EQ(bytes(ea, ea + 32), bytes(eb, eb + 32));

  bytes minus_a = canonical, two_a(32, 0xFF);
  minus_a[31] = 0x80;
  two_a[0] = 0xEC;  // (0, -1): y = p - 1
  two_a[31] = 0x7F;
  int valid = 0, refused = 0;
  for (uint8_t m = 0; m < 32; ++m) {
    for (const bytes& r : {neutral, canonical, minus_a, two_a}) {
      bytes sig = r;
      sig.resize(64, 0);
      if (ed25519_verify(canonical.data(), &m, 1, sig.data()) != 0) continue;
      ++valid;
      if (ed25519_verify(plus_p.data(), &m, 1, sig.data()) != 0) ++refused;
    }
  }
  EXPECT_GT(valid, 8);
  EXPECT_GT(refused, 4);
}

}  // namespace
