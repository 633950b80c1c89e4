// ChaCha20-Poly1305: the RFC 8439 vectors for the AEAD, the ChaCha20 stream and
// Poly1305 (with the appendix cases aimed at carries and the final reduction), tamper
// rejection with the output untouched, in-place operation, the length bound and the
// refused null pointers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "chacha_internal.h"
#include "crypt.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

vt::bytes text(const char* s) { return vt::bytes(s, s + std::strlen(s)); }

const char* const kSunscreen =
    "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the future, "
    "sunscreen would be it.";
const char* const kKey80 = "808182838485868788898a8b8c8d8e8f909192939495969798999a9b9c9d9e9f";

TEST(ChaCha20Poly1305, AeadVectorEncryptsAndDecrypts) {
  vt::bytes key = vt::from_hex(kKey80), nonce = vt::from_hex("070000004041424344454647");
  vt::bytes aad = vt::from_hex("50515253c0c1c2c3c4c5c6c7"), pt = text(kSunscreen);
  const std::string want_ct =
      "d31a8d34648e60db7b86afbc53ef7ec2a4aded51296e08fea9e2b5a736ee62d63dbea45e8ca9671282fafb69da92728b"
      "1a71de0a9e060b2905d6a5b67ecd3b3692ddbd7f2d778b8c9803aee328091b58fab324e4fad675945585808b4831d7bc"
      "3ff4def08e4b7a9de576d26586cec64b6116";
  const std::string want_tag = "1ae10b594f09e26a7e902ecbd0600691";

  vt::bytes ct(pt.size() + 1, 0xa5);  // one guard byte past the end
  uint8_t tag[16];
  ASSERT_EQ(0, chacha20poly1305_encrypt(key.data(), nonce.data(), aad.data(), aad.size(), pt.data(),
                                        pt.size(), ct.data(), tag));
  EXPECT_EQ(vt::to_hex(ct.data(), pt.size()), want_ct);
  EXPECT_EQ(ct.back(), 0xa5);
  EXPECT_EQ(vt::to_hex(tag, 16), want_tag);

  vt::bytes back(pt.size() + 1, 0x5a);
  ASSERT_EQ(0, chacha20poly1305_decrypt(key.data(), nonce.data(), aad.data(), aad.size(), ct.data(),
                                        pt.size(), tag, back.data()));
  EXPECT_EQ(vt::bytes(back.begin(), back.end() - 1), pt);
  EXPECT_EQ(back.back(), 0x5a);
}

TEST(ChaCha20Poly1305, ChaCha20StreamVector) {
  // Two blocks and a partial one from counter 1; the AEAD vector covers block 0.
  vt::bytes key = vt::from_hex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
  vt::bytes nonce = vt::from_hex("000000000000004a00000000"), pt = text(kSunscreen);
  vt::bytes ct(pt.size());
  chacha20_xor(key.data(), 1, nonce.data(), pt.data(), ct.data(), pt.size());
  EXPECT_EQ(vt::to_hex(ct),
            "6e2e359a2568f98041ba0728dd0d6981e97e7aec1d4360c20a27afccfd9fae0bf91b65c5524733ab8f593dabcd62b357"
            "1639d624e65152ab8f530c359f0861d807ca0dbf500d6a6156a38e088a22b65e52bc514d16ccf806818ce91ab7793736"
            "5af90bbf74a35be6b40b8eedf2785e42874d");
}

