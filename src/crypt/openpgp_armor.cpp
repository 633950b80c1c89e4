// OpenPGP's ASCII armor and its CRC-24. Reading takes what OpenPGP writers emit: the BEGIN
// line, header lines ("Key: value"), a blank line, base64 in lines of at most 76 characters
// (whitespace inside ignored, padding only at the very end), an optional "=XXXX" checksum
// line, the END line; LF or CRLF, whitespace around the block. Writing emits 64 columns,
// no header lines, the checksum line and LF line ends.
#include <cstring>

#include "crypt.h"

namespace {

constexpr size_t kReadColumns = 76;
constexpr size_t kWriteColumns = 64;

const char* label_of(int kind) {
  switch (kind) {
    case OPENPGP_ARMOR_PUBLIC_KEY:
      return "PGP PUBLIC KEY BLOCK";
    case OPENPGP_ARMOR_MESSAGE:
      return "PGP MESSAGE";
    default:
      return nullptr;
  }
}

bool is_space(uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// One line of the input: [start, start + len) without its line end and trailing
// whitespace; next is where the following line starts (len of the input at the end).
struct line {
  size_t start, len, next;
};

line line_at(const uint8_t* in, size_t len, size_t pos) {
  const void* lf = std::memchr(in + pos, '\n', len - pos);
  line l{pos, 0, len};
  size_t end = len;
  if (lf != nullptr) {
    end = static_cast<size_t>(static_cast<const uint8_t*>(lf) - in);
    l.next = end + 1;
  }
  while (end > pos && is_space(in[end - 1])) --end;
  l.len = end - pos;
  return l;
}

// "-----BEGIN <label>-----" or "-----END <label>-----", exactly, as the line l.
bool is_armor_line(const uint8_t* in, const line& l, const char* word, const char* label) {
  const size_t w = std::strlen(word), n = std::strlen(label);
  if (l.len != 5 + w + 1 + n + 5) return false;
  const uint8_t* p = in + l.start;
  return std::memcmp(p, "-----", 5) == 0 && std::memcmp(p + 5, word, w) == 0 && p[5 + w] == ' ' &&
         std::memcmp(p + 6 + w, label, n) == 0 && std::memcmp(p + 6 + w + n, "-----", 5) == 0;
}

// Base64 characters gathered across lines in groups of four, each group decoded as it
// completes; after a padded group nothing more may come.
struct b64_reader {
  char group[4];
  size_t fill;
  bool ended;
  uint8_t* out;
  size_t cap, used;
};

bool b64_line(b64_reader* r, const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i] == ' ' || p[i] == '\t') continue;
    if (r->ended) return false;
    r->group[r->fill++] = static_cast<char>(p[i]);
    if (r->fill < 4) continue;
    uint8_t three[3];
    size_t m = 0;
    if (base64_decode(r->group, 4, 1, three, sizeof three, &m) != 0 || m > r->cap - r->used) {
      return false;
    }
    std::memcpy(r->out + r->used, three, m);
    r->used += m;
    r->fill = 0;
    r->ended = m < 3;
  }
  return true;
}

// From the first line after the BEGIN line: header lines, the blank line, the data and
// the checksum lines, the END line and nothing after it but whitespace. pos is a line
// start; r->used counts the bytes written to r->out, also on failure.
bool read_body(const uint8_t* in, size_t len, size_t pos, const char* label, b64_reader* r) {
  line l = line_at(in, len, pos);
  // Header lines hold ": "; base64 never holds ':'.
  while (l.start < len && std::memchr(in + l.start, ':', l.len) != nullptr) {
    l = line_at(in, len, l.next);
  }
  if (l.start < len && l.len == 0) l = line_at(in, len, l.next);

  bool have_crc = false;
  uint8_t crc[3] = {0, 0, 0};
  for (;;) {
    if (l.start >= len) return false;  // no END line
    if (is_armor_line(in, l, "END", label)) break;
    if (have_crc || l.len > kReadColumns) return false;
    if (l.len == 5 && in[l.start] == '=') {
      // The checksum: '=' and four base64 characters on a line of its own.
      size_t m = 0;
      if (base64_decode(reinterpret_cast<const char*>(in + l.start + 1), 4, 1, crc, sizeof crc,
                        &m) != 0 ||
          m != 3) {
        return false;
      }
      have_crc = true;
    } else if (!b64_line(r, in + l.start, l.len)) {
      return false;
    }
    l = line_at(in, len, l.next);
  }
  if (r->fill != 0) return false;
  for (size_t i = l.next; i < len; ++i) {
    if (!is_space(in[i])) return false;
  }
  if (have_crc) {
    const uint32_t want =
        static_cast<uint32_t>(crc[0]) << 16 | static_cast<uint32_t>(crc[1]) << 8 | crc[2];
    if (crc24_openpgp(r->out, r->used) != want) return false;
  }
  return true;
}

