// Hashes, HMAC, PBKDF2 and HKDF.
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <sodium.h>

#include "bench_util.h"
#include "crypt.h"

namespace bench {
namespace {

struct Size {
  size_t len;
  const char* label;
};
constexpr Size kSizes[] = {{64, "64B"}, {1024, "1KiB"}, {1u << 20, "1MiB"}};

using OursFn = void (*)(const uint8_t*, size_t, uint8_t*);
using SodiumFn = int (*)(unsigned char*, const unsigned char*, unsigned long long);

struct Hash {
  const char* row;
  const char* openssl_name;
  size_t out_len;
  OursFn ours;
  SodiumFn sodium;  // null when libsodium does not offer it
};

void sha384_bytes(const uint8_t* d, size_t n, uint8_t* out) { sha384(d, n, out); }
void sha512_bytes(const uint8_t* d, size_t n, uint8_t* out) { sha512(d, n, out); }
void sha256_bytes(const uint8_t* d, size_t n, uint8_t* out) { sha256(d, n, out); }
void sha1_bytes(const uint8_t* d, size_t n, uint8_t* out) { sha1(d, n, out); }

const Hash kHashes[] = {
    {"sha1", "SHA1", 20, sha1_bytes, nullptr},
    {"sha256", "SHA256", 32, sha256_bytes, crypto_hash_sha256},
    {"sha384", "SHA384", 48, sha384_bytes, nullptr},
    {"sha512", "SHA512", 64, sha512_bytes, crypto_hash_sha512},
};

void openssl_digest(EVP_MD_CTX* ctx, const EVP_MD* md, const uint8_t* d, size_t n, uint8_t* out) {
  EVP_DigestInit_ex2(ctx, md, nullptr);
  EVP_DigestUpdate(ctx, d, n);
  EVP_DigestFinal_ex(ctx, out, nullptr);
}

void register_digests() {
  for (const Hash& h : kHashes) {
    for (const Size& s : kSizes) {
      const std::string row = std::string(h.row) + "/" + s.label;
      const auto data = pattern(s.len);
      EVP_MD* md = EVP_MD_fetch(nullptr, h.openssl_name, nullptr);  // kept for the whole run
      expect("EVP_MD_fetch", md != nullptr);
      {
        uint8_t a[64], b[64];
        EVP_MD_CTX* ctx = EVP_MD_CTX_new();
        h.ours(data.data(), data.size(), a);
        openssl_digest(ctx, md, data.data(), data.size(), b);
        EVP_MD_CTX_free(ctx);
        expect_same(row.c_str(), a, b, h.out_len);
      }
      add(row, "vantiro", [h, data](benchmark::State& st) {
        uint8_t out[64];
        for (auto _ : st) {
          h.ours(data.data(), data.size(), out);
          benchmark::DoNotOptimize(out);
        }
        st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * data.size()));
      });
      add(row, "openssl", [md, data](benchmark::State& st) {
        uint8_t out[64];
        EVP_MD_CTX* ctx = EVP_MD_CTX_new();
        for (auto _ : st) {
          openssl_digest(ctx, md, data.data(), data.size(), out);
          benchmark::DoNotOptimize(out);
        }
        EVP_MD_CTX_free(ctx);
        st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * data.size()));
      });
      if (h.sodium != nullptr) {
        uint8_t a[64], b[64];
        h.ours(data.data(), data.size(), a);
        h.sodium(b, data.data(), data.size());
        expect_same(row.c_str(), a, b, h.out_len);
        add(row, "sodium", [h, data](benchmark::State& st) {
          uint8_t out[64];
          for (auto _ : st) {
            h.sodium(out, data.data(), data.size());
            benchmark::DoNotOptimize(out);
          }
          st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * data.size()));
        });
      }
    }
  }
}

// HMAC-SHA-256 of 64 bytes under a 32-byte key.
void register_hmac() {
  const auto key = pattern(32, 2);
  const auto msg = pattern(64, 3);
  EVP_MAC* mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  expect("EVP_MAC_fetch", mac != nullptr);
  auto openssl_hmac = [key, msg](EVP_MAC_CTX* ctx, uint8_t out[32]) {
    size_t n = 0;
    EVP_MAC_init(ctx, key.data(), key.size(), nullptr);
    EVP_MAC_update(ctx, msg.data(), msg.size());
    EVP_MAC_final(ctx, out, &n, 32);
  };
  auto new_ctx = [mac]() {
    EVP_MAC_CTX* ctx = EVP_MAC_CTX_new(mac);
    char digest[] = "SHA256";
    OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                           OSSL_PARAM_construct_end()};
    EVP_MAC_CTX_set_params(ctx, params);
    return ctx;
  };
  {
    uint8_t a[32], b[32], c[32];
    sha256_hmac(key.data(), key.size(), msg.data(), msg.size(), a);
    EVP_MAC_CTX* ctx = new_ctx();
    openssl_hmac(ctx, b);
    EVP_MAC_CTX_free(ctx);
    crypto_auth_hmacsha256(c, msg.data(), msg.size(), key.data());
    expect_same("hmac-sha256 (openssl)", a, b, 32);
    expect_same("hmac-sha256 (sodium)", a, c, 32);
  }
  const std::string row = "hmac-sha256/64B";
  add(row, "vantiro", [key, msg](benchmark::State& st) {
    uint8_t out[32];
    for (auto _ : st) {
      sha256_hmac(key.data(), key.size(), msg.data(), msg.size(), out);
      benchmark::DoNotOptimize(out);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * msg.size()));
  });
  add(row, "openssl", [openssl_hmac, new_ctx, msg](benchmark::State& st) {
    uint8_t out[32];
    EVP_MAC_CTX* ctx = new_ctx();
    for (auto _ : st) {
      openssl_hmac(ctx, out);
      benchmark::DoNotOptimize(out);
    }
    EVP_MAC_CTX_free(ctx);
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * msg.size()));
  });
  add(row, "sodium", [key, msg](benchmark::State& st) {
    uint8_t out[32];
    for (auto _ : st) {
      crypto_auth_hmacsha256(out, msg.data(), msg.size(), key.data());
      benchmark::DoNotOptimize(out);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * msg.size()));
  });
}

