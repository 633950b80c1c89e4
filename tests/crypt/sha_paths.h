// A fixture that runs a SHA test once on the SHA-256 code for the x86 SHA extensions and
// once on the portable code. The first half is skipped where the processor lacks them.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "sha256_internal.h"

using crypt_internal::sha256_ni_available;
using crypt_internal::sha256_ni_off_FOR_TEST;

class ShaEachPath : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    sha256_ni_off_FOR_TEST(GetParam() ? 0 : 1);
    if (GetParam() && !sha256_ni_available())
      GTEST_SKIP() << "no SHA-extension code here (not compiled in, or the processor lacks it)";
  }
  void TearDown() override { sha256_ni_off_FOR_TEST(0); }
};

inline std::string sha_path_name(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "ShaNi" : "Portable";
}

// Instantiates the TEST_Ps of suite (an alias of ShaEachPath) on both paths.
#define VT_SHA_EACH_PATH(suite) \
  INSTANTIATE_TEST_SUITE_P(, suite, ::testing::Bool(), sha_path_name)
