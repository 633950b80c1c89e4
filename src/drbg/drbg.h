// drbg: CTR_DRBG after SP 800-90A with AES-256, derivation function, no prediction
// resistance. The caller supplies all entropy; the generator reports when a reseed is due.
#pragma once

#include <cstddef>
#include <cstdint>

struct drbg_ctx {
  uint8_t key[32];
  uint8_t v[16];            // counter block, one 128-bit big-endian integer
  uint64_t reseed_counter;  // requests since the last (re)seed, plus one
  int instantiated;
};

// 0, or -1 (context untouched) for a null ctx or entropy, entropy_len < 32, or inputs
// that together exceed 512 bytes. nonce and pers may be null.
int drbg_instantiate(drbg_ctx* ctx, const uint8_t* entropy, size_t entropy_len,
                     const uint8_t* nonce, size_t nonce_len, const uint8_t* pers, size_t pers_len);
int drbg_reseed(drbg_ctx* ctx, const uint8_t* entropy, size_t entropy_len, const uint8_t* add,
                size_t add_len);
// 0; -1 on a refused argument; -2 when a reseed is required. Failures change nothing.
int drbg_generate(drbg_ctx* ctx, uint8_t* out, size_t out_len, const uint8_t* add, size_t add_len);
// Wipes the whole context; a null ctx does nothing.
void drbg_uninstantiate(drbg_ctx* ctx);
