// Custodian keys and sealed shares: a share record sealed with HPKE to one custodian's
// X25519 key under a header that the root signs.
#include <cstdio>
#include <cstring>

#include "core_internal.h"
#include "crypt.h"
#include "vantiro_core.h"

namespace {

constexpr char kHead[] = "vantiro sealed share v1\n";
constexpr char kSealedLabel[] = "sealed: ";
constexpr char kSigLabel[] = "signature: ";
constexpr size_t kCtLen = VANTIRO_RECORD_SIZE + HPKE_TAG_LEN;

bool header_ok(const vantiro_sealed_share* s) {
  return s->threshold >= 2 && s->threshold <= VANTIRO_MAX_SHARES && s->x >= 1 && s->x <= 255;
}

// The header (HPKE's info): the first line through the recipient line.
bool render_header(const vantiro_sealed_share* s, char* out, size_t cap, size_t* len) {
  if (!header_ok(s)) return false;
  size_t at = 0;
  char num[48];
  std::snprintf(num, sizeof num, "\nthreshold: %d\nshare: %d\nfingerprint: ", s->threshold, s->x);
  const bool ok = core_append(out, cap, &at, kHead) && core_append(out, cap, &at, "key: ") &&
                  core_append_hex(out, cap, &at, s->key, sizeof s->key) &&
                  core_append(out, cap, &at, "\nsplit: ") &&
                  core_append_hex(out, cap, &at, s->split, sizeof s->split) &&
                  core_append(out, cap, &at, num) &&
                  core_append_hex(out, cap, &at, s->fingerprint, sizeof s->fingerprint) &&
                  core_append(out, cap, &at, "\nrecipient: ") &&
                  core_append_hex(out, cap, &at, s->recipient, sizeof s->recipient) &&
                  core_append(out, cap, &at, "\n");
  *len = at;
  return ok;
}

// The signed part: the header and the sealed line.
bool render_body(const vantiro_sealed_share* s, char* out, size_t cap, size_t* header_len,
                 size_t* len) {
  if (!render_header(s, out, cap, header_len)) return false;
  size_t at = *header_len;
  const bool ok = core_append(out, cap, &at, kSealedLabel) &&
                  core_append_hex(out, cap, &at, s->sealed, sizeof s->sealed) &&
                  core_append(out, cap, &at, "\n");
  *len = at;
  return ok;
}

bool verify_body(const vantiro_sealed_share* s, const char* body, size_t len) {
  return ed25519ctx_verify(s->key, reinterpret_cast<const uint8_t*>(VANTIRO_SEALED_CONTEXT),
                           sizeof VANTIRO_SEALED_CONTEXT - 1,
                           reinterpret_cast<const uint8_t*>(body), len, s->sig) == 0;
}

bool parse_fields(const char* text, size_t n, vantiro_sealed_share* s) {
  core_lines r{text, n, true};
  const char* p = nullptr;
  size_t len = 0;
  return r.line(&p, &len) && len == sizeof kHead - 2 && std::memcmp(p, kHead, len) == 0 &&
         r.line(&p, &len) && core_labelled_hex(p, len, "key: ", s->key, sizeof s->key) &&
         r.line(&p, &len) && core_labelled_hex(p, len, "split: ", s->split, sizeof s->split) &&
         r.line(&p, &len) && core_labelled_decimal(p, len, "threshold: ", &s->threshold) &&
         r.line(&p, &len) && core_labelled_decimal(p, len, "share: ", &s->x) && r.line(&p, &len) &&
         core_labelled_hex(p, len, "fingerprint: ", s->fingerprint, sizeof s->fingerprint) &&
         r.line(&p, &len) &&
         core_labelled_hex(p, len, "recipient: ", s->recipient, sizeof s->recipient) &&
         r.line(&p, &len) && core_labelled_hex(p, len, kSealedLabel, s->sealed, sizeof s->sealed) &&
         r.line(&p, &len) && core_labelled_hex(p, len, kSigLabel, s->sig, sizeof s->sig) &&
         r.i == n && header_ok(s);
}

}  // namespace

int vantiro_custodian_keygen(uint8_t sk[32], uint8_t pk[32]) {
  if (crypt_fill_random(sk, 32) != 0) {  // which has zeroed sk
    secure_zero(pk, 32);
    return -2;
  }
  x25519_public_key(pk, sk);
  return 0;
}

void vantiro_custodian_public(const uint8_t sk[32], uint8_t pk[32]) { x25519_public_key(pk, sk); }

int vantiro_custodian_key_has_small_order(const uint8_t pk[32]) {
  // Every clamped scalar is a multiple of 8, so it takes a point of order 1, 2, 4 or 8 to
  // u = 0 and any other point elsewhere: one multiplication by a fixed, public scalar.
  static const uint8_t kScalar[32] = {8, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
                                      16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 64};
  uint8_t u[32];
  x25519(u, kScalar, pk);
  uint8_t any = 0;
  for (uint8_t b : u) any = static_cast<uint8_t>(any | b);
  return any == 0 ? 1 : 0;
}

