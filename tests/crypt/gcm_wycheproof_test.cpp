// AES-256-GCM against Project Wycheproof: every case with a 256-bit key, a 96-bit IV and
// a 128-bit tag (the only shape the interface has).
#include <gtest/gtest.h>

#include <string>

#include "aes_paths.h"
#include "crypt.h"
#include "test_support.h"

namespace {

using Aes256GcmWycheproof = AesEachPath;

TEST_P(Aes256GcmWycheproof, ApplicableCases) {
  nlohmann::json doc;
  std::string why;
  if (!vt::load_wycheproof("aes_gcm_test.json", &doc, &why)) GTEST_SKIP() << why;

  int run = 0, skipped = 0, valid = 0, invalid = 0;
  for (const auto& group : doc["testGroups"]) {
    const bool applicable = group["keySize"] == 256 && group["ivSize"] == 96 && group["tagSize"] == 128;
    for (const auto& t : group["tests"]) {
      if (!applicable) {
        ++skipped;
        continue;
      }
      SCOPED_TRACE("tcId " + std::to_string(t["tcId"].get<int>()));
      vt::bytes key = vt::from_hex(t["key"]), iv = vt::from_hex(t["iv"]), msg = vt::from_hex(t["msg"]);
      vt::bytes aad = vt::from_hex(t["aad"]), ct = vt::from_hex(t["ct"]), tag = vt::from_hex(t["tag"]);
      ASSERT_EQ(key.size(), 32u);
      ASSERT_EQ(iv.size(), 12u);
      ASSERT_EQ(tag.size(), 16u);
      ASSERT_EQ(ct.size(), msg.size());
      const std::string result = t["result"];
      ASSERT_TRUE(result == "valid" || result == "invalid") << result;
      ++run;

      vt::bytes out(ct.size() + 1, 0x3c);
      int r = aes256gcm_decrypt_aad(key.data(), iv.data(), ct.data(), ct.size(), aad.data(), aad.size(),
                                    tag.data(), out.data());
      if (result == "valid") {
        ++valid;
        EXPECT_EQ(r, 0);
        EXPECT_EQ(vt::to_hex(out.data(), msg.size()), vt::to_hex(msg));
        vt::bytes ours(msg.size() + 1, 0x3c);
        uint8_t our_tag[16];
        ASSERT_EQ(0, aes256gcm_encrypt_aad(key.data(), iv.data(), msg.data(), msg.size(), aad.data(),
                                           aad.size(), ours.data(), our_tag));
        EXPECT_EQ(vt::to_hex(ours.data(), msg.size()), vt::to_hex(ct));
        EXPECT_EQ(vt::to_hex(our_tag, 16), vt::to_hex(tag));
        EXPECT_EQ(ours.back(), 0x3c);
      } else {
        ++invalid;
        EXPECT_EQ(r, -1);
        EXPECT_EQ(out, vt::bytes(ct.size() + 1, 0x3c));
      }
      EXPECT_EQ(out.back(), 0x3c);
    }
  }
  // Every test in the file is either run or counted as not applicable.
  EXPECT_EQ(run + skipped, doc["numberOfTests"].get<int>());
  EXPECT_GT(valid, 0);
  EXPECT_GT(invalid, 0);
  RecordProperty("run", run);
  RecordProperty("skipped_not_applicable", skipped);
  std::printf("aes_gcm_test.json: %d run (%d valid, %d invalid), %d not applicable\n", run, valid, invalid,
              skipped);
}

VT_AES_EACH_PATH(Aes256GcmWycheproof);

}  // namespace
