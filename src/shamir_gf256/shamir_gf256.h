// shamir_gf256: Shamir secret sharing applied byte by byte over GF(2^8) (polynomial 0x11B).
#pragma once

#include <cstddef>
#include <cstdint>

// Random callback: fills len bytes, 0 on success.
typedef int (*shamir_rng_fn)(uint8_t* buf, size_t len);

// Splits len secret bytes into n shares, any t of which rebuild them. xs receives the
// x coordinates 1..n; shares receives n rows of len bytes, row j at j * len. rng is
// called len times for t - 1 bytes each; its result is ignored. Returns 0, or -1 (nothing
// written) unless 2 <= t <= n <= 255 and rng and secret are non-null.
int shamir_split(const uint8_t* secret, size_t len, int n, int t, uint8_t* xs, uint8_t* shares,
                 shamir_rng_fn rng);

// Interpolates the k given points at x = 0 into len bytes of out. Returns 0, or -1 when
// k < 2 (or k > 255). Repeated x coordinates or too few shares are not detected.
int shamir_combine(int k, size_t len, const uint8_t* xs, const uint8_t* shares, uint8_t* out);

// Interpolates the k given points (x coordinates xs, rows of len bytes in shares as for
// shamir_combine) at x into len bytes of out: from at least t shares of a split, the
// share at x of that same split, byte for byte (at x = 0 the secret, as shamir_combine).
// No branch or table index on share bytes. Returns 0, or -1 when k < 2 or k > 255.
int shamir_eval(int k, size_t len, const uint8_t* xs, const uint8_t* shares, uint8_t x,
                uint8_t* out);
