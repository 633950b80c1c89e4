// Module-internal helpers of the ceremony core.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypt.h"

// Equality of n bytes, examining all of them with no branch on their contents.
inline bool core_equal_ct(const uint8_t* a, const uint8_t* b, size_t n) {
  uint8_t diff = 0;
  for (size_t i = 0; i < n; ++i) diff = static_cast<uint8_t>(diff | (a[i] ^ b[i]));
  return diff == 0;
}

// True when root[32..63] is the public key that key generation derives from the seed
// root[0..31]: a root whose halves disagree is no root, and signing with it leaks the key.
bool core_root_is_consistent(const uint8_t* root);

// Interpolates k (2..16) share records at x into the 64 bytes of out (at x = 0 the root);
// its copy of the share bytes is wiped. 0, or -1 as shamir_eval.
int core_interpolate(int k, const uint8_t* records, uint8_t x, uint8_t* out);

// Rebuilds from the k (at most 16) records whose bit is clear in skip and reports whether
// the result is a root (vantiro_recover wipes one that is not; the caller wipes root after
// each try). Its copy of the records is wiped.
bool core_rebuild_without(int k, const uint8_t* records, unsigned skip, uint8_t* root);

// ---- The signed text files (split records, sealed shares) -----------------------------

// Appends the NUL-terminated text, or the lower-case hex of n bytes, at *at
// of out (cap bytes, no NUL written); false, *at unchanged, when it does not fit.
bool core_append(char* out, size_t cap, size_t* at, const char* text);
bool core_append_hex(char* out, size_t cap, size_t* at, const uint8_t* data, size_t n);

// SHA-256 of a share record (its fingerprint); the hash state is wiped.
void core_share_digest(const uint8_t record[65], uint8_t out[32]);

// A strict reader of lines, each ending in LF (or CRLF unless lf_only).
struct core_lines {
  const char* p;
  size_t n;
  bool lf_only;
  size_t i = 0;
  // The next line without its end; false at the end of the text or at a line with no end.
  bool line(const char** s, size_t* len);
};

// "<label><hex of n bytes>" exactly, in lower case.
bool core_labelled_hex(const char* s, size_t len, const char* label, uint8_t* out, size_t n);
// A decimal of 1 to 9 digits without a leading zero, at most max.
bool core_decimal(const char* s, size_t len, int max, int* v);
// A decimal without a leading zero, at most 255.
bool core_small_decimal(const char* s, size_t len, int* v);
// "<label><decimal>" exactly, the decimal as core_small_decimal reads it.
bool core_labelled_decimal(const char* s, size_t len, const char* label, int* v);
// Whether the len characters at s begin with the NUL-terminated prefix.
bool core_starts(const char* s, size_t len, const char* prefix);
// Text a line may hold after its label: no control character (the line feed ends it).
bool core_printable(const char* s, size_t len);
// "YYYY-MM-DDTHH:MM:SSZ" exactly.
bool core_utc_time(const char* s, size_t len);

// The line that ends every signed text: "signature: <128 hex>\n".
constexpr char CORE_SIG_LABEL[] = "signature: ";
constexpr size_t CORE_SIG_LINE = sizeof CORE_SIG_LABEL - 1 + 128 + 1;
// Whether sig is the Ed25519ctx signature by key, under the NUL-terminated context, of the
// len bytes of body.
bool core_text_verify(const char* context, const uint8_t key[32], const char* body, size_t len,
                      const uint8_t sig[64]);
// Signs out[0..*at) with the 64-byte root under context (Ed25519ctx) and appends the
// signature line; false, nothing appended, when it does not fit in cap. sig, when not null,
// receives the signature.
bool core_append_signature(const uint8_t* root, const char* context, char* out, size_t cap,
                           size_t* at, uint8_t* sig = nullptr);
