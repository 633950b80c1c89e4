// Bech32 (BIP 173) without its 90-character limit. The data is regrouped between 8 and 5
// bits while the characters are read or written, so no buffer of 5-bit groups exists.
// The data may be a secret key: each character is looked up by reading the whole
// alphabet, the checksum is updated without branches, and the accumulators are wiped.
#include "crypt.h"

namespace {

const char kAlphabet[33] = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";
constexpr size_t kHrpMax = 83;
constexpr size_t kChecksumLen = 6;

// One step of the BCH checksum: shifts in a 5-bit value.
uint32_t polymod_step(uint32_t chk, uint32_t value) {
  static const uint32_t gen[5] = {0x3b6a57b2, 0x26508e6d, 0x1ea119fa, 0x3d4233dd, 0x2a1462b3};
  const uint32_t top = chk >> 25;
  chk = ((chk & 0x1ffffff) << 5) ^ value;
  for (uint32_t i = 0; i < 5; ++i) chk ^= gen[i] & (0u - ((top >> i) & 1u));
  return chk;
}

// All ones when a == b, else zero (a, b below 2^31).
uint32_t eq_mask(uint32_t a, uint32_t b) { return 0u - (((a ^ b) - 1u) >> 31); }

// 1 when c is in lo..hi, else 0 (all below 2^31).
uint32_t in_range(uint32_t c, uint32_t lo, uint32_t hi) {
  return 1u ^ (((c - lo) | (hi - c)) >> 31);
}

// The character of a 5-bit value, upper-cased when upper is 1.
char char_of(uint32_t v, uint32_t upper) {
  uint32_t c = 0;
  for (uint32_t i = 0; i < 32; ++i) c |= static_cast<uint32_t>(kAlphabet[i]) & eq_mask(i, v);
  c ^= 0x20u & (0u - (upper & in_range(c, 'a', 'z')));
  return static_cast<char>(c);
}

// The 5-bit value of a lower-case character, or 32 when it is not in the alphabet.
uint32_t value_of(uint32_t c) {
  uint32_t v = 0, found = 0;
  for (uint32_t i = 0; i < 32; ++i) {
    const uint32_t m = eq_mask(static_cast<uint32_t>(kAlphabet[i]), c);
    v |= i & m;
    found |= m;
  }
  return v | (32u & ~found);
}

uint32_t lower(uint32_t c) { return c | (0x20u & (0u - in_range(c, 'A', 'Z'))); }

// The checksum state after the expanded hrp: high bits of each character, a zero, low bits.
uint32_t hrp_checksum(const char* hrp, size_t hrp_len) {
  uint32_t chk = 1;
  for (size_t i = 0; i < hrp_len; ++i) {
    chk = polymod_step(chk, lower(static_cast<unsigned char>(hrp[i])) >> 5);
  }
  chk = polymod_step(chk, 0);
  for (size_t i = 0; i < hrp_len; ++i) {
    chk = polymod_step(chk, lower(static_cast<unsigned char>(hrp[i])) & 31u);
  }
  return chk;
}

}  // namespace

