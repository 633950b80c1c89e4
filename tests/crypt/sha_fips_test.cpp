// The example digests of FIPS 180-4 (empty, "abc", the 448- and 896-bit messages, one
// million 'a') for SHA-1, SHA-256, SHA-384 and SHA-512, through the one-shot functions,
// with SHA-256 on the SHA-extension code and on the portable code.
#include <gtest/gtest.h>

#include <string>

#include "crypt.h"
#include "sha_paths.h"
#include "test_support.h"

namespace {

const std::string kMsg448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
const std::string kMsg896 =
    "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrst"
    "nopqrstu";
const std::string kMillionA(1000000, 'a');

std::string digest_hex(const std::string& alg, const std::string& msg) {
  const auto* p = reinterpret_cast<const uint8_t*>(msg.data());
  uint8_t out[64];
  size_t n = 0;
  if (alg == "sha1") sha1(p, msg.size(), out), n = 20;
  if (alg == "sha256") sha256(p, msg.size(), out), n = 32;
  if (alg == "sha384") sha384(p, msg.size(), out), n = 48;
  if (alg == "sha512") sha512(p, msg.size(), out), n = 64;
  return vt::to_hex(out, n);
}

struct Example {
  const char* alg;
  const std::string* msg;
  const char* hex;
};

const std::string kEmpty;
const std::string kAbc = "abc";

const Example kExamples[] = {
    {"sha1", &kEmpty, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    {"sha1", &kAbc, "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {"sha1", &kMsg448, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
    {"sha1", &kMsg896, "a49b2446a02c645bf419f995b67091253a04a259"},
    {"sha1", &kMillionA, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    {"sha256", &kEmpty, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"sha256", &kAbc, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"sha256", &kMsg448, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"sha256", &kMsg896, "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {"sha256", &kMillionA, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    {"sha384", &kEmpty,
     "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f14898b95b"},
    {"sha384", &kAbc,
     "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
    {"sha384", &kMsg448,
     "3391fdddfc8dc7393707a65b1b4709397cf8b1d162af05abfe8f450de5f36bc6b0455a8520bc4e6f5fe95b1fe3c8452b"},
    {"sha384", &kMsg896,
     "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa91746039"},
    {"sha384", &kMillionA,
     "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd87f3d8985"},
    {"sha512", &kEmpty,
     "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f"
     "63b931bd47417a81a538327af927da3e"},
    {"sha512", &kAbc,
     "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd"
     "454d4423643ce80e2a9ac94fa54ca49f"},
    {"sha512", &kMsg448,
     "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c33596fd15c13b1b07f9aa1d3bea57789ca0"
     "31ad85c7a71dd70354ec631238ca3445"},
    {"sha512", &kMsg896,
     "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99dec4b5433a"
     "c7d329eeb6dd26545e96e55b874be909"},
    {"sha512", &kMillionA,
     "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce577c31b"
     "eb009c5c2c49aa2e4eadb217ad8cc09b"},
};

using ShaFipsEachPath = ShaEachPath;
VT_SHA_EACH_PATH(ShaFipsEachPath);

TEST_P(ShaFipsEachPath, ExampleDigests) {
  for (const auto& ex : kExamples)
    EXPECT_EQ(digest_hex(ex.alg, *ex.msg), ex.hex) << ex.alg << " of " << ex.msg->size() << " bytes";
}

TEST(ShaFips, Sha384WritesExactly48Bytes) {
  uint8_t out[64];
  for (auto& b : out) b = 0xA5;
  sha384(reinterpret_cast<const uint8_t*>("abc"), 3, out);
  for (int i = 48; i < 64; ++i) EXPECT_EQ(out[i], 0xA5) << "byte " << i;
}

TEST(ShaFips, Sha1WritesExactly20Bytes) {
  uint8_t out[32];
  for (auto& b : out) b = 0x5A;
  sha1(nullptr, 0, out);
  EXPECT_EQ(vt::to_hex(out, 20), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  for (int i = 20; i < 32; ++i) EXPECT_EQ(out[i], 0x5A) << "byte " << i;
}

TEST(Sha256Utilities, HexRendering) {
  uint8_t zero[32] = {};
  char hex[66];
  hex[65] = 'X';
  sha256_to_hex(zero, hex);
  EXPECT_EQ(std::string(hex), std::string(64, '0'));
  EXPECT_EQ(hex[65], 'X');  // exactly 65 bytes written

  uint8_t d[32];
  sha256(reinterpret_cast<const uint8_t*>("abc"), 3, d);
  sha256_to_hex(d, hex);
  EXPECT_EQ(std::string(hex), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256Utilities, EqualExaminesEveryByte) {
  uint8_t a[32], b[32];
  sha256(reinterpret_cast<const uint8_t*>("abc"), 3, a);
  for (int i = 0; i < 32; ++i) b[i] = a[i];
  EXPECT_EQ(sha256_equal(a, b), 1);
  for (int i = 0; i < 32; ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      b[i] = static_cast<uint8_t>(a[i] ^ (1u << bit));
      EXPECT_EQ(sha256_equal(a, b), 0) << "byte " << i << " bit " << bit;
    }
    b[i] = a[i];
  }
}

}  // namespace
