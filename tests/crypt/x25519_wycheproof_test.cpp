// Project Wycheproof X25519 suite, every case: the computed shared value must match,
// including the all-zero results of low-order points, which this function returns as is.
#include <gtest/gtest.h>

#include <string>

#include "crypt.h"
#include "test_support.h"

namespace {

TEST(X25519Wycheproof, EveryCase) {
  nlohmann::json suite;
  std::string why;
  if (!vt::load_wycheproof("x25519_test.json", &suite, &why)) GTEST_SKIP() << why;
  int checked = 0;
  for (const auto& group : suite["testGroups"]) {
    for (const auto& t : group["tests"]) {
      const int id = t["tcId"].get<int>();
      const vt::bytes pub = vt::from_hex(t["public"].get<std::string>());
      const vt::bytes priv = vt::from_hex(t["private"].get<std::string>());
      const vt::bytes shared = vt::from_hex(t["shared"].get<std::string>());
      ASSERT_EQ(pub.size(), 32u) << "tcId " << id;
      ASSERT_EQ(priv.size(), 32u) << "tcId " << id;
      uint8_t out[32];
      x25519(out, priv.data(), pub.data());
      EXPECT_EQ(vt::to_hex(out, 32), vt::to_hex(shared)) << "tcId " << id << ": " << t["comment"].get<std::string>();
      ++checked;
    }
  }
  EXPECT_EQ(checked, suite["numberOfTests"].get<int>());
}

}  // namespace