// PBKDF2-HMAC-SHA-256, 32 bytes out, 1000 iterations per call; throughput counts iterations.
void register_pbkdf2() {
  constexpr uint32_t kIter = 1000;
  const auto pw = pattern(16, 4);
  const auto salt = pattern(16, 5);
  {
    uint8_t a[32], b[32];
    pbkdf2_sha256(pw.data(), pw.size(), salt.data(), salt.size(), kIter, a, 32);
    PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(pw.data()), static_cast<int>(pw.size()),
                      salt.data(), static_cast<int>(salt.size()), kIter, EVP_sha256(), 32, b);
    expect_same("pbkdf2-sha256", a, b, 32);
  }
  const std::string row = "pbkdf2-sha256/iteration";
  add(row, "vantiro", [pw, salt](benchmark::State& st) {
    uint8_t out[32];
    for (auto _ : st) {
      pbkdf2_sha256(pw.data(), pw.size(), salt.data(), salt.size(), kIter, out, 32);
      benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations() * kIter));
  });
  add(row, "openssl", [pw, salt](benchmark::State& st) {
    uint8_t out[32];
    for (auto _ : st) {
      PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(pw.data()), static_cast<int>(pw.size()),
                        salt.data(), static_cast<int>(salt.size()), kIter, EVP_sha256(), 32, out);
      benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations() * kIter));
  });
}

// HKDF-SHA-256: extract from 32 bytes of key material under a 32-byte salt, then expand
// 32 bytes with a short info string.
void register_hkdf() {
  const auto ikm = pattern(32, 6);
  const auto salt = pattern(32, 7);
  const auto info = pattern(16, 8);
  EVP_KDF* kdf = EVP_KDF_fetch(nullptr, "HKDF", nullptr);
  expect("EVP_KDF_fetch", kdf != nullptr);
  auto openssl_hkdf = [ikm, salt, info](EVP_KDF_CTX* ctx, uint8_t out[32]) {
    char digest[] = "SHA256";
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, const_cast<uint8_t*>(ikm.data()),
                                          ikm.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<uint8_t*>(salt.data()),
                                          salt.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, const_cast<uint8_t*>(info.data()),
                                          info.size()),
        OSSL_PARAM_construct_end()};
    return EVP_KDF_derive(ctx, out, 32, params) == 1;
  };
  auto ours = [ikm, salt, info](uint8_t out[32]) {
    uint8_t prk[32];
    hkdf_extract_sha256(salt.data(), salt.size(), ikm.data(), ikm.size(), prk);
    hkdf_expand_sha256(prk, info.data(), info.size(), out, 32);
  };
  {
    uint8_t a[32], b[32];
    ours(a);
    EVP_KDF_CTX* ctx = EVP_KDF_CTX_new(kdf);
    expect("EVP_KDF_derive", openssl_hkdf(ctx, b));
    EVP_KDF_CTX_free(ctx);
    expect_same("hkdf-sha256", a, b, 32);
  }
  const std::string row = "hkdf-sha256/32B";
  add(row, "vantiro", [ours](benchmark::State& st) {
    uint8_t out[32];
    for (auto _ : st) {
      ours(out);
      benchmark::DoNotOptimize(out);
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
  add(row, "openssl", [kdf, openssl_hkdf](benchmark::State& st) {
    uint8_t out[32];
    EVP_KDF_CTX* ctx = EVP_KDF_CTX_new(kdf);
    for (auto _ : st) {
      openssl_hkdf(ctx, out);
      benchmark::DoNotOptimize(out);
    }
    EVP_KDF_CTX_free(ctx);
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations()));
  });
}

}  // namespace

void register_hash() {
  register_digests();
  register_hmac();
  register_pbkdf2();
  register_hkdf();
}

}  // namespace bench
