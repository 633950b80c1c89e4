// vantiro_recover on arbitrary share records: the first input byte picks k = 2..17, the rest
// is cut into k records of 65 bytes (zero-filled when short) in a buffer of exactly that size.
// A result of 0 must come with a consistent root (OpenSSL derives the stored public key from
// the seed half); -3 must leave the root wiped; k = 17 must be refused with the root untouched.
// Where the x coordinates are distinct and none is 0, the root must be the Lagrange
// interpolation at 0 computed here; records in reverse order must give the same answer; and
// the records that the misfit search names must be the ones whose removal leaves a root.
#include <openssl/evp.h>

#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "vantiro_core.h"

namespace {

using bytes = std::vector<uint8_t>;

uint8_t gf_mul(uint8_t a, uint8_t b) {
  uint8_t p = 0;
  for (int i = 0; i < 8; ++i) {
    if (b & 1) p ^= a;
    a = static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1b : 0));
    b >>= 1;
  }
  return p;
}

uint8_t gf_inv(uint8_t a) {  // a^254
  uint8_t r = 1;
  for (int i = 0; i < 254; ++i) r = gf_mul(r, a);
  return r;
}

// The interpolation at x = 0 of k records with distinct x.
bytes interpolate(int k, const uint8_t* records) {
  bytes out(64, 0);
  for (int i = 0; i < k; ++i) {
    uint8_t xi = records[i * 65], num = 1, den = 1;
    for (int j = 0; j < k; ++j) {
      if (j == i) continue;
      uint8_t xj = records[j * 65];
      num = gf_mul(num, xj);
      den = gf_mul(den, static_cast<uint8_t>(xj ^ xi));
    }
    uint8_t coeff = gf_mul(num, gf_inv(den));
    for (size_t b = 0; b < 64; ++b) out[b] ^= gf_mul(records[i * 65 + 1 + static_cast<int>(b)], coeff);
  }
  return out;
}

bool seed_gives_key(const uint8_t* root) {
  EVP_PKEY* key = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, root, 32);
  FUZZ_CHECK(key != nullptr);
  uint8_t pk[32];
  size_t len = sizeof pk;
  FUZZ_CHECK(EVP_PKEY_get_raw_public_key(key, pk, &len) == 1 && len == 32);
  EVP_PKEY_free(key);
  return std::memcmp(pk, root + 32, 32) == 0;
}

bool has_zero_x(int k, const uint8_t* records) {
  for (int i = 0; i < k; ++i)
    if (records[i * 65] == 0) return true;
  return false;
}

bool distinct_x(int k, const uint8_t* records) {
  bool seen[256] = {};
  for (int i = 0; i < k; ++i) {
    if (seen[records[i * 65]]) return false;
    seen[records[i * 65]] = true;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int k = 2 + data[0] % 16;
  const size_t n = static_cast<size_t>(k) * 65;
  bytes records(n, 0);  // exactly n bytes on the heap, so ASan sees any read past them
  std::memcpy(records.data(), data + 1, std::min(size - 1, n));
  bytes root(64, 0x77);

  int rc = vantiro_recover(k, records.data(), root.data());
  if (k > 16) {
    FUZZ_CHECK(rc == -1);
    FUZZ_CHECK(root == bytes(64, 0x77));
    return 0;
  }
  FUZZ_CHECK(rc == 0 || rc == -3);
  if (rc == 0) {
    FUZZ_CHECK(seed_gives_key(root.data()));
  } else {
    FUZZ_CHECK(root == bytes(64, 0));
  }
  if (distinct_x(k, records.data())) {
    bytes want = interpolate(k, records.data());
    // A record with x = 0 is refused whatever it carries: it would pass for the root.
    FUZZ_CHECK((rc == 0) == (!has_zero_x(k, records.data()) && seed_gives_key(want.data())));
    if (rc == 0) FUZZ_CHECK(root == want);
  }
  if (rc == -3) {
    // Records named as misfits: without them, the rest must rebuild a root.
    int misfits[2] = {-1, -1};
    const int named = vantiro_find_misfits(k, records.data(), misfits);
    FUZZ_CHECK(named >= 0 && named <= 2);
    bytes kept;
    for (int i = 0; i < k; ++i)
      if (named == 0 || (i != misfits[0] && (named == 1 || i != misfits[1])))
        kept.insert(kept.end(), records.begin() + i * 65, records.begin() + (i + 1) * 65);
    if (named > 0) {
      bytes rebuilt(64, 0);
      FUZZ_CHECK(vantiro_recover(k - named, kept.data(), rebuilt.data()) == 0);
    }
  }

  bytes reversed(n);
  for (int i = 0; i < k; ++i)
    std::memcpy(reversed.data() + static_cast<size_t>(i) * 65, records.data() + static_cast<size_t>(k - 1 - i) * 65,
                65);
  bytes again(64, 0x77);
  FUZZ_CHECK(vantiro_recover(k, reversed.data(), again.data()) == rc);
  FUZZ_CHECK(again == root);
  return 0;
}
