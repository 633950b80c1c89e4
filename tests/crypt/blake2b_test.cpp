// BLAKE2b: the RFC 7693 example, keyed and unkeyed digests of the byte counter message
// (byte i = i mod 256) computed with Python's hashlib.blake2b, every cut of the message
// into pieces, and the lengths init refuses.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "crypt.h"
#include "test_support.h"

namespace {

vt::bytes counter_message(size_t n) {
  vt::bytes m(n);
  for (size_t i = 0; i < n; ++i) m[i] = static_cast<uint8_t>(i);
  return m;
}

vt::bytes key_of(size_t n) { return counter_message(n); }

struct vector_row {
  size_t msg_len;
  size_t key_len;  // key: bytes 0, 1, ..., key_len - 1
  const char* digest;  // its length is the digest length
};

// Lengths around the block size, where the last block must not be compressed early, an
// empty keyed message (the key block is then the final block), short digests.
const vector_row kVectors[] = {
    {0, 0, "786a02f742015903c6c6fd852552d272912f4740e15847618a86e217f71f5419d25e1031afee585313896444934eb04b903a685b1448b755d56f701afe9be2ce"},
    {3, 0, "40a374727302d9a4769c17b5f409ff32f58aa24ff122d7603e4fda1509e919d4107a52c57570a6d94e50967aea573b11f86f473f537565c66f7039830a85d186"},
    {127, 0, "b6292669ccd38d5f01caae96ba272c76a879a45743afa0725d83b9ebb26665b731f1848c52f11972b6644f554c064fa90780dbbbf3a89d4fc31f67df3e5857ef"},
    {128, 0, "2319e3789c47e2daa5fe807f61bec2a1a6537fa03f19ff32e87eecbfd64b7e0e8ccff439ac333b040f19b0c4ddd11a61e24ac1fe0f10a039806c5dcc0da3d115"},
    {129, 0, "f59711d44a031d5f97a9413c065d1e614c417ede998590325f49bad2fd444d3e4418be19aec4e11449ac1a57207898bc57d76a1bcf3566292c20c683a5c4648f"},
    {256, 0, "9bd2b1bf7a89613fdcc76a3e02dabe81772a97bd5e6274fd9fe72e219bffe88c5e6f681a31481485dcb85dfa34bdc657"},
    {1000, 0, "bf2818c04dc2fa6dfb864eee4f8901b6a27b0d08"},
    {0, 64, "10ebb67700b1868efb4417987acf4690ae9d972fb7a590c2f02871799aaa4786b5e996e8f0f4eb981fc214b005f42d2ff4233499391653df7aefcbc13fc51568"},
    {1, 64, "961f6dd1e4dd30f63901690c512e78e4b45e4742ed197c3c5e45c549fd25f2e4187b0bc9fe30492b16b0d0bc4ef9b0f34c7003fac09a5ef1532e69430234cebd"},
    {128, 64, "72065ee4dd91c2d8509fa1fc28a37c7fc9fa7d5b3f8ad3d0d7a25626b57b1b44788d4caf806290425f9890a3a2a35a905ab4b37acfd0da6e4517b2525c9651e4"},
    {129, 1, "a6128c5d696f06f894c0c1578a9a8ef1e4605ffcecd76a93ac2b2b1fc2563388"},
    {255, 16, "0836264397d63a61903d598d014273abe33cca94a21f9de660b6d52cbe2ae76b63da8c21d2442ea60377313ac86b16cb1299296fd7a1d04e3e88cef502228806"},
    {1000, 16, "e8"},
};

std::string digest_of(const vt::bytes& key, const vt::bytes& msg, size_t outlen) {
  uint8_t out[64];
  EXPECT_EQ(0, blake2b(key.data(), key.size(), msg.data(), msg.size(), out, outlen));
  return vt::to_hex(out, outlen);
}

TEST(Blake2b, Rfc7693ExampleAndHashlibVectors) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  uint8_t out[64];
  ASSERT_EQ(0, blake2b(nullptr, 0, abc, sizeof abc, out, 64));
  EXPECT_EQ(
      "ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d17d87c5392aab792dc252d5de"
      "4533cc9518d38aa8dbf1925ab92386edd4009923",
      vt::to_hex(out, 64));
  for (const vector_row& r : kVectors) {
    const std::string want = r.digest;
    EXPECT_EQ(want, digest_of(key_of(r.key_len), counter_message(r.msg_len), want.size() / 2))
        << r.msg_len << " bytes, key " << r.key_len;
  }
}

// A message cut anywhere, into pieces of any size including none, gives the one-shot
// digest: the block held back for the final flag is the same however the bytes came.
TEST(Blake2b, EveryCutGivesTheOneShotDigest) {
  std::mt19937 gen(7693);
  for (size_t len : {0, 1, 127, 128, 129, 255, 256, 257, 384, 1000, 4096}) {
    for (size_t key_len : {0, 32}) {
      const vt::bytes msg = vt::pseudo_random(len, len + 1);
      const vt::bytes key = key_of(key_len);
      const std::string want = digest_of(key, msg, 64);
      for (int round = 0; round < 20; ++round) {
        blake2b_ctx ctx;
        ASSERT_EQ(0, blake2b_init(&ctx, 64, key.data(), key.size()));
        size_t pos = 0;
        while (pos < len || round % 2 == 0) {
          size_t piece = std::uniform_int_distribution<size_t>(0, 300)(gen);
          if (piece > len - pos) piece = len - pos;
          blake2b_update(&ctx, piece != 0 ? msg.data() + pos : nullptr, piece);
          pos += piece;
          if (pos == len) break;
        }
        uint8_t out[64];
        blake2b_final(&ctx, out);
        ASSERT_EQ(want, vt::to_hex(out, 64)) << len << " bytes, round " << round;
      }
    }
  }
}

TEST(Blake2b, LengthsOutOfRangeAreRefused) {
  blake2b_ctx ctx;
  const vt::bytes key = key_of(65);
  uint8_t out[65];
  EXPECT_EQ(-1, blake2b_init(&ctx, 0, nullptr, 0));
  EXPECT_EQ(-1, blake2b_init(&ctx, 65, nullptr, 0));
  EXPECT_EQ(-1, blake2b_init(&ctx, 64, key.data(), 65));
  EXPECT_EQ(-1, blake2b_init(&ctx, 64, nullptr, 1));
  EXPECT_EQ(-1, blake2b(nullptr, 0, nullptr, 0, out, 65));
  EXPECT_EQ(0, blake2b_init(&ctx, 1, key.data(), 64));
}

}  // namespace
