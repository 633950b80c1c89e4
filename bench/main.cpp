// Benchmark program: this library beside OpenSSL's libcrypto and libsodium, row by row.
#include <sodium.h>

#include <cstdlib>

#include "aes_internal.h"
#include "bench_util.h"

int main(int argc, char** argv) {
  bench::expect("sodium_init", sodium_init() >= 0);
  // The AES rows of the constant-time portable code: the same binary with the
  // instruction path switched off.
  if (std::getenv("VANTIRO_BENCH_PORTABLE") != nullptr) crypt_internal::aesni_off_FOR_TEST(1);
  bench::register_hash();
  bench::register_cipher();
  bench::register_curve();
  bench::register_misc();
  bench::register_internal();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
