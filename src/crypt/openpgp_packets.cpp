// OpenPGP packets as certificates hold them: packet headers in both formats, MPIs, v4 key
// packets (fields read for Ed25519 and Curve25519 keys), v4 signature packets with their
// subpackets, and the hash a v4 signature covers. Every length is checked against the
// bytes that remain before it is used.
#include <cstring>

#include "openpgp_internal.h"

namespace crypt_pgp {
namespace {

// 1.3.6.1.4.1.11591.15.1 (Ed25519) and 1.3.6.1.4.1.3029.1.5.1 (Curve25519), DER bodies.
const uint8_t kOidEd25519[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0xDA, 0x47, 0x0F, 0x01};
const uint8_t kOidCurve25519[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x97, 0x55, 0x01, 0x05, 0x01};

uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

size_t be16(const uint8_t* p) { return static_cast<size_t>(p[0]) << 8 | p[1]; }

// The OID at *pos (a length octet, 1 to 254, then the bytes) compared with want.
bool oid_read(const uint8_t* in, size_t len, size_t* pos, const uint8_t* want, size_t want_len,
              bool* match) {
  if (*pos >= len) return false;
  const size_t n = in[*pos];
  if (n == 0 || n == 0xFF || n > len - *pos - 1) return false;
  *match = n == want_len && std::memcmp(in + *pos + 1, want, n) == 0;
  *pos += 1 + n;
  return true;
}

// A point in the prefixed native form: 0x40 and 32 bytes.
bool native_point_read(const uint8_t* in, size_t len, size_t* pos, uint8_t point[32]) {
  const uint8_t* v = nullptr;
  size_t n = 0;
  if (!mpi_read(in, len, pos, &v, &n) || n != 33 || v[0] != 0x40) return false;
  std::memcpy(point, v + 1, 32);
  return true;
}

// An MPI of at most 32 bytes, left-padded to 32 (EdDSALegacy R and S).
bool mpi32_read(const uint8_t* in, size_t len, size_t* pos, uint8_t out[32]) {
  const uint8_t* v = nullptr;
  size_t n = 0;
  if (!mpi_read(in, len, pos, &v, &n) || n > 32) return false;
  std::memset(out, 0, 32 - n);
  if (n != 0) std::memcpy(out + 32 - n, v, n);
  return true;
}

// Subpackets whose meaning this reader knows (used or harmless to ignore), so a critical
// one does not invalidate the signature. Notations, trust signatures and regular
// expressions are not among them: marked critical, they ask for a check not made here.
bool known_subpacket(uint8_t type) {
  switch (type) {
    case 2:
    case 3:
    case 4:
    case 7:
    case 9:
    case 11:
    case 12:
    case 16:
    case 21:
    case 22:
    case 23:
    case 24:
    case 25:
    case 26:
    case 27:
    case 28:
    case 29:
    case 30:
    case 31:
    case 32:
    case 33:
    case 35:
    case 39:
      return true;
    default:
      return false;
  }
}

// One subpacket area: false when a length runs past it or a used subpacket has the wrong
// size.
bool subpackets_read(const uint8_t* p, size_t n, bool hashed, signature* s) {
  size_t pos = 0;
  while (pos < n) {
    size_t sl = p[pos];
    if (sl < 192) {
      pos += 1;
    } else if (sl < 255) {
      if (n - pos < 2) return false;
      sl = ((sl - 192) << 8) + p[pos + 1] + 192;
      pos += 2;
    } else {
      if (n - pos < 5) return false;
      sl = be32(p + pos + 1);
      pos += 5;
    }
    if (sl == 0 || sl > n - pos) return false;
    const uint8_t type = p[pos] & 0x7F;
    const bool critical = (p[pos] & 0x80) != 0;
    const uint8_t* d = p + pos + 1;
    const size_t dl = sl - 1;
    pos += sl;
    if (type == 16) {  // issuer key ID
      if (dl != 8) return false;
      std::memcpy(s->issuer_id, d, 8);
      s->has_issuer_id = true;
    } else if (type == 33) {  // issuer fingerprint: version octet, fingerprint
      if (dl == 0) return false;
      s->issuer_fpr_v4 = d[0] == 4 && dl == 21;
      s->issuer_fpr_other = !s->issuer_fpr_v4;
      if (s->issuer_fpr_v4) std::memcpy(s->issuer_fpr, d + 1, 20);
    }
    if (!hashed) continue;
    if (critical && !known_subpacket(type)) s->critical_unknown = true;
    if (type == 2 || type == 3 || type == 9) {
      if (dl != 4) return false;
      const uint32_t v = be32(d);
      if (type == 2) {
        s->created = v;
        s->has_created = true;
      } else if (type == 3) {
        s->sig_lifetime = v;
      } else {
        s->key_lifetime = v;
      }
    } else if (type == 25) {
      if (dl != 1) return false;
      s->primary_uid = d[0] != 0;
    } else if (type == 27) {
      s->key_flags = dl == 0 ? 0 : d[0];
      s->has_key_flags = true;
    }
  }
  return true;
}

}  // namespace

int packet_read(const uint8_t* in, size_t len, size_t* pos, packet* p) {
  size_t at = *pos;
  if (at >= len || (in[at] & 0x80) == 0) return -1;
  const uint8_t ctb = in[at++];
  size_t body_len = 0;
  if (ctb & 0x40) {
    p->tag = ctb & 0x3F;
    if (at >= len) return -1;
    const size_t b0 = in[at++];
    if (b0 < 192) {
      body_len = b0;
    } else if (b0 < 224) {
      if (at >= len) return -1;
      body_len = ((b0 - 192) << 8) + in[at++] + 192;
    } else if (b0 == 255) {
      if (len - at < 4) return -1;
      body_len = be32(in + at);
      at += 4;
    } else {
      return -1;  // partial body length
    }
  } else {
    p->tag = (ctb >> 2) & 0x0F;
    const size_t n = (ctb & 3) == 0 ? 1 : (ctb & 3) == 1 ? 2 : (ctb & 3) == 2 ? 4 : 0;
    if (n == 0 || len - at < n) return -1;  // n == 0: indeterminate length
    for (size_t i = 0; i < n; ++i) body_len = body_len << 8 | in[at + i];
    at += n;
  }
  if (p->tag == 0 || body_len > len - at) return -1;
  p->body = in + at;
  p->len = body_len;
  *pos = at + body_len;
  return 0;
}

bool mpi_read(const uint8_t* in, size_t len, size_t* pos, const uint8_t** value,
              size_t* value_len) {
  if (*pos > len || len - *pos < 2) return false;
  const size_t n = (be16(in + *pos) + 7) / 8;
  if (n > len - *pos - 2) return false;
  *value = in + *pos + 2;
  *value_len = n;
  *pos += 2 + n;
  return true;
}

int key_read(const uint8_t* body, size_t len, key* k) {
  std::memset(k, 0, sizeof *k);
  if (len == 0) return kKeyMalformed;
  if (body[0] != 4) return kKeyOtherVersion;
  if (len < 6 || len > 0xFFFF) return kKeyMalformed;
  k->body = body;
  k->len = len;
  k->created = be32(body + 1);
  k->alg = body[5];
  const uint8_t head[3] = {0x99, static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)};
  sha1_ctx ctx;
  sha1_init(&ctx);
  sha1_update(&ctx, head, sizeof head);
  sha1_update(&ctx, body, len);
  sha1_final(&ctx, k->fpr);

