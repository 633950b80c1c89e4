// Share texts: one share record in the clear under the header of its root, split,
// threshold and place, signed by the root - and the same text sealed in an age file to a
// custodian's X25519 recipient.
#include <cstdio>
#include <cstring>

#include "core_internal.h"
#include "crypt.h"
#include "vantiro_core.h"

namespace {

constexpr char kHead[] = "vantiro share v1\n";
constexpr char kSigLabel[] = "signature: ";
constexpr size_t kSigLine = sizeof kSigLabel - 1 + 2 * VANTIRO_SIG_SIZE + 1;

bool fields_ok(const vantiro_share_text* s) {
  return s->threshold >= 2 && s->threshold <= VANTIRO_MAX_SHARES && s->x >= 1 && s->x <= 255 &&
         s->record[0] == s->x;
}

// The signed part: every line before the signature line.
bool render_body(const vantiro_share_text* s, char* out, size_t cap, size_t* len) {
  if (!fields_ok(s)) return false;
  size_t at = 0;
  char num[40];
  std::snprintf(num, sizeof num, "\nthreshold: %d\nshare: %d\nrecord: ", s->threshold, s->x);
  const bool ok = core_append(out, cap, &at, kHead) && core_append(out, cap, &at, "key: ") &&
                  core_append_hex(out, cap, &at, s->key, sizeof s->key) &&
                  core_append(out, cap, &at, "\nsplit: ") &&
                  core_append_hex(out, cap, &at, s->split, sizeof s->split) &&
                  core_append(out, cap, &at, num) &&
                  core_append_hex(out, cap, &at, s->record, sizeof s->record) &&
                  core_append(out, cap, &at, "\n");
  *len = at;
  return ok;
}

bool verify_body(const vantiro_share_text* s, const char* body, size_t len) {
  return ed25519ctx_verify(s->key, reinterpret_cast<const uint8_t*>(VANTIRO_SHARE_CONTEXT),
                           sizeof VANTIRO_SHARE_CONTEXT - 1,
                           reinterpret_cast<const uint8_t*>(body), len, s->sig) == 0;
}

bool parse_fields(const char* text, size_t n, vantiro_share_text* s) {
  core_lines r{text, n, true};
  const char* p = nullptr;
  size_t len = 0;
  return r.line(&p, &len) && len == sizeof kHead - 2 && std::memcmp(p, kHead, len) == 0 &&
         r.line(&p, &len) && core_labelled_hex(p, len, "key: ", s->key, sizeof s->key) &&
         r.line(&p, &len) && core_labelled_hex(p, len, "split: ", s->split, sizeof s->split) &&
         r.line(&p, &len) && core_labelled_decimal(p, len, "threshold: ", &s->threshold) &&
         r.line(&p, &len) && core_labelled_decimal(p, len, "share: ", &s->x) && r.line(&p, &len) &&
         core_labelled_hex(p, len, "record: ", s->record, sizeof s->record) &&
         r.line(&p, &len) && core_labelled_hex(p, len, kSigLabel, s->sig, sizeof s->sig) &&
         r.i == n && fields_ok(s);
}

}  // namespace

int vantiro_share_text_make(const uint8_t root[VANTIRO_ROOT_SIZE],
                            const uint8_t split[VANTIRO_SPLIT_ID_SIZE], int t,
                            const uint8_t record[VANTIRO_RECORD_SIZE], char* out, size_t cap,
                            size_t* len) {
  if (root == nullptr || split == nullptr || record == nullptr || out == nullptr ||
      len == nullptr || record[0] == 0)
    return -1;
  if (cap > VANTIRO_SHARE_TEXT_MAX) cap = VANTIRO_SHARE_TEXT_MAX;
  vantiro_share_text s{};
  std::memcpy(s.key, root + 32, sizeof s.key);
  std::memcpy(s.split, split, sizeof s.split);
  s.threshold = t;
  s.x = record[0];
  std::memcpy(s.record, record, sizeof s.record);
  char body[VANTIRO_SHARE_TEXT_MAX];
  size_t body_len = 0;
  int rc = 0;
  if (!render_body(&s, body, sizeof body, &body_len) || cap < body_len ||
      cap - body_len < kSigLine)
    rc = -1;
  else if (!core_root_is_consistent(root))
    rc = -3;
  if (rc == 0) {
    ed25519ctx_sign(root, reinterpret_cast<const uint8_t*>(VANTIRO_SHARE_CONTEXT),
                    sizeof VANTIRO_SHARE_CONTEXT - 1, reinterpret_cast<const uint8_t*>(body),
                    body_len, s.sig);
    if (!verify_body(&s, body, body_len)) rc = -4;
  }
  if (rc == 0) {
    std::memcpy(out, body, body_len);
    size_t at = body_len;
    core_append(out, cap, &at, kSigLabel);
    core_append_hex(out, cap, &at, s.sig, sizeof s.sig);
    core_append(out, cap, &at, "\n");
    *len = at;
  }
  secure_zero(body, sizeof body);
  secure_zero(&s, sizeof s);
  return rc;
}