int bech32_encode(const char* hrp, const uint8_t* data, size_t len, int upper, char* out,
                  size_t cap) {
  if (hrp == nullptr || out == nullptr || (data == nullptr && len != 0)) return -1;
  size_t hrp_len = 0;
  while (hrp_len <= kHrpMax && hrp[hrp_len] != '\0') {
    const auto c = static_cast<unsigned char>(hrp[hrp_len]);
    if (c < 33 || c > 126 || (c >= 'A' && c <= 'Z')) return -1;
    ++hrp_len;
  }
  if (hrp_len == 0 || hrp_len > kHrpMax || len > (SIZE_MAX - 128) / 8) return -1;
  const size_t groups = (len * 8 + 4) / 5;
  if (cap < hrp_len + 1 + groups + kChecksumLen + 1) return -1;

  const uint32_t up = upper != 0 ? 1u : 0u;
  size_t n = 0;
  for (size_t i = 0; i < hrp_len; ++i) {
    uint32_t c = static_cast<unsigned char>(hrp[i]);
    c ^= 0x20u & (0u - (up & in_range(c, 'a', 'z')));
    out[n++] = static_cast<char>(c);
  }
  out[n++] = '1';
  uint32_t chk = hrp_checksum(hrp, hrp_len);
  uint32_t acc = 0, bits = 0, v = 0;
  for (size_t i = 0; i < len; ++i) {
    acc = ((acc << 8) | data[i]) & 0xfffu;
    bits += 8;
    while (bits >= 5) {
      bits -= 5;
      v = (acc >> bits) & 31u;
      chk = polymod_step(chk, v);
      out[n++] = char_of(v, up);
    }
  }
  if (bits > 0) {
    v = (acc << (5 - bits)) & 31u;
    chk = polymod_step(chk, v);
    out[n++] = char_of(v, up);
  }
  for (size_t i = 0; i < kChecksumLen; ++i) chk = polymod_step(chk, 0);
  chk ^= 1;
  for (size_t i = 0; i < kChecksumLen; ++i) {
    out[n++] = char_of((chk >> (5 * (kChecksumLen - 1 - i))) & 31u, up);
  }
  out[n] = '\0';
  secure_zero(&acc, sizeof acc);
  secure_zero(&v, sizeof v);
  secure_zero(&chk, sizeof chk);
  return 0;
}

int bech32_decode(const char* str, size_t len, char* hrp, size_t hrp_cap, uint8_t* data,
                  size_t data_cap, size_t* data_len) {
  if (data != nullptr) secure_zero(data, data_cap);
  if (data_len != nullptr) *data_len = 0;
  if (str == nullptr || hrp == nullptr || data_len == nullptr) return -1;
  // One case throughout, printable ASCII only; the separator is the last '1'.
  size_t sep = len;
  uint32_t seen_lower = 0, seen_upper = 0;
  for (size_t i = 0; i < len; ++i) {
    const auto c = static_cast<unsigned char>(str[i]);
    if (c < 33 || c > 126) return -1;
    seen_lower |= in_range(c, 'a', 'z');
    seen_upper |= in_range(c, 'A', 'Z');
    if (c == '1') sep = i;
  }
  if ((seen_lower & seen_upper) != 0 || sep == len || sep == 0 || sep > kHrpMax ||
      len - sep - 1 < kChecksumLen || hrp_cap < sep + 1) {
    return -1;
  }
  const size_t chars = len - sep - 1 - kChecksumLen;
  if (chars > SIZE_MAX / 5 || (chars * 5) % 8 > 4 || (chars * 5) / 8 > data_cap ||
      (data == nullptr && chars * 5 >= 8)) {
    return -1;
  }

  uint32_t chk = hrp_checksum(str, sep);
  uint32_t acc = 0, bits = 0, v = 0, bad = 0;
  size_t n = 0;
  for (size_t i = 0; i < chars + kChecksumLen; ++i) {
    v = value_of(lower(static_cast<unsigned char>(str[sep + 1 + i])));
    bad |= v >> 5;
    v &= 31u;
    chk = polymod_step(chk, v);
    if (i < chars) {
      acc = ((acc << 5) | v) & 0x1fffu;
      bits += 5;
      if (bits >= 8) {
        bits -= 8;
        data[n++] = static_cast<uint8_t>(acc >> bits);
      }
    }
  }
  // What is left over is padding: fewer than 5 bits (checked above), all zero.
  bad |= acc & ((1u << bits) - 1u);
  bad |= chk ^ 1u;
  secure_zero(&acc, sizeof acc);
  secure_zero(&v, sizeof v);
  secure_zero(&chk, sizeof chk);
  if (bad != 0) {
    if (data != nullptr) secure_zero(data, data_cap);
    return -1;
  }
  for (size_t i = 0; i < sep; ++i) {
    hrp[i] = static_cast<char>(lower(static_cast<unsigned char>(str[i])));
  }
  hrp[sep] = '\0';
  *data_len = n;
  return 0;
}
