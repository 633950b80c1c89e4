// Writing and strictly reading the ceremony's signed text files: lines of "name: value",
// hex in lower case.
#include <cstring>

#include "core_internal.h"
#include "vantiro_core.h"

bool core_append(char* out, size_t cap, size_t* at, const char* text) {
  const size_t n = std::strlen(text);
  if (cap - *at < n) return false;
  std::memcpy(out + *at, text, n);
  *at += n;
  return true;
}

bool core_append_hex(char* out, size_t cap, size_t* at, const uint8_t* data, size_t n) {
  if ((cap - *at) / 2 < n) return false;
  char hex[2 * 64 + 1];
  for (size_t i = 0; i < n; i += 64) {
    const size_t piece = n - i < 64 ? n - i : 64;
    vantiro_hex(data + i, piece, hex, sizeof hex);
    core_append(out, cap, at, hex);
  }
  return true;
}

void core_share_digest(const uint8_t record[VANTIRO_RECORD_SIZE], uint8_t out[32]) {
  sha256_ctx ctx;
  sha256_init(&ctx);
  sha256_update(&ctx, record, VANTIRO_RECORD_SIZE);
  sha256_final(&ctx, out);
  secure_zero(&ctx, sizeof ctx);
}

bool core_lines::line(const char** s, size_t* len) {
  if (i >= n) return false;
  const void* nl = std::memchr(p + i, '\n', n - i);
  if (nl == nullptr) return false;
  const size_t end = static_cast<size_t>(static_cast<const char*>(nl) - p);
  *s = p + i;
  *len = end - i;
  if (!lf_only && *len > 0 && (*s)[*len - 1] == '\r') --*len;
  i = end + 1;
  return true;
}

bool core_labelled_hex(const char* s, size_t len, const char* label, uint8_t* out, size_t n) {
  const size_t l = std::strlen(label);
  return len == l + 2 * n && std::memcmp(s, label, l) == 0 && vantiro_unhex(s + l, 2 * n, out) == 0;
}

bool core_decimal(const char* s, size_t len, int max, int* v) {
  // Nine digits at most: within int whatever they are.
  if (len == 0 || len > 9 || s[0] == '0') return false;
  int x = 0;
  for (size_t i = 0; i < len; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    x = x * 10 + (s[i] - '0');
  }
  if (x > max) return false;
  *v = x;
  return true;
}

bool core_small_decimal(const char* s, size_t len, int* v) { return core_decimal(s, len, 255, v); }

bool core_labelled_decimal(const char* s, size_t len, const char* label, int* v) {
  const size_t l = std::strlen(label);
  return len > l && std::memcmp(s, label, l) == 0 && core_small_decimal(s + l, len - l, v);
}

bool core_starts(const char* s, size_t len, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return len >= n && std::memcmp(s, prefix, n) == 0;
}

bool core_printable(const char* s, size_t len) {
  for (size_t i = 0; i < len; ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

namespace {

bool is_digits(const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

}  // namespace

bool core_utc_time(const char* s, size_t len) {
  return len == 20 && is_digits(s, 4) && s[4] == '-' && is_digits(s + 5, 2) && s[7] == '-' &&
         is_digits(s + 8, 2) && s[10] == 'T' && is_digits(s + 11, 2) && s[13] == ':' &&
         is_digits(s + 14, 2) && s[16] == ':' && is_digits(s + 17, 2) && s[19] == 'Z';
}

bool core_text_verify(const char* context, const uint8_t key[32], const char* body, size_t len,
                      const uint8_t sig[64]) {
  return ed25519ctx_verify(key, reinterpret_cast<const uint8_t*>(context), std::strlen(context),
                           reinterpret_cast<const uint8_t*>(body), len, sig) == 0;
}

bool core_append_signature(const uint8_t* root, const char* context, char* out, size_t cap,
                           size_t* at, uint8_t* sig) {
  if (cap - *at < CORE_SIG_LINE) return false;
  uint8_t s[64];
  ed25519ctx_sign(root, reinterpret_cast<const uint8_t*>(context), std::strlen(context),
                  reinterpret_cast<const uint8_t*>(out), *at, s);
  core_append(out, cap, at, CORE_SIG_LABEL);
  core_append_hex(out, cap, at, s, sizeof s);
  core_append(out, cap, at, "\n");
  if (sig != nullptr) std::memcpy(sig, s, sizeof s);
  return true;
}
