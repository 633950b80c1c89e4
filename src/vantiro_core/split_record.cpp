// Split records: the root's signed statement of a split (key, split id, threshold and the
// SHA-256 of every share record), written when the shares are made and read strictly.
#include <cstdio>
#include <cstring>

#include "core_internal.h"
#include "crypt.h"
#include "vantiro_core.h"

namespace {

constexpr char kHead[] = "vantiro split v1\n";
constexpr char kSigLabel[] = "signature: ";
constexpr size_t kSigLine = sizeof kSigLabel - 1 + 2 * VANTIRO_SIG_SIZE + 1;

bool fields_ok(const vantiro_split_record* rec) {
  if (rec->threshold < 2 || rec->threshold > VANTIRO_MAX_SHARES ||
      rec->count < rec->threshold || rec->count > VANTIRO_SPLIT_MAX_LINES)
    return false;
  for (int i = 0; i < rec->count; ++i)
    if (rec->x[i] == 0 || (i > 0 && rec->x[i] <= rec->x[i - 1])) return false;
  return true;
}

// The signed part of the text, every line ending in one line feed. False when the fields
// are not a record's or the text does not fit in cap.
bool render_body(const vantiro_split_record* rec, char* out, size_t cap, size_t* len) {
  if (!fields_ok(rec)) return false;
  size_t at = 0;
  char num[32];
  bool ok = core_append(out, cap, &at, kHead) && core_append(out, cap, &at, "key: ") &&
            core_append_hex(out, cap, &at, rec->key, sizeof rec->key) &&
            core_append(out, cap, &at, "\nsplit: ") &&
            core_append_hex(out, cap, &at, rec->split, sizeof rec->split);
  std::snprintf(num, sizeof num, "\nthreshold: %d\n", rec->threshold);
  ok = ok && core_append(out, cap, &at, num);
  for (int i = 0; ok && i < rec->count; ++i) {
    std::snprintf(num, sizeof num, "share %d: ", rec->x[i]);
    ok = core_append(out, cap, &at, num) && core_append_hex(out, cap, &at, rec->digest[i], 32) &&
         core_append(out, cap, &at, "\n");
  }
  *len = at;
  return ok;
}

bool verify_body(const vantiro_split_record* rec, const char* body, size_t len) {
  return ed25519ctx_verify(rec->key, reinterpret_cast<const uint8_t*>(VANTIRO_SPLIT_CONTEXT),
                           sizeof VANTIRO_SPLIT_CONTEXT - 1, reinterpret_cast<const uint8_t*>(body),
                           len, rec->sig) == 0;
}

bool parse_fields(const char* text, size_t n, vantiro_split_record* rec) {
  core_lines r{text, n, false};
  const char* s = nullptr;
  size_t len = 0;
  if (!r.line(&s, &len) || len != sizeof kHead - 2 || std::memcmp(s, kHead, len) != 0) return false;
  if (!r.line(&s, &len) || !core_labelled_hex(s, len, "key: ", rec->key, sizeof rec->key)) return false;
  if (!r.line(&s, &len) || !core_labelled_hex(s, len, "split: ", rec->split, sizeof rec->split))
    return false;
  if (!r.line(&s, &len) || len < 11 || std::memcmp(s, "threshold: ", 11) != 0 ||
      !core_small_decimal(s + 11, len - 11, &rec->threshold))
    return false;
  rec->count = 0;
  for (;;) {
    if (!r.line(&s, &len)) return false;
    if (len > 6 && std::memcmp(s, "share ", 6) == 0) {
      const void* colon = std::memchr(s + 6, ':', len - 6);
      if (colon == nullptr || rec->count == VANTIRO_SPLIT_MAX_LINES) return false;
      const size_t digits = static_cast<size_t>(static_cast<const char*>(colon) - (s + 6));
      int x = 0;
      if (!core_small_decimal(s + 6, digits, &x) ||
          !core_labelled_hex(s + 6 + digits, len - 6 - digits, ": ", rec->digest[rec->count], 32))
        return false;
      rec->x[rec->count++] = static_cast<uint8_t>(x);
      continue;
    }
    if (!core_labelled_hex(s, len, kSigLabel, rec->sig, sizeof rec->sig)) return false;
    break;
  }
  return r.i == n && fields_ok(rec);
}

}  // namespace

