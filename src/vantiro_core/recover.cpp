// Rebuilding a root from share records, with a self-check: the second half of a root is
// the public key of its first half, so a rebuilt value that breaks this is not a root.
#include <cstring>

#include "crypt.h"
#include "shamir_gf256.h"
#include "vantiro_core.h"

namespace {

constexpr int kMaxShares = 16;
constexpr size_t kRowSize = VANTIRO_ROOT_SIZE;

// Returns true when root[32..63] is the public key of the seed root[0..31].
//
// The clamped scalar a of the seed gives u(a*B) through X25519 on the base point, which
// must equal the Montgomery u of the stored key: that fixes the key's y coordinate. A
// signature made with the root and checked under the stored key then fixes the point
// itself (the stored key hashes into the signature and its negation fails the check).
// Both comparisons run over every byte.
bool root_matches_seed(const uint8_t root[VANTIRO_ROOT_SIZE]) {
  static const uint8_t kBaseU[32] = {9};
  static const uint8_t kProbe[] = "vantiro root self-check";
  uint8_t scalar[32];
  uint8_t u_seed[32];
  uint8_t u_key[32];
  ed25519_sk_to_x25519(scalar, root);
  x25519(u_seed, scalar, kBaseU);
  secure_zero(scalar, sizeof scalar);
  ed25519_pk_to_x25519(u_key, root + 32);
  uint8_t diff = 0;
  for (size_t i = 0; i < 32; ++i) diff = static_cast<uint8_t>(diff | (u_seed[i] ^ u_key[i]));

  uint8_t sig[64];
  ed25519_sign(root, kProbe, sizeof kProbe - 1, sig);
  const int bad_sig = ed25519_verify(root + 32, kProbe, sizeof kProbe - 1, sig);
  return (diff | static_cast<uint8_t>(bad_sig != 0)) == 0;
}

}  // namespace

int vantiro_recover(int k, const uint8_t* records, uint8_t* root) {
  if (k < 2 || k > kMaxShares || records == nullptr || root == nullptr) return -1;
  uint8_t xs[kMaxShares];
  uint8_t ys[kMaxShares * kRowSize];
  const size_t kk = static_cast<size_t>(k);
  for (size_t i = 0; i < kk; ++i) {
    xs[i] = records[i * VANTIRO_RECORD_SIZE];
    std::memcpy(ys + i * kRowSize, records + i * VANTIRO_RECORD_SIZE + 1, kRowSize);
  }
  const int rc = shamir_combine(k, kRowSize, xs, ys, root);
  secure_zero(ys, sizeof ys);
  if (rc != 0) return -3;
  // Too few shares, shares of different roots, or repeated or zero x all give a value
  // that is not a root; refuse it rather than hand it out as one.
  if (!root_matches_seed(root)) {
    secure_zero(root, VANTIRO_ROOT_SIZE);
    return -3;
  }
  return 0;
}
