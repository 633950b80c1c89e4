// OpenPGP messages to a Curve25519 ECDH subkey. A fresh AES-256 session key is wrapped
// (AES key wrap) under a KEK hashed from X25519(ephemeral, subkey) and the subkey's own
// parameters, and sent in a v3 public-key encrypted session key packet; the data follows
// in a v1 integrity-protected packet: AES-256 CFB over the random prefix, a literal data
// packet and the SHA-1 MDC. The binary message is staged in one stack buffer, encrypted in
// place, then armored into the caller's buffer.
#include <cstring>

#include "openpgp_internal.h"

using namespace crypt_pgp;

namespace {

constexpr size_t kDataMax = 4096;

// Packet type IDs of a message.
constexpr uint8_t kTagPkesk = 1;
constexpr uint8_t kTagLiteral = 11;
constexpr uint8_t kTagSeipd = 18;
constexpr uint8_t kTagMdc = 19;

// The curve OID 1.3.6.1.4.1.3029.1.5.1 after its length octet, as the KDF hashes them.
const uint8_t kCurveOid[11] = {10, 0x2b, 0x06, 0x01, 0x04, 0x01, 0x97, 0x55, 0x01, 0x05, 0x01};
const uint8_t kAnonymousSender[20] = {'A', 'n', 'o', 'n', 'y', 'm', 'o', 'u', 's', ' ',
                                      'S', 'e', 'n', 'd', 'e', 'r', ' ', ' ', ' ', ' '};
const uint8_t kZero[32] = {};  // the all-zero shared secret, and the CFB IV

constexpr size_t kSessionKeyLen = 32;
// The algorithm octet, the session key and its checksum, PKCS#5-padded to 8-byte blocks.
constexpr size_t kPlainKeyLen = 1 + kSessionKeyLen + 2;
constexpr size_t kPaddedKeyLen = (kPlainKeyLen + 8) / 8 * 8;
constexpr size_t kWrappedKeyLen = kPaddedKeyLen + 8;
// Version, key ID, algorithm, MPI of the 0x40-prefixed point (263 bits), size, wrapped key.
constexpr size_t kPkeskBodyLen = 1 + 8 + 1 + 2 + 33 + 1 + kWrappedKeyLen;
constexpr size_t kPrefixLen = 16;
constexpr size_t kLiteralHeadLen = 6;  // format 'b', name length 0, date 0
constexpr size_t kMdcLen = 2 + 20;

// Bytes of a packet header with a body of body_len (below 8384: a one- or two-octet length).
constexpr size_t header_len(size_t body_len) { return body_len < 192 ? 2 : 3; }

// The SEIPD body: version octet, prefix and its two repeated octets, the literal data
// packet, the MDC packet.
constexpr size_t seipd_body_len(size_t len) {
  return 1 + kPrefixLen + 2 + header_len(kLiteralHeadLen + len) + kLiteralHeadLen + len + kMdcLen;
}

// Bytes of the binary message of len data bytes.
constexpr size_t message_len(size_t len) {
  return header_len(kPkeskBodyLen) + kPkeskBodyLen + header_len(seipd_body_len(len)) +
         seipd_body_len(len);
}

constexpr size_t kMessageMax = message_len(kDataMax);
static_assert(seipd_body_len(kDataMax) < 8384, "bodies take one- or two-octet lengths");

// Writes a new-format packet header with a definite length (below 8384) at *at.
void put_header(uint8_t* buf, size_t* at, uint8_t tag, size_t body_len) {
  buf[(*at)++] = static_cast<uint8_t>(0xc0 | tag);
  if (body_len < 192) {
    buf[(*at)++] = static_cast<uint8_t>(body_len);
  } else {
    buf[(*at)++] = static_cast<uint8_t>(((body_len - 192) >> 8) + 192);
    buf[(*at)++] = static_cast<uint8_t>(body_len - 192);
  }
}

// Characters openpgp_armor writes for n bytes, without the NUL: the BEGIN line and a blank
// line, the base64 in lines of 64 columns, the "=XXXX" checksum line, the END line. Known
// in advance so that a cap too small is refused before anything is drawn or written.
size_t armored_len(size_t n) {
  const size_t chars = (n + 2) / 3 * 4;
  return sizeof "-----BEGIN PGP MESSAGE-----\n\n" - 1 + chars + (chars + 63) / 64 + 6 +
         sizeof "-----END PGP MESSAGE-----\n" - 1;
}

// The KEK size of a key-wrap cipher, 0 for one not supported.
size_t kek_len_of(uint8_t cipher) {
  return cipher == kCipherAes128 ? 16 : cipher == kCipherAes256 ? 32 : 0;
}

// KEK = Hash(00 00 00 01 || shared || param), its first kek_len bytes, where param =
// curve OID || 18 || 03 01 hash cipher || "Anonymous Sender    " || subkey fingerprint.
void derive_kek(const openpgp_cert& cert, const uint8_t shared[32], uint8_t* kek, size_t kek_len) {
  const uint8_t counter[4] = {0, 0, 0, 1};
  const uint8_t kdf[5] = {kAlgEcdh, 3, 1, cert.kdf_hash, cert.kdf_cipher};
  sig_hash h;
  sig_hash_init(&h, cert.kdf_hash);
  sig_hash_update(&h, counter, sizeof counter);
  sig_hash_update(&h, shared, 32);
  sig_hash_update(&h, kCurveOid, sizeof kCurveOid);
  sig_hash_update(&h, kdf, sizeof kdf);
  sig_hash_update(&h, kAnonymousSender, sizeof kAnonymousSender);
  sig_hash_update(&h, cert.subkey_fpr, 20);
  uint8_t digest[64];
  sig_hash_final(&h, digest);
  std::memcpy(kek, digest, kek_len);
  secure_zero(&h, sizeof h);
  secure_zero(digest, sizeof digest);
}

// The PKESK: version 3, the subkey's key ID (the last 8 bytes of its fingerprint), ECDH,
// the ephemeral point as an MPI of 263 bits (0x40 || u), the wrapped key after its size.
void put_pkesk(uint8_t* buf, size_t* at, const openpgp_cert& cert, const uint8_t eph_pub[32],
               const uint8_t wrapped[kWrappedKeyLen]) {
  put_header(buf, at, kTagPkesk, kPkeskBodyLen);
  uint8_t* p = buf + *at;
  *p++ = 3;
  std::memcpy(p, cert.subkey_fpr + 12, 8);
  p += 8;
  *p++ = kAlgEcdh;
  *p++ = 0x01;
  *p++ = 0x07;
  *p++ = 0x40;
  std::memcpy(p, eph_pub, 32);
  p += 32;
  *p++ = static_cast<uint8_t>(kWrappedKeyLen);
  std::memcpy(p, wrapped, kWrappedKeyLen);
  *at += kPkeskBodyLen;
}

// The SEIPD: version 1, then in place AES-256 CFB (zero IV) over the prefix, its last two
// octets again, the literal data packet and the MDC packet, whose SHA-1 covers everything
// before it including its own two header octets.
void put_seipd(uint8_t* buf, size_t* at, const uint8_t key[kSessionKeyLen],
               const uint8_t prefix[kPrefixLen], const uint8_t* data, size_t len) {
  put_header(buf, at, kTagSeipd, seipd_body_len(len));
  buf[(*at)++] = 1;
  uint8_t* plain = buf + *at;
  std::memcpy(plain, prefix, kPrefixLen);
  plain[kPrefixLen] = prefix[kPrefixLen - 2];
  plain[kPrefixLen + 1] = prefix[kPrefixLen - 1];
  size_t n = kPrefixLen + 2;
  put_header(plain, &n, kTagLiteral, kLiteralHeadLen + len);
  const uint8_t literal_head[kLiteralHeadLen] = {'b', 0, 0, 0, 0, 0};
  std::memcpy(plain + n, literal_head, kLiteralHeadLen);
  n += kLiteralHeadLen;
  if (len != 0) std::memcpy(plain + n, data, len);
  n += len;
  put_header(plain, &n, kTagMdc, 20);
  sha1(plain, n, plain + n);
  n += 20;
  aes256_cfb_encrypt(key, kZero, plain, n, plain);
  *at += n;
}

}  // namespace

