// The age payload: STREAM over ChaCha20-Poly1305 in 64 KiB chunks under the payload key
// HKDF(file key, nonce, "payload"). A chunk's AEAD nonce is an 11-byte big-endian counter
// and a byte that is 1 on the last chunk only; the last chunk may be shorter than the
// others, and is empty only when it is the only one.
#include "age_internal.h"

namespace crypt_age {
namespace {

constexpr size_t kSealedChunk = AGE_CHUNK_SIZE + kTagLen;

void chunk_nonce(uint64_t counter, bool last, uint8_t nonce[12]) {
  for (size_t i = 0; i < 3; ++i) nonce[i] = 0;
  for (size_t i = 0; i < 8; ++i) nonce[3 + i] = static_cast<uint8_t>(counter >> (56 - 8 * i));
  nonce[11] = last ? 1 : 0;
}

// Opens chunk counter (n bytes, the tag last) into out; false, writing nothing, when it
// does not authenticate with the given last-chunk flag.
bool open_chunk(const uint8_t key[32], uint64_t counter, bool last, const uint8_t* in, size_t n,
                uint8_t* out) {
  uint8_t iv[12], none[1];
  chunk_nonce(counter, last, iv);
  return chacha20poly1305_decrypt(key, iv, nullptr, 0, in, n - kTagLen, in + n - kTagLen,
                                  n == kTagLen ? none : out) == 0;
}

}  // namespace

bool stream_size(size_t pt_len, size_t* size) {
  const size_t chunks =
      pt_len == 0 ? 1 : pt_len / AGE_CHUNK_SIZE + (pt_len % AGE_CHUNK_SIZE != 0 ? 1 : 0);
  if (pt_len > SIZE_MAX - chunks * kTagLen) return false;
  *size = pt_len + chunks * kTagLen;
  return true;
}

void stream_seal(const uint8_t file_key[kFileKeyLen], const uint8_t nonce[kNonceLen],
                 const uint8_t* pt, size_t pt_len, uint8_t* out) {
  uint8_t key[32], iv[12];
  derive_key(file_key, kFileKeyLen, nonce, kNonceLen, "payload", key);
  size_t done = 0;
  uint64_t counter = 0;
  do {
    const size_t n = pt_len - done < AGE_CHUNK_SIZE ? pt_len - done : AGE_CHUNK_SIZE;
    chunk_nonce(counter++, done + n == pt_len, iv);
    chacha20poly1305_encrypt(key, iv, nullptr, 0, pt + done, n, out, out + n);
    out += n + kTagLen;
    done += n;
  } while (done < pt_len);
  secure_zero(key, sizeof key);
}

int stream_open(const uint8_t file_key[kFileKeyLen], const uint8_t nonce[kNonceLen],
                const uint8_t* in, size_t len, uint8_t* out, size_t cap, size_t* out_len) {
  *out_len = 0;
  // The plaintext the bytes can hold: full chunks, then what is left as the last.
  const size_t chunks = len / kSealedChunk + (len % kSealedChunk != 0 ? 1 : 0);
  const size_t tail = len - (chunks == 0 ? 0 : (chunks - 1) * kSealedChunk);
  const size_t room =
      (chunks == 0 ? 0 : (chunks - 1) * AGE_CHUNK_SIZE) + (tail > kTagLen ? tail - kTagLen : 0);
  if (room > cap) return AGE_TOO_LARGE;

  uint8_t key[32];
  derive_key(file_key, kFileKeyLen, nonce, kNonceLen, "payload", key);
  int r = AGE_OK;
  size_t at = 0, done = 0;
  bool ended = false;
  for (uint64_t i = 0; r == AGE_OK && !ended; ++i) {
    const size_t n = len - at < kSealedChunk ? len - at : kSealedChunk;
    // A short chunk can only be the final one. A full chunk is opened with the flag its
    // place implies and, failing that, with the other, so that a chunk which authenticates
    // either way releases its plaintext before a misplaced end is reported.
    const bool at_end = at + n == len;
    bool last = at_end;
    bool opened = n >= kTagLen && open_chunk(key, i, last, in + at, n, out + done);
    if (!opened && n == kSealedChunk) {
      last = !last;
      opened = open_chunk(key, i, last, in + at, n, out + done);
    }
    if (opened) {
      at += n;
      done += n - kTagLen;
      ended = last;
    }
    // Faults: no chunk opens, no final chunk before the end, data after the final chunk,
    // or an empty final chunk after others.
    if (!opened || last != at_end || (last && n == kTagLen && i > 0)) r = AGE_PAYLOAD;
  }
  secure_zero(key, sizeof key);
  *out_len = done;
  return r;
}

}  // namespace crypt_age
