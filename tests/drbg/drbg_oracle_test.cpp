// CTR_DRBG against the independent CTR_DRBG of drbg_reference.h (SP 800-90A on top of
// OpenSSL's AES), over a long stream of generates and reseeds with and without additional
// input. The whole internal state is compared too.
#include <gtest/gtest.h>

#include <cstring>

#include "aes_paths.h"
#include "drbg.h"
#include "drbg_reference.h"
#include "test_support.h"

namespace {

using CtrDrbgOracle = AesEachPath;

using vt::bytes;
using drbg_ref::RefDrbg;

void expect_same_state(const drbg_ctx& ctx, const RefDrbg& ref) {
  EXPECT_EQ(vt::to_hex(ctx.key, 32), vt::to_hex(ref.key));
  EXPECT_EQ(vt::to_hex(ctx.v, 16), vt::to_hex(ref.v));
  EXPECT_EQ(ctx.reseed_counter, ref.counter);
}

TEST_P(CtrDrbgOracle, ReseededStreamMatchesReference) {
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

TEST_P(CtrDrbgOracle, CounterCarriesAndBatchLengths) {
  // V just below the wrap of all 128 bits and of its lower half, and lengths around the
  // batches of counter blocks that generation encrypts at once; both generators must agree.
  const struct {
    const char* v;  // "" keeps V as instantiated
    size_t len;
  } rows[] = {
      {"ffffffffffffffffffffffffffffffff", 40}, {"0123456789abcdeffffffffffffffffd", 300},
      {"", 255}, {"", 256}, {"", 257}, {"", 1000},
  };
  bytes entropy = vt::pseudo_random(32, 77);
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.v << " len " << row.len);
    drbg_ctx ctx{};
    RefDrbg ref;
    ASSERT_EQ(0, drbg_instantiate(&ctx, entropy.data(), 32, nullptr, 0, nullptr, 0));
    ref.instantiate(entropy, {}, {});
    if (*row.v != 0) {
      ref.v = vt::from_hex(row.v);
      std::memcpy(ctx.v, ref.v.data(), 16);
    }
    bytes got(row.len);
    ASSERT_EQ(0, drbg_generate(&ctx, got.data(), got.size(), nullptr, 0));
    EXPECT_EQ(vt::to_hex(got), vt::to_hex(ref.generate(row.len, {})));
    expect_same_state(ctx, ref);
  }
}

VT_AES_EACH_PATH(CtrDrbgOracle);

}  // namespace
