// Constant-time check of AES-256 and AES-128 under valgrind memcheck (run without a single
// report), on the AES-NI code (which valgrind emulates) where the processor has it and on
// the portable code, through the same entries GCM, the CTR_DRBG, key wrap and CFB call.
//
// Marked secret:
// - the key through key expansion: SubWord must compute the S-box, not look it up;
// - the key, hence the schedule, and the plaintext through encryption of 1 block (a
//   padded four-block batch) and of 9 (a full eight-block batch and a padded one);
// - the AES-128 key and plaintext through key setup and one block;
// - the key-encryption key (128 and 256 bits) and the data through key wrap;
// - the key and the data through AES-256 CFB, a short last block included;
// - the DRBG's entropy input, personalization string and additional inputs, hence its
//   whole state, through instantiate and two generate calls.
#include <cstdio>
#include <cstring>

#include "aes_internal.h"
#include "crypt.h"
#include "ct.h"
#include "drbg.h"
#include "test_support.h"

using namespace crypt_internal;

namespace {

int g_failures = 0;

void check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAIL: %s\n", what);
    ++g_failures;
  }
}

// FIPS 197 appendix C.3.
const char* const kKey = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
const char* const kPlain = "00112233445566778899aabbccddeeff";
const char* const kCipher = "8ea2b7ca516745bfeafc49904b496089";

void check_block_cipher(size_t blocks) {
  vt::bytes key = vt::from_hex(kKey), one = vt::from_hex(kPlain);
  vt::bytes pt(16 * blocks), ct(16 * blocks);
  for (size_t i = 0; i < blocks; ++i) std::memcpy(pt.data() + 16 * i, one.data(), 16);
  uint32_t w[60];
  CT_SECRET(key.data(), key.size());
  CT_SECRET(pt.data(), pt.size());
  aes256_expand_key(key.data(), w);
  aes256_encrypt_blocks(w, pt.data(), ct.data(), blocks);
  CT_PUBLIC(ct.data(), ct.size());
  CT_PUBLIC(w, sizeof w);
  CT_PUBLIC(key.data(), key.size());
  CT_PUBLIC(pt.data(), pt.size());
  for (size_t i = 0; i < blocks; ++i)
    check(vt::to_hex(ct.data() + 16 * i, 16) == kCipher,
          blocks == 1 ? "one block" : "each of nine blocks");
  secure_zero(w, sizeof w);
}

// FIPS 197 appendix C.1.
void check_aes128() {
  vt::bytes key = vt::from_hex("000102030405060708090a0b0c0d0e0f"), pt = vt::from_hex(kPlain);
  uint8_t ct[16];
  aes128_ecb_ctx ctx;
  CT_SECRET(key.data(), key.size());
  CT_SECRET(pt.data(), pt.size());
  aes128_ecb_keysetup(&ctx, key.data());
  aes128_ecb_encrypt_block(&ctx, pt.data(), ct);
  CT_PUBLIC(ct, sizeof ct);
  check(vt::to_hex(ct, 16) == "69c4e0d86a7b0430d8cdb78070b4c55a", "AES-128 block");
  secure_zero(&ctx, sizeof ctx);
}

// RFC 3394 sections 4.1 and 4.6.
void check_key_wrap(size_t kek_len, size_t len, const char* want) {
  vt::bytes kek = vt::from_hex(kKey);
  vt::bytes data = vt::from_hex("00112233445566778899aabbccddeeff000102030405060708090a0b0c0d0e0f");
  uint8_t out[40];
  CT_SECRET(kek.data(), kek.size());
  CT_SECRET(data.data(), data.size());
  const int r = aes_key_wrap(kek.data(), kek_len, data.data(), len, out);
  CT_PUBLIC(out, sizeof out);
  check(r == 0 && vt::to_hex(out, len + 8) == want,
        kek_len == 16 ? "key wrap, 128-bit KEK" : "key wrap, 256-bit KEK");
}

// NIST SP 800-38A F.3.13, cut short inside the third block.
void check_cfb() {
  vt::bytes key = vt::from_hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
  vt::bytes iv = vt::from_hex("000102030405060708090a0b0c0d0e0f");
  vt::bytes pt = vt::from_hex(
      "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e5130c81c46a35ce411");
  uint8_t ct[40];
  CT_SECRET(key.data(), key.size());
  CT_SECRET(pt.data(), pt.size());
  aes256_cfb_encrypt(key.data(), iv.data(), pt.data(), pt.size(), ct);
  CT_PUBLIC(ct, sizeof ct);
  check(vt::to_hex(ct, sizeof ct) ==
            "dc7e84bfda79164b7ecd8486985d386039ffed143b28b1c832113c6331e5407bdf10132415e54b92",
        "CFB");
}

// NIST CAVP CTR_DRBG, AES-256 with derivation function, no reseed: personalization and
// additional inputs of 256 bits, COUNT = 0.
void check_drbg_generate() {
  vt::bytes entropy = vt::from_hex("87b56e964eba227154724bb9484b812d3e2c0c43b3d17f6098d9526e16e6d0ef");
  vt::bytes nonce = vt::from_hex("9bea6a7ff2358df142e6c23e2157fb83");
  vt::bytes pers = vt::from_hex("9860b432edd58d1ccbfeecbce99ffaee7d935a614860d4e965bd67041403096b");
  vt::bytes add1 = vt::from_hex("99a5cc87924e8ea65a596f81fd17d63f5b4542fe6e8e1511b5d35c835dfadb0b");
  vt::bytes add2 = vt::from_hex("9a8dec54734a34582a2332f3452e82313524c3e0dfb485faeac6ca5fc0ff504d");
  const char* const want =
      "dbc6a2330b19b5cddd8cd6392ec1fb508678c805e87d1aca07ac265007632503"
      "044a00610c79d98375afa7ab4cca1a90989cbfe7c674af5d823ced11c47e9af6";
  drbg_ctx ctx{};
  uint8_t out[64];
  CT_SECRET(entropy.data(), entropy.size());
  CT_SECRET(pers.data(), pers.size());
  CT_SECRET(add1.data(), add1.size());
  CT_SECRET(add2.data(), add2.size());
  int r = drbg_instantiate(&ctx, entropy.data(), entropy.size(), nonce.data(), nonce.size(), pers.data(),
                           pers.size());
  r |= drbg_generate(&ctx, out, sizeof out, add1.data(), add1.size());
  r |= drbg_generate(&ctx, out, sizeof out, add2.data(), add2.size());
  CT_PUBLIC(out, sizeof out);
  check(r == 0, "instantiate and generate return 0");
  check(vt::to_hex(out, sizeof out) == want, "DRBG known answer");
  drbg_uninstantiate(&ctx);
}

}  // namespace

int main() {
  for (int ni = 1; ni >= 0; --ni) {
    if (ni && !aesni_available()) continue;
    aesni_off_FOR_TEST(ni ? 0 : 1);
    check_block_cipher(1);
    check_block_cipher(9);
    check_drbg_generate();
    check_aes128();
    check_key_wrap(16, 16, "1fa68b0a8112b447aef34bd8fb5a7b829d3e862371d2cfe5");
    check_key_wrap(32, 32, "28c9f404c4b810f4cbccb35cfb87f8263f5786e2d80ed326cbc7f0e71a99f43bfb988b9b7a02dd21");
    check_cfb();
  }
  aesni_off_FOR_TEST(0);
  if (g_failures != 0) return 1;
  std::printf("ct_aes: ok\n");
  return 0;
}
