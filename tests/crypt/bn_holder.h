// An OpenSSL BIGNUM owned for the length of a scope; for the oracle tests only.
#pragma once

#include <openssl/bn.h>

struct Bn {
  BIGNUM* b = BN_new();
  Bn() = default;
  Bn(const Bn&) = delete;
  Bn& operator=(const Bn&) = delete;
  ~Bn() { BN_free(b); }
};
