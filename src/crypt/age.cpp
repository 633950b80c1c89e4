// age files to and from X25519 recipients. The file key is wrapped to the recipient under
// an ephemeral X25519 key: wrap key = HKDF(shared secret, share || recipient,
// "age-encryption.org/v1/X25519"), ChaCha20-Poly1305 with a zero nonce. Decryption reads
// the whole header before trying a key, so a malformed header is reported as such
// whatever the identities, then unwraps, checks the header MAC and opens the payload.
#include <cstring>

#include "age_internal.h"

using namespace crypt_age;

namespace {

const char kX25519Info[] = "age-encryption.org/v1/X25519";
const char kX25519Type[] = "X25519";
const uint8_t kZero[32] = {};       // the all-zero shared secret, and the wrapping nonce
constexpr size_t kShareChars = 43;  // unpadded base64 of 32 bytes
constexpr size_t kBodyLen = kFileKeyLen + kTagLen;

// The header this side writes: version line, one X25519 stanza, MAC line.
const char kHead[] = "age-encryption.org/v1\n-> X25519 ";
const char kMacMark[] = "---";
// The bytes the MAC covers (through "---"), and the whole header.
constexpr size_t kMacLen =
    sizeof kHead - 1 + kShareChars + 1 + kShareChars + 1 + sizeof kMacMark - 1;
constexpr size_t kHeaderLen = kMacLen + 1 + kShareChars + 1;

// wrap key = HKDF-SHA-256(shared, share || recipient, "age-encryption.org/v1/X25519").
void wrap_key(const uint8_t shared[32], const uint8_t share[32], const uint8_t recipient[32],
              uint8_t key[32]) {
  uint8_t salt[64];
  std::memcpy(salt, share, 32);
  std::memcpy(salt + 32, recipient, 32);
  derive_key(shared, 32, salt, sizeof salt, kX25519Info, key);
}

// Tries the identity sk (public key pk) on an X25519 stanza: 1 with the file key, 0 when
// the body does not open, -1 when the shared secret is all zero (a low-order share).
int unwrap(const uint8_t share[32], const uint8_t body[kBodyLen], const uint8_t sk[32],
           const uint8_t pk[32], uint8_t file_key[kFileKeyLen]) {
  uint8_t shared[32], key[32];
  x25519(shared, sk, share);
  int r = -1;
  if (!sha256_equal(shared, kZero)) {
    wrap_key(shared, share, pk, key);
    r = chacha20poly1305_decrypt(key, kZero, nullptr, 0, body, kFileKeyLen, body + kFileKeyLen,
                                 file_key) == 0;
  }
  secure_zero(shared, sizeof shared);
  secure_zero(key, sizeof key);
  return r;
}

bool is_x25519(const stanza& s) {
  const uint8_t* type = nullptr;
  size_t n = 0;
  return stanza_arg(s, 0, &type, &n) && n == sizeof kX25519Type - 1 &&
         std::memcmp(type, kX25519Type, n) == 0;
}

// The share and body of an X25519 stanza: false when it is malformed (not exactly two
// arguments, a share that is not 32 bytes, a body that is not 32 bytes).
bool read_x25519(const stanza& s, uint8_t share[32], uint8_t body[kBodyLen]) {
  const uint8_t* arg = nullptr;
  size_t n = 0, m = 0;
  if (s.argc != 2 || s.body_len != kBodyLen || !stanza_arg(s, 1, &arg, &n) ||
      base64_decode(reinterpret_cast<const char*>(arg), n, 0, share, 32, &m) != 0 || m != 32) {
    return false;
  }
  stanza_body(s, body);
  return true;
}

bool encrypted_size(size_t pt_len, size_t* size) {
  size_t payload = 0;
  if (!stream_size(pt_len, &payload) || payload > SIZE_MAX - kHeaderLen - kNonceLen) return false;
  *size = kHeaderLen + kNonceLen + payload;
  return true;
}

// Appends text, or the unpadded base64 of len bytes, at *at.
void put_text(uint8_t* out, size_t* at, const char* text, size_t len) {
  std::memcpy(out + *at, text, len);
  *at += len;
}
void put_base64(uint8_t* out, size_t* at, const uint8_t* data, size_t len) {
  size_t n = 0;
  base64_encode(data, len, 0, reinterpret_cast<char*>(out + *at), kShareChars + 1, &n);
  *at += n;
}

}  // namespace

size_t age_encrypted_size_x25519(size_t pt_len) {
  size_t size = 0;
  return encrypted_size(pt_len, &size) ? size : SIZE_MAX;
}

