// The text forms of age's X25519 keys: Bech32 of the 32 bytes, "age1..." for a recipient
// (public key) and "AGE-SECRET-KEY-1..." for an identity (secret key).
#include <cstring>

#include "crypt.h"

namespace {

const char kRecipientHrp[] = "age";
const char kIdentityHrp[] = "age-secret-key-";

// Decodes s as Bech32 of exactly 32 bytes under the hrp want: 0 with them in key, or -1
// with key zeroed.
int decode_key(const char* s, size_t len, const char* want, uint8_t key[32]) {
  char hrp[sizeof kIdentityHrp];
  uint8_t buf[33];
  size_t n = 0;
  const bool ok = bech32_decode(s, len, hrp, sizeof hrp, buf, sizeof buf, &n) == 0 && n == 32 &&
                  std::strcmp(hrp, want) == 0;
  if (ok) {
    std::memcpy(key, buf, 32);
  } else {
    secure_zero(key, 32);
  }
  secure_zero(buf, sizeof buf);
  return ok ? 0 : -1;
}

}  // namespace

void age_recipient_encode(const uint8_t pk[32], char out[AGE_RECIPIENT_SIZE]) {
  bech32_encode(kRecipientHrp, pk, 32, 0, out, AGE_RECIPIENT_SIZE);
}

void age_identity_encode(const uint8_t sk[32], char out[AGE_IDENTITY_SIZE]) {
  bech32_encode(kIdentityHrp, sk, 32, 1, out, AGE_IDENTITY_SIZE);
}

int age_recipient_decode(const char* s, size_t len, uint8_t pk[32]) {
  if (pk == nullptr) return -1;
  return decode_key(s, len, kRecipientHrp, pk);
}

int age_identity_decode(const char* s, size_t len, uint8_t sk[32]) {
  if (sk == nullptr) return -1;
  return decode_key(s, len, kIdentityHrp, sk);
}