int vantiro_split_record_add(vantiro_split_record* rec, const uint8_t record[VANTIRO_RECORD_SIZE]) {
  if (rec == nullptr || record == nullptr || record[0] == 0 || rec->count < 0 ||
      rec->count >= VANTIRO_SPLIT_MAX_LINES)
    return -1;
  int at = rec->count;
  while (at > 0 && rec->x[at - 1] > record[0]) --at;
  if (at > 0 && rec->x[at - 1] == record[0]) return -1;
  std::memmove(rec->x + at + 1, rec->x + at, static_cast<size_t>(rec->count - at));
  std::memmove(rec->digest[at + 1], rec->digest[at], static_cast<size_t>(rec->count - at) * 32);
  rec->x[at] = record[0];
  core_share_digest(record, rec->digest[at]);
  ++rec->count;
  return 0;
}

int vantiro_split_record_sign(const uint8_t root[VANTIRO_ROOT_SIZE], vantiro_split_record* rec,
                              char* out, size_t cap, size_t* len) {
  if (root == nullptr || rec == nullptr || out == nullptr || len == nullptr) return -1;
  if (cap > VANTIRO_SPLIT_TEXT_MAX) cap = VANTIRO_SPLIT_TEXT_MAX;
  size_t body = 0;
  if (!render_body(rec, out, cap, &body) || cap - body < kSigLine) return -1;
  // Only the root of the record's key signs for it, and only a root whose halves agree.
  if (!core_root_is_consistent(root) || std::memcmp(root + 32, rec->key, sizeof rec->key) != 0)
    return -3;
  uint8_t sig[VANTIRO_SIG_SIZE];
  ed25519ctx_sign(root, reinterpret_cast<const uint8_t*>(VANTIRO_SPLIT_CONTEXT),
                  sizeof VANTIRO_SPLIT_CONTEXT - 1, reinterpret_cast<const uint8_t*>(out), body,
                  sig);
  std::memcpy(rec->sig, sig, sizeof sig);
  if (!verify_body(rec, out, body)) return -4;
  size_t at = body;
  core_append(out, cap, &at, kSigLabel);
  core_append_hex(out, cap, &at, rec->sig, sizeof rec->sig);
  core_append(out, cap, &at, "\n");
  *len = at;
  return 0;
}

int vantiro_split_record_new(const uint8_t root[VANTIRO_ROOT_SIZE], int t, int n,
                             const uint8_t* records, vantiro_split_record* rec, char* out,
                             size_t cap, size_t* len) {
  if (root == nullptr || records == nullptr || rec == nullptr || n < 1 ||
      n > VANTIRO_SPLIT_MAX_LINES)
    return -1;
  vantiro_split_record r{};
  std::memcpy(r.key, root + 32, sizeof r.key);
  r.threshold = t;
  for (size_t i = 0; i < static_cast<size_t>(n); ++i)
    if (vantiro_split_record_add(&r, records + i * VANTIRO_RECORD_SIZE) != 0) return -1;
  if (crypt_fill_random(r.split, sizeof r.split) != 0) return -2;
  const int rc = vantiro_split_record_sign(root, &r, out, cap, len);
  if (rc == 0) *rec = r;
  return rc;
}

int vantiro_split_record_parse(const uint8_t* text, size_t len, vantiro_split_record* out) {
  if (text == nullptr || out == nullptr || len > VANTIRO_SPLIT_TEXT_MAX) return -1;
  vantiro_split_record rec{};
  if (!parse_fields(reinterpret_cast<const char*>(text), len, &rec)) return -1;
  // The signature covers the text with line feeds: the strict layout renders it again.
  char body[VANTIRO_SPLIT_TEXT_MAX];
  size_t body_len = 0;
  if (!render_body(&rec, body, sizeof body, &body_len)) return -1;
  if (!verify_body(&rec, body, body_len)) return -3;
  *out = rec;
  return 0;
}

int vantiro_split_record_check_fingerprint(const vantiro_split_record* rec, int x,
                                           const uint8_t fingerprint[32]) {
  for (int i = 0; i < rec->count; ++i) {
    if (rec->x[i] != x) continue;
    return core_equal_ct(fingerprint, rec->digest[i], 32) ? VANTIRO_SHARE_LISTED
                                                          : VANTIRO_SHARE_CHANGED;
  }
  return VANTIRO_SHARE_UNLISTED;
}

int vantiro_split_record_check(const vantiro_split_record* rec,
                               const uint8_t record[VANTIRO_RECORD_SIZE]) {
  uint8_t digest[32];
  core_share_digest(record, digest);
  return vantiro_split_record_check_fingerprint(rec, record[0], digest);
}
