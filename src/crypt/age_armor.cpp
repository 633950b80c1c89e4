// The ASCII armor of an age file: strict PEM with the label "AGE ENCRYPTED FILE", padded
// base64 in lines of 64 characters with a last line of 1 to 64, LF or CRLF line ends (the
// BEGIN line's, throughout). Only whitespace may stand before and after it.
#include <cstring>

#include "crypt.h"

namespace {

const char kBegin[] = "-----BEGIN AGE ENCRYPTED FILE-----";
const char kEnd[] = "-----END AGE ENCRYPTED FILE-----";
constexpr size_t kColumns = 64;

bool is_space(uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

size_t skip_space(const uint8_t* in, size_t len, size_t pos) {
  while (pos < len && is_space(in[pos])) ++pos;
  return pos;
}

bool starts_with(const uint8_t* in, size_t len, size_t pos, const char* s, size_t n) {
  return len - pos >= n && std::memcmp(in + pos, s, n) == 0;
}

// The line at pos, ended by eol (eol_len bytes): false when it is not so ended before len.
bool line_at(const uint8_t* in, size_t len, size_t pos, const char* eol, size_t eol_len,
             size_t* line_len) {
  const void* lf = std::memchr(in + pos, '\n', len - pos);
  if (lf == nullptr) return false;
  const size_t end = static_cast<size_t>(static_cast<const uint8_t*>(lf) - in) + 1;
  if (end - pos < eol_len || std::memcmp(in + end - eol_len, eol, eol_len) != 0) return false;
  *line_len = end - pos - eol_len;
  return true;
}

// The base64 lines from pos up to the END line, decoded into out: AGE_OK with *pos at the
// END line, AGE_ARMOR or AGE_TOO_LARGE.
int decode_lines(const uint8_t* in, size_t len, size_t* pos, const char* eol, size_t eol_len,
                 uint8_t* out, size_t cap, size_t* out_len) {
  bool last_seen = false;
  while (!starts_with(in, len, *pos, kEnd, sizeof kEnd - 1)) {
    size_t n = 0, m = 0;
    uint8_t chunk[kColumns / 4 * 3];
    // Only full lines without padding may come before the last.
    if (last_seen || !line_at(in, len, *pos, eol, eol_len, &n) || n == 0 || n > kColumns) {
      return AGE_ARMOR;
    }
    const auto* line = reinterpret_cast<const char*>(in + *pos);
    if (base64_decode(line, n, 1, chunk, sizeof chunk, &m) != 0) return AGE_ARMOR;
    last_seen = n < kColumns || line[n - 1] == '=';
    if (m > cap - *out_len) return AGE_TOO_LARGE;
    std::memcpy(out + *out_len, chunk, m);
    *out_len += m;
    *pos += n + eol_len;
  }
  return AGE_OK;
}

}  // namespace

int age_is_armored(const uint8_t* in, size_t len) {
  if (in == nullptr) return 0;
  return starts_with(in, len, skip_space(in, len, 0), kBegin, sizeof kBegin - 1) ? 1 : 0;
}

int age_dearmor(const uint8_t* in, size_t len, uint8_t* out, size_t cap, size_t* out_len) {
  if (out_len != nullptr) *out_len = 0;
  if (in == nullptr || out_len == nullptr || (out == nullptr && cap != 0)) return AGE_REFUSED;
  size_t pos = skip_space(in, len, 0);
  if (!starts_with(in, len, pos, kBegin, sizeof kBegin - 1)) return AGE_ARMOR;
  pos += sizeof kBegin - 1;
  const bool crlf = starts_with(in, len, pos, "\r\n", 2);
  const char* eol = crlf ? "\r\n" : "\n";
  const size_t eol_len = crlf ? 2 : 1;
  if (!starts_with(in, len, pos, eol, eol_len)) return AGE_ARMOR;
  pos += eol_len;

  size_t n = 0;
  int r = decode_lines(in, len, &pos, eol, eol_len, out, cap, &n);
  if (r == AGE_OK && skip_space(in, len, pos + sizeof kEnd - 1) != len) r = AGE_ARMOR;
  if (r != AGE_OK) {
    if (n != 0) std::memset(out, 0, n);
    return r;
  }
  *out_len = n;
  return AGE_OK;
}