int vantiro_share_text_parse(const uint8_t* text, size_t len, vantiro_share_text* out) {
  if (text == nullptr || out == nullptr || len > VANTIRO_SHARE_TEXT_MAX) return -1;
  vantiro_share_text s{};
  char body[VANTIRO_SHARE_TEXT_MAX];
  size_t body_len = 0;
  int rc = 0;
  // The layout is exact, so the text before "signature: " is the body rendered again.
  if (!parse_fields(reinterpret_cast<const char*>(text), len, &s) ||
      !render_body(&s, body, sizeof body, &body_len) || body_len > len ||
      std::memcmp(body, text, body_len) != 0)
    rc = -1;
  else if (!verify_body(&s, body, body_len))
    rc = -3;
  if (rc == 0) *out = s;
  secure_zero(body, sizeof body);
  secure_zero(&s, sizeof s);
  return rc;
}

int vantiro_age_share_make(const uint8_t root[VANTIRO_ROOT_SIZE],
                           const uint8_t split[VANTIRO_SPLIT_ID_SIZE], int t,
                           const uint8_t record[VANTIRO_RECORD_SIZE], const uint8_t recipient[32],
                           uint8_t* out, size_t cap, size_t* len) {
  if (recipient == nullptr || out == nullptr || len == nullptr ||
      vantiro_custodian_key_has_small_order(recipient) != 0 ||
      vantiro_custodian_key_is_canonical(recipient) == 0)
    return -1;
  char text[VANTIRO_SHARE_TEXT_MAX];
  size_t text_len = 0;
  int rc = vantiro_share_text_make(root, split, t, record, text, sizeof text, &text_len);
  if (rc == 0) {
    const int arc = age_encrypt_x25519(recipient, reinterpret_cast<const uint8_t*>(text),
                                       text_len, out, cap, len);
    rc = arc == AGE_OK ? 0 : arc == AGE_RANDOM ? -2 : -1;
  }
  secure_zero(text, sizeof text);
  return rc;
}

int vantiro_age_share_open(const uint8_t* file, size_t len, const uint8_t (*keys)[32], int count,
                           vantiro_share_text* out, int* which) {
  if (file == nullptr || out == nullptr || count < 0 || (count > 0 && keys == nullptr))
    return -1;
  if (len > VANTIRO_AGE_FILE_MAX) return VANTIRO_AGE_SHARE_HEADER;
  uint8_t binary[VANTIRO_AGE_FILE_MAX];
  if (age_is_armored(file, len) != 0) {
    size_t binary_len = 0;
    if (age_dearmor(file, len, binary, sizeof binary, &binary_len) != AGE_OK)
      return VANTIRO_AGE_SHARE_ARMOR;
    file = binary;
    len = binary_len;
  }
  // One byte more than the longest share text tells a longer payload.
  uint8_t text[VANTIRO_SHARE_TEXT_MAX + 1];
  size_t text_len = 0;
  int rc = VANTIRO_AGE_SHARE_OPENED;
  switch (age_decrypt_x25519(file, len, keys, count, text, sizeof text, &text_len, which)) {
    case AGE_OK:
      break;
    case AGE_NO_MATCH:
      rc = VANTIRO_AGE_SHARE_NO_KEY;
      break;
    case AGE_HMAC:
      rc = VANTIRO_AGE_SHARE_HMAC;
      break;
    case AGE_PAYLOAD:
      rc = VANTIRO_AGE_SHARE_PAYLOAD;
      break;
    case AGE_TOO_LARGE:
      rc = VANTIRO_AGE_SHARE_NOT_SHARE;
      break;
    default:
      rc = VANTIRO_AGE_SHARE_HEADER;
      break;
  }
  if (rc == VANTIRO_AGE_SHARE_OPENED) {
    const int prc = vantiro_share_text_parse(text, text_len, out);
    rc = prc == 0 ? VANTIRO_AGE_SHARE_OPENED
         : prc == -3 ? VANTIRO_AGE_SHARE_UNSIGNED
                     : VANTIRO_AGE_SHARE_NOT_SHARE;
  }
  // The dearmored file is as public as the file itself: only the share text is wiped.
  secure_zero(text, sizeof text);
  return rc;
}

int vantiro_openpgp_share_make(const uint8_t root[VANTIRO_ROOT_SIZE],
                               const uint8_t split[VANTIRO_SPLIT_ID_SIZE], int t,
                               const uint8_t record[VANTIRO_RECORD_SIZE], const openpgp_cert* cert,
                               char* out, size_t cap, size_t* len) {
  if (cert == nullptr || out == nullptr || len == nullptr) return -1;
  char text[VANTIRO_SHARE_TEXT_MAX];
  size_t text_len = 0;
  int rc = vantiro_share_text_make(root, split, t, record, text, sizeof text, &text_len);
  if (rc == 0)
    rc = openpgp_encrypt(cert, reinterpret_cast<const uint8_t*>(text), text_len, out, cap, len);
  secure_zero(text, sizeof text);
  return rc;
}

int vantiro_share_seal(uint8_t form, const uint8_t root[VANTIRO_ROOT_SIZE],
                       const uint8_t split[VANTIRO_SPLIT_ID_SIZE], int t,
                       const uint8_t record[VANTIRO_RECORD_SIZE], const uint8_t recipient[32],
                       const openpgp_cert* cert, uint8_t* out, size_t cap, size_t* len) {
  if (form == VANTIRO_FORM_AGE)
    return vantiro_age_share_make(root, split, t, record, recipient, out, cap, len);
  if (form == VANTIRO_FORM_OPENPGP)
    return vantiro_openpgp_share_make(root, split, t, record, cert, reinterpret_cast<char*>(out),
                                      cap, len);
  if (form != VANTIRO_FORM_SEALED) return -1;
  return vantiro_sealed_share_make(root, split, t, record, recipient, reinterpret_cast<char*>(out),
                                   cap, len);
}
