// The Wycheproof check shared by the AEADs: every case with a 256-bit key, a 96-bit nonce
// and a 128-bit tag (the only shape their interfaces have). Valid cases must open to the
// message and seal back to the ciphertext and tag; invalid ones must be refused with the
// output untouched. Every test in the file is run or counted as not applicable.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "test_support.h"

namespace vt {

// seal(key, nonce, aad, aad_len, msg, len, ct, tag) and
// open(key, nonce, aad, aad_len, ct, len, tag, msg) return 0, or -1 when refused.
template <class Seal, class Open>
void check_aead_wycheproof(const char* file, Seal seal, Open open) {
  nlohmann::json doc;
  std::string why;
  if (!load_wycheproof(file, &doc, &why)) GTEST_SKIP() << why;

  int run = 0, skipped = 0, valid = 0, invalid = 0;
  for (const auto& group : doc["testGroups"]) {
    const bool applicable = group["keySize"] == 256 && group["ivSize"] == 96 && group["tagSize"] == 128;
    for (const auto& t : group["tests"]) {
      if (!applicable) {
        ++skipped;
        continue;
      }
      SCOPED_TRACE("tcId " + std::to_string(t["tcId"].get<int>()));
      bytes key = from_hex(t["key"]), iv = from_hex(t["iv"]), msg = from_hex(t["msg"]);
      bytes aad = from_hex(t["aad"]), ct = from_hex(t["ct"]), tag = from_hex(t["tag"]);
      ASSERT_EQ(key.size(), 32u);
      ASSERT_EQ(iv.size(), 12u);
      ASSERT_EQ(tag.size(), 16u);
      ASSERT_EQ(ct.size(), msg.size());
      const std::string result = t["result"];
      ASSERT_TRUE(result == "valid" || result == "invalid") << result;
      ++run;

      bytes out(ct.size() + 1, 0x3c);
      int r = open(key.data(), iv.data(), aad.data(), aad.size(), ct.data(), ct.size(), tag.data(), out.data());
      if (result == "valid") {
        ++valid;
        EXPECT_EQ(r, 0);
        EXPECT_EQ(to_hex(out.data(), msg.size()), to_hex(msg));
        bytes ours(msg.size() + 1, 0x3c);
        uint8_t our_tag[16];
        ASSERT_EQ(0, seal(key.data(), iv.data(), aad.data(), aad.size(), msg.data(), msg.size(), ours.data(),
                          our_tag));
        EXPECT_EQ(to_hex(ours.data(), msg.size()), to_hex(ct));
        EXPECT_EQ(to_hex(our_tag, 16), to_hex(tag));
        EXPECT_EQ(ours.back(), 0x3c);
      } else {
        ++invalid;
        EXPECT_EQ(r, -1);
        EXPECT_EQ(out, bytes(ct.size() + 1, 0x3c));
      }
      EXPECT_EQ(out.back(), 0x3c);
    }
  }
  EXPECT_EQ(run + skipped, doc["numberOfTests"].get<int>());
  EXPECT_GT(valid, 0);
  EXPECT_GT(invalid, 0);
  ::testing::Test::RecordProperty("run", run);
  ::testing::Test::RecordProperty("skipped_not_applicable", skipped);
  std::printf("%s: %d run (%d valid, %d invalid), %d not applicable\n", file, run, valid, invalid, skipped);
}

}  // namespace vt
