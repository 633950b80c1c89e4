// One-shot HMAC over SHA-1, SHA-256 and SHA-384. Like the hashes beneath them, these
// leave their stack working state as it is; callers that must wipe key material use the
// core in hmac_internal.h with a work area of their own.
#include "crypt.h"
#include "hmac_internal.h"

namespace {

template <class H>
void one_shot(const uint8_t* key, size_t key_len, const uint8_t* msg, size_t msg_len,
              uint8_t* out) {
  crypt_hmac::work<H> w;
  const crypt_hmac::piece m{msg, msg_len};
  crypt_hmac::run<H>(&w, key, key_len, &m, 1, out);
}

}  // namespace

void sha256_hmac(const uint8_t* key, size_t key_len, const uint8_t* msg, size_t msg_len,
                 uint8_t out[32]) {
  one_shot<crypt_hmac::sha256_hash>(key, key_len, msg, msg_len, out);
}

void sha1_hmac(const uint8_t* key, size_t key_len, const uint8_t* msg, size_t msg_len,
               uint8_t out[20]) {
  one_shot<crypt_hmac::sha1_hash>(key, key_len, msg, msg_len, out);
}

void sha384_hmac(const uint8_t* key, size_t key_len, const uint8_t* msg, size_t msg_len,
                 uint8_t out[48]) {
  one_shot<crypt_hmac::sha384_hash>(key, key_len, msg, msg_len, out);
}
