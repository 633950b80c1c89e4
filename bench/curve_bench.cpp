// Ed25519 key generation, signing of a 40-byte message, verification, and X25519.
#include <openssl/evp.h>
#include <sodium.h>

#include "bench_util.h"
#include "crypt.h"

namespace bench {
namespace {

EVP_PKEY* raw_private(int type, const uint8_t* key) {
  EVP_PKEY* k = EVP_PKEY_new_raw_private_key(type, nullptr, key, 32);
  expect("EVP_PKEY_new_raw_private_key", k != nullptr);
  return k;
}

bool openssl_sign(EVP_MD_CTX* ctx, EVP_PKEY* key, const uint8_t* msg, size_t len, uint8_t sig[64]) {
  size_t n = 64;
  return EVP_DigestSignInit_ex(ctx, nullptr, nullptr, nullptr, nullptr, key, nullptr) == 1 &&
         EVP_DigestSign(ctx, sig, &n, msg, len) == 1;
}

bool openssl_verify(EVP_MD_CTX* ctx, EVP_PKEY* key, const uint8_t* msg, size_t len,
                    const uint8_t sig[64]) {
  return EVP_DigestVerifyInit_ex(ctx, nullptr, nullptr, nullptr, nullptr, key, nullptr) == 1 &&
         EVP_DigestVerify(ctx, sig, 64, msg, len) == 1;
}

void register_ed25519() {
  add("ed25519/keygen", "vantiro", [](benchmark::State& st) {
    uint8_t pk[32], sk[64];
    for (auto _ : st) {
      if (ed25519_keypair(pk, sk) != 0) st.SkipWithError("random source failed");
      benchmark::DoNotOptimize(pk);
    }
    secure_zero(sk, sizeof sk);
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
  add("ed25519/keygen", "openssl", [](benchmark::State& st) {
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "ED25519", nullptr);
    EVP_PKEY_keygen_init(ctx);
    for (auto _ : st) {
      EVP_PKEY* key = nullptr;
      if (EVP_PKEY_keygen(ctx, &key) != 1) st.SkipWithError("keygen failed");
      benchmark::DoNotOptimize(key);
      EVP_PKEY_free(key);
    }
    EVP_PKEY_CTX_free(ctx);
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
  add("ed25519/keygen", "sodium", [](benchmark::State& st) {
    uint8_t pk[32], sk[64];
    for (auto _ : st) {
      crypto_sign_keypair(pk, sk);
      benchmark::DoNotOptimize(pk);
    }
    sodium_memzero(sk, sizeof sk);
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });

  // One key from a fixed seed for every implementation; signatures are deterministic, so
  // all three must produce the same bytes.
  const auto seed = pattern(32, 14);
  const auto msg = pattern(40, 15);
  std::vector<uint8_t> pk(32), sk(64), sig(64);
  {
    uint8_t sodium_pk[32], sodium_sk[64], other[64];
    crypto_sign_seed_keypair(sodium_pk, sodium_sk, seed.data());
    std::copy(sodium_pk, sodium_pk + 32, pk.begin());
    std::copy(sodium_sk, sodium_sk + 64, sk.begin());
    ed25519_sign(sk.data(), msg.data(), msg.size(), sig.data());
    unsigned long long n = 0;
    crypto_sign_detached(other, &n, msg.data(), msg.size(), sk.data());
    expect_same("ed25519 signature (sodium)", sig.data(), other, 64);
    EVP_PKEY* key = raw_private(EVP_PKEY_ED25519, seed.data());
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    expect("openssl sign", openssl_sign(ctx, key, msg.data(), msg.size(), other));
    EVP_MD_CTX_free(ctx);
    EVP_PKEY_free(key);
    expect_same("ed25519 signature (openssl)", sig.data(), other, 64);
    expect("ed25519 verify", ed25519_verify(pk.data(), msg.data(), msg.size(), sig.data()) == 0);
  }

  add("ed25519/sign-40B", "vantiro", [sk, msg](benchmark::State& st) {
    uint8_t out[64];
    for (auto _ : st) {
      ed25519_sign(sk.data(), msg.data(), msg.size(), out);
      benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
  add("ed25519/sign-40B", "openssl", [seed, msg](benchmark::State& st) {
    EVP_PKEY* key = raw_private(EVP_PKEY_ED25519, seed.data());
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    uint8_t out[64];
    for (auto _ : st) {
      if (!openssl_sign(ctx, key, msg.data(), msg.size(), out)) st.SkipWithError("sign failed");
      benchmark::DoNotOptimize(out);
    }
    EVP_MD_CTX_free(ctx);
    EVP_PKEY_free(key);
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
  add("ed25519/sign-40B", "sodium", [sk, msg](benchmark::State& st) {
    uint8_t out[64];
    unsigned long long n = 0;
    for (auto _ : st) {
      crypto_sign_detached(out, &n, msg.data(), msg.size(), sk.data());
      benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });

  add("ed25519/verify-40B", "vantiro", [pk, msg, sig](benchmark::State& st) {
    for (auto _ : st) {
      if (ed25519_verify(pk.data(), msg.data(), msg.size(), sig.data()) != 0)
        st.SkipWithError("rejected");
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
  add("ed25519/verify-40B", "openssl", [pk, msg, sig](benchmark::State& st) {
    EVP_PKEY* key = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, pk.data(), 32);
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    for (auto _ : st) {
      if (!openssl_verify(ctx, key, msg.data(), msg.size(), sig.data()))
        st.SkipWithError("rejected");
    }
    EVP_MD_CTX_free(ctx);
    EVP_PKEY_free(key);
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
  add("ed25519/verify-40B", "sodium", [pk, msg, sig](benchmark::State& st) {
    for (auto _ : st) {
      if (crypto_sign_verify_detached(sig.data(), msg.data(), msg.size(), pk.data()) != 0)
        st.SkipWithError("rejected");
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
}

void register_x25519() {
  const auto scalar = pattern(32, 16);
  std::vector<uint8_t> point(32);
  {
    // A valid public point: the X25519 public key of another fixed scalar.
    const auto other = pattern(32, 17);
    crypto_scalarmult_base(point.data(), other.data());
    uint8_t a[32], b[32], c[32];
    size_t n = 32;
    x25519(a, scalar.data(), point.data());
    expect("sodium x25519", crypto_scalarmult(b, scalar.data(), point.data()) == 0);
    EVP_PKEY* key = raw_private(EVP_PKEY_X25519, scalar.data());
    EVP_PKEY* peer = EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, point.data(), 32);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
    expect("openssl x25519", EVP_PKEY_derive_init(ctx) == 1 && EVP_PKEY_derive_set_peer(ctx, peer) == 1 &&
                                 EVP_PKEY_derive(ctx, c, &n) == 1);
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(peer);
    EVP_PKEY_free(key);
    expect_same("x25519 (sodium)", a, b, 32);
    expect_same("x25519 (openssl)", a, c, 32);
  }
  add("x25519/shared", "vantiro", [scalar, point](benchmark::State& st) {
    uint8_t out[32];
    for (auto _ : st) {
      x25519(out, scalar.data(), point.data());
      benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
  add("x25519/shared", "openssl", [scalar, point](benchmark::State& st) {
    EVP_PKEY* key = raw_private(EVP_PKEY_X25519, scalar.data());
    EVP_PKEY* peer = EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, point.data(), 32);
    EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
    EVP_PKEY_derive_init(ctx);
    EVP_PKEY_derive_set_peer(ctx, peer);
    uint8_t out[32];
    for (auto _ : st) {
      size_t n = 32;
      if (EVP_PKEY_derive(ctx, out, &n) != 1) st.SkipWithError("derive failed");
      benchmark::DoNotOptimize(out);
    }
    EVP_PKEY_CTX_free(ctx);
    EVP_PKEY_free(peer);
    EVP_PKEY_free(key);
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
  add("x25519/shared", "sodium", [scalar, point](benchmark::State& st) {
    uint8_t out[32];
    for (auto _ : st) {
      if (crypto_scalarmult(out, scalar.data(), point.data()) != 0) st.SkipWithError("failed");
      benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
}

}  // namespace

void register_curve() {
  register_ed25519();
  register_x25519();
}

}  // namespace bench
