// AES-256 and AES-128 against the FIPS 197 examples, through the module-internal core and
// the public ECB wrappers; several blocks at once and the 32-bit counter mode; each on
// both paths, and the key schedules of the two paths against each other.
#include <gtest/gtest.h>

#include <cstring>

#include "aes_internal.h"
#include "aes_paths.h"
#include "crypt.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

using Aes256 = AesEachPath;

// FIPS 197 appendix C.3.
const char* const kKey = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
const char* const kPlain = "00112233445566778899aabbccddeeff";
const char* const kCipher = "8ea2b7ca516745bfeafc49904b496089";

TEST_P(Aes256, Fips197ExampleThroughCoreAndWrappers) {
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

TEST_P(Aes256, InPlaceMatchesSeparateOutput) {
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

TEST_P(Aes256, ScheduleWordLayout) {
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

TEST_P(Aes256, ContextIsOnlyReadByEncryption) {
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

TEST_P(Aes256, BlocksAtOnceMatchOneAtATime) {
  // 1 to 17 blocks: short groups, whole groups of eight and a group with one block over.
  vt::bytes key = vt::pseudo_random(32, 30), in = vt::pseudo_random(16 * 17, 31);
  uint32_t w[60];
  aes256_expand_key(key.data(), w);
  for (size_t n = 1; n <= 17; ++n) {
    SCOPED_TRACE(n);
    vt::bytes want(16 * n);
    for (size_t b = 0; b < n; ++b) aes256_encrypt_block(w, in.data() + 16 * b, want.data() + 16 * b);
    vt::bytes out(16 * n + 1, 0xa5);  // one guard byte past the end
    aes256_encrypt_blocks(w, in.data(), out.data(), n);
    EXPECT_EQ(vt::to_hex(out.data(), 16 * n), vt::to_hex(want));
    EXPECT_EQ(out.back(), 0xa5);
    vt::bytes buf(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(16 * n));
    aes256_ecb_ctx ctx;
    aes256_ecb_keysetup(&ctx, key.data());
    aes256_ecb_encrypt_blocks(&ctx, buf.data(), buf.data(), n);
    EXPECT_EQ(buf, want);
  }
}

struct CtrCase {
  uint32_t start;  // the counter in the last four bytes of the first block
  size_t len;
};

// Counters that wrap from ff ff ff ff inside a call, at and off the eight-block groups,
// with and without a partial last block; lengths around the groups of four and eight.
const CtrCase kCtrCases[] = {
    {0xfffffffdu, 8 * 16 + 5}, {0xffffffffu, 17 * 16}, {0xfffffff8u, 9 * 16}, {0xfffffffau, 4 * 16 + 1},
    {2, 63},                   {2, 64},                {2, 65},                {2, 127},
    {2, 128},                  {2, 129},               {7, 0},
};

TEST_P(Aes256, CounterModeCountsTheLastFourBytesModulo2To32) {
  vt::bytes key = vt::pseudo_random(32, 40), prefix = vt::pseudo_random(12, 41);
  uint32_t w[60];
  aes256_expand_key(key.data(), w);
  for (const CtrCase& c : kCtrCases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.start << std::dec << " len " << c.len);
    vt::bytes in = vt::pseudo_random(c.len, 42 + c.len);
    // The expected keystream, block by block from counters counted here.
    vt::bytes want(c.len);
    for (size_t off = 0; off < c.len; off += 16) {
      const uint32_t n = c.start + static_cast<uint32_t>(off / 16);
      uint8_t cb[16], ks[16];
      std::memcpy(cb, prefix.data(), 12);
      for (int i = 0; i < 4; ++i) cb[12 + i] = static_cast<uint8_t>(n >> (24 - 8 * i));
      aes256_encrypt_block(w, cb, ks);
      for (size_t i = off; i < c.len && i < off + 16; ++i) want[i] = static_cast<uint8_t>(in[i] ^ ks[i - off]);
    }
    uint8_t ctr[16];
    std::memcpy(ctr, prefix.data(), 12);
    for (int i = 0; i < 4; ++i) ctr[12 + i] = static_cast<uint8_t>(c.start >> (24 - 8 * i));
    vt::bytes out(c.len + 1, 0x5a);
    aes256_ctr32_xor(w, ctr, in.data(), out.data(), c.len);
    EXPECT_EQ(vt::to_hex(out.data(), c.len), vt::to_hex(want));
    EXPECT_EQ(out.back(), 0x5a);
    // Left past the blocks used, a partial one counted; the first twelve bytes never carry.
    const uint32_t next = c.start + static_cast<uint32_t>((c.len + 15) / 16);
    EXPECT_EQ(vt::to_hex(ctr, 12), vt::to_hex(prefix));
    EXPECT_EQ(uint32_t{ctr[12]} << 24 | uint32_t{ctr[13]} << 16 | uint32_t{ctr[14]} << 8 | ctr[15], next);
    // In place gives the same bytes.
    for (int i = 0; i < 4; ++i) ctr[12 + i] = static_cast<uint8_t>(c.start >> (24 - 8 * i));
    vt::bytes buf = in;
    aes256_ctr32_xor(w, ctr, buf.data(), buf.data(), c.len);
    EXPECT_EQ(buf, vt::bytes(out.begin(), out.end() - 1));
  }
}

VT_AES_EACH_PATH(Aes256);

using Aes128 = AesEachPath;

struct Aes128Case {
  const char* key;
  const char* plain;
  const char* cipher;
  uint32_t w40, w43;  // the first and last words of the last round key
};

// FIPS 197 appendix C.1, and appendix B with the key expanded in appendix A.1.
const Aes128Case kAes128Cases[] = {
    {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a",
     0x13111d7fu, 0x4d2b30c5u},
    {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32",
     0xd014f9a8u, 0xb6630ca6u},
};

TEST_P(Aes128, Fips197ExamplesThroughCoreAndWrappersAndInPlace) {
  for (const Aes128Case& c : kAes128Cases) {
    SCOPED_TRACE(c.key);
    vt::bytes key = vt::from_hex(c.key), pt = vt::from_hex(c.plain);
    uint32_t w[44];
    aes128_expand_key(key.data(), w);
    EXPECT_EQ(w[0], uint32_t{key[0]} << 24 | uint32_t{key[1]} << 16 | uint32_t{key[2]} << 8 | key[3]);
    EXPECT_EQ(w[40], c.w40);
    EXPECT_EQ(w[43], c.w43);
    uint8_t out[17];
    out[16] = 0xa5;
    aes128_encrypt_block(w, pt.data(), out);
    EXPECT_EQ(vt::to_hex(out, 16), c.cipher);
    EXPECT_EQ(out[16], 0xa5);

    aes128_ecb_ctx ctx;
    aes128_ecb_keysetup(&ctx, key.data());
    EXPECT_EQ(0, std::memcmp(ctx.w, w, sizeof w));
    std::memcpy(out, pt.data(), 16);
    aes128_ecb_encrypt_block(&ctx, out, out);
    EXPECT_EQ(vt::to_hex(out, 16), c.cipher);
  }
}

VT_AES_EACH_PATH(Aes128);

TEST(AesPaths, BothExpandKeysToTheSameWords) {
  // The schedule is stored in one layout whichever code made it, for either key size.
  for (uint64_t seed = 0; seed < 20; ++seed) {
    SCOPED_TRACE(seed);
    vt::bytes key = vt::pseudo_random(32, 50 + seed);
    uint32_t w[2][60], w128[2][44];
    const bool ran = on_both_aes_paths([&](bool portable) {
      aes256_expand_key(key.data(), w[portable ? 0 : 1]);
      aes128_expand_key(key.data(), w128[portable ? 0 : 1]);
    });
    if (!ran) GTEST_SKIP() << "no AES-NI code here";
    EXPECT_EQ(0, std::memcmp(w[0], w[1], sizeof w[0]));
    EXPECT_EQ(0, std::memcmp(w128[0], w128[1], sizeof w128[0]));
  }
}

}  // namespace
