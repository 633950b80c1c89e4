// OpenPGP ASCII armor and CRC-24: the CRC's catalogue check value, the armored sample key
// of RFC 9580 appendix A.1, round trips at the line-length edges, and a table of texts to
// read or refuse (header lines, CRLF, whitespace, a wrong checksum, stray text).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "crypt.h"
#include "test_support.h"

namespace {

using vt::bytes;

// The bytes the armored text decodes to, or "refused" (after checking out was left zeroed).
std::string dearmor(const std::string& text, int kind = OPENPGP_ARMOR_PUBLIC_KEY,
                    size_t cap = 256) {
  bytes out(cap, 0x5a);
  size_t n = 99;
  if (openpgp_dearmor(reinterpret_cast<const uint8_t*>(text.data()), text.size(), kind, out.data(),
                      out.size(), &n) != 0) {
    EXPECT_EQ(n, 0u);
    for (uint8_t b : out) {
      if (b != 0 && b != 0x5a) {
        ADD_FAILURE() << "bytes left after refusing " << text;
        break;
      }
    }
    return "refused";
  }
  return vt::to_hex(out.data(), n);
}

// RFC 9580, appendix A.1: the sample v4 Ed25519Legacy public key packet.
const char kSampleKey[] =
    "98330453f35f0b16092b06010401da470f010107403f098994bdd916ed4053197934e4a87c80733a1280d62f80"
    "10992e43ee3b2406";
const char kSampleArmor[] =
    "-----BEGIN PGP PUBLIC KEY BLOCK-----\n"
    "\n"
    "xjMEU/NfCxYJKwYBBAHaRw8BAQdAPwmJlL3ZFu1AUxl5NOSofIBzOhKA1i+AEJku\n"
    "Q+47JAY=\n"
    "-----END PGP PUBLIC KEY BLOCK-----\n";

TEST(OpenpgpArmor, Crc24) {
  EXPECT_EQ(crc24_openpgp(nullptr, 0), 0xB704CEu);
  EXPECT_EQ(crc24_openpgp(reinterpret_cast<const uint8_t*>("123456789"), 9), 0x21CF02u);
}

TEST(OpenpgpArmor, ReadsAndRefuses) {
  // The A.1 text is the packet in the new format (0xc6), not the 0x98 shown in hex.
  const std::string body = std::string("c633") + (kSampleKey + 4);
  const std::string b64 =
      "xjMEU/NfCxYJKwYBBAHaRw8BAQdAPwmJlL3ZFu1AUxl5NOSofIBzOhKA1i+AEJku\n"
      "Q+47JAY=\n";
  const std::string begin = "-----BEGIN PGP PUBLIC KEY BLOCK-----\n";
  const std::string end = "-----END PGP PUBLIC KEY BLOCK-----\n";
  char armored[512];
  size_t n = 0;
  const bytes raw = vt::from_hex(body);
  ASSERT_EQ(
      openpgp_armor(raw.data(), raw.size(), OPENPGP_ARMOR_PUBLIC_KEY, armored, sizeof armored, &n),
      0);
  const std::string written(armored, n);
  const std::string crc_line = written.substr(written.rfind("\n=") + 1, 6);

  struct Row {
    const char* what;
    std::string text;
    bool ok;
  };
  const Row rows[] = {
      {"sample without checksum", kSampleArmor, true},
      {"sample with checksum", begin + "\n" + b64 + crc_line + end, true},
      {"header lines", begin + "Version: x\nComment: a: b\n\n" + b64 + end, true},
      {"CRLF and surrounding whitespace",
       "\r\n  " + begin.substr(0, begin.size() - 1) + " \r\n\r\n" +
           "xjMEU/NfCxYJKwYBBAHaRw8BAQdAPwmJlL3ZFu1AUxl5NOSofIBzOhKA1i+AEJku\r\nQ+47JAY=\r\n" +
           crc_line.substr(0, 5) + "\r\n" + end.substr(0, end.size() - 1) + "\r\n\t\n",
       true},
      {"other line lengths, spaces inside",
       begin + "\nxjMEU/NfC xYJKwYBBAHaRw8BA\nQdAPwmJlL3ZFu1AUxl5NOSofIBzOhKA1i+AEJkuQ+47J\nAY=\n" +
           end,
       true},
      {"wrong checksum", begin + "\n" + b64 + "=AAAA\n" + end, false},
      {"checksum not last", begin + "\n" + crc_line + b64 + end, false},
      {"line over 76", begin + "\n" + std::string(80, 'A') + "\n" + end, false},
      {"data after padding", begin + "\n" + b64 + "AAAA\n" + end, false},
      {"incomplete group", begin + "\nxjMEU/Nf\nCxY\n" + end, false},
      {"other label", "-----BEGIN PGP MESSAGE-----\n\n" + b64 + "-----END PGP MESSAGE-----\n",
       false},
      {"END of another label", begin + "\n" + b64 + "-----END PGP MESSAGE-----\n", false},
      {"no END line", begin + "\n" + b64, false},
      {"text after END", begin + "\n" + b64 + end + "x\n", false},
      {"text before BEGIN", "x\n" + begin + "\n" + b64 + end, false},
      {"text after BEGIN", begin.substr(0, begin.size() - 1) + "x\n\n" + b64 + end, false},
      {"not base64", begin + "\nxjME*/Nf\n" + end, false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(dearmor(r.text), r.ok ? body : "refused") << r.what;
  }
  // Too small an output buffer is refused, not truncated.
  EXPECT_EQ(dearmor(kSampleArmor, OPENPGP_ARMOR_PUBLIC_KEY, raw.size() - 1), "refused");
  EXPECT_EQ(openpgp_is_armored(reinterpret_cast<const uint8_t*>(kSampleArmor),
                               sizeof kSampleArmor - 1, OPENPGP_ARMOR_PUBLIC_KEY),
            1);
  EXPECT_EQ(openpgp_is_armored(reinterpret_cast<const uint8_t*>(kSampleArmor),
                               sizeof kSampleArmor - 1, OPENPGP_ARMOR_MESSAGE),
            0);
}

TEST(OpenpgpArmor, RoundTrips) {
  for (int kind : {OPENPGP_ARMOR_PUBLIC_KEY, OPENPGP_ARMOR_MESSAGE}) {
    for (size_t len : {size_t{0}, size_t{1}, size_t{47}, size_t{48}, size_t{49}, size_t{200}}) {
      const bytes data = vt::pseudo_random(len, len + 7);
      std::string text(700, '\0');
      size_t n = 0;
      ASSERT_EQ(openpgp_armor(data.data(), data.size(), kind, text.data(), text.size(), &n), 0);
      EXPECT_EQ(text[n], '\0');
      text.resize(n);
      // 64 columns, the checksum line before the END line.
      size_t longest = 0, at = 0;
      for (size_t nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1) {
        if (text[at] != '-') longest = std::max(longest, nl - at);
      }
      EXPECT_EQ(longest, len >= 48 ? 64u : std::max<size_t>(5, (len + 2) / 3 * 4)) << len;
      EXPECT_EQ(dearmor(text, kind, 256), vt::to_hex(data)) << len;
      // One byte short of the text and its NUL is refused.
      std::string small(n, '\0');
      EXPECT_EQ(openpgp_armor(data.data(), data.size(), kind, small.data(), n, &n), -1);
    }
  }
}

}  // namespace