  size_t pos = 6;
  bool match = false;
  if (k->alg == kAlgEdDsaLegacy) {
    if (!oid_read(body, len, &pos, kOidEd25519, sizeof kOidEd25519, &match)) return kKeyMalformed;
    if (!match) return kKeyV4;  // another curve: not read further
    if (!native_point_read(body, len, &pos, k->point) || pos != len) return kKeyMalformed;
    k->ed25519 = true;
  } else if (k->alg == kAlgEcdh) {
    const uint8_t* v = nullptr;
    size_t n = 0;
    if (!oid_read(body, len, &pos, kOidCurve25519, sizeof kOidCurve25519, &match)) {
      return kKeyMalformed;
    }
    const size_t point_at = pos;
    if (!mpi_read(body, len, &pos, &v, &n)) return kKeyMalformed;
    // KDF parameters: size 3, the reserved octet 1, hash, key-wrap cipher.
    if (len - pos != 4 || body[pos] != 3 || body[pos + 1] != 1) return kKeyMalformed;
    k->kdf_hash = body[pos + 2];
    k->kdf_cipher = body[pos + 3];
    if (match) {
      pos = point_at;
      if (!native_point_read(body, len, &pos, k->point)) return kKeyMalformed;
      k->cv25519 = true;
    }
  }
  return kKeyV4;
}

