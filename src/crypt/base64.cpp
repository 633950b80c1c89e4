// Base64 with the standard alphabet (RFC 4648, section 4), padded or unpadded. Decoding
// takes only the canonical form, so every byte string has exactly one accepted text.
#include "crypt.h"

namespace {

const char kAlphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The 6-bit value of an alphabet character, or -1 (also for '=').
int value_of(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

int base64_encode(const uint8_t* data, size_t len, int pad, char* out, size_t cap,
                  size_t* out_len) {
  if (out == nullptr || out_len == nullptr || (data == nullptr && len != 0)) return -1;
  if (len > (SIZE_MAX - 8) / 4 * 3) return -1;
  const size_t rem = len % 3;
  const size_t chars = len / 3 * 4 + (rem == 0 ? 0 : pad != 0 ? 4 : rem + 1);
  if (cap < chars + 1) return -1;
  size_t n = 0;
  for (size_t i = 0; i < len; i += 3) {
    const size_t take = len - i < 3 ? len - i : 3;
    uint32_t w = static_cast<uint32_t>(data[i]) << 16;
    if (take > 1) w |= static_cast<uint32_t>(data[i + 1]) << 8;
    if (take > 2) w |= data[i + 2];
    for (size_t k = 0; k <= take; ++k) out[n++] = kAlphabet[(w >> (18 - 6 * k)) & 63u];
  }
  while (n < chars) out[n++] = '=';
  out[n] = '\0';
  *out_len = n;
  return 0;
}

int base64_decode(const char* in, size_t len, int pad, uint8_t* out, size_t cap, size_t* out_len) {
  if (out_len == nullptr || (in == nullptr && len != 0)) return -1;
  size_t chars = len;
  if (pad != 0) {
    if (len % 4 != 0) return -1;
    for (int k = 0; k < 2 && chars > 0 && in[chars - 1] == '='; ++k) --chars;
  }
  // A lone character in the last group carries only 6 bits: never a whole byte.
  if (chars % 4 == 1) return -1;
  const size_t bytes = chars / 4 * 3 + (chars % 4 == 0 ? 0 : chars % 4 - 1);
  if (bytes > cap || (out == nullptr && bytes != 0)) return -1;

  uint32_t acc = 0, bits = 0;
  size_t n = 0;
  bool bad = false;
  for (size_t i = 0; i < chars && !bad; ++i) {
    const int v = value_of(in[i]);
    bad = v < 0;
    acc = ((acc << 6) | static_cast<uint32_t>(v & 63)) & 0xfffu;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out[n++] = static_cast<uint8_t>(acc >> bits);
    }
  }
  // Every character read, and the bits of the last one beyond the last byte all zero;
  // else nothing decoded stays in out.
  if (bad || (acc & ((1u << bits) - 1u)) != 0) {
    for (size_t i = 0; i < n; ++i) out[i] = 0;
    return -1;
  }
  *out_len = n;
  return 0;
}