int age_encrypt_x25519(const uint8_t recipient[32], const uint8_t* pt, size_t pt_len, uint8_t* out,
                       size_t cap, size_t* out_len) {
  if (out_len != nullptr) *out_len = 0;
  if (recipient == nullptr || out == nullptr || out_len == nullptr ||
      (pt == nullptr && pt_len != 0)) {
    return AGE_REFUSED;
  }
  size_t size = 0;
  if (!encrypted_size(pt_len, &size) || size > cap) return AGE_TOO_LARGE;

  uint8_t file_key[kFileKeyLen], eph[32], nonce[kNonceLen], shared[32], share[32], key[32];
  uint8_t body[kBodyLen], mac[32];
  int r = AGE_OK;
  if (crypt_fill_random(file_key, sizeof file_key) != 0 ||
      crypt_fill_random(eph, sizeof eph) != 0 || crypt_fill_random(nonce, sizeof nonce) != 0) {
    r = AGE_RANDOM;
  } else {
    x25519(shared, eph, recipient);
    if (sha256_equal(shared, kZero)) r = AGE_REFUSED;  // a recipient of small order
  }
  if (r == AGE_OK) {
    x25519_public_key(share, eph);
    wrap_key(shared, share, recipient, key);
    chacha20poly1305_encrypt(key, kZero, nullptr, 0, file_key, kFileKeyLen, body,
                             body + kFileKeyLen);
    size_t at = 0;
    put_text(out, &at, kHead, sizeof kHead - 1);
    put_base64(out, &at, share, sizeof share);
    put_text(out, &at, "\n", 1);
    put_base64(out, &at, body, sizeof body);
    put_text(out, &at, "\n", 1);
    put_text(out, &at, kMacMark, sizeof kMacMark - 1);
    header_mac(file_key, out, at, mac);
    put_text(out, &at, " ", 1);
    put_base64(out, &at, mac, sizeof mac);
    put_text(out, &at, "\n", 1);
    put_text(out, &at, reinterpret_cast<const char*>(nonce), sizeof nonce);
    stream_seal(file_key, nonce, pt, pt_len, out + at);
    *out_len = size;
  }
  secure_zero(file_key, sizeof file_key);
  secure_zero(eph, sizeof eph);
  secure_zero(shared, sizeof shared);
  secure_zero(key, sizeof key);
  return r;
}

int age_decrypt_x25519(const uint8_t* in, size_t in_len, const uint8_t (*identities)[32], int count,
                       uint8_t* out, size_t cap, size_t* out_len, int* which) {
  if (out_len != nullptr) *out_len = 0;
  if (which != nullptr) *which = -1;
  if ((in == nullptr && in_len != 0) || out_len == nullptr || count < 0 ||
      (identities == nullptr && count > 0) || (out == nullptr && cap != 0)) {
    return AGE_REFUSED;
  }
  header h;
  if (header_parse(in, in_len, &h) != AGE_OK) return AGE_HEADER;
  // Every X25519 stanza must be well formed, whoever it is addressed to.
  stanza s;
  uint8_t share[32], body[kBodyLen];
  size_t pos = h.stanzas_at;
  while (header_next_stanza(in, h, &pos, &s)) {
    if (is_x25519(s) && !read_x25519(s, share, body)) return AGE_HEADER;
  }

  uint8_t file_key[kFileKeyLen], pk[32], mac[32];
  int r = AGE_NO_MATCH, found = -1;
  for (int i = 0; i < count && r == AGE_NO_MATCH; ++i) {
    x25519_public_key(pk, identities[i]);
    pos = h.stanzas_at;
    while (r == AGE_NO_MATCH && header_next_stanza(in, h, &pos, &s)) {
      if (!is_x25519(s)) continue;
      read_x25519(s, share, body);
      const int u = unwrap(share, body, identities[i], pk, file_key);
      if (u < 0) r = AGE_HEADER;
      if (u > 0) {
        r = AGE_OK;
        found = i;
      }
    }
  }
  if (r == AGE_OK) {
    header_mac(file_key, in, h.mac_line_at + sizeof kMacMark - 1, mac);
    if (!sha256_equal(mac, h.mac)) {
      r = AGE_HMAC;
    } else if (in_len - h.len < kNonceLen) {
      r = AGE_HEADER;  // the payload nonce is cut short
    } else {
      r = stream_open(file_key, in + h.len, in + h.len + kNonceLen, in_len - h.len - kNonceLen, out,
                      cap, out_len);
    }
  }
  secure_zero(file_key, sizeof file_key);
  if (r == AGE_OK && which != nullptr) *which = found;
  return r;
}
