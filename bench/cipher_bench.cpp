// AES-256 single block and AES-256-GCM. OpenSSL's rows are also run in a second process
// with its AES-NI and carry-less multiply switched off (scripts/bench.sh sets
// OPENSSL_ia32cap), to compare table-free software with software.
#include <openssl/evp.h>
#include <sodium.h>

#include "bench_util.h"
#include "crypt.h"

namespace bench {
namespace {

void register_block() {
  const auto key = pattern(32, 9);
  const auto block = pattern(16, 10);
  EVP_CIPHER* ecb = EVP_CIPHER_fetch(nullptr, "AES-256-ECB", nullptr);
  expect("EVP_CIPHER_fetch AES-256-ECB", ecb != nullptr);
  auto new_ctx = [ecb, key]() {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex2(ctx, ecb, key.data(), nullptr, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    return ctx;
  };
  {
    uint8_t a[16], b[16];
    int n = 0;
    aes256_ecb_ctx ours;
    aes256_ecb_keysetup(&ours, key.data());
    aes256_ecb_encrypt_block(&ours, block.data(), a);
    EVP_CIPHER_CTX* ctx = new_ctx();
    EVP_EncryptUpdate(ctx, b, &n, block.data(), 16);
    EVP_CIPHER_CTX_free(ctx);
    expect_same("aes256 block", a, b, 16);
  }
  const std::string row = "aes256/block";
  add(row, "vantiro", [key, block](benchmark::State& st) {
    aes256_ecb_ctx ctx;
    aes256_ecb_keysetup(&ctx, key.data());
    uint8_t out[16];
    for (auto _ : st) {
      aes256_ecb_encrypt_block(&ctx, block.data(), out);
      benchmark::DoNotOptimize(out);
    }
    secure_zero(&ctx, sizeof ctx);
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * 16));
  });
  add(row, "openssl", [new_ctx, block](benchmark::State& st) {
    EVP_CIPHER_CTX* ctx = new_ctx();
    uint8_t out[16];
    int n = 0;
    for (auto _ : st) {
      EVP_EncryptUpdate(ctx, out, &n, block.data(), 16);
      benchmark::DoNotOptimize(out);
    }
    EVP_CIPHER_CTX_free(ctx);
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * 16));
  });
}

// One call = one message under a key given with it, as this library's interface takes it:
// every implementation sets up the key schedule and the hash key per message.
struct Gcm {
  EVP_CIPHER* cipher;
  std::vector<uint8_t> key, iv;

  void openssl_encrypt(EVP_CIPHER_CTX* ctx, const uint8_t* in, size_t len, uint8_t* out,
                       uint8_t tag[16]) const {
    int n = 0;
    EVP_EncryptInit_ex2(ctx, cipher, key.data(), iv.data(), nullptr);
    EVP_EncryptUpdate(ctx, out, &n, in, static_cast<int>(len));
    EVP_EncryptFinal_ex(ctx, out + n, &n);
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, 16, tag);
  }
  bool openssl_decrypt(EVP_CIPHER_CTX* ctx, const uint8_t* in, size_t len, const uint8_t tag[16],
                       uint8_t* out) const {
    int n = 0;
    EVP_DecryptInit_ex2(ctx, cipher, key.data(), iv.data(), nullptr);
    EVP_DecryptUpdate(ctx, out, &n, in, static_cast<int>(len));
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_TAG, 16, const_cast<uint8_t*>(tag));
    return EVP_DecryptFinal_ex(ctx, out + n, &n) == 1;
  }
};

