// CTR_DRBG against an independent CTR_DRBG written here from SP 800-90A (10.2.1 with the
// Block_Cipher_df of 10.3.2) on top of OpenSSL's AES, over a long stream of generates and
// reseeds with and without additional input. The whole internal state is compared too.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstring>

#include "drbg.h"
#include "test_support.h"

namespace {

using vt::bytes;

bytes aes_ecb(const bytes& key, const bytes& block) {
  EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
  bytes out(16);
  int len = 0;
  EVP_EncryptInit_ex(c, EVP_aes_256_ecb(), nullptr, key.data(), nullptr);
  EVP_CIPHER_CTX_set_padding(c, 0);
  EVP_EncryptUpdate(c, out.data(), &len, block.data(), 16);
  EVP_CIPHER_CTX_free(c);
  return out;
}

bytes be32(uint32_t v) {
  return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
          static_cast<uint8_t>(v)};
}

bytes cat(bytes a, const bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bytes xor_bytes(bytes a, const bytes& b) {
  for (size_t i = 0; i < a.size(); ++i) a[i] ^= b[i];
  return a;
}

// Reference generator: seedlen 48, keylen 32, outlen 16.
struct RefDrbg {
  bytes key, v;
  uint64_t counter = 0;

  static void inc(bytes& x) {
    for (size_t i = x.size(); i-- > 0;)
      if (++x[i] != 0) break;
  }

  static bytes bcc(const bytes& k, const bytes& data) {
    bytes chain(16, 0);
    for (size_t off = 0; off < data.size(); off += 16)
      chain = aes_ecb(k, xor_bytes(chain, bytes(data.begin() + static_cast<long>(off),
                                                data.begin() + static_cast<long>(off) + 16)));
    return chain;
  }

  static bytes df(const bytes& input) {
    bytes s = cat(cat(be32(static_cast<uint32_t>(input.size())), be32(48)), input);
    s.push_back(0x80);
    while (s.size() % 16) s.push_back(0);
    bytes k(32);
    for (int i = 0; i < 32; ++i) k[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    bytes temp;
    for (uint32_t i = 0; temp.size() < 48; ++i) temp = cat(temp, bcc(k, cat(cat(be32(i), bytes(12, 0)), s)));
    bytes kk(temp.begin(), temp.begin() + 32), x(temp.begin() + 32, temp.end());
    bytes out;
    while (out.size() < 48) {
      x = aes_ecb(kk, x);
      out = cat(out, x);
    }
    return out;
  }

  void update(const bytes& provided) {
    bytes temp;
    while (temp.size() < 48) {
      inc(v);
      temp = cat(temp, aes_ecb(key, v));
    }
    temp = xor_bytes(temp, provided);
    key.assign(temp.begin(), temp.begin() + 32);
    v.assign(temp.begin() + 32, temp.end());
  }

  void instantiate(const bytes& entropy, const bytes& nonce, const bytes& pers) {
    key.assign(32, 0);
    v.assign(16, 0);
    update(df(cat(cat(entropy, nonce), pers)));
    counter = 1;
  }

  void reseed(const bytes& entropy, const bytes& add) {
    update(df(cat(entropy, add)));
    counter = 1;
  }

  bytes generate(size_t n, const bytes& add) {
    bytes addl(48, 0);
    if (!add.empty()) {
      addl = df(add);
      update(addl);
    }
    bytes out;
    while (out.size() < n) {
      inc(v);
      out = cat(out, aes_ecb(key, v));
    }
    out.resize(n);
    update(addl);
    ++counter;
    return out;
  }
};

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