int vantiro_custodian_key_is_canonical(const uint8_t pk[32]) {
  if (pk[31] > 0x7f) return 0;
  // Below 2^255, u >= p = 2^255 - 19 only as 7f ff ... ff followed by a low byte >= ed.
  if (pk[31] != 0x7f || pk[0] < 0xed) return 1;
  for (size_t i = 1; i < 31; ++i)
    if (pk[i] != 0xff) return 1;
  return 0;
}

int vantiro_sealed_share_make(const uint8_t root[VANTIRO_ROOT_SIZE],
                              const uint8_t split[VANTIRO_SPLIT_ID_SIZE], int t,
                              const uint8_t record[VANTIRO_RECORD_SIZE], const uint8_t recipient[32],
                              char* out, size_t cap, size_t* len) {
  if (root == nullptr || split == nullptr || record == nullptr || recipient == nullptr ||
      out == nullptr || len == nullptr || record[0] == 0 ||
      vantiro_custodian_key_has_small_order(recipient) != 0 ||
      vantiro_custodian_key_is_canonical(recipient) == 0)
    return -1;
  if (cap > VANTIRO_SEALED_TEXT_MAX) cap = VANTIRO_SEALED_TEXT_MAX;
  vantiro_sealed_share s{};
  std::memcpy(s.key, root + 32, sizeof s.key);
  std::memcpy(s.split, split, sizeof s.split);
  s.threshold = t;
  s.x = record[0];
  core_share_digest(record, s.fingerprint);
  std::memcpy(s.recipient, recipient, sizeof s.recipient);
  char body[VANTIRO_SEALED_TEXT_MAX];
  size_t header_len = 0;
  size_t body_len = 0;
  if (!render_header(&s, body, sizeof body, &header_len)) return -1;
  if (!core_root_is_consistent(root)) return -3;
  if (hpke_seal_base(s.sealed, s.sealed + 32, recipient, reinterpret_cast<uint8_t*>(body),
                     header_len, nullptr, 0, record, VANTIRO_RECORD_SIZE) != 0)
    return -2;  // the recipient was checked: only the random source is left to fail
  const size_t sig_line = sizeof kSigLabel - 1 + 2 * sizeof s.sig + 1;
  if (!render_body(&s, body, sizeof body, &header_len, &body_len) || cap - body_len < sig_line ||
      cap < body_len)
    return -1;
  ed25519ctx_sign(root, reinterpret_cast<const uint8_t*>(VANTIRO_SEALED_CONTEXT),
                  sizeof VANTIRO_SEALED_CONTEXT - 1, reinterpret_cast<const uint8_t*>(body),
                  body_len, s.sig);
  if (!verify_body(&s, body, body_len)) return -4;
  std::memcpy(out, body, body_len);
  size_t at = body_len;
  core_append(out, cap, &at, kSigLabel);
  core_append_hex(out, cap, &at, s.sig, sizeof s.sig);
  core_append(out, cap, &at, "\n");
  *len = at;
  return 0;
}

int vantiro_sealed_share_parse(const uint8_t* text, size_t len, vantiro_sealed_share* out) {
  if (text == nullptr || out == nullptr || len > VANTIRO_SEALED_TEXT_MAX) return -1;
  vantiro_sealed_share s{};
  if (!parse_fields(reinterpret_cast<const char*>(text), len, &s)) return -1;
  // The layout is exact, so the text before "signature: " is the body rendered again.
  char body[VANTIRO_SEALED_TEXT_MAX];
  size_t header_len = 0;
  size_t body_len = 0;
  if (!render_body(&s, body, sizeof body, &header_len, &body_len) || body_len > len ||
      std::memcmp(body, text, body_len) != 0)
    return -1;
  if (!verify_body(&s, body, body_len)) return -3;
  *out = s;
  return 0;
}

int vantiro_sealed_share_open(const vantiro_sealed_share* s, const uint8_t sk[32],
                              uint8_t record[VANTIRO_RECORD_SIZE]) {
  if (s == nullptr || sk == nullptr || record == nullptr) return -1;
  uint8_t pk[32];
  x25519_public_key(pk, sk);
  if (std::memcmp(pk, s->recipient, sizeof pk) != 0) return -1;
  char info[VANTIRO_SEALED_TEXT_MAX];
  size_t info_len = 0;
  if (!render_header(s, info, sizeof info, &info_len)) return -1;
  uint8_t rec[VANTIRO_RECORD_SIZE];
  if (hpke_open_base(rec, s->sealed, sk, reinterpret_cast<const uint8_t*>(info), info_len, nullptr,
                     0, s->sealed + 32, kCtLen) != 0)
    return -4;  // a refused open has zeroed rec
  uint8_t digest[32];
  core_share_digest(rec, digest);
  const bool as_named = rec[0] == s->x && core_equal_ct(digest, s->fingerprint, sizeof digest);
  if (as_named) std::memcpy(record, rec, sizeof rec);
  secure_zero(rec, sizeof rec);
  return as_named ? 0 : -3;
}
