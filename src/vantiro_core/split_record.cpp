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

bool appendf(char* out, size_t cap, size_t* at, const char* text) {
  const size_t n = std::strlen(text);
  if (cap - *at < n) return false;
  std::memcpy(out + *at, text, n);
  *at += n;
  return true;
}

bool append_hex(char* out, size_t cap, size_t* at, const uint8_t* data, size_t n) {
  char hex[2 * 64 + 1];
  vantiro_hex(data, n, hex, sizeof hex);
  return appendf(out, cap, at, hex);
}

// SHA-256 of a share record; the hash state holds share bytes and is wiped here.
void share_digest(const uint8_t record[VANTIRO_RECORD_SIZE], uint8_t out[32]) {
  sha256_ctx ctx;
  sha256_init(&ctx);
  sha256_update(&ctx, record, VANTIRO_RECORD_SIZE);
  sha256_final(&ctx, out);
  secure_zero(&ctx, sizeof ctx);
}

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
  bool ok = appendf(out, cap, &at, kHead) && appendf(out, cap, &at, "key: ") &&
            append_hex(out, cap, &at, rec->key, sizeof rec->key) &&
            appendf(out, cap, &at, "\nsplit: ") &&
            append_hex(out, cap, &at, rec->split, sizeof rec->split);
  std::snprintf(num, sizeof num, "\nthreshold: %d\n", rec->threshold);
  ok = ok && appendf(out, cap, &at, num);
  for (int i = 0; ok && i < rec->count; ++i) {
    std::snprintf(num, sizeof num, "share %d: ", rec->x[i]);
    ok = appendf(out, cap, &at, num) && append_hex(out, cap, &at, rec->digest[i], 32) &&
         appendf(out, cap, &at, "\n");
  }
  *len = at;
  return ok;
}

bool verify_body(const vantiro_split_record* rec, const char* body, size_t len) {
  return ed25519ctx_verify(rec->key, reinterpret_cast<const uint8_t*>(VANTIRO_SPLIT_CONTEXT),
                           sizeof VANTIRO_SPLIT_CONTEXT - 1, reinterpret_cast<const uint8_t*>(body),
                           len, rec->sig) == 0;
}

// The strict reader: one line at a time, each ending in LF or CRLF.
struct Reader {
  const char* p;
  size_t n;
  size_t i = 0;

  // The next line without its end; false at the end of the text or a line with no end.
  bool line(const char** s, size_t* len) {
    if (i >= n) return false;
    const void* nl = std::memchr(p + i, '\n', n - i);
    if (nl == nullptr) return false;
    const size_t end = static_cast<size_t>(static_cast<const char*>(nl) - p);
    *s = p + i;
    *len = end - i;
    if (*len > 0 && (*s)[*len - 1] == '\r') --*len;
    i = end + 1;
    return true;
  }
};

// "<label><hex of n bytes>" exactly.
bool labelled_hex(const char* s, size_t len, const char* label, uint8_t* out, size_t n) {
  const size_t l = std::strlen(label);
  return len == l + 2 * n && std::memcmp(s, label, l) == 0 && vantiro_unhex(s + l, 2 * n, out) == 0;
}

// A decimal of 1 to 3 digits without a leading zero, at most 255.
bool small_decimal(const char* s, size_t len, int* v) {
  if (len == 0 || len > 3 || s[0] == '0') return false;
  int x = 0;
  for (size_t i = 0; i < len; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    x = x * 10 + (s[i] - '0');
  }
  if (x > 255) return false;
  *v = x;
  return true;
}

bool parse_fields(const char* text, size_t n, vantiro_split_record* rec) {
  Reader r{text, n};
  const char* s = nullptr;
  size_t len = 0;
  if (!r.line(&s, &len) || len != sizeof kHead - 2 || std::memcmp(s, kHead, len) != 0) return false;
  if (!r.line(&s, &len) || !labelled_hex(s, len, "key: ", rec->key, sizeof rec->key)) return false;
  if (!r.line(&s, &len) || !labelled_hex(s, len, "split: ", rec->split, sizeof rec->split))
    return false;
  if (!r.line(&s, &len) || len < 11 || std::memcmp(s, "threshold: ", 11) != 0 ||
      !small_decimal(s + 11, len - 11, &rec->threshold))
    return false;
  rec->count = 0;
  for (;;) {
    if (!r.line(&s, &len)) return false;
    if (len > 6 && std::memcmp(s, "share ", 6) == 0) {
      const void* colon = std::memchr(s + 6, ':', len - 6);
      if (colon == nullptr || rec->count == VANTIRO_SPLIT_MAX_LINES) return false;
      const size_t digits = static_cast<size_t>(static_cast<const char*>(colon) - (s + 6));
      int x = 0;
      if (!small_decimal(s + 6, digits, &x) ||
          !labelled_hex(s + 6 + digits, len - 6 - digits, ": ", rec->digest[rec->count], 32))
        return false;
      rec->x[rec->count++] = static_cast<uint8_t>(x);
      continue;
    }
    if (!labelled_hex(s, len, kSigLabel, rec->sig, sizeof rec->sig)) return false;
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
  share_digest(record, rec->digest[at]);
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
  appendf(out, cap, &at, kSigLabel);
  append_hex(out, cap, &at, rec->sig, sizeof rec->sig);
  appendf(out, cap, &at, "\n");
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

int vantiro_split_record_check(const vantiro_split_record* rec,
                               const uint8_t record[VANTIRO_RECORD_SIZE]) {
  for (int i = 0; i < rec->count; ++i) {
    if (rec->x[i] != record[0]) continue;
    uint8_t digest[32];
    share_digest(record, digest);
    return core_equal_ct(digest, rec->digest[i], sizeof digest) ? VANTIRO_SHARE_LISTED
                                                                 : VANTIRO_SHARE_CHANGED;
  }
  return VANTIRO_SHARE_UNLISTED;
}