// Appends n bytes of s at *pos when they fit below cap (which keeps room for a NUL).
bool put(char* out, size_t cap, size_t* pos, const char* s, size_t n) {
  if (n >= cap - *pos) return false;
  std::memcpy(out + *pos, s, n);
  *pos += n;
  return true;
}

bool put_str(char* out, size_t cap, size_t* pos, const char* s) {
  return put(out, cap, pos, s, std::strlen(s));
}

}  // namespace

uint32_t crc24_openpgp(const uint8_t* data, size_t len) {
  uint32_t crc = 0xB704CE;
  for (size_t i = 0; i < len; ++i) {
    crc ^= static_cast<uint32_t>(data[i]) << 16;
    for (int bit = 0; bit < 8; ++bit) {
      crc <<= 1;
      if (crc & 0x1000000) crc ^= 0x1864CFB;
    }
  }
  return crc & 0xFFFFFF;
}

int openpgp_is_armored(const uint8_t* in, size_t len, int kind) {
  const char* label = label_of(kind);
  if (in == nullptr || label == nullptr) return 0;
  size_t pos = 0;
  while (pos < len && is_space(in[pos])) ++pos;
  return is_armor_line(in, line_at(in, len, pos), "BEGIN", label) ? 1 : 0;
}

int openpgp_dearmor(const uint8_t* in, size_t len, int kind, uint8_t* out, size_t cap,
                    size_t* out_len) {
  if (out_len != nullptr) *out_len = 0;
  const char* label = label_of(kind);
  if (in == nullptr || out_len == nullptr || (out == nullptr && cap != 0) || label == nullptr ||
      openpgp_is_armored(in, len, kind) != 1) {
    return -1;
  }
  size_t pos = 0;
  while (is_space(in[pos])) ++pos;
  b64_reader r{{}, 0, false, out, cap, 0};
  if (!read_body(in, len, line_at(in, len, pos).next, label, &r)) {
    if (r.used != 0) std::memset(out, 0, r.used);
    return -1;
  }
  *out_len = r.used;
  return 0;
}

int openpgp_armor(const uint8_t* data, size_t len, int kind, char* out, size_t cap,
                  size_t* out_len) {
  const char* label = label_of(kind);
  if ((data == nullptr && len != 0) || out == nullptr || out_len == nullptr || label == nullptr) {
    return -1;
  }
  size_t pos = 0;
  bool ok = put_str(out, cap, &pos, "-----BEGIN ") && put_str(out, cap, &pos, label) &&
            put_str(out, cap, &pos, "-----\n\n");
  for (size_t done = 0; ok && done < len; done += kWriteColumns / 4 * 3) {
    const size_t n = len - done < kWriteColumns / 4 * 3 ? len - done : kWriteColumns / 4 * 3;
    char chars[kWriteColumns + 1];
    size_t m = 0;
    base64_encode(data + done, n, 1, chars, sizeof chars, &m);
    ok = put(out, cap, &pos, chars, m) && put(out, cap, &pos, "\n", 1);
  }
  const uint32_t crc = crc24_openpgp(data, len);
  const uint8_t crc_bytes[3] = {static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 8),
                                static_cast<uint8_t>(crc)};
  char crc_chars[5];
  size_t m = 0;
  base64_encode(crc_bytes, 3, 1, crc_chars, sizeof crc_chars, &m);
  ok = ok && put(out, cap, &pos, "=", 1) && put(out, cap, &pos, crc_chars, m) &&
       put_str(out, cap, &pos, "\n-----END ") && put_str(out, cap, &pos, label) &&
       put_str(out, cap, &pos, "-----\n");
  if (!ok) {
    std::memset(out, 0, pos);
    return -1;
  }
  out[pos] = '\0';
  *out_len = pos;
  return 0;
}
