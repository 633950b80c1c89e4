// Shamir split and combine, CTR_DRBG generation and the entropy source.
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sodium.h>

#include "bench_util.h"
#include "crypt.h"
#include "drbg.h"
#include "entropy.h"
#include "shamir_gf256.h"

namespace bench {
namespace {

int os_rng(uint8_t* buf, size_t len) { return crypt_fill_random(buf, len); }

// Nobody else offers Shamir sharing over GF(2^8): these rows have no peer.
void register_shamir() {
  const auto secret = pattern(64, 18);
  const struct {
    int n, t;
    const char* label;
  } shapes[] = {{5, 3, "3-of-5"}, {16, 16, "16-of-16"}};
  for (const auto& s : shapes) {
    std::vector<uint8_t> xs(static_cast<size_t>(s.n)), shares(static_cast<size_t>(s.n) * 64);
    expect("shamir_split", shamir_split(secret.data(), 64, s.n, s.t, xs.data(), shares.data(),
                                        os_rng) == 0);
    uint8_t back[64];
    expect("shamir_combine", shamir_combine(s.t, 64, xs.data(), shares.data(), back) == 0);
    expect_same("shamir round trip", back, secret.data(), 64);

    add(std::string("shamir-split/") + s.label, "vantiro", [s, secret](benchmark::State& st) {
      std::vector<uint8_t> x(static_cast<size_t>(s.n)), sh(static_cast<size_t>(s.n) * 64);
      for (auto _ : st) {
        shamir_split(secret.data(), 64, s.n, s.t, x.data(), sh.data(), os_rng);
        benchmark::DoNotOptimize(sh.data());
      }
      st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
    });
    add(std::string("shamir-combine/") + s.label, "vantiro",
        [s, xs, shares](benchmark::State& st) {
          uint8_t out[64];
          for (auto _ : st) {
            shamir_combine(s.t, 64, xs.data(), shares.data(), out);
            benchmark::DoNotOptimize(out);
          }
          st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
        });
  }
}

// OpenSSL's CTR-DRBG with AES-256 and the derivation function, seeded from the OS,
// with count-based reseeding pushed out of the way like ours (2^48 requests).
EVP_RAND_CTX* openssl_drbg() {
  EVP_RAND* rand = EVP_RAND_fetch(nullptr, "CTR-DRBG", nullptr);
  expect("EVP_RAND_fetch CTR-DRBG", rand != nullptr);
  EVP_RAND_CTX* ctx = EVP_RAND_CTX_new(rand, nullptr);
  EVP_RAND_free(rand);
  expect("EVP_RAND_CTX_new", ctx != nullptr);
  char cipher[] = "AES-256-CTR";
  int use_df = 1;
  unsigned int requests = 1u << 30;
  OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_DRBG_PARAM_CIPHER, cipher, 0),
                         OSSL_PARAM_construct_int(OSSL_DRBG_PARAM_USE_DF, &use_df),
                         OSSL_PARAM_construct_uint(OSSL_DRBG_PARAM_RESEED_REQUESTS, &requests),
                         OSSL_PARAM_construct_end()};
  expect("EVP_RAND_instantiate", EVP_RAND_instantiate(ctx, 256, 0, nullptr, 0, params) == 1);
  return ctx;
}

void register_drbg() {
  const struct {
    size_t len;
    const char* label;
  } sizes[] = {{64, "64B"}, {1024, "1KiB"}};
  for (const auto& s : sizes) {
    const std::string row = std::string("ctr-drbg/") + s.label;
    add(row, "vantiro", [len = s.len](benchmark::State& st) {
      uint8_t seed[48];
      expect("seed", crypt_fill_random(seed, sizeof seed) == 0);
      drbg_ctx ctx;
      expect("drbg_instantiate",
             drbg_instantiate(&ctx, seed, sizeof seed, nullptr, 0, nullptr, 0) == 0);
      secure_zero(seed, sizeof seed);
      std::vector<uint8_t> out(len);
      for (auto _ : st) {
        if (drbg_generate(&ctx, out.data(), len, nullptr, 0) != 0) st.SkipWithError("generate");
        benchmark::DoNotOptimize(out.data());
      }
      drbg_uninstantiate(&ctx);
      st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * len));
    });
    add(row, "openssl", [len = s.len](benchmark::State& st) {
      EVP_RAND_CTX* ctx = openssl_drbg();
      std::vector<uint8_t> out(len);
      for (auto _ : st) {
        if (EVP_RAND_generate(ctx, out.data(), len, 256, 0, nullptr, 0) != 1)
          st.SkipWithError("generate");
        benchmark::DoNotOptimize(out.data());
      }
      EVP_RAND_CTX_free(ctx);
      st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * len));
    });
  }
}

// 32 conditioned bytes from the health-tested source. The peers have no health-tested
// source; their rows are the nearest offer, 32 bytes from their own generator.
void register_entropy() {
  const std::string row = "entropy-gather/32B";
  add(row, "vantiro", [](benchmark::State& st) {
    expect("entropy_init", entropy_init(8.0, 20) == 0);
    uint8_t out[32];
    for (auto _ : st) {
      if (entropy_gather(out, sizeof out) != 0) st.SkipWithError("gather failed");
      benchmark::DoNotOptimize(out);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * 32));
  });
  add(row, "openssl", [](benchmark::State& st) {
    uint8_t out[32];
    for (auto _ : st) {
      if (RAND_bytes(out, sizeof out) != 1) st.SkipWithError("RAND_bytes failed");
      benchmark::DoNotOptimize(out);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * 32));
  });
  add(row, "sodium", [](benchmark::State& st) {
    uint8_t out[32];
    for (auto _ : st) {
      randombytes_buf(out, sizeof out);
      benchmark::DoNotOptimize(out);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * 32));
  });
}

}  // namespace

void register_misc() {
  register_shamir();
  register_drbg();
  register_entropy();
}

}  // namespace bench
