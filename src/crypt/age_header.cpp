// The age header: the version line, recipient stanzas (a line of arguments, then a base64
// body wrapped at 64 columns and ended by a shorter line), and the MAC line. The reader
// takes only the text the format allows (LF line ends, single spaces, canonical unpadded
// base64) and copies nothing: the layout it returns points into the file.
#include <cstring>

#include "age_internal.h"
#include "hmac_internal.h"

namespace crypt_age {
namespace {

const char kVersionLine[] = "age-encryption.org/v1\n";
const char kStanzaMark[] = "-> ";
const char kMacMark[] = "--- ";
constexpr size_t kColumns = 64;   // characters of a full body line
constexpr size_t kMacChars = 43;  // unpadded base64 of 32 bytes

bool starts_with(const uint8_t* in, size_t len, size_t pos, const char* s) {
  const size_t n = std::strlen(s);
  return len - pos >= n && std::memcmp(in + pos, s, n) == 0;
}

// The length of the line at pos without its LF; false when no LF ends it.
bool line_at(const uint8_t* in, size_t len, size_t pos, size_t* line_len) {
  const void* lf = std::memchr(in + pos, '\n', len - pos);
  if (lf == nullptr) return false;
  *line_len = static_cast<size_t>(static_cast<const uint8_t*>(lf) - (in + pos));
  return true;
}

// Reads the stanza whose "-> " line starts at *pos and moves *pos past its last body line.
bool read_stanza(const uint8_t* in, size_t len, size_t* pos, stanza* s) {
  size_t n = 0;
  if (!line_at(in, len, *pos, &n)) return false;
  s->args = in + *pos + 3;
  s->args_len = n - 3;
  // Arguments of visible characters, one space between them.
  s->argc = 0;
  bool in_arg = false;
  for (size_t i = 0; i < s->args_len; ++i) {
    const uint8_t c = s->args[i];
    if (c == ' ') {
      if (!in_arg) return false;
      in_arg = false;
    } else if (c >= 0x21 && c <= 0x7e) {
      s->argc += in_arg ? 0 : 1;
      in_arg = true;
    } else {
      return false;
    }
  }
  if (!in_arg) return false;  // no argument, or a space at the end
  *pos += n + 1;

  s->body = in + *pos;
  s->body_len = 0;
  bool last = false;
  while (!last) {
    uint8_t scratch[kColumns / 4 * 3];
    size_t m = 0;
    if (!line_at(in, len, *pos, &n) || n > kColumns ||
        base64_decode(reinterpret_cast<const char*>(in + *pos), n, 0, scratch, sizeof scratch,
                      &m) != 0) {
      return false;
    }
    s->body_len += m;
    *pos += n + 1;
    last = n < kColumns;
  }
  s->body_text_len = static_cast<size_t>(in + *pos - s->body);
  return true;
}

}  // namespace

int header_parse(const uint8_t* in, size_t len, header* h) {
  if (in == nullptr || !starts_with(in, len, 0, kVersionLine)) return AGE_HEADER;
  size_t pos = sizeof kVersionLine - 1;
  h->stanzas_at = pos;
  stanza s;
  while (starts_with(in, len, pos, kStanzaMark)) {
    if (!read_stanza(in, len, &pos, &s)) return AGE_HEADER;
  }
  size_t n = 0, m = 0;
  if (pos == h->stanzas_at || !starts_with(in, len, pos, kMacMark) || !line_at(in, len, pos, &n) ||
      n != sizeof kMacMark - 1 + kMacChars ||
      base64_decode(reinterpret_cast<const char*>(in + pos + sizeof kMacMark - 1), kMacChars, 0,
                    h->mac, sizeof h->mac, &m) != 0) {
    return AGE_HEADER;
  }
  h->mac_line_at = pos;
  h->len = pos + n + 1;
  return AGE_OK;
}

bool header_next_stanza(const uint8_t* in, const header& h, size_t* pos, stanza* s) {
  return *pos < h.mac_line_at && read_stanza(in, h.mac_line_at, pos, s);
}

bool stanza_arg(const stanza& s, size_t i, const uint8_t** arg, size_t* len) {
  size_t start = 0, k = 0;
  for (size_t j = 0; j <= s.args_len; ++j) {
    if (j < s.args_len && s.args[j] != ' ') continue;
    if (k == i) {
      *arg = s.args + start;
      *len = j - start;
      return true;
    }
    ++k;
    start = j + 1;
  }
  return false;
}

void stanza_body(const stanza& s, uint8_t* out) {
  size_t pos = 0, done = 0, n = 0, m = 0;
  while (pos < s.body_text_len && line_at(s.body, s.body_text_len, pos, &n)) {
    base64_decode(reinterpret_cast<const char*>(s.body + pos), n, 0, out + done, s.body_len - done,
                  &m);
    done += m;
    pos += n + 1;
  }
}

void header_mac(const uint8_t file_key[kFileKeyLen], const uint8_t* header, size_t mac_len,
                uint8_t mac[32]) {
  uint8_t key[32];
  derive_key(file_key, kFileKeyLen, nullptr, 0, "header", key);
  crypt_hmac::work<crypt_hmac::sha256_hash> w;
  const crypt_hmac::piece m{header, mac_len};
  crypt_hmac::run<crypt_hmac::sha256_hash>(&w, key, sizeof key, &m, 1, mac);
  secure_zero(&w, sizeof w);
  secure_zero(key, sizeof key);
}

void derive_key(const uint8_t* ikm, size_t ikm_len, const uint8_t* salt, size_t salt_len,
                const char* info, uint8_t out[32]) {
  // Extract, then the one block of Expand that 32 bytes take: T(1) = HMAC(prk, info || 1).
  crypt_hmac::work<crypt_hmac::sha256_hash> w;
  uint8_t prk[32];
  const crypt_hmac::piece m{ikm, ikm_len};
  crypt_hmac::run<crypt_hmac::sha256_hash>(&w, salt, salt_len, &m, 1, prk);
  const uint8_t one = 1;
  const crypt_hmac::piece e[2] = {{reinterpret_cast<const uint8_t*>(info), std::strlen(info)},
                                  {&one, 1}};
  crypt_hmac::run<crypt_hmac::sha256_hash>(&w, prk, sizeof prk, e, 2, out);
  secure_zero(&w, sizeof w);
  secure_zero(prk, sizeof prk);
}

}  // namespace crypt_age
