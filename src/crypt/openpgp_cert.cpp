// Reading a v4 certificate in one pass over its packets: the primary key, then components
// (user IDs, user attributes, subkeys), each followed by its signatures. Only signatures
// the primary key issued are checked; third-party certifications are skipped unread. A
// subkey is judged when its component ends, and the furthest a subkey got towards being
// usable gives the reason when none is.
#include <cstring>

#include "openpgp_internal.h"

namespace {

using namespace crypt_pgp;

// More self-signatures than any real certificate carries; past this the input is refused
// rather than checked signature by signature.
constexpr size_t kMaxChecks = 1024;

// How far a subkey got; the higher, the closer to usable.
enum stage : int {
  kNoBinding = 0,  // no valid binding signature
  kNoEncryption,   // bound, but its key flags do not allow encryption
  kUnsupported,    // allows encryption, but not a v4 Curve25519 ECDH key
  kBadKdf,         // Curve25519, with KDF parameters the message writer cannot use
  kRetired,        // revoked or expired
  kUsable,
};

struct subkey_state {
  key k;
  bool v4;
  bool bound;         // a valid binding signature was seen
  uint32_t bound_at;  // creation time of the newest one
  uint8_t key_flags;  // and its fields
  uint32_t key_lifetime;
  bool revoked;
};

struct user_id_state {
  const uint8_t* text;
  size_t len;
  bool certified;
  uint32_t certified_at;  // newest valid certification
  bool primary;           // its primary user ID flag
  uint32_t key_lifetime;  // its key expiration time
  bool revoked;
  uint32_t revoked_at;  // newest valid certification revocation
};

// The choice so far.
struct outcome {
  int best_stage;
  uint32_t best_created;
  uint64_t expired_at;  // kRetired: 0 for revoked
  uint8_t kdf_cipher;   // kBadKdf
  key chosen;           // kUsable
};

struct reader {
  uint64_t now;
  key primary;
  size_t checks;
  bool revoked;
  bool direct;  // a valid direct-key signature was seen
  uint32_t direct_at;
  uint32_t direct_lifetime;
  user_id_state shown;  // the user ID to show so far
  bool have_shown;
  user_id_state uid;  // the current user ID
  subkey_state sub;   // the current subkey
  outcome out;
};

enum component { kNone, kUserId, kAttribute, kSubkey };

// Checks s as a self-signature over the primary key and, when given, a user ID or a
// subkey. Refused before hashing: other issuers and versions, other algorithms, no
// creation time, critical subpackets not known, signatures past their lifetime.
// -1 when the check budget is spent.
int self_signature_valid(reader* r, const signature& s, const uint8_t* uid, size_t uid_len,
                         const key* subkey) {
  if (s.pk_alg != kAlgEdDsaLegacy || !s.has_created || s.critical_unknown ||
      !signature_issued_by(s, r->primary)) {
    return 0;
  }
  if (s.sig_lifetime != 0 && r->now >= static_cast<uint64_t>(s.created) + s.sig_lifetime) return 0;
  sig_hash h;
  if (!sig_hash_init(&h, s.hash_alg)) return 0;
  if (++r->checks > kMaxChecks) return -1;
  sig_hash_key(&h, r->primary);
  if (uid != nullptr) sig_hash_user_id(&h, uid, uid_len);
  if (subkey != nullptr) sig_hash_key(&h, *subkey);
  return sig_hash_verify(&h, s, r->primary.point) ? 1 : 0;
}

// Records a signature on the current component: 0, or -1 when the budget is spent.
int take_signature(reader* r, component c, const packet& p) {
  signature s;
  if (signature_read(p.body, p.len, &s) != kSigV4) return 0;  // unread: counts as invalid
  int valid = 0;
  if (c == kNone && (s.type == kSigDirectKey || s.type == kSigKeyRevocation)) {
    valid = self_signature_valid(r, s, nullptr, 0, nullptr);
    if (valid == 1 && s.type == kSigKeyRevocation) r->revoked = true;
    if (valid == 1 && s.type == kSigDirectKey && (!r->direct || s.created >= r->direct_at)) {
      r->direct = true;
      r->direct_at = s.created;
      r->direct_lifetime = s.key_lifetime;
    }
  } else if (c == kUserId && ((s.type >= kSigCertGeneric && s.type <= kSigCertPositive) ||
                              s.type == kSigCertRevocation)) {
    user_id_state& u = r->uid;
    valid = self_signature_valid(r, s, u.text, u.len, nullptr);
    if (valid == 1 && s.type == kSigCertRevocation) {
      if (!u.revoked || s.created > u.revoked_at) u.revoked_at = s.created;
      u.revoked = true;
    } else if (valid == 1 && (!u.certified || s.created >= u.certified_at)) {
      u.certified = true;
      u.certified_at = s.created;
      u.primary = s.primary_uid;
      u.key_lifetime = s.key_lifetime;
    }
  } else if (c == kSubkey && r->sub.v4 &&
             (s.type == kSigSubkeyBinding || s.type == kSigSubkeyRevocation)) {
    subkey_state& k = r->sub;
    valid = self_signature_valid(r, s, nullptr, 0, &k.k);
    if (valid == 1 && s.type == kSigSubkeyRevocation) {
      k.revoked = true;
    } else if (valid == 1 && (!k.bound || s.created >= k.bound_at)) {
      k.bound = true;
      k.bound_at = s.created;
      k.key_flags = s.has_key_flags ? s.key_flags : 0;
      k.key_lifetime = s.key_lifetime;
    }
  }
  return valid < 0 ? -1 : 0;
}

// The current user ID, complete: shown when it is the first validly certified one, or
// the primary one with the newest certification. A certification revoked later does
// not count.
void end_user_id(reader* r) {
  const user_id_state& u = r->uid;
  if (!u.certified || (u.revoked && u.revoked_at >= u.certified_at)) return;
  if (!r->have_shown ||
      (u.primary && (!r->shown.primary || u.certified_at > r->shown.certified_at))) {
    r->shown = u;
    r->have_shown = true;
  }
}

// The current subkey, complete: its stage, and the choice updated when it got further
// than the best so far, or as far and is newer (or as new and later).
void end_subkey(reader* r) {
  const subkey_state& k = r->sub;
  int st = kNoBinding;
  uint64_t expires = 0;
  if (!k.v4) {
    st = kUnsupported;
  } else if (!k.bound) {
    st = kNoBinding;
  } else if ((k.key_flags & 0x0C) == 0) {
    st = kNoEncryption;
  } else if (!k.k.cv25519) {
    st = kUnsupported;
  } else if ((k.k.kdf_hash != kHashSha256 && k.k.kdf_hash != kHashSha384 &&
              k.k.kdf_hash != kHashSha512) ||
             (k.k.kdf_cipher != kCipherAes128 && k.k.kdf_cipher != kCipherAes256)) {
    st = kBadKdf;
  } else if (k.revoked) {
    st = kRetired;
  } else if (k.key_lifetime != 0 &&
             r->now >= (expires = static_cast<uint64_t>(k.k.created) + k.key_lifetime)) {
    st = kRetired;
  } else {
    st = kUsable;
  }
  outcome& o = r->out;
  if (st < o.best_stage || (st == o.best_stage && k.k.created < o.best_created)) return;
  o.best_stage = st;
  o.best_created = k.k.created;
  o.expired_at = k.revoked ? 0 : expires;
  o.kdf_cipher = k.k.kdf_cipher;
  o.chosen = k.k;
}

void end_component(reader* r, component c) {
  if (c == kUserId) end_user_id(r);
  if (c == kSubkey) end_subkey(r);
}

// Appends s to the reason (NUL-terminated, cut to fit).
void reason_add(char* reason, const char* s) {
  size_t at = std::strlen(reason);
  while (*s != '\0' && at + 1 < OPENPGP_REASON_MAX) reason[at++] = *s++;
  reason[at] = '\0';
}

// "YYYY-MM-DD" of the UTC day holding t (days to civil date, proleptic Gregorian).
void reason_add_date(char* reason, uint64_t t) {
  const uint64_t z = t / 86400 + 719468;  // days since 0000-03-01
  const uint64_t era = z / 146097, doe = z % 146097;
  const uint64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const uint64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const uint64_t mp = (5 * doy + 2) / 153;
  const uint64_t d = doy - (153 * mp + 2) / 5 + 1;
  const uint64_t m = mp < 10 ? mp + 3 : mp - 9;
  const uint64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  char s[11] = {static_cast<char>('0' + y / 1000 % 10),
                static_cast<char>('0' + y / 100 % 10),
                static_cast<char>('0' + y / 10 % 10),
                static_cast<char>('0' + y % 10),
                '-',
                static_cast<char>('0' + m / 10),
                static_cast<char>('0' + m % 10),
                '-',
                static_cast<char>('0' + d / 10),
                static_cast<char>('0' + d % 10),
                '\0'};
  reason_add(reason, s);
}

// Length of the UTF-8 sequence at p (at most n bytes) when it is valid and printable;
// 0 for invalid bytes and for C0 and C1 controls, DEL and the bidirectional overrides
// and isolates, which could disguise the text around them on a terminal.
size_t printable_utf8(const uint8_t* p, size_t n) {
  const uint8_t c = p[0];
  if (c < 0x80) return c >= 0x20 && c != 0x7F ? 1 : 0;
  size_t len = 0;
  uint8_t lo = 0x80, hi = 0xBF;  // range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;
    if (c == 0xED) hi = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;
    if (c == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (n < len || p[1] < lo || p[1] > hi) return 0;
  for (size_t i = 2; i < len; ++i) {
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  }
  if (c == 0xC2 && p[1] <= 0x9F) return 0;                                  // U+0080..U+009F
  if (c == 0xE2 && p[1] == 0x80 && p[2] >= 0xAA && p[2] <= 0xAE) return 0;  // U+202A..U+202E
  if (c == 0xE2 && p[1] == 0x81 && p[2] >= 0xA6 && p[2] <= 0xA9) return 0;  // U+2066..U+2069
  return len;
}

// The user ID for display: whole characters only, '?' for each byte not printable.
void copy_user_id(char out[OPENPGP_USER_ID_MAX], const uint8_t* text, size_t len) {
  size_t o = 0, i = 0;
  while (i < len) {
    const size_t n = printable_utf8(text + i, len - i);
    const size_t w = n == 0 ? 1 : n;
    if (o + w >= OPENPGP_USER_ID_MAX) break;
    if (n == 0) {
      out[o] = '?';
    } else {
      std::memcpy(out + o, text + i, n);
    }
    o += w;
    i += w;
  }
  out[o] = '\0';
}

// The verdict once every packet is read.
int conclude(reader* r, openpgp_cert* out, char* reason) {
  if (r->revoked) {
    reason_add(reason, "its primary key is revoked");
    return OPENPGP_CERT_NO_SUBKEY;
  }
  if (!r->have_shown) {
    reason_add(reason, "no user ID has a valid self-signature");
    return OPENPGP_CERT_NO_USER_ID;
  }
  // The primary key's expiry: from the newer of the direct-key signature and the shown
  // user ID's certification.
  const uint32_t lifetime = r->direct && r->direct_at >= r->shown.certified_at
                                ? r->direct_lifetime
                                : r->shown.key_lifetime;
  const uint64_t primary_end = static_cast<uint64_t>(r->primary.created) + lifetime;
  if (lifetime != 0 && r->now >= primary_end) {
    reason_add(reason, "its primary key expired on ");
    reason_add_date(reason, primary_end);
    return OPENPGP_CERT_NO_SUBKEY;
  }
  const outcome& o = r->out;
  switch (o.best_stage) {
    case kUsable:
      break;
    case kRetired:
      if (o.expired_at == 0) {
        reason_add(reason, "revoked");
      } else {
        reason_add(reason, "expired on ");
        reason_add_date(reason, o.expired_at);
      }
      break;
    case kBadKdf:
      reason_add(reason, o.kdf_cipher == kCipherAes192 ? "AES-192 key wrap is not supported"
                                                       : "its KDF parameters are not supported");
      break;
    case kUnsupported:
      reason_add(reason, "RSA/NIST/v6 keys are not supported");
      break;
    case kNoBinding:
      reason_add(reason, "no subkey has a valid binding signature");
      break;
    default:
      reason_add(reason, "no subkey allows encryption");
      break;  // or no subkey at all
  }
  if (o.best_stage != kUsable) return OPENPGP_CERT_NO_SUBKEY;

  std::memcpy(out->primary_fpr, r->primary.fpr, 20);
  copy_user_id(out->user_id, r->shown.text, r->shown.len);
  std::memcpy(out->subkey, o.chosen.point, 32);
  std::memcpy(out->subkey_fpr, o.chosen.fpr, 20);
  out->kdf_hash = o.chosen.kdf_hash;
  out->kdf_cipher = o.chosen.kdf_cipher;
  return OPENPGP_CERT_OK;
}

// Reads the packets after the primary key: OPENPGP_CERT_OK when the sequence is well
// formed (the verdict is conclude's), else OPENPGP_CERT_MALFORMED.
int read_components(reader* r, const uint8_t* data, size_t len, size_t pos, char* reason) {
  component c = kNone;
  while (pos < len) {
    packet p;
    if (packet_read(data, len, &pos, &p) != 0) {
      reason_add(reason, "damaged packet");
      return OPENPGP_CERT_MALFORMED;
    }
    switch (p.tag) {
      case kTagSignature:
        if (take_signature(r, c, p) != 0) {
          reason_add(reason, "too many self-signatures");
          return OPENPGP_CERT_MALFORMED;
        }
        break;
      case kTagUserId:
      case kTagUserAttribute:
      case kTagPublicSubkey:
        end_component(r, c);
        if (p.tag == kTagUserId) {
          c = kUserId;
          std::memset(&r->uid, 0, sizeof r->uid);
          r->uid.text = p.body;
          r->uid.len = p.len;
        } else if (p.tag == kTagUserAttribute) {
          c = kAttribute;
        } else {
          c = kSubkey;
          std::memset(&r->sub, 0, sizeof r->sub);
          const int kr = key_read(p.body, p.len, &r->sub.k);
          if (kr == kKeyMalformed) {
            reason_add(reason, "damaged subkey");
            return OPENPGP_CERT_MALFORMED;
          }
          r->sub.v4 = kr == kKeyV4;
        }
        break;
      case kTagMarker:
      case kTagTrust:
      case kTagPadding:
        break;
      default:
        // Packets 40 and up may be ignored; any other (a second primary key, a secret
        // key, message packets) has no place in a certificate.
        if (p.tag < 40) {
          reason_add(reason, "not a single certificate");
          return OPENPGP_CERT_MALFORMED;
        }
        break;
    }
  }
  end_component(r, c);
  return OPENPGP_CERT_OK;
}

}  // namespace

int openpgp_cert_read(const uint8_t* data, size_t len, uint64_t now, openpgp_cert* out,
                      char reason[OPENPGP_REASON_MAX]) {
  if (reason != nullptr) reason[0] = '\0';
  if (data == nullptr || out == nullptr || reason == nullptr) return OPENPGP_CERT_MALFORMED;
  std::memset(out, 0, sizeof *out);
  reader r;
  std::memset(&r, 0, sizeof r);
  r.now = now;
  r.out.best_stage = -1;

  size_t pos = 0;
  packet p;
  if (packet_read(data, len, &pos, &p) != 0 || p.tag != kTagPublicKey) {
    reason_add(reason, "not an OpenPGP certificate");
    return OPENPGP_CERT_MALFORMED;
  }
  const int kr = key_read(p.body, p.len, &r.primary);
  if (kr == kKeyMalformed) {
    reason_add(reason, "damaged primary key");
    return OPENPGP_CERT_MALFORMED;
  }
  if (kr != kKeyV4 || !r.primary.ed25519) {
    reason_add(reason, "RSA/NIST/v6 keys are not supported");
    return OPENPGP_CERT_PRIMARY;
  }
  int rc = read_components(&r, data, len, pos, reason);
  if (rc == OPENPGP_CERT_OK) rc = conclude(&r, out, reason);
  if (rc != OPENPGP_CERT_OK) std::memset(out, 0, sizeof *out);
  return rc;
}