TEST(ChaCha20Poly1305, Poly1305VectorsWholeAndInPieces) {
  struct Mac {
    const char* name;
    const char* key;
    const char* msg;
    const char* tag;
  };
  const std::string r1 = "01" + std::string(62, '0'), r2 = "02" + std::string(62, '0');
  const std::string r2_s_ones = "02" + std::string(30, '0') + std::string(32, 'f');
  const std::string ones = std::string(32, 'f');
  const std::string msg_2_5_2 = vt::to_hex(text("Cryptographic Forum Research Group"));
  const Mac macs[] = {
      {"example", "85d6be7857556d337f4452fe42d506a80103808afb0db2fd4abff6af4149f51b", msg_2_5_2.c_str(),
       "a8061dc1305136c6c22b8baf0c0127a9"},
      {"partly reduced result not fully reduced", r2.c_str(), ones.c_str(),
       "03000000000000000000000000000000"},
      {"adding s overflows 2^128", r2_s_ones.c_str(), "02000000000000000000000000000000",
       "03000000000000000000000000000000"},
      {"all-ones limb with a carry into it", r1.c_str(),
       "fffffffffffffffffffffffffffffffff0ffffffffffffffffffffffffffffff11000000000000000000000000000000",
       "05000000000000000000000000000000"},
      {"result exactly 2^130 - 5", r1.c_str(),
       "fffffffffffffffffffffffffffffffffbfefefefefefefefefefefefefefefe01010101010101010101010101010101",
       "00000000000000000000000000000000"},
      {"result exactly 2^130 - 6", r2.c_str(), "fdffffffffffffffffffffffffffffff",
       "faffffffffffffffffffffffffffffff"},
  };
  for (const Mac& m : macs) {
    SCOPED_TRACE(m.name);
    vt::bytes key = vt::from_hex(m.key), msg = vt::from_hex(m.msg);
    // Whole, then in pieces that straddle the 16-byte blocks in different ways.
    for (size_t piece : {msg.size(), size_t{1}, size_t{5}, size_t{17}}) {
      SCOPED_TRACE(piece);
      poly1305_state st;
      poly1305_init(&st, key.data());
      for (size_t at = 0; at < msg.size(); at += piece)
        poly1305_update(&st, msg.data() + at, std::min(piece, msg.size() - at));
      uint8_t tag[16];
      poly1305_final(&st, tag);
      EXPECT_EQ(vt::to_hex(tag, 16), m.tag);
    }
  }
}

