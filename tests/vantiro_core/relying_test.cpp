// Signature files for stock verifiers: what sign writes parses back to what it signed and
// verifies, and the reader refuses every damaged or foreign variant of each form.
#include <gtest/gtest.h>

#include <string>

#include "crypt.h"
#include "test_support.h"
#include "vantiro_core.h"

namespace {

struct signed_forms {
  uint8_t root[64];
  uint8_t key[32];
  uint8_t digest[64];
  std::string minisign, ssh, signify;
};

signed_forms make_forms() {
  signed_forms f;
  uint8_t seed[32];
  for (int i = 0; i < 32; ++i) seed[i] = static_cast<uint8_t>(i * 7 + 1);
  ed25519_seed_keypair(f.key, f.root, seed);
  for (int i = 0; i < 64; ++i) f.digest[i] = static_cast<uint8_t>(i);
  char text[VANTIRO_FORMAT_TEXT_MAX];
  size_t len = 0;
  uint8_t sig[64];
  EXPECT_EQ(0, vantiro_sign_prehashed(f.root, f.key, VANTIRO_FORMAT_MINISIGN, f.digest, nullptr,
                                      "timestamp:1\tfile:m", text, sizeof text, &len, sig));
  f.minisign.assign(text, len);
  EXPECT_EQ(0, vantiro_sign_prehashed(f.root, f.key, VANTIRO_FORMAT_OPENSSH, f.digest, "file",
                                      nullptr, text, sizeof text, &len, sig));
  f.ssh.assign(text, len);
  EXPECT_EQ(0, vantiro_signify_text(f.key, sig, text, sizeof text, &len));
  f.signify.assign(text, len);
  return f;
}

int parse(const std::string& text, vantiro_sig_file* out) {
  return vantiro_sig_parse(reinterpret_cast<const uint8_t*>(text.data()), text.size(), out);
}

std::string replaced(std::string s, const std::string& from, const std::string& to) {
  const size_t at = s.find(from);
  EXPECT_NE(std::string::npos, at) << from;
  return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

TEST(RelyingForms, WrittenFormsParseAndVerify) {
  const signed_forms f = make_forms();
  uint8_t keynum[8];
  vantiro_keynum(f.key, keynum);
  vantiro_sig_file s;
  ASSERT_EQ(0, parse(f.minisign, &s));
  EXPECT_EQ(VANTIRO_FORMAT_MINISIGN, s.format);
  EXPECT_EQ(VANTIRO_PREHASH_BLAKE2B, s.prehash);
  EXPECT_EQ(vt::to_hex(keynum, 8), vt::to_hex(s.keynum, 8));
  EXPECT_EQ(0, vantiro_sig_verify_global(&s, f.key));
  EXPECT_EQ(0, vantiro_sig_verify_prehashed(&s, f.key, f.digest, 64, "file"));
  uint8_t other[64];
  std::memcpy(other, f.digest, 64);
  other[63] ^= 1;
  EXPECT_EQ(-1, vantiro_sig_verify_prehashed(&s, f.key, other, 64, "file"));

  ASSERT_EQ(0, parse(f.ssh, &s));
  EXPECT_EQ(VANTIRO_FORMAT_OPENSSH, s.format);
  EXPECT_EQ(vt::to_hex(f.key, 32), vt::to_hex(s.key, 32));
  EXPECT_EQ(0, vantiro_sig_verify_prehashed(&s, f.key, f.digest, 64, "file"));
  EXPECT_EQ(-2, vantiro_sig_verify_prehashed(&s, f.key, f.digest, 64, "git"));
  EXPECT_EQ(-1, vantiro_sig_verify_prehashed(&s, f.key, other, 64, "file"));

  ASSERT_EQ(0, parse(f.signify, &s));
  EXPECT_EQ(VANTIRO_FORMAT_SIGNIFY, s.format);
  EXPECT_EQ(VANTIRO_PREHASH_NONE, s.prehash);
  // CRLF line ends are read as LF.
  EXPECT_EQ(0, parse(replaced(replaced(f.signify, "\n", "\r\n"), "=\n", "=\r\n"), &s));
}

TEST(RelyingForms, DamagedOrForeignFilesAreRefused) {
  const signed_forms f = make_forms();
  const std::string m = f.minisign, h = f.ssh, y = f.signify;
  const size_t m_sig_line = m.find('\n') + 1;
  const std::string cases[] = {
      m.substr(0, m.size() - 1),                                  // last line without its end
      m + "\n",                                                   // a line after the end
      replaced(m, "untrusted comment: ", "untrusted comment "),  // not the comment prefix
      replaced(m, "trusted comment: t", "trusted_comment: t"),
      replaced(m, "\tfile:m", "\x01" "file:m"),                  // control character
      m.substr(0, m_sig_line) + "A" + m.substr(m_sig_line + 1),  // another algorithm
      replaced(y, "\n", "\nx"),                                   // a line cut short
      y.substr(0, y.size() - 2) + "A\n",                          // non-canonical base64
      replaced(h, "-----BEGIN SSH SIGNATURE-----", "-----BEGIN SSH SIGNATURES-----"),
      replaced(h, "-----END SSH SIGNATURE-----\n", ""),           // no end line
      replaced(h, "\n-----END", "\nAAAA\n-----END"),               // bytes after the blob
      "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"
      "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdeF\n",
      std::string(65, 'x'),
  };
  for (const std::string& c : cases) {
    vantiro_sig_file s{};
    s.format = 99;
    EXPECT_EQ(-1, parse(c, &s)) << c;
    EXPECT_EQ(99, s.format) << "written on refusal: " << c;
  }
  // A minisign trusted comment changed after signing parses, but its global signature fails.
  vantiro_sig_file s;
  ASSERT_EQ(0, parse(replaced(m, "file:m", "file:n"), &s));
  EXPECT_EQ(-1, vantiro_sig_verify_global(&s, f.key));
}

TEST(RelyingForms, KeyTextsAndRefusedArguments) {
  const signed_forms f = make_forms();
  char text[VANTIRO_FORMAT_TEXT_MAX];
  size_t len = 0;
  ASSERT_EQ(0, vantiro_key_text(f.key, VANTIRO_FORMAT_OPENSSH, "bad owner", text, sizeof text, &len));
  EXPECT_NE(nullptr, std::strstr(text, " vantiro:root\n"));
  EXPECT_EQ(-1, vantiro_key_text(f.key, 9, "", text, sizeof text, &len));
  EXPECT_EQ(-1, vantiro_key_text(f.key, VANTIRO_FORMAT_PEM, "", text, 40, &len));
  uint8_t sig[64];
  for (const char* ns : {"", "two words", "\x7f"})
    EXPECT_EQ(-1, vantiro_sign_prehashed(f.root, f.key, VANTIRO_FORMAT_OPENSSH, f.digest, ns,
                                         nullptr, text, sizeof text, &len, sig))
        << ns;
  EXPECT_EQ(-1, vantiro_sign_prehashed(f.root, f.key, VANTIRO_FORMAT_MINISIGN, f.digest, nullptr,
                                       "line\nbreak", text, sizeof text, &len, sig));
  uint8_t wrong_key[32];
  std::memcpy(wrong_key, f.key, 32);
  wrong_key[0] ^= 1;
  EXPECT_EQ(-4, vantiro_sign_prehashed(f.root, wrong_key, VANTIRO_FORMAT_OPENSSH, f.digest,
                                       "file", nullptr, text, sizeof text, &len, sig));
}

}  // namespace
