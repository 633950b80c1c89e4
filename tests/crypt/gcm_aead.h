// AES-256-GCM with AAD in the argument order of the shared AEAD checks (aead_wycheproof.h,
// ct_aead.h) and of ChaCha20-Poly1305: key, nonce, AAD, then the data.
#pragma once

#include "crypt.h"

inline int gcm_seal(const uint8_t* key, const uint8_t* iv, const uint8_t* aad, size_t aad_len,
                    const uint8_t* pt, size_t len, uint8_t* ct, uint8_t* tag) {
  return aes256gcm_encrypt_aad(key, iv, pt, len, aad, aad_len, ct, tag);
}

inline int gcm_open(const uint8_t* key, const uint8_t* iv, const uint8_t* aad, size_t aad_len,
                    const uint8_t* ct, size_t len, const uint8_t* tag, uint8_t* pt) {
  return aes256gcm_decrypt_aad(key, iv, ct, len, aad, aad_len, tag, pt);
}
