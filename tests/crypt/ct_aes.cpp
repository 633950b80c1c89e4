// Constant-time check of AES-256 under valgrind memcheck (run without a single report),
// on the AES-NI code (which valgrind emulates) where the processor has it and on the
// portable code, through the same entries GCM and the CTR_DRBG call.
//
// Marked secret:
// - the key through key expansion: SubWord must compute the S-box, not look it up;
// - the key, hence the schedule, and the plaintext through encryption of 1 block (a
//   padded four-block batch) and of 9 (a full eight-block batch and a padded one);
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
  }
  aesni_off_FOR_TEST(0);
  if (g_failures != 0) return 1;
  std::printf("ct_aes: ok\n");
  return 0;
}
