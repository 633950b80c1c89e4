// An independent CTR_DRBG (AES-256, derivation function, no prediction resistance) written
// from SP 800-90A 10.2.1 and the Block_Cipher_df of 10.3.2 on top of OpenSSL's AES. It is
// the oracle for the DRBG tests and the DRBG fuzz target, so it favours plainness over speed.
#pragma once

#include <openssl/evp.h>

#include <cstdint>
#include <vector>

namespace drbg_ref {

using bytes = std::vector<uint8_t>;

inline bytes aes_ecb(const bytes& key, const bytes& block) {
  EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
  bytes out(16);
  int len = 0;
  EVP_EncryptInit_ex(c, EVP_aes_256_ecb(), nullptr, key.data(), nullptr);
  EVP_CIPHER_CTX_set_padding(c, 0);
  EVP_EncryptUpdate(c, out.data(), &len, block.data(), 16);
  EVP_CIPHER_CTX_free(c);
  return out;
}

inline bytes be32(uint32_t v) {
  return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
          static_cast<uint8_t>(v)};
}

inline bytes cat(bytes a, const bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline bytes xor_bytes(bytes a, const bytes& b) {
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
    out.reserve(n + 16);
    while (out.size() < n) {
      inc(v);
      bytes block = aes_ecb(key, v);
      out.insert(out.end(), block.begin(), block.end());
    }
    out.resize(n);
    update(addl);
    ++counter;
    return out;
  }
};

}  // namespace drbg_ref
