// A random source that fails partway: key generation or any one coefficient draw of the
// split, or a custodian's key, through this program's own OS random call.
#include <gtest/gtest.h>

#include "core_support.h"
#include "os_random_hook.h"

namespace {
long g_draws = 0;       // OS random calls so far
long g_fail_from = -1;  // first call (1-based) that fails; -1 never

int fail_from_hook(uint8_t*, size_t) {
  ++g_draws;
  return g_fail_from > 0 && g_draws >= g_fail_from ? -1 : 0;
}

TEST(VantiroMintRandomFailure, AnyFailedDrawFailsTheMintAndWritesNoRecords) {
  vt::g_os_random_hook = fail_from_hook;
  // A 3-of-5 mint draws once for the seed, then 64 times for the coefficients.
  for (long from : {1L, 2L, 3L, 40L, 65L}) {
    uint8_t pub[32];
    std::memset(pub, 0xAA, sizeof pub);
    char anchor[VANTIRO_ANCHOR_SIZE];
    std::memset(anchor, 'Z', sizeof anchor);
    std::vector<uint8_t> records(5 * VANTIRO_RECORD_SIZE, 0xAA);
    g_draws = 0;
    g_fail_from = from;
    const int rc = vantiro_mint(5, 3, pub, records.data(), anchor, sizeof anchor);
    g_fail_from = -1;
    EXPECT_EQ(-2, rc) << "failing from draw " << from;
    for (uint8_t b : records) ASSERT_EQ(0xAA, b) << from;
    if (from == 1) {  // key generation itself failed: nothing at all written
      for (uint8_t b : pub) ASSERT_EQ(0xAA, b);
      for (char c : anchor) ASSERT_EQ('Z', c);
    }
  }
  // All 65 draws succeeding gives a sound mint; the flag does not stick.
  g_draws = 0;
  g_fail_from = 66;
  vtc::Minted m = vtc::mint(5, 3);
  g_fail_from = -1;
  EXPECT_EQ(0, m.rc);
  EXPECT_EQ(65, g_draws);
}

// A failed custodian key leaves both halves zero, whatever the buffers held.
TEST(VantiroKeygenRandomFailure, BothKeysZero) {
  vt::g_os_random_hook = fail_from_hook;
  uint8_t sk[32], pk[32];
  std::memset(sk, 0xAA, sizeof sk);
  std::memset(pk, 0xAA, sizeof pk);
  g_draws = 0;
  g_fail_from = 1;
  EXPECT_EQ(-2, vantiro_custodian_keygen(sk, pk));
  g_fail_from = -1;
  EXPECT_EQ(vt::bytes(32, 0), vt::bytes(sk, sk + 32));
  EXPECT_EQ(vt::bytes(32, 0), vt::bytes(pk, pk + 32));
}

}  // namespace
