// The hashes, HMAC, HKDF and PBKDF2 on arbitrary input. The first byte picks the operation;
// hashes absorb the input in pieces whose sizes come from the input and must equal the
// one-shot digest; every result must equal OpenSSL's.
#include <fuzzer/FuzzedDataProvider.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/kdf.h>
#include <openssl/core_names.h>
#include <openssl/params.h>

#include <cstring>
#include <vector>

#include "crypt.h"
#include "fuzz_check.h"

namespace {

using bytes = std::vector<uint8_t>;

enum Alg { SHA1, SHA256, SHA384, SHA512 };

const EVP_MD* md_of(Alg a) {
  switch (a) {
    case SHA1: return EVP_sha1();
    case SHA256: return EVP_sha256();
    case SHA384: return EVP_sha384();
    default: return EVP_sha512();
  }
}

size_t size_of(Alg a) { return a == SHA1 ? 20 : a == SHA256 ? 32 : a == SHA384 ? 48 : 64; }

bytes openssl_digest(Alg a, const bytes& data) {
  bytes out(EVP_MAX_MD_SIZE);
  unsigned int n = 0;
  FUZZ_CHECK(EVP_Digest(data.data(), data.size(), out.data(), &n, md_of(a), nullptr) == 1);
  out.resize(n);
  return out;
}

// Piece sizes taken from the input: absorbing data in these runs (the last run takes the
// rest) must give the same digest as absorbing it at once.
std::vector<size_t> cuts_from(FuzzedDataProvider& in) {
  std::vector<size_t> cuts(in.ConsumeIntegralInRange<size_t>(0, 12));
  for (size_t& c : cuts) c = in.ConsumeIntegralInRange<size_t>(0, 300);
  return cuts;
}

template <typename Update>
void absorb_in_pieces(const bytes& data, const std::vector<size_t>& cuts, Update update) {
  size_t off = 0;
  for (size_t c : cuts) {
    size_t n = std::min(c, data.size() - off);
    // An empty piece passes a null pointer, which the contract allows.
    update(n ? data.data() + off : nullptr, n);
    off += n;
  }
  update(data.data() + off, data.size() - off);
}

void fuzz_hash(Alg a, FuzzedDataProvider& in) {
  std::vector<size_t> cuts = cuts_from(in);
  bytes data = in.ConsumeRemainingBytes<uint8_t>();
  uint8_t one_shot[64] = {}, streamed[64] = {};
  switch (a) {
    case SHA1: {
      sha1(data.data(), data.size(), one_shot);
      sha1_ctx c;
      sha1_init(&c);
      absorb_in_pieces(data, cuts, [&](const uint8_t* p, size_t n) { sha1_update(&c, p, n); });
      sha1_final(&c, streamed);
      break;
    }
    case SHA256: {
      sha256(data.data(), data.size(), one_shot);
      sha256_ctx c;
      sha256_init(&c);
      absorb_in_pieces(data, cuts, [&](const uint8_t* p, size_t n) { sha256_update(&c, p, n); });
      sha256_final(&c, streamed);
      FUZZ_CHECK(sha256_equal(one_shot, streamed) == 1);
      uint8_t other[32];
      std::memcpy(other, one_shot, 32);
      other[data.size() % 32] ^= static_cast<uint8_t>(1u << (data.size() % 8));
      FUZZ_CHECK(sha256_equal(one_shot, other) == 0);
      char hex[65];
      sha256_to_hex(one_shot, hex);
      static const char digits[] = "0123456789abcdef";
      for (size_t i = 0; i < 32; ++i)
        FUZZ_CHECK(hex[2 * i] == digits[one_shot[i] >> 4] && hex[2 * i + 1] == digits[one_shot[i] & 15]);
      FUZZ_CHECK(hex[64] == '\0');
      break;
    }
    case SHA384:
    case SHA512: {
      if (a == SHA384) {
        sha384(data.data(), data.size(), one_shot);
      } else {
        sha512(data.data(), data.size(), one_shot);
      }
      sha512_ctx c;
      if (a == SHA384) {
        sha384_init(&c);
      } else {
        sha512_init(&c);
      }
      absorb_in_pieces(data, cuts, [&](const uint8_t* p, size_t n) { sha512_update(&c, p, n); });
      sha512_final(&c, streamed);
      break;
    }
  }
  size_t n = size_of(a);
  FUZZ_CHECK(std::memcmp(one_shot, streamed, n) == 0);
  FUZZ_CHECK(openssl_digest(a, data) == bytes(one_shot, one_shot + n));
}

void our_hmac(Alg a, const uint8_t* key, size_t key_len, const uint8_t* msg, size_t msg_len, uint8_t* out) {
  switch (a) {
    case SHA1: sha1_hmac(key, key_len, msg, msg_len, out); break;
    case SHA256: sha256_hmac(key, key_len, msg, msg_len, out); break;
    default: sha384_hmac(key, key_len, msg, msg_len, out); break;
  }
}

void fuzz_hmac(Alg a, FuzzedDataProvider& in) {
  bytes key = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 300));
  bytes msg = in.ConsumeRemainingBytes<uint8_t>();
  size_t n = size_of(a);
  bytes mac(n);
  our_hmac(a, key.empty() ? nullptr : key.data(), key.size(), msg.empty() ? nullptr : msg.data(), msg.size(),
           mac.data());
  bytes want(EVP_MAX_MD_SIZE);
  unsigned int wn = 0;
  static const uint8_t nothing = 0;
  FUZZ_CHECK(HMAC(md_of(a), key.empty() ? &nothing : key.data(), static_cast<int>(key.size()),
                  msg.empty() ? &nothing : msg.data(), msg.size(), want.data(), &wn) != nullptr);
  want.resize(wn);
  FUZZ_CHECK(mac == want);

  // The MAC may be written over the message or the key it was computed from.
  bytes over_msg(std::max(msg.size(), n));
  std::copy(msg.begin(), msg.end(), over_msg.begin());
  our_hmac(a, key.data(), key.size(), over_msg.data(), msg.size(), over_msg.data());
  FUZZ_CHECK(std::equal(want.begin(), want.end(), over_msg.begin()));
  bytes over_key(std::max(key.size(), n));
  std::copy(key.begin(), key.end(), over_key.begin());
  our_hmac(a, over_key.data(), key.size(), msg.data(), msg.size(), over_key.data());
  FUZZ_CHECK(std::equal(want.begin(), want.end(), over_key.begin()));
}

