// Module-internal AES-256 and AES-128 (encryption direction only), shared by the public
// ECB wrappers, GCM, the CTR_DRBG, key wrap and CFB. Two implementations give the same
// bytes: constant-time portable code (aes_ct.cpp), and code on the AES-NI and PCLMULQDQ
// instructions (aes_ni.cpp), chosen at run time once per process. Neither indexes memory
// by, nor branches on, key or data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace crypt_internal {

// Expands a 32-byte key into the 60 schedule words; each word packs four schedule bytes
// big-endian (key byte 0 is the top byte of w[0]).
void aes256_expand_key(const uint8_t key[32], uint32_t w[60]);

// Encrypts one block under the schedule w. in and out may be the same buffer.
void aes256_encrypt_block(const uint32_t w[60], const uint8_t in[16], uint8_t out[16]);

// Encrypts n independent blocks; in and out may be the same buffer.
void aes256_encrypt_blocks(const uint32_t w[60], const uint8_t* in, uint8_t* out, size_t n);

// out = in XOR the keystream of the counter blocks ctr, inc32(ctr), ... (the last 32 bits
// counted big-endian modulo 2^32, as GCM counts); ctr is left past the blocks used, a
// final partial block using one. in may equal out. Wipes its counter blocks and keystream.
void aes256_ctr32_xor(const uint32_t w[60], uint8_t ctr[16], const uint8_t* in, uint8_t* out,
                      size_t len);

// AES-128: the 16-byte key into 44 schedule words, laid out as for AES-256.
void aes128_expand_key(const uint8_t key[16], uint32_t w[44]);
// One block under the schedule w. in and out may be the same buffer.
void aes128_encrypt_block(const uint32_t w[44], const uint8_t in[16], uint8_t out[16]);

// ---- Portable, constant-time (aes_ct.cpp) ----
void aes256_ct_expand_key(const uint8_t key[32], uint32_t w[60]);
void aes256_ct_encrypt_blocks(const uint32_t w[60], const uint8_t* in, uint8_t* out, size_t n);
void aes128_ct_expand_key(const uint8_t key[16], uint32_t w[44]);
void aes128_ct_encrypt_block(const uint32_t w[44], const uint8_t in[16], uint8_t out[16]);

// ---- AES-NI and PCLMULQDQ (aes_ni.cpp): call only where aesni_available() ----
// True where this code is compiled in, the processor has AES-NI, PCLMULQDQ and SSE4.1,
// and no test has switched it off.
bool aesni_available();
// Tests: off != 0 makes aesni_available() false, so the portable code runs.
void aesni_off_FOR_TEST(int off);
void aes256_ni_expand_key(const uint8_t key[32], uint32_t w[60]);
void aes256_ni_encrypt_blocks(const uint32_t w[60], const uint8_t* in, uint8_t* out, size_t n);
void aes256_ni_ctr32_xor(const uint32_t w[60], uint8_t ctr[16], const uint8_t* in, uint8_t* out,
                         size_t len);
void aes128_ni_expand_key(const uint8_t key[16], uint32_t w[44]);
void aes128_ni_encrypt_block(const uint32_t w[44], const uint8_t in[16], uint8_t out[16]);

}  // namespace crypt_internal