int openpgp_encrypt(const openpgp_cert* cert, const uint8_t* data, size_t len, char* out,
                    size_t cap, size_t* out_len) {
  if (out_len != nullptr) *out_len = 0;
  if (cert == nullptr || (data == nullptr && len != 0) || out == nullptr || out_len == nullptr ||
      len > kDataMax) {
    return -1;
  }
  const size_t kek_len = kek_len_of(cert->kdf_cipher);
  if (kek_len == 0 || cert->kdf_hash < kHashSha256 || cert->kdf_hash > kHashSha512 ||
      cap <= armored_len(message_len(len))) {
    return -1;
  }

  uint8_t eph[32], key[kSessionKeyLen], prefix[kPrefixLen], shared[32], kek[32];
  uint8_t padded[kPaddedKeyLen], wrapped[kWrappedKeyLen], eph_pub[32];
  uint8_t msg[kMessageMax];  // the message, whose SEIPD part holds the plaintext until encrypted
  int r = 0;
  if (crypt_fill_random(eph, sizeof eph) != 0 || crypt_fill_random(key, sizeof key) != 0 ||
      crypt_fill_random(prefix, sizeof prefix) != 0) {
    r = -2;
  } else {
    x25519(shared, eph, cert->subkey);
    if (sha256_equal(shared, kZero)) r = -1;  // a subkey of small order
  }
  if (r == 0) {
    x25519_public_key(eph_pub, eph);
    derive_kek(*cert, shared, kek, kek_len);
    unsigned sum = 0;
    for (uint8_t b : key) sum += b;
    padded[0] = kCipherAes256;
    std::memcpy(padded + 1, key, sizeof key);
    padded[1 + kSessionKeyLen] = static_cast<uint8_t>(sum >> 8);
    padded[2 + kSessionKeyLen] = static_cast<uint8_t>(sum);
    std::memset(padded + kPlainKeyLen, kPaddedKeyLen - kPlainKeyLen, kPaddedKeyLen - kPlainKeyLen);
    aes_key_wrap(kek, kek_len, padded, sizeof padded, wrapped);

    size_t n = 0;
    put_pkesk(msg, &n, *cert, eph_pub, wrapped);
    put_seipd(msg, &n, key, prefix, data, len);
    size_t written = 0;
    r = openpgp_armor(msg, n, OPENPGP_ARMOR_MESSAGE, out, cap, &written) == 0 ? 0 : -1;
    if (r == 0) *out_len = written;
  }
  secure_zero(eph, sizeof eph);
  secure_zero(key, sizeof key);
  secure_zero(shared, sizeof shared);
  secure_zero(kek, sizeof kek);
  secure_zero(padded, sizeof padded);
  secure_zero(msg, sizeof msg);
  return r;
}
