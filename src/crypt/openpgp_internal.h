// Module-internal pieces of OpenPGP: packet and MPI reading, v4 keys and signatures, and
// the hashing a v4 signature covers (openpgp_packets.cpp), used by the certificate reader
// (openpgp_cert.cpp) and the message writer. Everything points into the caller's input;
// nothing is copied but fixed-size fields.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypt.h"

namespace crypt_pgp {

// Packet type IDs.
enum : uint8_t {
  kTagSignature = 2,
  kTagSecretKey = 5,
  kTagPublicKey = 6,
  kTagSecretSubkey = 7,
  kTagMarker = 10,
  kTagTrust = 12,
  kTagUserId = 13,
  kTagPublicSubkey = 14,
  kTagUserAttribute = 17,
  kTagPadding = 21,
};

// Algorithm IDs.
enum : uint8_t {
  kAlgEcdh = 18,
  kAlgEdDsaLegacy = 22,
  kHashSha256 = 8,
  kHashSha384 = 9,
  kHashSha512 = 10,
  kCipherAes128 = 7,
  kCipherAes192 = 8,
  kCipherAes256 = 9,
};

// Signature type IDs used on certificates.
enum : uint8_t {
  kSigCertGeneric = 0x10,
  kSigCertPositive = 0x13,
  kSigSubkeyBinding = 0x18,
  kSigDirectKey = 0x1F,
  kSigKeyRevocation = 0x20,
  kSigSubkeyRevocation = 0x28,
  kSigCertRevocation = 0x30,
};

// ---- Packets ----

struct packet {
  uint8_t tag;
  const uint8_t* body;
  size_t len;
};

// Reads the packet whose header (OpenPGP or legacy format) starts at *pos: 0 with *p
// filled and *pos moved past the body; -1 when the header is malformed, the body runs
// past len, or the length is partial or indeterminate (never used for key material).
int packet_read(const uint8_t* in, size_t len, size_t* pos, packet* p);

// Reads the MPI at *pos: true with its (bits + 7) / 8 value bytes at *value and *pos moved
// past them; false when it runs past len.
bool mpi_read(const uint8_t* in, size_t len, size_t* pos, const uint8_t** value, size_t* value_len);

// ---- Keys ----

// A v4 public key or subkey packet. Only EdDSALegacy on Ed25519 and ECDH on Curve25519
// are read past the algorithm; other keys are carried for hashing only.
struct key {
  const uint8_t* body;  // the packet body, as fingerprints and signatures hash it
  size_t len;
  uint32_t created;
  uint8_t alg;
  bool ed25519;       // point is an Ed25519 public key
  bool cv25519;       // point is an X25519 public key, with its KDF parameters
  uint8_t point[32];  // native form, without the 0x40 prefix
  uint8_t kdf_hash;
  uint8_t kdf_cipher;
  uint8_t fpr[20];  // SHA-1(0x99 || 2-byte length || body)
};

enum : int { kKeyV4 = 0, kKeyOtherVersion = 1, kKeyMalformed = -1 };

// Reads a public key or subkey packet body: kKeyV4 with *k filled; kKeyOtherVersion for a
// v3, v6 or other version (not read further); kKeyMalformed when a v4 body is cut short,
// has trailing bytes after the fields it knows, or is too long to hash (65536 bytes or
// more).
int key_read(const uint8_t* body, size_t len, key* k);

// ---- Signatures ----

// A v4 signature packet. The subpacket fields come from the hashed area only (the last of
// each kind); the issuer may also come from the unhashed area, since it only picks the key
// to check against.
struct signature {
  uint8_t type;
  uint8_t pk_alg;
  uint8_t hash_alg;
  const uint8_t* hashed;  // version octet through the hashed subpackets
  size_t hashed_len;
  uint8_t left16[2];
  uint8_t rs[64];  // EdDSALegacy R || S, each left-padded to 32 bytes
  bool has_rs;
  bool has_created;
  bool has_key_flags;
  bool primary_uid;
  bool critical_unknown;  // a critical hashed subpacket this reader does not know
  bool has_issuer_id;
  bool issuer_fpr_v4;     // issuer_fpr holds a v4 fingerprint
  bool issuer_fpr_other;  // the issuer fingerprint is of another key version
  uint32_t created;
  uint32_t sig_lifetime;  // seconds after created; 0 never expires
  uint32_t key_lifetime;  // seconds after the key's creation; 0 never expires
  uint8_t key_flags;      // first octet of the key flags
  uint8_t issuer_id[8];
  uint8_t issuer_fpr[20];
};

enum : int { kSigV4 = 0, kSigOtherVersion = 1, kSigMalformed = -1 };

// Reads a signature packet body: kSigV4 with *s filled (R and S read for EdDSALegacy
// only); kSigOtherVersion for v3 or v6 signatures; kSigMalformed when the fields or
// subpackets are cut short or a known subpacket has the wrong size.
int signature_read(const uint8_t* body, size_t len, signature* s);

// False when an issuer subpacket of s names a key other than k.
bool signature_issued_by(const signature& s, const key& k);

// ---- Hashing for signatures ----

struct sig_hash {
  uint8_t alg;  // kHashSha256, kHashSha384 or kHashSha512
  sha256_ctx s256;
  sha512_ctx s512;
};

// Starts the hash a signature names: false for algorithms other than SHA-256, SHA-384
// and SHA-512.
bool sig_hash_init(sig_hash* h, uint8_t alg);
void sig_hash_update(sig_hash* h, const uint8_t* data, size_t len);
// Writes the digest (32, 48 or 64 bytes) and returns its length.
size_t sig_hash_final(sig_hash* h, uint8_t out[64]);
// A key as a v4 signature covers it: 0x99, the 2-byte length, the body.
void sig_hash_key(sig_hash* h, const key& k);
// A user ID as a certification covers it: 0xB4, the 4-byte length, the text.
void sig_hash_user_id(sig_hash* h, const uint8_t* uid, size_t len);
// Finishes h with the signature's hashed part and the v4 trailer (0x04 0xFF, the 4-byte
// length of that part), then checks s as an EdDSALegacy signature of the digest under the
// Ed25519 key pk: true when the left 16 bits match and the signature verifies.
bool sig_hash_verify(sig_hash* h, const signature& s, const uint8_t pk[32]);

}  // namespace crypt_pgp
