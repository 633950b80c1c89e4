// AES-256-GCM on arbitrary key, IV, AAD, data and tag. Decryption of the input as given must
// agree with OpenSSL on accept or reject and, on reject, leave the output buffer exactly as
// it was (separate buffers and in place). The input data, encrypted, must match OpenSSL's
// ciphertext and tag, decrypt back, and be refused with the output untouched after any one
// bit of ciphertext, AAD or tag is flipped.
#include <fuzzer/FuzzedDataProvider.h>
#include <openssl/evp.h>

#include <cstring>
#include <vector>

#include "crypt.h"
#include "fuzz_check.h"

namespace {

using bytes = std::vector<uint8_t>;

// A non-null pointer for an empty buffer: only the AAD may be passed as null.
uint8_t* buf_ptr(bytes& b) {
  static uint8_t nothing[1];
  return b.empty() ? nothing : b.data();
}
const uint8_t* buf_ptr(const bytes& b) {
  static const uint8_t nothing[1] = {0};
  return b.empty() ? nothing : b.data();
}

const uint8_t* aad_ptr(const bytes& aad, bool null_when_empty) {
  static const uint8_t nothing[1] = {0};
  if (!aad.empty()) return aad.data();
  return null_when_empty ? nullptr : nothing;
}

EVP_CIPHER_CTX* openssl_ctx(const uint8_t* key, const uint8_t* iv, bool enc) {
  EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
  FUZZ_CHECK(c != nullptr);
  FUZZ_CHECK(EVP_CipherInit_ex(c, EVP_aes_256_gcm(), nullptr, nullptr, nullptr, enc ? 1 : 0) == 1);
  FUZZ_CHECK(EVP_CIPHER_CTX_ctrl(c, EVP_CTRL_GCM_SET_IVLEN, 12, nullptr) == 1);
  FUZZ_CHECK(EVP_CipherInit_ex(c, nullptr, nullptr, key, iv, enc ? 1 : 0) == 1);
  return c;
}

void openssl_encrypt(const uint8_t* key, const uint8_t* iv, const bytes& aad, const bytes& plain, bytes& cipher,
                     uint8_t tag[16]) {
  EVP_CIPHER_CTX* c = openssl_ctx(key, iv, true);
  int n = 0;
  if (!aad.empty()) FUZZ_CHECK(EVP_EncryptUpdate(c, nullptr, &n, aad.data(), static_cast<int>(aad.size())) == 1);
  cipher.assign(plain.size(), 0);
  if (!plain.empty())
    FUZZ_CHECK(EVP_EncryptUpdate(c, cipher.data(), &n, plain.data(), static_cast<int>(plain.size())) == 1);
  uint8_t end[16];
  FUZZ_CHECK(EVP_EncryptFinal_ex(c, end, &n) == 1);
  FUZZ_CHECK(EVP_CIPHER_CTX_ctrl(c, EVP_CTRL_GCM_GET_TAG, 16, tag) == 1);
  EVP_CIPHER_CTX_free(c);
}

// True when OpenSSL accepts the tag; the plaintext then lands in plain.
bool openssl_decrypt(const uint8_t* key, const uint8_t* iv, const bytes& aad, const bytes& cipher,
                     const uint8_t tag[16], bytes& plain) {
  EVP_CIPHER_CTX* c = openssl_ctx(key, iv, false);
  int n = 0;
  if (!aad.empty()) FUZZ_CHECK(EVP_DecryptUpdate(c, nullptr, &n, aad.data(), static_cast<int>(aad.size())) == 1);
  plain.assign(cipher.size(), 0);
  if (!cipher.empty())
    FUZZ_CHECK(EVP_DecryptUpdate(c, plain.data(), &n, cipher.data(), static_cast<int>(cipher.size())) == 1);
  FUZZ_CHECK(EVP_CIPHER_CTX_ctrl(c, EVP_CTRL_GCM_SET_TAG, 16, const_cast<uint8_t*>(tag)) == 1);
  uint8_t end[16];
  bool ok = EVP_DecryptFinal_ex(c, end, &n) == 1;
  EVP_CIPHER_CTX_free(c);
  return ok;
}

// Our decryption into a fresh buffer and in place; both must agree, and a refusal must
// leave the output as it was. Returns the result; on success plain holds the plaintext.
int decrypt_both_ways(const uint8_t* key, const uint8_t* iv, const bytes& aad, bool null_aad, const bytes& cipher,
                      const uint8_t tag[16], bytes& plain) {
  bytes out(cipher.size(), 0x3c);
  int rc = aes256gcm_decrypt_aad(key, iv, buf_ptr(cipher), cipher.size(), aad_ptr(aad, null_aad), aad.size(), tag,
                                 buf_ptr(out));
  FUZZ_CHECK(rc == 0 || rc == -1);
  if (rc != 0) FUZZ_CHECK(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b == 0x3c; }));

  bytes inplace = cipher;
  int rc2 = aes256gcm_decrypt_aad(key, iv, buf_ptr(inplace), inplace.size(), aad_ptr(aad, null_aad), aad.size(),
                                  tag, buf_ptr(inplace));
  FUZZ_CHECK(rc2 == rc);
  FUZZ_CHECK(rc == 0 ? inplace == out : inplace == cipher);

  if (aad.empty()) {
    bytes plain_api(cipher.size(), 0x3c);
    FUZZ_CHECK(aes256gcm_decrypt(key, iv, buf_ptr(cipher), cipher.size(), tag, buf_ptr(plain_api)) == rc);
    FUZZ_CHECK(plain_api == (rc == 0 ? out : bytes(cipher.size(), 0x3c)));
  }
  plain = out;
  return rc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  uint8_t key[32] = {}, iv[12] = {}, tag[16] = {};
  in.ConsumeData(key, sizeof key);
  in.ConsumeData(iv, sizeof iv);
  in.ConsumeData(tag, sizeof tag);
  bool null_aad = in.ConsumeBool();
  size_t flip = in.ConsumeIntegral<uint32_t>();
  bytes aad = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 300));
  bytes body = in.ConsumeRemainingBytes<uint8_t>();

  // 1. The body as a ciphertext with the given tag.
  bytes ours, theirs;
  int rc = decrypt_both_ways(key, iv, aad, null_aad, body, tag, ours);
  bool accepted = openssl_decrypt(key, iv, aad, body, tag, theirs);
  FUZZ_CHECK(accepted == (rc == 0));
  if (accepted) FUZZ_CHECK(ours == theirs);

  // 2. The body as a plaintext: encrypt, compare, decrypt, and refuse a flipped bit.
  bytes cipher(body.size(), 0), want_cipher;
  uint8_t our_tag[16], want_tag[16];
  FUZZ_CHECK(aes256gcm_encrypt_aad(key, iv, buf_ptr(body), body.size(), aad_ptr(aad, null_aad), aad.size(),
                                   buf_ptr(cipher), our_tag) == 0);
  openssl_encrypt(key, iv, aad, body, want_cipher, want_tag);
  FUZZ_CHECK(cipher == want_cipher);
  FUZZ_CHECK(std::memcmp(our_tag, want_tag, 16) == 0);

  bytes inplace = body;
  uint8_t inplace_tag[16];
  FUZZ_CHECK(aes256gcm_encrypt_aad(key, iv, buf_ptr(inplace), inplace.size(), aad_ptr(aad, null_aad), aad.size(),
                                   buf_ptr(inplace), inplace_tag) == 0);
  FUZZ_CHECK(inplace == cipher && std::memcmp(inplace_tag, our_tag, 16) == 0);
  if (aad.empty()) {
    bytes c2(body.size(), 0);
    uint8_t t2[16];
    FUZZ_CHECK(aes256gcm_encrypt(key, iv, buf_ptr(body), body.size(), buf_ptr(c2), t2) == 0);
    FUZZ_CHECK(c2 == cipher && std::memcmp(t2, our_tag, 16) == 0);
  }

  bytes back;
  FUZZ_CHECK(decrypt_both_ways(key, iv, aad, null_aad, cipher, our_tag, back) == 0);
  FUZZ_CHECK(back == body);

  size_t bits = 8 * (cipher.size() + aad.size() + 16);
  size_t bit = flip % bits;
  bytes bad_cipher = cipher, bad_aad = aad;
  uint8_t bad_tag[16];
  std::memcpy(bad_tag, our_tag, 16);
  uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
  size_t byte = bit / 8;
  if (byte < cipher.size()) {
    bad_cipher[byte] ^= mask;
  } else if (byte < cipher.size() + aad.size()) {
    bad_aad[byte - cipher.size()] ^= mask;
  } else {
    bad_tag[byte - cipher.size() - aad.size()] ^= mask;
  }
  bytes refused;
  FUZZ_CHECK(decrypt_both_ways(key, iv, bad_aad, null_aad, bad_cipher, bad_tag, refused) == -1);
  return 0;
}
