// AES-256 CFB on both AES paths: the NIST SP 800-38A example, and short messages as
// prefixes of longer ones, written separately and in place.
#include <gtest/gtest.h>

#include "aes_paths.h"
#include "crypt.h"
#include "test_support.h"

namespace {

using Aes256Cfb = AesEachPath;

// NIST SP 800-38A, F.3.13 (CFB128-AES256.Encrypt).
const char* const kKey = "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
const char* const kIv = "000102030405060708090a0b0c0d0e0f";
const char* const kPlain =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
const char* const kCipher =
    "dc7e84bfda79164b7ecd8486985d386039ffed143b28b1c832113c6331e5407b"
    "df10132415e54b92a13ed0a8267ae2f975a385741ab9cef82031623d55b1e471";

TEST_P(Aes256Cfb, Sp800_38aExampleAndItsPrefixes) {
  const vt::bytes key = vt::from_hex(kKey), iv = vt::from_hex(kIv), pt = vt::from_hex(kPlain);
  const std::string want = kCipher;
  // Every length from none to the whole: short last blocks of each size, at each block.
  for (size_t len = 0; len <= pt.size(); ++len) {
    SCOPED_TRACE(len);
    vt::bytes out(len + 1, 0x5a);
    aes256_cfb_encrypt(key.data(), iv.data(), pt.data(), len, out.data());
    EXPECT_EQ(vt::to_hex(out.data(), len), want.substr(0, 2 * len));
    EXPECT_EQ(out.back(), 0x5a);
    vt::bytes buf(pt.begin(), pt.begin() + static_cast<std::ptrdiff_t>(len));
    aes256_cfb_encrypt(key.data(), iv.data(), buf.data(), len, buf.data());
    EXPECT_EQ(vt::to_hex(buf), want.substr(0, 2 * len));
  }
}

VT_AES_EACH_PATH(Aes256Cfb);

}  // namespace
