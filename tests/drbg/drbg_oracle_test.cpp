// CTR_DRBG against the independent CTR_DRBG of drbg_reference.h (SP 800-90A on top of
// OpenSSL's AES), over a long stream of generates and reseeds with and without additional
// input. The whole internal state is compared too.
#include <gtest/gtest.h>

#include <cstring>

#include "drbg.h"
#include "drbg_reference.h"
#include "test_support.h"

namespace {

using vt::bytes;
using drbg_ref::RefDrbg;

void expect_same_state(const drbg_ctx& ctx, const RefDrbg& ref) {
  EXPECT_EQ(vt::to_hex(ctx.key, 32), vt::to_hex(ref.key));
  EXPECT_EQ(vt::to_hex(ctx.v, 16), vt::to_hex(ref.v));
  EXPECT_EQ(ctx.reseed_counter, ref.counter);
}

TEST(CtrDrbgOracle, ReseededStreamMatchesReference) {
  uint64_t seed = 500;
  for (int run = 0; run < 6; ++run) {
    SCOPED_TRACE(testing::Message() << "run " << run);
    bytes entropy = vt::pseudo_random(32 + static_cast<size_t>(run) * 7, seed++);
    bytes nonce = vt::pseudo_random(static_cast<size_t>(run % 3) * 8, seed++);
    bytes pers = vt::pseudo_random(static_cast<size_t>(run) * 13, seed++);
    drbg_ctx ctx{};
    RefDrbg ref;
    ASSERT_EQ(0, drbg_instantiate(&ctx, entropy.data(), entropy.size(), nonce.data(), nonce.size(), pers.data(),
                                  pers.size()));
    ref.instantiate(entropy, nonce, pers);
    expect_same_state(ctx, ref);

    for (int step = 0; step < 40; ++step) {
      SCOPED_TRACE(testing::Message() << "step " << step);
      bytes add = vt::pseudo_random((step % 4 == 0) ? 0 : static_cast<size_t>(step * 11 % 97), seed++);
      if (step % 7 == 6) {
        bytes e = vt::pseudo_random(32 + static_cast<size_t>(step % 5) * 9, seed++);
        ASSERT_EQ(0, drbg_reseed(&ctx, e.data(), e.size(), add.data(), add.size()));
        ref.reseed(e, add);
      } else {
        size_t n = 1 + static_cast<size_t>((step * 37 + run * 5) % 150);
        bytes got(n);
        ASSERT_EQ(0, drbg_generate(&ctx, got.data(), n, add.data(), add.size()));
        EXPECT_EQ(vt::to_hex(got), vt::to_hex(ref.generate(n, add)));
      }
      expect_same_state(ctx, ref);
    }
  }
}

TEST(CtrDrbgOracle, CounterCarriesAcrossAllBytes) {
  // With V = ff..ff the next counter block wraps to zero; both generators must agree.
  bytes entropy = vt::pseudo_random(32, 77);
  drbg_ctx ctx{};
  RefDrbg ref;
  ASSERT_EQ(0, drbg_instantiate(&ctx, entropy.data(), 32, nullptr, 0, nullptr, 0));
  ref.instantiate(entropy, {}, {});
  std::memset(ctx.v, 0xff, 16);
  ref.v.assign(16, 0xff);
  bytes got(40);
  ASSERT_EQ(0, drbg_generate(&ctx, got.data(), got.size(), nullptr, 0));
  EXPECT_EQ(vt::to_hex(got), vt::to_hex(ref.generate(40, {})));
  expect_same_state(ctx, ref);
}

}  // namespace
