// AES-256 against the FIPS 197 example, through the module-internal core and the public
// ECB wrappers.
#include <gtest/gtest.h>

#include <cstring>

#include "aes_internal.h"
#include "crypt.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

// FIPS 197 appendix C.3.
const char* const kKey = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
const char* const kPlain = "00112233445566778899aabbccddeeff";
const char* const kCipher = "8ea2b7ca516745bfeafc49904b496089";

TEST(Aes256, Fips197ExampleThroughCoreAndWrappers) {
  vt::bytes key = vt::from_hex(kKey), pt = vt::from_hex(kPlain);
  uint8_t out[16];

  uint32_t w[60];
  aes256_expand_key(key.data(), w);
  aes256_encrypt_block(w, pt.data(), out);
  EXPECT_EQ(vt::to_hex(out, 16), kCipher);

  aes256_ecb_ctx ctx;
  aes256_ecb_keysetup(&ctx, key.data());
  EXPECT_EQ(0, std::memcmp(ctx.w, w, sizeof w));
  std::memset(out, 0, sizeof out);
  aes256_ecb_encrypt_block(&ctx, pt.data(), out);
  EXPECT_EQ(vt::to_hex(out, 16), kCipher);
}

TEST(Aes256, InPlaceMatchesSeparateOutput) {
  vt::bytes key = vt::from_hex(kKey);
  uint8_t buf[16];
  std::memcpy(buf, vt::from_hex(kPlain).data(), 16);

  uint32_t w[60];
  aes256_expand_key(key.data(), w);
  aes256_encrypt_block(w, buf, buf);
  EXPECT_EQ(vt::to_hex(buf, 16), kCipher);

  aes256_ecb_ctx ctx;
  aes256_ecb_keysetup(&ctx, key.data());
  std::memcpy(buf, vt::from_hex(kPlain).data(), 16);
  aes256_ecb_encrypt_block(&ctx, buf, buf);
  EXPECT_EQ(vt::to_hex(buf, 16), kCipher);
}

TEST(Aes256, ScheduleWordLayout) {
  // All-zero key: w[8] = SubWord(RotWord(0)) ^ Rcon[1] = 62 63 63 63, most significant first.
  uint8_t zero[32] = {0};
  uint32_t w[60];
  aes256_expand_key(zero, w);
  EXPECT_EQ(w[8], 0x62636363u);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(w[i], 0u);

  // Key byte 0 is the top byte of w[0]; the first eight words are the key itself.
  vt::bytes key = vt::from_hex(kKey);
  aes256_expand_key(key.data(), w);
  EXPECT_EQ(w[0], 0x00010203u);
  EXPECT_EQ(w[7], 0x1c1d1e1fu);
}

TEST(Aes256, ContextIsOnlyReadByEncryption) {
  vt::bytes key = vt::pseudo_random(32, 7);
  aes256_ecb_ctx ctx, before;
  aes256_ecb_keysetup(&ctx, key.data());
  before = ctx;
  uint8_t block[16] = {0}, first[16];
  aes256_ecb_encrypt_block(&ctx, block, first);
  for (int i = 0; i < 1000; ++i) aes256_ecb_encrypt_block(&ctx, block, block);
  EXPECT_EQ(0, std::memcmp(&ctx, &before, sizeof ctx));
  // The same input still gives the same output after many uses.
  uint8_t zero[16] = {0}, again[16];
  aes256_ecb_encrypt_block(&ctx, zero, again);
  EXPECT_EQ(0, std::memcmp(first, again, 16));
}

}  // namespace
