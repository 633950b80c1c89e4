// Wipes of the ceremony core, checked where they are made: each call runs with the stack
// below it painted, and the region it leaves behind must hold no copy of the root, of a
// share row or of a derived secret key. A public value that the call leaves unwiped must
// be found there, which shows that the scan sees the call's frames.
#include <gtest/gtest.h>

#include "core_support.h"
#include "crypt.h"
#include "os_random_hook.h"
#include "shamir_gf256.h"
#include "stack_scan.h"

namespace {

using vt::bytes;

// OS draws taken from a fixed stream, with the address each one filled; from the draw
// numbered fail_from (1-based) on, every draw fails.
struct ScriptedDraws {
  bytes stream = vt::pseudo_random(8192, 77);
  size_t used = 0;
  std::vector<const uint8_t*> at;
  long fail_from = -1;
};
ScriptedDraws g_draws;

int scripted_draw(uint8_t* buf, size_t len) {
  if (g_draws.at.size() == g_draws.at.capacity() || g_draws.used + len > g_draws.stream.size())
    return -1;  // never allocate inside the call under test
  g_draws.at.push_back(buf);
  if (g_draws.fail_from > 0 && static_cast<long>(g_draws.at.size()) >= g_draws.fail_from) return -1;
  std::memcpy(buf, g_draws.stream.data() + g_draws.used, len);
  g_draws.used += len;
  return 1;
}

void script_draws(long fail_from) {
  g_draws.used = 0;
  g_draws.at.clear();
  g_draws.at.reserve(256);
  g_draws.fail_from = fail_from;
  vt::g_os_random_hook = scripted_draw;
}

bytes cat(const bytes& a, const bytes& b) {
  bytes out = a;
  out.insert(out.end(), b.begin(), b.end());
  return out;
}

bytes row_of(const std::vector<uint8_t>& records, size_t i) {
  const auto at = records.begin() + static_cast<long>(i * VANTIRO_RECORD_SIZE + 1);
  return bytes(at, at + 64);
}

// The root as key generation makes it from a seed: seed || its public key.
bytes root_of_seed(const uint8_t* seed) {
  uint8_t pk[32], sk[64];
  ed25519_seed_keypair(pk, sk, seed);
  return bytes(sk, sk + 64);
}

void expect_visible_and_clean(const vt::StackSnapshot& snap, const bytes& left_public,
                              const std::vector<bytes>& secrets) {
  ASSERT_TRUE(snap.holds(left_public)) << "the scan does not see the call's frames";
  for (size_t i = 0; i < secrets.size(); ++i)
    EXPECT_FALSE(snap.holds(secrets[i])) << "secret " << i << " left on the stack";
}

TEST(VantiroWipes, MintLeavesNoRootNoShareRow) {
  struct {
    int n, t;
    size_t anchor_size;
    long fail_from;
    int rc;
  } cases[] = {
      {5, 3, VANTIRO_ANCHOR_SIZE, -1, 0},
      {16, 16, VANTIRO_ANCHOR_SIZE, -1, 0},
      {5, 3, VANTIRO_ANCHOR_SIZE - 1, -1, -5},
      // Every coefficient draw fails: zero coefficients, so every share row is the root.
      {5, 3, VANTIRO_ANCHOR_SIZE, 2, -2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.n << "/" << c.t << " rc " << c.rc);
    uint8_t pub[32];
    std::vector<uint8_t> records(static_cast<size_t>(c.n) * VANTIRO_RECORD_SIZE, 0);
    std::vector<char> anchor(VANTIRO_ANCHOR_SIZE);
    int rc = 99;
    script_draws(c.fail_from);
    const vt::StackSnapshot snap = vt::stack_after(
        [&] { rc = vantiro_mint(c.n, c.t, pub, records.data(), anchor.data(), c.anchor_size); });
    vt::g_os_random_hook = nullptr;
    ASSERT_EQ(c.rc, rc);
    for (const uint8_t* p : g_draws.at) ASSERT_TRUE(snap.covers(p));

    std::vector<bytes> secrets = {root_of_seed(g_draws.stream.data())};
    ASSERT_EQ(bytes(pub, pub + 32), bytes(secrets[0].begin() + 32, secrets[0].end()));
    if (rc == 0) {
      for (size_t i = 0; i < static_cast<size_t>(c.n); ++i) secrets.push_back(row_of(records, i));
    }
    const bytes message = cat(bytes(pub, pub + 32), bytes{'o', 'p', 'e', 'r', 'a', 't', 'o', 'r'});
    expect_visible_and_clean(snap, message, secrets);
  }
}

TEST(VantiroWipes, RecoverLeavesNoShareRowNoRoot) {
  const vtc::Minted a = vtc::mint(5, 3);
  const vtc::Minted b = vtc::mint(5, 3);
  ASSERT_EQ(0, a.rc);
  ASSERT_EQ(0, b.rc);
  struct {
    std::vector<uint8_t> recs;
    int rc;
  } cases[] = {
      {vtc::pick(a.records, {0, 2, 4}), 0},
      {cat(vtc::pick(a.records, {0, 1}), vtc::pick(b.records, {2})), -3},  // mixed roots
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rc);
    std::vector<uint8_t> root(64, 0xAA);
    int rc = 99;
    const vt::StackSnapshot snap =
        vt::stack_after([&] { rc = vantiro_recover(3, c.recs.data(), root.data()); });
    ASSERT_EQ(c.rc, rc);
    // What the combine rebuilt, and the key pair that the check derived from it.
    uint8_t xs[3], ys[3 * 64], rebuilt[64];
    for (size_t i = 0; i < 3; ++i) {
      xs[i] = c.recs[i * VANTIRO_RECORD_SIZE];
      std::memcpy(ys + 64 * i, &c.recs[i * VANTIRO_RECORD_SIZE + 1], 64);
    }
    ASSERT_EQ(0, shamir_combine(3, 64, xs, ys, rebuilt));
    const bytes derived = root_of_seed(rebuilt);
    EXPECT_EQ(rc == 0 ? derived : bytes(64, 0), root);
    std::vector<bytes> secrets = {derived};
    for (size_t i = 0; i < 3; ++i) secrets.push_back(row_of(c.recs, i));
    expect_visible_and_clean(snap, bytes(derived.begin() + 32, derived.end()), secrets);
  }
}

TEST(VantiroWipes, SignLeavesNoDerivedSecretKey) {
  uint8_t pk[32], sk[64], other_pk[32], other_sk[64];
  ASSERT_EQ(0, ed25519_keypair(pk, sk));
  ASSERT_EQ(0, ed25519_keypair(other_pk, other_sk));
  const bytes good(sk, sk + 64);
  const bytes mixed = cat(bytes(sk, sk + 32), bytes(other_pk, other_pk + 32));
  const bytes msg = vt::pseudo_random(40, 3);
  for (const auto& [key, want] : {std::pair{good, 0}, {mixed, -3}}) {
    SCOPED_TRACE(want);
    std::vector<uint8_t> sig(64);
    int rc = 99;
    const vt::StackSnapshot snap =
        vt::stack_after([&] { rc = vantiro_sign(key.data(), msg.data(), msg.size(), sig.data()); });
    ASSERT_EQ(want, rc);
    // The check derives seed || pk from the seed: the good root itself.
    expect_visible_and_clean(snap, bytes(pk, pk + 32), {good});
  }
  secure_zero(sk, sizeof sk);
  secure_zero(other_sk, sizeof other_sk);
}

}  // namespace
