// Module-internal HMAC core shared by the one-shot HMACs, PBKDF2 and HKDF: one template
// over a hash description, a message given as a list of pieces (so callers can absorb
// several inputs without first copying them together) and a caller-owned work area (so
// a caller that must wipe the key material knows exactly which bytes to wipe).
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypt.h"

namespace crypt_hmac {

struct sha1_hash {
  using ctx = sha1_ctx;
  static constexpr size_t block = 64;
  static constexpr size_t len = 20;
  static constexpr size_t final_len = 20;  // bytes written by final
  static void init(ctx* c) { sha1_init(c); }
  static void update(ctx* c, const uint8_t* p, size_t n) { sha1_update(c, p, n); }
  static void final(ctx* c, uint8_t* out) { sha1_final(c, out); }
};

struct sha256_hash {
  using ctx = sha256_ctx;
  static constexpr size_t block = 64;
  static constexpr size_t len = 32;
  static constexpr size_t final_len = 32;
  static void init(ctx* c) { sha256_init(c); }
  static void update(ctx* c, const uint8_t* p, size_t n) { sha256_update(c, p, n); }
  static void final(ctx* c, uint8_t* out) { sha256_final(c, out); }
};

struct sha384_hash {
  using ctx = sha512_ctx;
  static constexpr size_t block = 128;
  static constexpr size_t len = 48;
  static constexpr size_t final_len = 64;  // all eight state words; the digest is the first 48
  static void init(ctx* c) { sha384_init(c); }
  static void update(ctx* c, const uint8_t* p, size_t n) { sha512_update(c, p, n); }
  static void final(ctx* c, uint8_t* out) { sha512_final(c, out); }
};

// One piece of a message; data may be null when len is 0.
struct piece {
  const uint8_t* data;
  size_t len;
};

// Everything one HMAC call writes besides out. Holds key material after the call.
template <class H>
struct work {
  uint8_t pad[H::block];
  typename H::ctx ctx;
  uint8_t inner[H::final_len];
  uint8_t key_digest[H::final_len];
};

// out = HMAC-H(key, msg[0] || ... || msg[count-1]) per RFC 2104. A key longer than the
// block is replaced by its digest. out is written only after the last read of key and
// msg, so it may alias either. The work area is left as it is.
template <class H>
void run(work<H>* w, const uint8_t* key, size_t key_len, const piece* msg, size_t count,
         uint8_t* out) {
  if (key_len > H::block) {
    H::init(&w->ctx);
    H::update(&w->ctx, key, key_len);
    H::final(&w->ctx, w->key_digest);
    key = w->key_digest;
    key_len = H::len;
  }
  for (size_t i = 0; i < H::block; ++i) w->pad[i] = 0x36;
  for (size_t i = 0; i < key_len; ++i) w->pad[i] = static_cast<uint8_t>(w->pad[i] ^ key[i]);
  H::init(&w->ctx);
  H::update(&w->ctx, w->pad, H::block);
  for (size_t i = 0; i < count; ++i) H::update(&w->ctx, msg[i].data, msg[i].len);
  H::final(&w->ctx, w->inner);

  for (size_t i = 0; i < H::block; ++i) w->pad[i] = 0x5c;
  for (size_t i = 0; i < key_len; ++i) w->pad[i] = static_cast<uint8_t>(w->pad[i] ^ key[i]);
  H::init(&w->ctx);
  H::update(&w->ctx, w->pad, H::block);
  H::update(&w->ctx, w->inner, H::len);
  // The outer digest goes through inner, which is no longer needed, so that out is
  // touched only by the final copy of exactly len bytes.
  H::final(&w->ctx, w->inner);
  for (size_t i = 0; i < H::len; ++i) out[i] = w->inner[i];
}

}  // namespace crypt_hmac
