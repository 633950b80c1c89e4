// Module-internal pieces of the age format: the header reader and MAC (age_header.cpp)
// and the STREAM payload (age_stream.cpp), used by encryption and decryption (age.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypt.h"

namespace crypt_age {

constexpr size_t kFileKeyLen = 16;
constexpr size_t kNonceLen = 16;
constexpr size_t kTagLen = CHACHA20POLY1305_TAG_LEN;

// out = HKDF-SHA-256(ikm, salt, info), 32 bytes; the pseudo-random key is wiped.
void derive_key(const uint8_t* ikm, size_t ikm_len, const uint8_t* salt, size_t salt_len,
                const char* info, uint8_t out[32]);

// ---- Header ----

// One recipient stanza as it stands in the header text.
struct stanza {
  const uint8_t* args;  // "type arg2 ...", one space between arguments, no LF
  size_t args_len;
  size_t argc;
  const uint8_t* body;  // the body lines with their LFs
  size_t body_text_len;
  size_t body_len;  // bytes the body decodes to
};

// Where the parts of a well-formed header lie in the file.
struct header {
  size_t stanzas_at;   // first stanza line
  size_t mac_line_at;  // the "---" line
  size_t len;          // the whole header, through the MAC line's LF
  uint8_t mac[32];
};

// Reads the header at the start of the len bytes at in: AGE_OK with its layout in *h, or
// AGE_HEADER when it is malformed. Every stanza is checked for form, not for meaning.
int header_parse(const uint8_t* in, size_t len, header* h);
// The stanza at *pos of a header that header_parse accepted, moving *pos past it: true,
// or false at the MAC line.
bool header_next_stanza(const uint8_t* in, const header& h, size_t* pos, stanza* s);
// Argument i of s (0 is the type): true with its place, or false when there are fewer.
bool stanza_arg(const stanza& s, size_t i, const uint8_t** arg, size_t* len);
// Decodes the body of s into out, which has room for s.body_len bytes.
void stanza_body(const stanza& s, uint8_t* out);
// The header MAC: HMAC-SHA-256 under HKDF(file key, "", "header") over the mac_len bytes
// at header (through the "---" mark). Wipes its key.
void header_mac(const uint8_t file_key[kFileKeyLen], const uint8_t* header, size_t mac_len,
                uint8_t mac[32]);

// ---- Payload ----

// Bytes of the STREAM chunks (plaintext and a tag per chunk, at least one chunk) for
// pt_len bytes: false when that overflows a size_t.
bool stream_size(size_t pt_len, size_t* size);
// Encrypts pt_len bytes into out (stream_size bytes) under HKDF(file key, nonce,
// "payload"); wipes the payload key.
void stream_seal(const uint8_t file_key[kFileKeyLen], const uint8_t nonce[kNonceLen],
                 const uint8_t* pt, size_t pt_len, uint8_t* out);
// Decrypts the len bytes of chunks at in into out: AGE_OK with *out_len bytes; AGE_PAYLOAD
// with *out_len bytes of the chunks that authenticated before the fault; AGE_TOO_LARGE,
// writing nothing, when the plaintext the chunks can hold exceeds cap.
int stream_open(const uint8_t file_key[kFileKeyLen], const uint8_t nonce[kNonceLen],
                const uint8_t* in, size_t len, uint8_t* out, size_t cap, size_t* out_len);

}  // namespace crypt_age
