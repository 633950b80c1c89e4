// Shared helpers of the benchmark program: row registration under one naming scheme and
// a check that two implementations agree before either is timed.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// Every benchmark is named "<row>/<implementation>", implementation one of "vantiro",
// "openssl" or "sodium"; the report script pairs the rows by that name.
template <class Fn>
void add(const std::string& row, const char* impl, Fn&& fn) {
  const std::string name = row + "/" + impl;
  benchmark::RegisterBenchmark(name.c_str(), std::forward<Fn>(fn));
}

// Deterministic, non-trivial input bytes.
inline std::vector<uint8_t> pattern(size_t len, uint8_t seed = 1) {
  std::vector<uint8_t> v(len);
  uint32_t x = 0x9e3779b9u * seed;
  for (size_t i = 0; i < len; ++i) {
    x = x * 1664525u + 1013904223u;
    v[i] = static_cast<uint8_t>(x >> 24);
  }
  return v;
}

// Aborts the run when two results that must be equal differ: a row that computes
// something else than its peer would be a meaningless comparison.
inline void expect_same(const char* what, const uint8_t* a, const uint8_t* b, size_t len) {
  if (std::memcmp(a, b, len) != 0) {
    std::fprintf(stderr, "benchmark precondition failed: %s differs from its peer\n", what);
    std::exit(2);
  }
}

inline void expect(const char* what, bool ok) {
  if (!ok) {
    std::fprintf(stderr, "benchmark precondition failed: %s\n", what);
    std::exit(2);
  }
}

// Registration of each group of rows (one file each).
void register_hash();
void register_cipher();
void register_curve();
void register_misc();
void register_internal();

}  // namespace bench
