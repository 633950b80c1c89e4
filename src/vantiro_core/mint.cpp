// Minting a root: key pair, operator signature, anchor record, verified split.
#include <cstring>

#include "core_internal.h"
#include "crypt.h"
#include "shamir_gf256.h"
#include "vantiro_core.h"

namespace {

constexpr int kMaxShares = 16;
constexpr size_t kPubSize = 32;
constexpr size_t kSigSize = 64;
constexpr size_t kRowSize = VANTIRO_ROOT_SIZE;

// Set by gen_rand on any failed draw: shamir_split ignores its callback's result, so a
// failing source would otherwise yield shares equal to the secret.
int g_rng_fail = 0;

int gen_rand(uint8_t* buf, size_t len) {
  int rc = crypt_fill_random(buf, len);
  if (rc != 0) g_rng_fail = 1;
  return rc;
}

}  // namespace

int vantiro_hex(const uint8_t* data, size_t len, char* out, size_t cap) {
  static const char hex_lut[] = "0123456789abcdef";
  // cap >= 2 * len + 1, written so that no huge len can wrap the product.
  if (cap == 0 || (cap - 1) / 2 < len) return -5;
  for (size_t i = 0; i < len; ++i) {
    out[2 * i] = hex_lut[data[i] >> 4];
    out[2 * i + 1] = hex_lut[data[i] & 15];
  }
  out[2 * len] = '\0';
  return 0;
}

int vantiro_sign(const uint8_t* sk, const uint8_t* msg, size_t len, uint8_t* sig) {
  if (sk == nullptr || msg == nullptr || sig == nullptr) return -1;
  // Two signatures of one message under the same seed and two public halves share R and
  // give away the secret scalar: sign only with a root whose halves agree.
  if (!core_root_matches_seed(sk)) return -3;
  ed25519_sign(sk, msg, len, sig);
  return 0;
}

int vantiro_mint(int n, int t, uint8_t* pub, uint8_t* records, char* anchor, size_t anchor_size) {
  if (n < t || t <= 1 || n > kMaxShares || pub == nullptr || records == nullptr ||
      anchor == nullptr)
    return -1;

  uint8_t root[VANTIRO_ROOT_SIZE];
  uint8_t pk[kPubSize];
  if (ed25519_keypair(pk, root) != 0) return -2;  // keypair has zeroed both
  std::memcpy(pub, pk, kPubSize);

  uint8_t msg[kPubSize + 8];
  std::memcpy(msg, pk, kPubSize);
  std::memcpy(msg + kPubSize, "operator", 8);
  uint8_t sig[kSigSize];
  ed25519_sign(root, msg, sizeof msg, sig);

  char key_hex[2 * kPubSize + 1];
  char sig_hex[2 * kSigSize + 1];
  vantiro_hex(pk, kPubSize, key_hex, sizeof key_hex);
  vantiro_hex(sig, kSigSize, sig_hex, sizeof sig_hex);
  secure_zero(sig, sizeof sig);

  if (anchor_size < VANTIRO_ANCHOR_SIZE) {
    secure_zero(root, sizeof root);
    return -5;
  }
  // "k=" key hex " s=" signature hex, NUL: exactly 198 bytes.
  std::memcpy(anchor, "k=", 2);
  std::memcpy(anchor + 2, key_hex, 2 * kPubSize);
  std::memcpy(anchor + 2 + 2 * kPubSize, " s=", 3);
  std::memcpy(anchor + 5 + 2 * kPubSize, sig_hex, 2 * kSigSize + 1);

  uint8_t xs[kMaxShares];
  uint8_t shares[kMaxShares * kRowSize];
  uint8_t check_xs[kMaxShares];
  uint8_t check[kMaxShares * kRowSize];
  uint8_t rebuilt[VANTIRO_ROOT_SIZE];
  const size_t nn = static_cast<size_t>(n);
  int rc = 0;
  g_rng_fail = 0;
  if (shamir_split(root, kRowSize, n, t, xs, shares, gen_rand) != 0) {
    rc = -3;
  } else if (g_rng_fail != 0) {
    rc = -2;  // with zero coefficients a share row equals the root: no record is written
  } else {
    for (size_t i = 0; i < nn; ++i) {
      records[i * VANTIRO_RECORD_SIZE] = xs[i];
      std::memcpy(records + i * VANTIRO_RECORD_SIZE + 1, shares + i * kRowSize, kRowSize);
    }
    // Prove the split: the first t shares must rebuild the root.
    for (size_t i = 0; i < static_cast<size_t>(t); ++i) {
      check_xs[i] = xs[i];
      std::memcpy(check + i * kRowSize, shares + i * kRowSize, kRowSize);
    }
    const int crc = shamir_combine(t, kRowSize, check_xs, check, rebuilt);
    if (crc != 0 || !core_equal_ct(rebuilt, root, sizeof root)) rc = -4;
  }
  // Every copy of the root, on every path: the root, the share rows, their check copies
  // and the rebuilt root.
  secure_zero(root, sizeof root);
  secure_zero(shares, sizeof shares);
  secure_zero(check, sizeof check);
  secure_zero(rebuilt, sizeof rebuilt);
  if (rc == -4) secure_zero(records, nn * VANTIRO_RECORD_SIZE);
  return rc;
}