TEST(ChaCha20Poly1305, EveryBitFlipIsRejectedWithOutputUntouched) {
  vt::bytes key = vt::pseudo_random(32, 7), nonce = vt::pseudo_random(12, 8);
  vt::bytes pt = vt::pseudo_random(33, 9), aad = vt::pseudo_random(20, 10);
  vt::bytes ct(pt.size());
  uint8_t tag[16];
  ASSERT_EQ(0, chacha20poly1305_encrypt(key.data(), nonce.data(), aad.data(), aad.size(), pt.data(),
                                        pt.size(), ct.data(), tag));
  const vt::bytes sentinel(pt.size(), 0xc3);

  auto rejected = [&](const vt::bytes& n, const vt::bytes& a, const vt::bytes& c, size_t c_len,
                      const uint8_t* t) {
    vt::bytes out = sentinel;
    int r = chacha20poly1305_decrypt(key.data(), n.data(), a.data(), a.size(), c.data(), c_len, t,
                                     out.data());
    return r == -1 && out == sentinel;
  };
  auto flip = [](vt::bytes b, size_t bit) {
    b[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    return b;
  };

  for (size_t bit = 0; bit < 8 * ct.size(); ++bit)
    EXPECT_TRUE(rejected(nonce, aad, flip(ct, bit), ct.size(), tag)) << "ciphertext bit " << bit;
  for (size_t bit = 0; bit < 8 * aad.size(); ++bit)
    EXPECT_TRUE(rejected(nonce, flip(aad, bit), ct, ct.size(), tag)) << "AAD bit " << bit;
  for (size_t bit = 0; bit < 96; ++bit)
    EXPECT_TRUE(rejected(flip(nonce, bit), aad, ct, ct.size(), tag)) << "nonce bit " << bit;
  for (size_t bit = 0; bit < 128; ++bit) {
    vt::bytes t = flip(vt::bytes(tag, tag + 16), bit);
    EXPECT_TRUE(rejected(nonce, aad, ct, ct.size(), t.data())) << "tag bit " << bit;
  }
  // A shorter AAD or ciphertext is rejected too: the lengths are authenticated.
  EXPECT_TRUE(rejected(nonce, vt::bytes(aad.begin(), aad.end() - 1), ct, ct.size(), tag));
  EXPECT_TRUE(rejected(nonce, aad, ct, ct.size() - 1, tag));
  // The untampered inputs still verify.
  vt::bytes out = sentinel;
  ASSERT_EQ(0, chacha20poly1305_decrypt(key.data(), nonce.data(), aad.data(), aad.size(), ct.data(),
                                        ct.size(), tag, out.data()));
  EXPECT_EQ(out, pt);
}

TEST(ChaCha20Poly1305, InPlaceRoundTrip) {
  vt::bytes key = vt::pseudo_random(32, 11), nonce = vt::pseudo_random(12, 12);
  vt::bytes aad = vt::pseudo_random(5, 13);
  for (size_t len : {size_t{0}, size_t{1}, size_t{16}, size_t{63}, size_t{64}, size_t{65}, size_t{300}}) {
    SCOPED_TRACE(len);
    // One guard byte past the data in every buffer (which also keeps an empty one non-null).
    vt::bytes pt = vt::pseudo_random(len + 1, 14 + len), sep(len + 1, 0x99);
    uint8_t tag_sep[16], tag[16];
    ASSERT_EQ(0, chacha20poly1305_encrypt(key.data(), nonce.data(), aad.data(), aad.size(), pt.data(),
                                          len, sep.data(), tag_sep));
    vt::bytes buf = pt;
    ASSERT_EQ(0, chacha20poly1305_encrypt(key.data(), nonce.data(), aad.data(), aad.size(), buf.data(),
                                          len, buf.data(), tag));
    EXPECT_EQ(vt::to_hex(buf.data(), len), vt::to_hex(sep.data(), len));
    EXPECT_EQ(vt::to_hex(tag, 16), vt::to_hex(tag_sep, 16));
    ASSERT_EQ(0, chacha20poly1305_decrypt(key.data(), nonce.data(), aad.data(), aad.size(), buf.data(),
                                          len, tag, buf.data()));
    EXPECT_EQ(buf, pt);
    EXPECT_EQ(sep.back(), 0x99);
  }
}

TEST(ChaCha20Poly1305, RefusesOverlongDataAndNullPointers) {
  vt::bytes key = vt::pseudo_random(32, 20), nonce = vt::pseudo_random(12, 21);
  uint8_t in[16] = {0}, out[16], tag[16];
  std::memset(out, 0xee, sizeof out);
  std::memset(tag, 0xdd, sizeof tag);
  const uint8_t* k = key.data();
  const uint8_t* n = nonce.data();
  struct Call {
    const char* name;
    const uint8_t *key, *nonce, *aad;
    size_t aad_len;
    const uint8_t* in;
    size_t len;
    uint8_t *out, *tag;
  };
  // Past 2^38 - 64 bytes the 32-bit block counter, started at 1, would wrap onto the
  // block of the Poly1305 key. Lengths are checked before any byte is read, so small
  // buffers stand in for huge ones.
  const size_t too_long = (size_t{1} << 38) - 63;
  const Call calls[] = {
      {"data past the bound", k, n, nullptr, 0, in, too_long, out, tag},
      {"null key", nullptr, n, nullptr, 0, in, 16, out, tag},
      {"null nonce", k, nullptr, nullptr, 0, in, 16, out, tag},
      {"null AAD with a length", k, n, nullptr, 1, in, 16, out, tag},
      {"null input with a length", k, n, nullptr, 0, nullptr, 16, out, tag},
      {"null output", k, n, nullptr, 0, in, 16, nullptr, tag},
      {"null tag", k, n, nullptr, 0, in, 16, out, nullptr},
  };
  for (const Call& c : calls) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(-1, chacha20poly1305_encrypt(c.key, c.nonce, c.aad, c.aad_len, c.in, c.len, c.out, c.tag));
    EXPECT_EQ(-1, chacha20poly1305_decrypt(c.key, c.nonce, c.aad, c.aad_len, c.in, c.len, c.tag, c.out));
    for (int i = 0; i < 16; ++i) {
      EXPECT_EQ(out[i], 0xee);
      EXPECT_EQ(tag[i], 0xdd);
    }
  }
  // Empty AAD and input may be null: the same tag as empty non-null buffers.
  uint8_t t_null[16], t_buf[16];
  ASSERT_EQ(0, chacha20poly1305_encrypt(k, n, nullptr, 0, nullptr, 0, out, t_null));
  ASSERT_EQ(0, chacha20poly1305_encrypt(k, n, in, 0, in, 0, out, t_buf));
  EXPECT_EQ(vt::to_hex(t_null, 16), vt::to_hex(t_buf, 16));
  EXPECT_EQ(0, chacha20poly1305_decrypt(k, n, nullptr, 0, nullptr, 0, t_null, out));
}

}  // namespace
