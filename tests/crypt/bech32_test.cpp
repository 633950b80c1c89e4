// Bech32 and base64: BIP 173's valid and invalid strings, the padding rules, round trips in
// both cases and past 90 characters, buffer refusals, canonical-only base64, and the age
// key strings built on Bech32.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "crypt.h"
#include "test_support.h"

namespace {

using vt::bytes;

// The data of s, or "refused" (after checking that the refusal left data zeroed).
std::string decode(const std::string& s, size_t cap = 600, std::string* hrp_out = nullptr) {
  char hrp[100];
  bytes data(cap, 0x5a);
  size_t n = 99;
  if (bech32_decode(s.data(), s.size(), hrp, sizeof hrp, data.data(), data.size(), &n) != 0) {
    EXPECT_EQ(data, bytes(cap, 0)) << "data left after refusing " << s;
    return "refused";
  }
  if (hrp_out != nullptr) *hrp_out = hrp;
  return vt::to_hex(data.data(), n);
}

std::string encode(const std::string& hrp, const bytes& data, int upper) {
  char out[1000];
  return bech32_encode(hrp.c_str(), data.data(), data.size(), upper, out, sizeof out) == 0 ? out : "refused";
}

// "a1" + the 5-bit groups + their checksum, computed here as BIP 173 describes it, so the
// padding rules can be tried on strings whose checksum is right.
std::string with_checksum(const std::vector<uint8_t>& groups) {
  const char* alphabet = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";
  const uint32_t gen[5] = {0x3b6a57b2, 0x26508e6d, 0x1ea119fa, 0x3d4233dd, 0x2a1462b3};
  std::vector<uint8_t> values = {3, 0, 1};  // the expanded hrp "a"
  values.insert(values.end(), groups.begin(), groups.end());
  values.insert(values.end(), 6, 0);
  uint32_t chk = 1;
  for (uint8_t v : values) {
    const uint32_t top = chk >> 25;
    chk = (chk & 0x1ffffff) << 5 ^ v;
    for (int i = 0; i < 5; ++i) chk ^= (top >> i & 1) ? gen[i] : 0;
  }
  std::string s = "a1";
  for (uint8_t g : groups) s += alphabet[g];
  for (int i = 0; i < 6; ++i) s += alphabet[(chk ^ 1) >> (5 * (5 - i)) & 31];
  return s;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return s;
}

TEST(Bech32, Bip173Strings) {
  const std::string valid[] = {
      "A12UEL5L",
      "a12uel5l",
      "an83characterlonghumanreadablepartthatcontainsthenumber1andtheexcludedcharactersbio1tt5tgs",
      "abcdef1qpzry9x8gf2tvdw0s3jn54khce6mua7lmqqqxw",
      "11qqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqc8247j",
      "split1checkupstagehandshakeupstreamerranterredcaperred2y9e3w",
      "?1ezyfcl",
  };
  for (const std::string& s : valid) {
    std::string hrp;
    const std::string data = decode(s, 600, &hrp);
    ASSERT_NE(data, "refused") << s;
    EXPECT_EQ(hrp, lower(s.substr(0, s.rfind('1'))));
    EXPECT_EQ(encode(hrp, vt::from_hex(data), s[0] == 'A'), s);
    // Any one data or checksum character changed breaks the checksum.
    for (size_t i = s.rfind('1') + 1; i < s.size(); ++i) {
      std::string t = s;
      t[i] = t[i] == 'q' ? 'p' : t[i] == 'Q' ? 'P' : s[0] == 'A' ? 'Q' : 'q';
      EXPECT_EQ(decode(t), "refused") << t;
    }
  }
  EXPECT_EQ(decode(valid[3]), "00443214c74254b635cf84653a56d7c675be77df");

  const std::string invalid[] = {
      "\0401nwldj5",
      "\1771axkwrx",
      "\2001eym55h",  // hrp characters out of range
      "an84characterslonghumanreadablepartthatcontainsthenumber1andtheexcludedcharactersbio1569pvx",
      "pzry9x0s0muk",
      "1pzry9x0s0muk",
      "x1b4n0q5v",
      "li1dgmt3",
      "de1lg7wt\xff",
      "A1G7SGD8",  // checksum made over the upper-case hrp
      "10a06t8",
      "1qzzfhee",
      "tb1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3q0sL5k7",  // mixed case
      "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t5",                      // wrong checksum
  };
  for (const std::string& s : invalid) EXPECT_EQ(decode(s), "refused") << s;
}

// The bits left after the last whole byte: at most 4, all zero.
TEST(Bech32, PaddingBits) {
  const std::pair<std::vector<uint8_t>, std::string> rows[] = {
      {{}, ""},
      {{31}, "refused"},
      {{31, 28}, "ff"},
      {{31, 29}, "refused"},
      {{31, 31, 0}, "refused"},
      {{31, 31, 31, 16}, "ffff"},
      {{31, 31, 31, 17}, "refused"},
  };
  for (const auto& [groups, want] : rows) EXPECT_EQ(decode(with_checksum(groups)), want) << with_checksum(groups);
}

TEST(Bech32, RoundTripsAndBufferLimits) {
  for (size_t len : {0, 1, 4, 5, 32, 33, 100, 500}) {
    const bytes data = vt::pseudo_random(len, len);
    const std::string lo = encode("age-secret-key-", data, 0), up = encode("age-secret-key-", data, 1);
    EXPECT_EQ(lo, lower(up));
    EXPECT_EQ(lo.size(), 16 + (len * 8 + 4) / 5 + 6);
    EXPECT_EQ(decode(lo), vt::to_hex(data));
    EXPECT_EQ(decode(up), vt::to_hex(data));
  }
  const bytes data = vt::pseudo_random(32, 7);
  for (const std::string& hrp : std::vector<std::string>{"", "Age", "a b", "a\x7f", "\200", std::string(84, 'a')}) {
    EXPECT_EQ(encode(hrp, data, 0), "refused") << hrp;
  }
  EXPECT_EQ(encode(std::string(83, 'a'), data, 0).size(), 83 + 1 + 52 + 6u);
  char out[63];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(bech32_encode("age", data.data(), 32, 0, out, 62), -1);
  EXPECT_EQ(std::string(out, sizeof out), std::string(63, 'x'));
  EXPECT_EQ(bech32_encode("age", data.data(), 32, 0, out, 63), 0);
  EXPECT_EQ(decode(out, 32), vt::to_hex(data));
  EXPECT_EQ(decode(out, 31), "refused");
  char hrp[4];
  uint8_t buf[32];
  size_t n = 0;
  EXPECT_EQ(bech32_decode(out, 62, hrp, 3, buf, sizeof buf, &n), -1);
}

TEST(Base64, Rfc4648ExamplesAndNonCanonicalText) {
  const std::string text = "foobar", padded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
  for (size_t len = 0; len <= text.size(); ++len) {
    const std::string raw = padded[len].substr(0, padded[len].find('='));
    for (int pad : {1, 0}) {
      const std::string& form = pad ? padded[len] : raw;
      char out[16];
      uint8_t back[8];
      size_t n = 0;
      ASSERT_EQ(base64_encode(reinterpret_cast<const uint8_t*>(text.data()), len, pad, out, form.size() + 1, &n), 0);
      EXPECT_EQ(std::string(out, n + 1), form + '\0');
      EXPECT_EQ(base64_encode(reinterpret_cast<const uint8_t*>(text.data()), len, pad, out, form.size(), &n), -1);
      ASSERT_EQ(base64_decode(form.data(), form.size(), pad, back, len, &n), 0) << form;
      EXPECT_EQ(std::string(reinterpret_cast<char*>(back), n), text.substr(0, len));
      EXPECT_EQ(base64_decode(form.data(), form.size(), pad, back, len - (len > 0), &n), len > 0 ? -1 : 0);
      // The other form is refused, where the two differ.
      EXPECT_EQ(base64_decode(form.data(), form.size(), !pad, back, 8, &n), len % 3 == 0 ? 0 : -1);
    }
  }
  const std::pair<const char*, int> refused[] = {
      {"Zh==", 1}, {"Zm9=", 1}, {"Zh", 0},  {"Zm9", 0},  {"Z", 0},        {"Zm9vY", 0},  {"Z===", 1},  {"====", 1},
      {"Zg=", 1},  {"Zg", 1},   {"Zg=", 0}, {"Zm=v", 1}, {"Zg==Zg==", 1}, {"Zm9v\n", 0}, {" Zm9v", 0}, {"Zm-v", 0},
  };
  for (const auto& [in, pad] : refused) {
    uint8_t out[8] = {};
    size_t n = 0;
    EXPECT_EQ(base64_decode(in, std::strlen(in), pad, out, sizeof out, &n), -1) << in;
    EXPECT_EQ(vt::to_hex(out, sizeof out), std::string(16, '0')) << in;
  }
}

// The key strings of the age format text: an identity and the recipient of its public key.
TEST(AgeKeys, IdentityAndRecipientStrings) {
  const std::string identity = "AGE-SECRET-KEY-1GFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPQ4EGAEX";
  const std::string recipient = "age1zvkyg2lqzraa2lnjvqej32nkuu0ues2s82hzrye869xeexvn73equnujwj";
  uint8_t sk[32], pk[32], pk_back[32];
  ASSERT_EQ(age_identity_decode(lower(identity).data(), identity.size(), sk), 0);
  ASSERT_EQ(age_identity_decode(identity.data(), identity.size(), sk), 0);
  EXPECT_EQ(bytes(sk, sk + 32), bytes(32, 0x42));  // "GFPYYSJZ" is 0x42 0x42 0x42 0x42 0x42
  x25519_public_key(pk, sk);
  char out[AGE_IDENTITY_SIZE];
  age_identity_encode(sk, out);
  EXPECT_EQ(out, identity);
  age_recipient_encode(pk, out);
  EXPECT_EQ(out, recipient);
  ASSERT_EQ(age_recipient_decode(recipient.data(), recipient.size(), pk_back), 0);
  EXPECT_EQ(vt::to_hex(pk_back, 32), vt::to_hex(pk, 32));

  // Each decoder takes only its own kind and length; a refused identity leaves zeros.
  const std::string refused[] = {recipient, encode("age-secret-key-", bytes(31, 1), 1),
                                 encode("age-secret-key-", bytes(33, 1), 1)};
  for (const std::string& s : refused) {
    std::memset(sk, 0x77, sizeof sk);
    EXPECT_EQ(age_identity_decode(s.data(), s.size(), sk), -1) << s;
    EXPECT_EQ(bytes(sk, sk + 32), bytes(32, 0));
  }
  EXPECT_EQ(age_recipient_decode(identity.data(), identity.size(), pk_back), -1);
}

}  // namespace
