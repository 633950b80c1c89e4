// Streamed Ed25519: no signature when the message changes between the two signing passes
// or the calls come out of order, the state wiped on every path, and a streamed verifier
// that accepts exactly what ed25519_verify accepts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "crypt.h"
#include "curve25519_internal.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

using vt::bytes;

bool all_zero(const void* p, size_t n) {
  const auto* b = static_cast<const uint8_t*>(p);
  for (size_t i = 0; i < n; ++i)
    if (b[i] != 0) return false;
  return true;
}

const bytes kUntouched(64, 0xAA);

TEST(Ed25519Stream, RefusesWhenPassTwoSeesOtherBytes) {
  uint8_t pk[32], sk[64];
  ed25519_seed_keypair(pk, sk, vt::pseudo_random(32, 21).data());
  const bytes m = vt::pseudo_random(1000, 22);
  auto flipped = [&](size_t at, uint8_t bit) {
    bytes c = m;
    c[at] ^= bit;
    return c;
  };
  bytes appended = m, dropped = m;
  appended.push_back(0);
  dropped.pop_back();
  const struct {
    const char* name;
    bytes pass1, pass2;
  } rows[] = {
      {"same bytes", m, m},
      {"first byte changed", m, flipped(0, 0x01)},
      {"middle bit changed", m, flipped(500, 0x10)},
      {"last byte changed", m, flipped(999, 0x80)},
      {"byte appended", m, appended},
      {"last byte dropped", m, dropped},
      {"empty second pass", m, {}},
      {"empty first pass", {}, m},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ed25519_sign_stream st;
    ed25519_sign_stream_init(&st, sk);
    ed25519_sign_stream_update(&st, row.pass1.data(), row.pass1.size());
    ed25519_sign_stream_next_pass(&st);
    ed25519_sign_stream_update(&st, row.pass2.data(), row.pass2.size());
    bytes sig = kUntouched, challenge = kUntouched, digest(kUntouched.begin(), kUntouched.begin() + 32);
    const int rc = ed25519_sign_stream_final(&st, sig.data(), challenge.data(), digest.data());
    EXPECT_TRUE(all_zero(&st, sizeof st));
    if (row.pass1 == row.pass2) {
      ASSERT_EQ(rc, 0);
      uint8_t expect[64];
      ed25519_sign(sk, m.data(), m.size(), expect);
      EXPECT_EQ(sig, bytes(expect, expect + 64));
      sha256(m.data(), m.size(), expect);
      EXPECT_EQ(digest, bytes(expect, expect + 32));
    } else {
      EXPECT_EQ(rc, -1);
      EXPECT_EQ(sig, kUntouched);
      EXPECT_EQ(challenge, kUntouched);
      EXPECT_EQ(digest, bytes(kUntouched.begin(), kUntouched.begin() + 32));
    }
  }
}

TEST(Ed25519Stream, CallsOutOfOrderGiveNoSignature) {
  uint8_t pk[32], sk[64];
  ed25519_seed_keypair(pk, sk, vt::pseudo_random(32, 23).data());
  const bytes m = vt::pseudo_random(77, 24);
  uint8_t expect[64];
  ed25519_sign(sk, m.data(), m.size(), expect);
  // Calls: i init, u update with m, n next pass, a abort, f final; results: one character
  // per final, 0 for a signature and - for a refusal. The state starts all zero and ends
  // so, also after an abort half-way.
  const struct {
    const char* calls;
    const char* results;
  } rows[] = {
      {"iunuf", "0"},  {"iuf", "-"},    {"iunnuf", "-"}, {"iunufuf", "0-"}, {"iunuaf", "-"},
      {"iunauf", "-"}, {"iaunuf", "-"}, {"nuf", "-"},    {"f", "-"},        {"iuniunuf", "0"},
      {"iunnf", "-"},  {"iua", ""},     {"iunua", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.calls);
    ed25519_sign_stream st;
    std::memset(&st, 0, sizeof st);
    std::string results;
    for (const char* c = row.calls; *c; ++c) {
      if (*c == 'i') ed25519_sign_stream_init(&st, sk);
      if (*c == 'u') ed25519_sign_stream_update(&st, m.data(), m.size());
      if (*c == 'n') ed25519_sign_stream_next_pass(&st);
      if (*c == 'a') ed25519_sign_stream_abort(&st);
      if (*c == 'f') {
        bytes sig = kUntouched;
        const int rc = ed25519_sign_stream_final(&st, sig.data(), nullptr, nullptr);
        results += rc == 0 ? '0' : '-';
        EXPECT_EQ(sig, rc == 0 ? bytes(expect, expect + 64) : kUntouched);
      }
    }
    EXPECT_EQ(results, row.results);
    EXPECT_TRUE(all_zero(&st, sizeof st));
  }
}

TEST(Ed25519Stream, VerifierAgreesWithOneShot) {
  uint8_t pk[32], sk[64], sig[64];
  ed25519_seed_keypair(pk, sk, vt::pseudo_random(32, 26).data());
  const bytes m = vt::pseudo_random(300, 27);
  ed25519_sign(sk, m.data(), m.size(), sig);
  auto flip = [](const uint8_t* p, size_t n, size_t at, uint8_t bit) {
    bytes c(p, p + n);
    c[at] ^= bit;
    return c;
  };
  const bytes P(pk, pk + 32), S(sig, sig + 64);
  bytes no_point(32, 0), s_is_l = S, appended = m;
  ge scratch;  // the first y with no x on the curve
  for (no_point[0] = 2; ge_frombytes(&scratch, no_point.data()) == 0;) ++no_point[0];
  std::memcpy(s_is_l.data() + 32, GROUP_ORDER, 32);
  appended.push_back(0);
  const struct {
    const char* name;
    bytes pk, msg, sig;
    bool valid;
  } rows[] = {
      {"valid", P, m, S, true},
      {"message bit", P, flip(m.data(), m.size(), 150, 0x04), S, false},
      {"byte appended", P, appended, S, false},
      {"R bit", P, m, flip(sig, 64, 3, 0x20), false},
      {"S bit", P, m, flip(sig, 64, 40, 0x01), false},
      {"S = L", P, m, s_is_l, false},
      {"key bit", flip(pk, 32, 9, 0x02), m, S, false},
      {"key not a point", no_point, m, S, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const bytes& msg = row.msg;
    const int one_shot = ed25519_verify(row.pk.data(), msg.data(), msg.size(), row.sig.data());
    EXPECT_EQ(one_shot, row.valid ? 0 : -1);
    ed25519_verify_stream st;
    ed25519_verify_stream_init(&st, row.pk.data(), row.sig.data());
    for (size_t at = 0; at < msg.size(); at += 37)
      ed25519_verify_stream_update(&st, msg.data() + at, std::min<size_t>(37, msg.size() - at));
    EXPECT_EQ(ed25519_verify_stream_final(&st), one_shot);
    EXPECT_EQ(ed25519_verify_stream_final(&st), -1);  // a second final without init
  }
}

}  // namespace
