// AES-256-GCM: the published AES-256 test cases with 96-bit IVs, the structure of the
// keystream and tag, tamper rejection with the output untouched, in-place operation and
// the length bounds; each on both paths, and the two paths against each other.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "aes_paths.h"
#include "crypt.h"
#include "test_support.h"

namespace {

using Aes256Gcm = AesEachPath;

struct GcmCase {
  const char* name;
  const char* key;
  const char* iv;
  const char* plain;
  const char* aad;
  const char* cipher;
  const char* tag;
};

// McGrew and Viega, "The Galois/Counter Mode of Operation", test cases 13 to 16.
const char* const kK15 = "feffe9928665731c6d6a8f9467308308feffe9928665731c6d6a8f9467308308";
const char* const kIv15 = "cafebabefacedbaddecaf888";
const GcmCase kCases[] = {
    {"tc13 zero key and IV, empty", "0000000000000000000000000000000000000000000000000000000000000000",
     "000000000000000000000000", "", "", "", "530f8afbc74536b9a963b4f1c4cb738b"},
    {"tc14 zero key and IV, one zero block",
     "0000000000000000000000000000000000000000000000000000000000000000", "000000000000000000000000",
     "00000000000000000000000000000000", "", "cea7403d4d606b6e074ec5d3baf39d18",
     "d0d1c8a799996bf0265b98b5d48ab919"},
    {"tc15 four blocks", kK15, kIv15,
     "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a72"
     "1c3c0c95956809532fcf0e2449a6b525b16aedf5aa0de657ba637b391aafd255",
     "",
     "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa"
     "8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0abcc9f662898015ad",
     "b094dac5d93471bdec1a502270e3cc6c"},
    {"tc16 partial block with AAD", kK15, kIv15,
     "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a72"
     "1c3c0c95956809532fcf0e2449a6b525b16aedf5aa0de657ba637b39",
     "feedfacedeadbeeffeedfacedeadbeefabaddad2",
     "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa"
     "8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0abcc9f662",
     "76fc6ece0f4e1768cddf8853bb2d551b"},
};

TEST_P(Aes256Gcm, PublishedVectorsEncryptAndDecrypt) {
  for (const GcmCase& c : kCases) {
    SCOPED_TRACE(c.name);
    vt::bytes key = vt::from_hex(c.key), iv = vt::from_hex(c.iv), pt = vt::from_hex(c.plain);
    vt::bytes aad = vt::from_hex(c.aad);
    vt::bytes ct(pt.size() + 1, 0xa5);  // one guard byte past the end
    uint8_t tag[16];
    ASSERT_EQ(0, aes256gcm_encrypt_aad(key.data(), iv.data(), pt.data(), pt.size(),
                                       aad.empty() ? nullptr : aad.data(), aad.size(), ct.data(), tag));
    EXPECT_EQ(vt::to_hex(ct.data(), pt.size()), c.cipher);
    EXPECT_EQ(ct.back(), 0xa5);
    EXPECT_EQ(vt::to_hex(tag, 16), c.tag);

    vt::bytes back(pt.size() + 1, 0x5a);
    ASSERT_EQ(0, aes256gcm_decrypt_aad(key.data(), iv.data(), ct.data(), pt.size(),
                                       aad.empty() ? nullptr : aad.data(), aad.size(), tag, back.data()));
    EXPECT_EQ(vt::to_hex(back.data(), pt.size()), c.plain);
    EXPECT_EQ(back.back(), 0x5a);

    if (aad.empty()) {
      // The calls without AAD are the AAD calls with an absent AAD.
      vt::bytes ct2(pt.size());
      uint8_t tag2[16];
      ASSERT_EQ(0, aes256gcm_encrypt(key.data(), iv.data(), pt.data(), pt.size(), ct2.data(), tag2));
      EXPECT_EQ(vt::to_hex(ct2), c.cipher);
      EXPECT_EQ(vt::to_hex(tag2, 16), c.tag);
      vt::bytes back2(pt.size());
      ASSERT_EQ(0, aes256gcm_decrypt(key.data(), iv.data(), ct2.data(), ct2.size(), tag2, back2.data()));
      EXPECT_EQ(back2, pt);
    }
  }
}

// The keystream block for counter value ctr under (key, iv), through the public AES.
void keystream_block(const vt::bytes& key, const vt::bytes& iv, uint32_t ctr, uint8_t out[16]) {
  uint8_t cb[16];
  std::memcpy(cb, iv.data(), 12);
  cb[12] = static_cast<uint8_t>(ctr >> 24);
  cb[13] = static_cast<uint8_t>(ctr >> 16);
  cb[14] = static_cast<uint8_t>(ctr >> 8);
  cb[15] = static_cast<uint8_t>(ctr);
  aes256_ecb_ctx ctx;
  aes256_ecb_keysetup(&ctx, key.data());
  aes256_ecb_encrypt_block(&ctx, cb, out);
}

TEST_P(Aes256Gcm, KeystreamAndTagStructure) {
  vt::bytes key = vt::pseudo_random(32, 1), iv = vt::pseudo_random(12, 2), pt = vt::pseudo_random(17, 3);

  // Empty plaintext and AAD: GHASH of the zero length block is zero, so the tag is AES(J0).
  uint8_t tag[16], ej0[16];
  ASSERT_EQ(0, aes256gcm_encrypt(key.data(), iv.data(), nullptr, 0, nullptr, tag));
  keystream_block(key, iv, 1, ej0);
  EXPECT_EQ(vt::to_hex(tag, 16), vt::to_hex(ej0, 16));

  // 17 bytes: counter 2 covers bytes 0..15, the first byte of counter 3 covers byte 16.
  uint8_t ct[17], k2[16], k3[16];
  ASSERT_EQ(0, aes256gcm_encrypt(key.data(), iv.data(), pt.data(), 17, ct, tag));
  keystream_block(key, iv, 2, k2);
  keystream_block(key, iv, 3, k3);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(ct[i], pt[i] ^ k2[i]) << i;
  EXPECT_EQ(ct[16], pt[16] ^ k3[0]);
  uint8_t back[17];
  ASSERT_EQ(0, aes256gcm_decrypt(key.data(), iv.data(), ct, 17, tag, back));
  EXPECT_EQ(0, std::memcmp(back, pt.data(), 17));
}

TEST_P(Aes256Gcm, NullAndEmptyAadAgree) {
  vt::bytes key = vt::pseudo_random(32, 4), iv = vt::pseudo_random(12, 5), pt = vt::pseudo_random(40, 6);
  uint8_t ct1[40], ct2[40], t1[16], t2[16];
  const uint8_t dummy = 0x77;
  ASSERT_EQ(0, aes256gcm_encrypt(key.data(), iv.data(), pt.data(), 40, ct1, t1));
  ASSERT_EQ(0, aes256gcm_encrypt_aad(key.data(), iv.data(), pt.data(), 40, &dummy, 0, ct2, t2));
  EXPECT_EQ(0, std::memcmp(ct1, ct2, 40));
  EXPECT_EQ(0, std::memcmp(t1, t2, 16));
  // A one-byte AAD changes the tag but not the ciphertext.
  ASSERT_EQ(0, aes256gcm_encrypt_aad(key.data(), iv.data(), pt.data(), 40, &dummy, 1, ct2, t2));
  EXPECT_EQ(0, std::memcmp(ct1, ct2, 40));
  EXPECT_NE(0, std::memcmp(t1, t2, 16));
}

TEST_P(Aes256Gcm, EveryBitFlipIsRejectedWithOutputUntouched) {
  vt::bytes key = vt::pseudo_random(32, 7), iv = vt::pseudo_random(12, 8);
  vt::bytes pt = vt::pseudo_random(33, 9), aad = vt::pseudo_random(20, 10);
  vt::bytes ct(pt.size());
  uint8_t tag[16];
  ASSERT_EQ(0, aes256gcm_encrypt_aad(key.data(), iv.data(), pt.data(), pt.size(), aad.data(), aad.size(),
                                     ct.data(), tag));
  const vt::bytes sentinel(pt.size(), 0xc3);

  auto rejected = [&](const vt::bytes& c, const vt::bytes& a, const uint8_t* t) {
    vt::bytes out = sentinel;
    int r = aes256gcm_decrypt_aad(key.data(), iv.data(), c.data(), c.size(), a.data(), a.size(), t, out.data());
    return r == -1 && out == sentinel;
  };

  for (size_t bit = 0; bit < 8 * ct.size(); ++bit) {
    vt::bytes c = ct;
    c[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    EXPECT_TRUE(rejected(c, aad, tag)) << "ciphertext bit " << bit;
  }
  for (size_t bit = 0; bit < 8 * aad.size(); ++bit) {
    vt::bytes a = aad;
    a[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    EXPECT_TRUE(rejected(ct, a, tag)) << "AAD bit " << bit;
  }
  for (size_t bit = 0; bit < 128; ++bit) {
    uint8_t t[16];
    std::memcpy(t, tag, 16);
    t[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    EXPECT_TRUE(rejected(ct, aad, t)) << "tag bit " << bit;
  }
  // Dropping the last AAD byte or ciphertext byte is rejected too.
  EXPECT_TRUE(rejected(ct, vt::bytes(aad.begin(), aad.end() - 1), tag));
  vt::bytes out = sentinel;
  EXPECT_EQ(-1, aes256gcm_decrypt_aad(key.data(), iv.data(), ct.data(), ct.size() - 1, aad.data(), aad.size(),
                                      tag, out.data()));
  EXPECT_EQ(out, sentinel);
  // The untampered inputs still verify.
  out = sentinel;
  ASSERT_EQ(0, aes256gcm_decrypt_aad(key.data(), iv.data(), ct.data(), ct.size(), aad.data(), aad.size(), tag,
                                     out.data()));
  EXPECT_EQ(out, pt);
}

TEST_P(Aes256Gcm, InPlaceRoundTrip) {
  vt::bytes key = vt::pseudo_random(32, 11), iv = vt::pseudo_random(12, 12), aad = vt::pseudo_random(5, 13);
  for (size_t len : {size_t{0}, size_t{1}, size_t{16}, size_t{31}, size_t{64}, size_t{100}, size_t{300}}) {
    SCOPED_TRACE(len);
    vt::bytes pt = vt::pseudo_random(len, 14 + len);
    vt::bytes sep(len);
    uint8_t tag_sep[16], tag[16];
    ASSERT_EQ(0, aes256gcm_encrypt_aad(key.data(), iv.data(), pt.data(), len, aad.data(), aad.size(),
                                       sep.data(), tag_sep));
    vt::bytes buf = pt;
    ASSERT_EQ(0, aes256gcm_encrypt_aad(key.data(), iv.data(), buf.data(), len, aad.data(), aad.size(),
                                       buf.data(), tag));
    EXPECT_EQ(buf, sep);
    EXPECT_EQ(0, std::memcmp(tag, tag_sep, 16));
    ASSERT_EQ(0, aes256gcm_decrypt_aad(key.data(), iv.data(), buf.data(), len, aad.data(), aad.size(), tag,
                                       buf.data()));
    EXPECT_EQ(buf, pt);
  }
}

TEST_P(Aes256Gcm, RefusesLengthsPastTheModeBounds) {
  // Past 2^36 - 32 bytes the 32-bit counter would wrap onto J0 and reuse keystream. The
  // bounds are checked before any byte is read, so small buffers stand in for huge ones.
  vt::bytes key = vt::pseudo_random(32, 20), iv = vt::pseudo_random(12, 21);
  uint8_t in[16] = {0}, out[16], tag[16];
  std::memset(out, 0xee, sizeof out);
  std::memset(tag, 0xdd, sizeof tag);
  const size_t too_long = (size_t{1} << 36) - 31;
  EXPECT_EQ(-1, aes256gcm_encrypt(key.data(), iv.data(), in, too_long, out, tag));
  EXPECT_EQ(-1, aes256gcm_encrypt_aad(key.data(), iv.data(), in, 16, in, size_t{1} << 61, out, tag));
  EXPECT_EQ(-1, aes256gcm_decrypt(key.data(), iv.data(), in, too_long, tag, out));
  EXPECT_EQ(-1, aes256gcm_decrypt_aad(key.data(), iv.data(), in, 16, in, size_t{1} << 61, tag, out));
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(out[i], 0xee);
    EXPECT_EQ(tag[i], 0xdd);
  }
}

VT_AES_EACH_PATH(Aes256Gcm);

TEST(Aes256GcmPaths, AgreeAroundBlockGroupBoundaries) {
  // Plaintext and AAD lengths one short of, at and one past four, eight and sixteen
  // blocks (where encryption starts to hash one group while it encrypts the next).
  const size_t lens[] = {0, 15, 63, 64, 65, 127, 128, 129, 255, 256, 257, 400};
  vt::bytes key = vt::pseudo_random(32, 60), iv = vt::pseudo_random(12, 61);
  for (size_t pt_len : lens) {
    for (size_t aad_len : lens) {
      SCOPED_TRACE(testing::Message() << "pt " << pt_len << " aad " << aad_len);
      vt::bytes pt = vt::pseudo_random(pt_len, 62 + pt_len), aad = vt::pseudo_random(aad_len, 63 + aad_len);
      vt::bytes ct[2], back(pt_len);
      uint8_t tag[2][16];
      int dec = -2;
      const bool ran = on_both_aes_paths([&](bool portable) {
        const int p = portable ? 0 : 1;
        ct[p].assign(pt_len, 0);
        ASSERT_EQ(0, aes256gcm_encrypt_aad(key.data(), iv.data(), pt.data(), pt_len, aad.data(), aad_len,
                                           ct[p].data(), tag[p]));
        // The instruction code (run second) opens what the portable code sealed.
        if (!portable)
          dec = aes256gcm_decrypt_aad(key.data(), iv.data(), ct[0].data(), pt_len, aad.data(), aad_len, tag[0],
                                      back.data());
      });
      if (!ran) GTEST_SKIP() << "no AES-NI code here";
      EXPECT_EQ(vt::to_hex(ct[1]), vt::to_hex(ct[0]));
      EXPECT_EQ(vt::to_hex(tag[1], 16), vt::to_hex(tag[0], 16));
      EXPECT_EQ(dec, 0);
      EXPECT_EQ(back, pt);
    }
  }
}

}  // namespace
