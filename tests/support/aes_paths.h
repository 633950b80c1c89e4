// A fixture that runs an AES, GCM or CTR_DRBG test once on the AES-NI and PCLMULQDQ code
// and once on the portable code. The first half is skipped where the processor lacks them.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "aes_internal.h"

class AesEachPath : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    crypt_internal::aesni_off_FOR_TEST(GetParam() ? 0 : 1);
    if (GetParam() && !crypt_internal::aesni_available())
      GTEST_SKIP() << "no AES-NI code here (not compiled in, or the processor lacks it)";
  }
  void TearDown() override { crypt_internal::aesni_off_FOR_TEST(0); }
};

inline std::string aes_path_name(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "AesNi" : "Portable";
}

// Instantiates the TEST_Ps of suite (an alias of AesEachPath) on both paths.
#define VT_AES_EACH_PATH(suite) \
  INSTANTIATE_TEST_SUITE_P(, suite, ::testing::Bool(), aes_path_name)

// For tests that compare the two paths with each other: runs f with the portable code
// (true) and with the instruction code (false), and leaves the instruction code on.
// Returns false, having run nothing, where the instruction code is missing.
template <typename F>
bool on_both_aes_paths(F f) {
  crypt_internal::aesni_off_FOR_TEST(0);
  if (!crypt_internal::aesni_available()) return false;
  crypt_internal::aesni_off_FOR_TEST(1);
  f(true);
  crypt_internal::aesni_off_FOR_TEST(0);
  f(false);
  return true;
}
