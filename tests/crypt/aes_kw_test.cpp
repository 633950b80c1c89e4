// AES key wrap on both AES paths: the RFC 3394 examples, the lengths, key sizes and null
// pointers it refuses, and Project Wycheproof.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "aes_paths.h"
#include "crypt.h"
#include "test_support.h"

namespace {

using AesKeyWrap = AesEachPath;

// The lengths aes_key_wrap takes.
bool wrappable(size_t len) { return len % 8 == 0 && len >= 16 && len <= 1024; }

struct WrapCase {
  const char* kek;
  const char* data;
  const char* wrapped;
};

// RFC 3394 sections 4.1 (128-bit KEK, 128-bit data), 4.3 (256-bit KEK, 128-bit data) and
// 4.6 (256-bit KEK, 256-bit data).
const WrapCase kRfc3394[] = {
    {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "1fa68b0a8112b447aef34bd8fb5a7b829d3e862371d2cfe5"},
    {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "00112233445566778899aabbccddeeff",
     "64e8c3f9ce0f5ba263e9777905818a2a93c8191e7d6e8ae7"},
    {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "00112233445566778899aabbccddeeff000102030405060708090a0b0c0d0e0f",
     "28c9f404c4b810f4cbccb35cfb87f8263f5786e2d80ed326cbc7f0e71a99f43bfb988b9b7a02dd21"},
};

TEST_P(AesKeyWrap, Rfc3394Examples) {
  for (const WrapCase& c : kRfc3394) {
    SCOPED_TRACE(c.wrapped);
    vt::bytes kek = vt::from_hex(c.kek), data = vt::from_hex(c.data);
    vt::bytes out(data.size() + 9, 0x3c);
    ASSERT_EQ(0, aes_key_wrap(kek.data(), kek.size(), data.data(), data.size(), out.data()));
    EXPECT_EQ(vt::to_hex(out.data(), data.size() + 8), c.wrapped);
    EXPECT_EQ(out.back(), 0x3c);
  }
}

// Refusals the Wycheproof cases below leave out (they refuse the short and ragged lengths).
TEST_P(AesKeyWrap, RefusesLongInputOtherKeySizesAndNullPointers) {
  const vt::bytes kek = vt::pseudo_random(32, 1), in = vt::pseudo_random(1032, 2);
  uint8_t out[1040];
  const struct {
    size_t kek_len, in_len;
    const uint8_t *kek, *in;
    uint8_t* out;
  } rows[] = {{16, 1032, kek.data(), in.data(), out}, {24, 16, kek.data(), in.data(), out},
              {0, 16, kek.data(), in.data(), out},    {16, 16, nullptr, in.data(), out},
              {32, 16, kek.data(), nullptr, out},     {32, 16, kek.data(), in.data(), nullptr}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "kek " << r.kek_len << " in " << r.in_len);
    std::memset(out, 0x3c, sizeof out);
    EXPECT_EQ(-1, aes_key_wrap(r.kek, r.kek_len, r.in, r.in_len, r.out));
    EXPECT_EQ(vt::bytes(out, out + sizeof out), vt::bytes(sizeof out, 0x3c));
  }
}

// Every case with a 128- or 256-bit key. Valid and acceptable cases of a length the
// function takes must wrap to ct; cases of any other length must be refused. Invalid
// cases of a length it takes test unwrapping, which this library does not do.
TEST_P(AesKeyWrap, Wycheproof) {
  nlohmann::json doc;
  std::string why;
  if (!vt::load_wycheproof("aes_wrap_test.json", &doc, &why)) GTEST_SKIP() << why;
  int wrapped = 0, refused = 0, skipped = 0;
  for (const auto& group : doc["testGroups"]) {
    const bool applicable = group["keySize"] == 128 || group["keySize"] == 256;
    for (const auto& t : group["tests"]) {
      const vt::bytes msg = vt::from_hex(t["msg"]);
      const std::string result = t["result"];
      if (!applicable || (wrappable(msg.size()) && result == "invalid")) {
        ++skipped;
        continue;
      }
      SCOPED_TRACE("tcId " + std::to_string(t["tcId"].get<int>()));
      const vt::bytes key = vt::from_hex(t["key"]), ct = vt::from_hex(t["ct"]);
      vt::bytes out(msg.size() + 9, 0x3c);
      const int r = aes_key_wrap(key.data(), key.size(), msg.data(), msg.size(), out.data());
      if (wrappable(msg.size())) {
        ++wrapped;
        ASSERT_TRUE(result == "valid" || result == "acceptable") << result;
        EXPECT_EQ(r, 0);
        EXPECT_EQ(vt::to_hex(out.data(), msg.size() + 8), vt::to_hex(ct));
        EXPECT_EQ(out.back(), 0x3c);
      } else {
        ++refused;
        EXPECT_EQ(r, -1);
        EXPECT_EQ(out, vt::bytes(msg.size() + 9, 0x3c));
      }
    }
  }
  EXPECT_EQ(wrapped + refused + skipped, doc["numberOfTests"].get<int>());
  EXPECT_GT(wrapped, 0);
  EXPECT_GT(refused, 0);
  std::printf("aes_wrap_test.json: %d wrapped, %d refused, %d not applicable\n", wrapped, refused, skipped);
}

VT_AES_EACH_PATH(AesKeyWrap);

}  // namespace
