// HKDF (RFC 5869) over SHA-256 and SHA-384. Expand streams T(i-1), info and the counter
// into each block's HMAC, so info may be of any length. Stack state is left as it is.
#include "crypt.h"
#include "hmac_internal.h"

namespace {

template <class H>
void extract(const uint8_t* salt, size_t salt_len, const uint8_t* ikm, size_t ikm_len,
             uint8_t* prk) {
  const uint8_t zeros[H::len] = {};
  if (salt == nullptr || salt_len == 0) {
    salt = zeros;
    salt_len = H::len;
  }
  crypt_hmac::work<H> w;
  const crypt_hmac::piece m{ikm, ikm_len};
  crypt_hmac::run<H>(&w, salt, salt_len, &m, 1, prk);
}

template <class H>
int expand(const uint8_t* prk, const uint8_t* info, size_t info_len, uint8_t* out,
           size_t out_len) {
  if (out_len > 255 * H::len) {
    // Refused: a caller that ignores the result finds zeros, never a partial key.
    for (size_t i = 0; i < out_len; ++i) out[i] = 0;
    return -1;
  }
  crypt_hmac::work<H> w;
  uint8_t t[H::len];
  size_t t_len = 0;  // T(0) is empty
  uint8_t counter = 1;
  size_t done = 0;
  while (done < out_len) {
    const crypt_hmac::piece m[3] = {{t, t_len}, {info, info_len}, {&counter, 1}};
    crypt_hmac::run<H>(&w, prk, H::len, m, 3, t);
    size_t take = out_len - done < H::len ? out_len - done : H::len;
    for (size_t i = 0; i < take; ++i) out[done + i] = t[i];
    done += take;
    t_len = H::len;
    counter = static_cast<uint8_t>(counter + 1);
  }
  return 0;
}

}  // namespace

void hkdf_extract_sha256(const uint8_t* salt, size_t salt_len, const uint8_t* ikm,
                         size_t ikm_len, uint8_t prk[32]) {
  extract<crypt_hmac::sha256_hash>(salt, salt_len, ikm, ikm_len, prk);
}

void hkdf_extract_sha384(const uint8_t* salt, size_t salt_len, const uint8_t* ikm,
                         size_t ikm_len, uint8_t prk[48]) {
  extract<crypt_hmac::sha384_hash>(salt, salt_len, ikm, ikm_len, prk);
}

int hkdf_expand_sha256(const uint8_t prk[32], const uint8_t* info, size_t info_len,
                       uint8_t* out, size_t out_len) {
  return expand<crypt_hmac::sha256_hash>(prk, info, info_len, out, out_len);
}

int hkdf_expand_sha384(const uint8_t prk[48], const uint8_t* info, size_t info_len,
                       uint8_t* out, size_t out_len) {
  return expand<crypt_hmac::sha384_hash>(prk, info, info_len, out, out_len);
}