EVP_KDF* hkdf_kdf() {
  static EVP_KDF* kdf = EVP_KDF_fetch(nullptr, "HKDF", nullptr);
  return kdf;
}

// OpenSSL's HKDF (extract then expand); false when it refuses the length.
bool openssl_hkdf(Alg a, const bytes& salt, const bytes& ikm, const bytes& info, uint8_t* out, size_t out_len) {
  EVP_KDF_CTX* k = EVP_KDF_CTX_new(hkdf_kdf());
  FUZZ_CHECK(k != nullptr);
  OSSL_PARAM params[5];
  size_t i = 0;
  // OpenSSL takes a null pointer for a missing parameter, so empty strings point somewhere.
  static uint8_t nothing = 0;
  auto ptr = [](const bytes& b) { return b.empty() ? &nothing : const_cast<uint8_t*>(b.data()); };
  char* digest = const_cast<char*>(a == SHA256 ? "SHA256" : "SHA384");
  params[i++] = OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0);
  params[i++] = OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, ptr(ikm), ikm.size());
  if (!salt.empty())
    params[i++] =
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, ptr(salt), salt.size());
  params[i++] = OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, ptr(info), info.size());
  params[i] = OSSL_PARAM_construct_end();
  bool ok = EVP_KDF_derive(k, out, out_len, params) == 1;
  EVP_KDF_CTX_free(k);
  return ok;
}

