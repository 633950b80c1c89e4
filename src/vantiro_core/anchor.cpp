// Anchor records as operators and relying parties hold them: the zone line that minting
// writes, the quoted TXT text that DNS query tools print, or the raw public key.
#include <cstring>

#include "crypt.h"
#include "vantiro_core.h"

namespace {

constexpr size_t kKeyHex = 64;
constexpr size_t kSigHex = 128;
constexpr size_t kRecordLen = 2 + kKeyHex + 3 + kSigHex;  // "k=" key " s=" sig: 197

bool is_label_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '_';
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool is_space(char c) { return c == ' ' || c == '\t'; }

// The text is not NUL-terminated: only its len characters are looked at.
bool all_digits(const char* p, size_t len) {
  for (size_t i = 0; i < len; ++i)
    if (p[i] < '0' || p[i] > '9') return false;
  return true;
}

// Parses "k=<64 hex> s=<128 hex>" (lower case) of exactly kRecordLen characters.
bool parse_record(const char* p, size_t len, vantiro_anchor* out) {
  if (len != kRecordLen || std::memcmp(p, "k=", 2) != 0 ||
      std::memcmp(p + 2 + kKeyHex, " s=", 3) != 0)
    return false;
  return vantiro_unhex(p + 2, kKeyHex, out->key) == 0 &&
         vantiro_unhex(p + 5 + kKeyHex, kSigHex, out->sig) == 0;
}

// Parses a zone line: owner [ttl] [IN] TXT "record". The owner is "_key." and a DNS name.
bool parse_zone_line(const char* p, size_t len, vantiro_anchor* out) {
  size_t i = 0;
  while (i < len && !is_space(p[i])) ++i;
  const size_t owner_len = i;
  if (owner_len <= 5 || owner_len >= sizeof out->owner || std::memcmp(p, "_key.", 5) != 0 ||
      !vantiro_fqdn_ok(p + 5, owner_len - 5))
    return false;
  bool seen_ttl = false, seen_class = false;
  for (;;) {
    if (i == len || !is_space(p[i])) return false;
    while (i < len && is_space(p[i])) ++i;
    size_t end = i;
    while (end < len && !is_space(p[end])) ++end;
    const char* tok = p + i;
    const size_t tok_len = end - i;
    if (tok_len == 3 && std::memcmp(tok, "TXT", 3) == 0) {
      i = end;
      break;
    }
    if (tok_len == 2 && std::memcmp(tok, "IN", 2) == 0 && !seen_class) {
      seen_class = true;
    } else if (tok_len > 0 && tok_len <= 10 && !seen_ttl && !seen_class && all_digits(tok, tok_len)) {
      seen_ttl = true;
    } else {
      return false;
    }
    i = end;
  }
  if (i == len || !is_space(p[i])) return false;
  while (i < len && is_space(p[i])) ++i;
  if (len - i != kRecordLen + 2 || p[i] != '"' || p[len - 1] != '"') return false;
  if (!parse_record(p + i + 1, kRecordLen, out)) return false;
  std::memcpy(out->owner, p, owner_len);
  out->owner[owner_len] = '\0';
  return true;
}

}  // namespace

int vantiro_fqdn_ok(const char* fqdn, size_t len) {
  if (fqdn == nullptr || len == 0) return 0;
  if (fqdn[len - 1] == '.') --len;  // one trailing dot: the name is absolute
  if (len == 0 || len > 253 - 5) return 0;
  size_t label = 0;
  for (size_t i = 0; i < len; ++i) {
    const char c = fqdn[i];
    if (c == '.') {
      if (label == 0) return 0;
      label = 0;
    } else if (is_label_char(c) && label < 63) {
      ++label;
    } else {
      return 0;
    }
  }
  return label != 0 ? 1 : 0;
}

int vantiro_unhex(const char* hex, size_t len, uint8_t* out) {
  if (hex == nullptr || out == nullptr || len % 2 != 0) return -1;
  for (size_t i = 0; i < len; ++i)
    if (hex_digit(hex[i]) < 0) return -1;
  for (size_t i = 0; i < len / 2; ++i)
    out[i] = static_cast<uint8_t>(hex_digit(hex[2 * i]) << 4 | hex_digit(hex[2 * i + 1]));
  return 0;
}

int vantiro_anchor_parse(const uint8_t* data, size_t len, vantiro_anchor* out) {
  if (data == nullptr || out == nullptr) return -1;
  vantiro_anchor a{};
  if (len == sizeof a.key) {  // operator.pub: the raw key, nothing to check it by
    std::memcpy(a.key, data, sizeof a.key);
    *out = a;
    return 0;
  }
  const char* p = reinterpret_cast<const char*>(data);
  if (len > 0 && p[len - 1] == '\n') --len;
  if (len > 0 && p[len - 1] == '\r') --len;
  if (std::memchr(p, '\n', len) != nullptr || std::memchr(p, '\0', len) != nullptr) return -1;
  bool ok;
  if (len > 0 && p[0] == '"')
    ok = len == kRecordLen + 2 && p[len - 1] == '"' && parse_record(p + 1, kRecordLen, &a);
  else if (len > 0 && p[0] == 'k')
    ok = parse_record(p, len, &a);
  else
    ok = parse_zone_line(p, len, &a);
  if (!ok) return -1;
  a.has_sig = 1;
  *out = a;
  return 0;
}

int vantiro_anchor_verify(const vantiro_anchor* a) {
  if (a == nullptr || a->has_sig == 0) return -1;
  uint8_t msg[32 + 8];
  std::memcpy(msg, a->key, 32);
  std::memcpy(msg + 32, "operator", 8);
  return ed25519_verify(a->key, msg, sizeof msg, a->sig) == 0 ? 0 : -1;
}
