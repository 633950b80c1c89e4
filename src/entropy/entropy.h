// entropy: an SP 800-90B style entropy source - raw byte samples from the OS random
// source, repetition count and adaptive proportion health tests, SHA-256 conditioning.
// All state is process-wide; one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

// Sets both cutoffs from min_entropy (bits per sample, in (0, 8]) and the false-positive
// probability 2^-alpha_bits, and resets the tests. 0, or -2 (nothing changed) on a bad
// argument or when even the exact APT cutoff exceeds the 512-sample window, so that no
// window could ever fail the test.
int entropy_init(double min_entropy, int alpha_bits);
// Feeds one sample to both tests; -1 once a test has failed (sticky), else 0.
int entropy_health_update(uint8_t sample);
int entropy_health_failed(void);
uint32_t entropy_rct_cutoff(void);
uint32_t entropy_apt_cutoff(void);
// out_len (1..64) bytes of SHA-256(counter || in) blocks, its blocks and hash context
// wiped. 0, or -2 on a bad argument.
int entropy_condition(const uint8_t* in, size_t in_len, uint8_t* out, size_t out_len);
// n (1..64) conditioned bytes from 2n tested samples, the samples wiped on every path.
// 0; -2 on a bad argument; -1 when the health tests have failed or the OS draw failed
// (out untouched).
int entropy_gather(uint8_t* out, size_t n);
// len raw, untested samples. 0; -2 on a bad argument; -1 when the OS draw failed.
int entropy_raw_dump(uint8_t* out, size_t len);
