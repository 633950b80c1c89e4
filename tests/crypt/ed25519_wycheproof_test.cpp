// Project Wycheproof Ed25519 verification suite, every case, one-shot and streamed.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "crypt.h"
#include "test_support.h"

namespace {

// Cases where this verifier deliberately gives another answer than the suite, by tcId.
const std::map<int, std::string> kIntendedDivergences = {};

TEST(Ed25519Wycheproof, EveryCase) {
  nlohmann::json suite;
  std::string why;
  if (!vt::load_wycheproof("ed25519_test.json", &suite, &why)) GTEST_SKIP() << why;
  int checked = 0;
  for (const auto& group : suite["testGroups"]) {
    const vt::bytes pk = vt::from_hex(group["publicKey"]["pk"].get<std::string>());
    ASSERT_EQ(pk.size(), 32u);
    for (const auto& t : group["tests"]) {
      const int id = t["tcId"].get<int>();
      const vt::bytes msg = vt::from_hex(t["msg"].get<std::string>());
      const vt::bytes sig = vt::from_hex(t["sig"].get<std::string>());
      // The interface takes exactly 64 signature bytes: other lengths cannot be passed in
      // and count as rejected.
      const bool accepted =
          sig.size() == 64 && ed25519_verify(pk.data(), msg.data(), msg.size(), sig.data()) == 0;
      if (sig.size() == 64) {  // the streamed verifier, fed in two pieces, agrees
        ed25519_verify_stream st;
        ed25519_verify_stream_init(&st, pk.data(), sig.data());
        ed25519_verify_stream_update(&st, msg.data(), msg.size() / 2);
        ed25519_verify_stream_update(&st, msg.data() + msg.size() / 2, msg.size() - msg.size() / 2);
        EXPECT_EQ(ed25519_verify_stream_final(&st) == 0, accepted) << "streamed, tcId " << id;
      }
      bool expected = t["result"].get<std::string>() == "valid";
      auto it = kIntendedDivergences.find(id);
      if (it != kIntendedDivergences.end()) expected = !expected;
      EXPECT_EQ(accepted, expected) << "tcId " << id << ": " << t["comment"].get<std::string>();
      ++checked;
    }
  }
  EXPECT_EQ(checked, suite["numberOfTests"].get<int>());
}

}  // namespace