void fuzz_hkdf(Alg a, FuzzedDataProvider& in) {
  const size_t hash_len = a == SHA256 ? 32 : 48;
  const size_t limit = 255 * hash_len;
  bool null_salt = in.ConsumeBool();
  bytes salt = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 200));
  bytes ikm = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 200));
  // Mostly short outputs, sometimes around and past the limit.
  size_t out_len = in.ConsumeBool() ? in.ConsumeIntegralInRange<size_t>(0, 3 * hash_len + 1)
                                    : in.ConsumeIntegralInRange<size_t>(limit - 2, limit + 2);
  size_t prefix_len = in.ConsumeIntegralInRange<size_t>(0, out_len);
  bytes info = in.ConsumeRemainingBytes<uint8_t>();

  uint8_t prk[48];
  const uint8_t* salt_p = null_salt ? nullptr : salt.data();
  size_t salt_n = null_salt ? 0 : salt.size();
  if (a == SHA256) {
    hkdf_extract_sha256(salt_p, salt_n, ikm.data(), ikm.size(), prk);
  } else {
    hkdf_extract_sha384(salt_p, salt_n, ikm.data(), ikm.size(), prk);
  }
  auto expand = [&](uint8_t* out, size_t n) {
    return a == SHA256 ? hkdf_expand_sha256(prk, info.data(), info.size(), out, n)
                       : hkdf_expand_sha384(prk, info.data(), info.size(), out, n);
  };
  bytes out(out_len, 0xa5);
  int rc = expand(out.data(), out_len);
  if (out_len > limit) {
    FUZZ_CHECK(rc == -1);
    FUZZ_CHECK(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0; }));
    bytes refused(out_len);
    FUZZ_CHECK(!openssl_hkdf(a, null_salt ? bytes() : salt, ikm, info, refused.data(), out_len));
    return;
  }
  FUZZ_CHECK(rc == 0);
  if (out_len == 0) return;
  bytes want(out_len);
  FUZZ_CHECK(openssl_hkdf(a, null_salt ? bytes() : salt, ikm, info, want.data(), out_len));
  FUZZ_CHECK(out == want);
  // A shorter expansion is a prefix of the longer one.
  bytes prefix(prefix_len, 0x5a);
  FUZZ_CHECK(expand(prefix.data(), prefix_len) == 0);
  FUZZ_CHECK(std::equal(prefix.begin(), prefix.end(), out.begin()));
}

void fuzz_pbkdf2(FuzzedDataProvider& in) {
  uint32_t iterations = in.ConsumeIntegralInRange<uint32_t>(0, 8);
  size_t out_len = in.ConsumeIntegralInRange<size_t>(0, 100);
  bytes password = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 200));
  bytes salt = in.ConsumeRemainingBytes<uint8_t>();
  // Exactly out_len bytes on the heap, so ASan reports any write past the end.
  bytes out(out_len);
  pbkdf2_sha256(password.empty() ? nullptr : password.data(), password.size(), salt.empty() ? nullptr : salt.data(),
                salt.size(), iterations, out.data(), out_len);
  if (out_len == 0) return;
  bytes want(out_len);
  static const uint8_t nothing = 0;
  FUZZ_CHECK(PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(password.empty() ? &nothing : password.data()),
                               static_cast<int>(password.size()), salt.empty() ? &nothing : salt.data(),
                               static_cast<int>(salt.size()), iterations == 0 ? 1 : static_cast<int>(iterations),
                               EVP_sha256(), static_cast<int>(out_len), want.data()) == 1);
  FUZZ_CHECK(out == want);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  switch (in.ConsumeIntegralInRange<int>(0, 10)) {
    case 0: fuzz_hash(SHA1, in); break;
    case 1: fuzz_hash(SHA256, in); break;
    case 2: fuzz_hash(SHA384, in); break;
    case 3: fuzz_hash(SHA512, in); break;
    case 4: fuzz_hmac(SHA1, in); break;
    case 5: fuzz_hmac(SHA256, in); break;
    case 6: fuzz_hmac(SHA384, in); break;
    case 7: fuzz_hkdf(SHA256, in); break;
    case 8: fuzz_hkdf(SHA384, in); break;
    default: fuzz_pbkdf2(in); break;
  }
  return 0;
}