void register_gcm() {
  Gcm g{EVP_CIPHER_fetch(nullptr, "AES-256-GCM", nullptr), pattern(32, 11), pattern(12, 12)};
  expect("EVP_CIPHER_fetch AES-256-GCM", g.cipher != nullptr);
  const bool sodium_ok = crypto_aead_aes256gcm_is_available() != 0;
  const struct {
    size_t len;
    const char* label;
  } sizes[] = {{1024, "1KiB"}, {1u << 20, "1MiB"}};
  for (const auto& s : sizes) {
    const auto plain = pattern(s.len, 13);
    std::vector<uint8_t> cipher(s.len), check(s.len);
    uint8_t tag[16], tag2[16];
    aes256gcm_encrypt(g.key.data(), g.iv.data(), plain.data(), s.len, cipher.data(), tag);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    g.openssl_encrypt(ctx, plain.data(), s.len, check.data(), tag2);
    EVP_CIPHER_CTX_free(ctx);
    expect_same("aes256gcm ciphertext", cipher.data(), check.data(), s.len);
    expect_same("aes256gcm tag", tag, tag2, 16);
    if (sodium_ok) {
      unsigned long long tl = 0;
      crypto_aead_aes256gcm_encrypt_detached(check.data(), tag2, &tl, plain.data(), s.len,
                                             nullptr, 0, nullptr, g.iv.data(), g.key.data());
      expect_same("aes256gcm ciphertext (sodium)", cipher.data(), check.data(), s.len);
      expect_same("aes256gcm tag (sodium)", tag, tag2, 16);
    }
    std::vector<uint8_t> tagv(tag, tag + 16);
    const auto bytes = [len = s.len](benchmark::State& st) {
      st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * len));
    };

    const std::string enc = std::string("gcm-encrypt/") + s.label;
    add(enc, "vantiro", [g, plain, bytes](benchmark::State& st) {
      std::vector<uint8_t> out(plain.size());
      uint8_t t[16];
      for (auto _ : st) {
        aes256gcm_encrypt(g.key.data(), g.iv.data(), plain.data(), plain.size(), out.data(), t);
        benchmark::DoNotOptimize(out.data());
      }
      bytes(st);
    });
    add(enc, "openssl", [g, plain, bytes](benchmark::State& st) {
      std::vector<uint8_t> out(plain.size());
      uint8_t t[16];
      EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
      for (auto _ : st) {
        g.openssl_encrypt(c, plain.data(), plain.size(), out.data(), t);
        benchmark::DoNotOptimize(out.data());
      }
      EVP_CIPHER_CTX_free(c);
      bytes(st);
    });
    if (sodium_ok) {
      add(enc, "sodium", [g, plain, bytes](benchmark::State& st) {
        std::vector<uint8_t> out(plain.size());
        uint8_t t[16];
        unsigned long long tl = 0;
        for (auto _ : st) {
          crypto_aead_aes256gcm_encrypt_detached(out.data(), t, &tl, plain.data(), plain.size(),
                                                 nullptr, 0, nullptr, g.iv.data(), g.key.data());
          benchmark::DoNotOptimize(out.data());
        }
        bytes(st);
      });
    }

    const std::string dec = std::string("gcm-decrypt/") + s.label;
    add(dec, "vantiro", [g, cipher, tagv, bytes](benchmark::State& st) {
      std::vector<uint8_t> out(cipher.size());
      for (auto _ : st) {
        const int r = aes256gcm_decrypt(g.key.data(), g.iv.data(), cipher.data(), cipher.size(),
                                        tagv.data(), out.data());
        if (r != 0) st.SkipWithError("tag rejected");
        benchmark::DoNotOptimize(out.data());
      }
      bytes(st);
    });
    add(dec, "openssl", [g, cipher, tagv, bytes](benchmark::State& st) {
      std::vector<uint8_t> out(cipher.size());
      EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
      for (auto _ : st) {
        if (!g.openssl_decrypt(c, cipher.data(), cipher.size(), tagv.data(), out.data()))
          st.SkipWithError("tag rejected");
        benchmark::DoNotOptimize(out.data());
      }
      EVP_CIPHER_CTX_free(c);
      bytes(st);
    });
    if (sodium_ok) {
      add(dec, "sodium", [g, cipher, tagv, bytes](benchmark::State& st) {
        std::vector<uint8_t> out(cipher.size());
        for (auto _ : st) {
          if (crypto_aead_aes256gcm_decrypt_detached(out.data(), nullptr, cipher.data(),
                                                     cipher.size(), tagv.data(), nullptr, 0,
                                                     g.iv.data(), g.key.data()) != 0)
            st.SkipWithError("tag rejected");
          benchmark::DoNotOptimize(out.data());
        }
        bytes(st);
      });
    }
  }
}

}  // namespace

void register_cipher() {
  register_block();
  register_gcm();
}

}  // namespace bench