int signature_read(const uint8_t* body, size_t len, signature* s) {
  std::memset(s, 0, sizeof *s);
  if (len == 0) return kSigMalformed;
  if (body[0] != 4) return kSigOtherVersion;
  if (len < 6) return kSigMalformed;
  s->type = body[1];
  s->pk_alg = body[2];
  s->hash_alg = body[3];
  size_t pos = 6;
  const size_t hashed_len = be16(body + 4);
  if (hashed_len > len - pos || !subpackets_read(body + pos, hashed_len, true, s)) {
    return kSigMalformed;
  }
  pos += hashed_len;
  s->hashed = body;
  s->hashed_len = pos;
  if (len - pos < 2) return kSigMalformed;
  const size_t unhashed_len = be16(body + pos);
  pos += 2;
  if (unhashed_len > len - pos || !subpackets_read(body + pos, unhashed_len, false, s)) {
    return kSigMalformed;
  }
  pos += unhashed_len;
  if (len - pos < 2) return kSigMalformed;
  s->left16[0] = body[pos];
  s->left16[1] = body[pos + 1];
  pos += 2;
  if (s->pk_alg == kAlgEdDsaLegacy) {
    if (!mpi32_read(body, len, &pos, s->rs) || !mpi32_read(body, len, &pos, s->rs + 32) ||
        pos != len) {
      return kSigMalformed;
    }
    s->has_rs = true;
  }
  return kSigV4;
}

bool signature_issued_by(const signature& s, const key& k) {
  if (s.issuer_fpr_other) return false;
  if (s.issuer_fpr_v4 && std::memcmp(s.issuer_fpr, k.fpr, 20) != 0) return false;
  // A v4 key ID is the low 64 bits of the fingerprint.
  return !s.has_issuer_id || std::memcmp(s.issuer_id, k.fpr + 12, 8) == 0;
}

bool sig_hash_init(sig_hash* h, uint8_t alg) {
  h->alg = alg;
  switch (alg) {
    case kHashSha256:
      sha256_init(&h->s256);
      return true;
    case kHashSha384:
      sha384_init(&h->s512);
      return true;
    case kHashSha512:
      sha512_init(&h->s512);
      return true;
    default:
      return false;
  }
}

void sig_hash_update(sig_hash* h, const uint8_t* data, size_t len) {
  if (h->alg == kHashSha256) {
    sha256_update(&h->s256, data, len);
  } else {
    sha512_update(&h->s512, data, len);
  }
}

size_t sig_hash_final(sig_hash* h, uint8_t out[64]) {
  if (h->alg == kHashSha256) {
    sha256_final(&h->s256, out);
    return 32;
  }
  sha512_final(&h->s512, out);
  return h->alg == kHashSha384 ? 48 : 64;
}

void sig_hash_key(sig_hash* h, const key& k) {
  const uint8_t head[3] = {0x99, static_cast<uint8_t>(k.len >> 8), static_cast<uint8_t>(k.len)};
  sig_hash_update(h, head, sizeof head);
  sig_hash_update(h, k.body, k.len);
}

void sig_hash_user_id(sig_hash* h, const uint8_t* uid, size_t len) {
  const uint8_t head[5] = {0xB4, static_cast<uint8_t>(len >> 24), static_cast<uint8_t>(len >> 16),
                           static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)};
  sig_hash_update(h, head, sizeof head);
  sig_hash_update(h, uid, len);
}

bool sig_hash_verify(sig_hash* h, const signature& s, const uint8_t pk[32]) {
  if (!s.has_rs || h->alg != s.hash_alg) return false;
  sig_hash_update(h, s.hashed, s.hashed_len);
  const size_t n = s.hashed_len;
  const uint8_t trailer[6] = {4,
                              0xFF,
                              static_cast<uint8_t>(n >> 24),
                              static_cast<uint8_t>(n >> 16),
                              static_cast<uint8_t>(n >> 8),
                              static_cast<uint8_t>(n)};
  sig_hash_update(h, trailer, sizeof trailer);
  uint8_t digest[64];
  const size_t dl = sig_hash_final(h, digest);
  return digest[0] == s.left16[0] && digest[1] == s.left16[1] &&
         ed25519_verify(pk, digest, dl, s.rs) == 0;
}

}  // namespace crypt_pgp
