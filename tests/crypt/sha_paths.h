// A fixture that runs a SHA test once on the accelerated code (SHA-256 on the x86 SHA
// extensions, SHA-512 and SHA-384 on AVX2) and once on the portable code. The first half
// is skipped where the processor has neither.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "sha_internal.h"

using crypt_internal::sha256_ni_available;
using crypt_internal::sha256_ni_off_FOR_TEST;
using crypt_internal::sha512_avx2_available;
using crypt_internal::sha512_avx2_off_FOR_TEST;

class ShaEachPath : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    sha256_ni_off_FOR_TEST(GetParam() ? 0 : 1);
    sha512_avx2_off_FOR_TEST(GetParam() ? 0 : 1);
    if (GetParam() && !sha256_ni_available() && !sha512_avx2_available())
      GTEST_SKIP() << "no accelerated SHA code here (not compiled in, or the processor lacks it)";
  }
  void TearDown() override {
    sha256_ni_off_FOR_TEST(0);
    sha512_avx2_off_FOR_TEST(0);
  }
};

inline std::string sha_path_name(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Accelerated" : "Portable";
}

// Instantiates the TEST_Ps of suite (an alias of ShaEachPath) on both paths.
#define VT_SHA_EACH_PATH(suite) \
  INSTANTIATE_TEST_SUITE_P(, suite, ::testing::Bool(), sha_path_name)
