// Bech32 and base64: BIP 173's valid and invalid strings, round trips in both cases and
// beyond 90 characters, the buffer refusals, the canonical-only base64 decoding, and the
// age key strings built on Bech32.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "crypt.h"
#include "test_support.h"

namespace {

using vt::bytes;

struct Decoded {
  int rc;
  std::string hrp;
  bytes data;
};

Decoded decode(const std::string& s, size_t data_cap = 200) {
  char hrp[100];
  bytes data(data_cap, 0x5a);
  size_t n = 99;
  const int rc = bech32_decode(s.data(), s.size(), hrp, sizeof hrp, data.data(), data.size(), &n);
  if (rc != 0) {
    EXPECT_EQ(data, bytes(data_cap, 0)) << "data left after a refusal";
    return {rc, "", {}};
  }
  data.resize(n);
  return {rc, hrp, data};
}

std::string encode(const std::string& hrp, const bytes& data, int upper) {
  char out[1000];
  if (bech32_encode(hrp.c_str(), data.data(), data.size(), upper, out, sizeof out) != 0) return "refused";
  return out;
}

// "<hrp>1" + the 5-bit groups + their checksum, computed here as BIP 173 describes it, so
// the padding rules can be tried on strings whose checksum is right.
std::string with_checksum(const std::string& hrp, const std::vector<uint8_t>& groups) {
  const char* alphabet = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";
  std::vector<uint8_t> values;
  for (char c : hrp) values.push_back(static_cast<uint8_t>(c >> 5));
  values.push_back(0);
  for (char c : hrp) values.push_back(static_cast<uint8_t>(c & 31));
  values.insert(values.end(), groups.begin(), groups.end());
  values.insert(values.end(), 6, 0);
  uint32_t chk = 1;
  for (uint8_t v : values) {
    const uint32_t top = chk >> 25;
    chk = (chk & 0x1ffffff) << 5 ^ v;
    const uint32_t gen[5] = {0x3b6a57b2, 0x26508e6d, 0x1ea119fa, 0x3d4233dd, 0x2a1462b3};
    for (int i = 0; i < 5; ++i) chk ^= (top >> i & 1) ? gen[i] : 0;
  }
  chk ^= 1;
  std::string s = hrp + "1";
  for (uint8_t g : groups) s += alphabet[g];
  for (int i = 0; i < 6; ++i) s += alphabet[chk >> (5 * (5 - i)) & 31];
  return s;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return s;
}

TEST(Bech32, Bip173ValidStringsDecodeAndEncodeBack) {
  const char* valid[] = {
      "A12UEL5L",
      "a12uel5l",
      "an83characterlonghumanreadablepartthatcontainsthenumber1andtheexcludedcharactersbio1tt5tgs",
      "abcdef1qpzry9x8gf2tvdw0s3jn54khce6mua7lmqqqxw",
      "11qqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqc8247j",
      "split1checkupstagehandshakeupstreamerranterredcaperred2y9e3w",
      "?1ezyfcl",
  };
  for (const std::string s : valid) {
    SCOPED_TRACE(s);
    const Decoded d = decode(s);
    ASSERT_EQ(d.rc, 0);
    EXPECT_EQ(d.hrp, lower(s.substr(0, s.rfind('1'))));
    const bool upper = s[0] == 'A';
    EXPECT_EQ(encode(d.hrp, d.data, upper ? 1 : 0), s);
    // Any one data or checksum character changed breaks the checksum.
    for (size_t i = s.rfind('1') + 1; i < s.size(); ++i) {
      std::string t = s;
      t[i] = lower(t.substr(i, 1)) == "q" ? (upper ? 'P' : 'p') : (upper ? 'Q' : 'q');
      EXPECT_NE(decode(t).rc, 0) << t;
    }
  }
  EXPECT_EQ(vt::to_hex(decode("abcdef1qpzry9x8gf2tvdw0s3jn54khce6mua7lmqqqxw").data),
            "00443214c74254b635cf84653a56d7c675be77df");
}

TEST(Bech32, Bip173InvalidStrings) {
  const std::string invalid[] = {
      "\0401nwldj5",  // hrp characters out of range: 0x20, 0x7f, 0x80
      "\1771axkwrx",
      "\2001eym55h",
      "an84characterslonghumanreadablepartthatcontainsthenumber1andtheexcludedcharactersbio1569pvx",
      "pzry9x0s0muk",   // no separator
      "1pzry9x0s0muk",  // empty hrp
      "x1b4n0q5v",      // invalid data character
      "li1dgmt3",       // checksum too short
      "de1lg7wt\xff",
      "A1G7SGD8",  // checksum made over the upper-case hrp
      "10a06t8",
      "1qzzfhee",
      "tb1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3q0sL5k7",  // mixed case
      "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t5",                      // wrong checksum
  };
  for (const std::string& s : invalid) EXPECT_NE(decode(s).rc, 0) << s;
}

// The groups left over after the last whole byte: at most 4 bits, all zero.
TEST(Bech32, PaddingBits) {
  struct {
    std::vector<uint8_t> groups;
    const char* bytes_hex;  // nullptr: refused
  } rows[] = {
      {{}, ""},
      {{31}, nullptr},             // 5 bits: no byte, too much padding
      {{31, 28}, "ff"},            // 10 bits: one byte and 2 zero bits
      {{31, 29}, nullptr},         // ... with a padding bit set
      {{31, 31, 0}, nullptr},      // 15 bits: one byte and 7 bits
      {{31, 31, 31, 16}, "ffff"},  // 20 bits: two bytes and 4 zero bits
      {{31, 31, 31, 17}, nullptr},
      {{31, 31, 31, 31, 31, 31, 31, 31}, "ffffffffff"},
  };
  for (const auto& row : rows) {
    const std::string s = with_checksum("a", row.groups);
    const Decoded d = decode(s);
    if (row.bytes_hex == nullptr) {
      EXPECT_NE(d.rc, 0) << s;
    } else {
      EXPECT_EQ(d.rc, 0) << s;
      EXPECT_EQ(vt::to_hex(d.data), row.bytes_hex) << s;
    }
  }
}

TEST(Bech32, RoundTripsBeyondNinetyCharactersInBothCases) {
  for (size_t len : {0, 1, 4, 5, 31, 32, 33, 100, 500}) {
    SCOPED_TRACE(len);
    const bytes data = vt::pseudo_random(len, len);
    const std::string lo = encode("age-secret-key-", data, 0), up = encode("age-secret-key-", data, 1);
    EXPECT_EQ(lo, lower(up));
    EXPECT_EQ(lo.size(), 16 + (len * 8 + 4) / 5 + 6);
    for (const std::string& s : {lo, up}) {
      const Decoded d = decode(s, 600);
      ASSERT_EQ(d.rc, 0);
      EXPECT_EQ(d.hrp, "age-secret-key-");
      EXPECT_EQ(d.data, data);
    }
  }
}

TEST(Bech32, RefusedArgumentsAndBuffers) {
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

  const std::string s = encode("age", data, 0);
  EXPECT_EQ(decode(s, 32).rc, 0);
  EXPECT_EQ(decode(s, 31).rc, -1);
  char hrp[4];
  uint8_t buf[32];
  size_t n = 0;
  EXPECT_EQ(bech32_decode(s.data(), s.size(), hrp, 3, buf, sizeof buf, &n), -1);
  EXPECT_EQ(bech32_decode(s.data(), s.size(), hrp, 4, buf, sizeof buf, &n), 0);
}

TEST(Base64, EncodesRfc4648ExamplesPaddedAndUnpadded) {
  const char* padded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
  const std::string text = "foobar";
  for (size_t len = 0; len <= text.size(); ++len) {
    const std::string want = padded[len];
    const std::string raw = want.substr(0, want.find('='));
    const auto* in = reinterpret_cast<const uint8_t*>(text.data());
    for (int pad : {1, 0}) {
      const std::string& form = pad ? want : raw;
      SCOPED_TRACE(form);
      char out[16];
      size_t n = 0;
      ASSERT_EQ(base64_encode(in, len, pad, out, form.size() + 1, &n), 0);
      EXPECT_EQ(std::string(out, n), form);
      EXPECT_EQ(out[n], '\0');
      EXPECT_EQ(base64_encode(in, len, pad, out, form.size(), &n), -1);
      uint8_t back[8];
      ASSERT_EQ(base64_decode(form.data(), form.size(), pad, back, len, &n), 0);
      EXPECT_EQ(std::string(reinterpret_cast<char*>(back), n), text.substr(0, len));
      if (len > 0) {
        EXPECT_EQ(base64_decode(form.data(), form.size(), pad, back, len - 1, &n), -1);
      }
      // The other form is refused, except where the two are the same text.
      if (want != raw) {
        EXPECT_EQ(base64_decode(form.data(), form.size(), !pad, back, 8, &n), -1);
      }
    }
  }
}

TEST(Base64, RefusesNonCanonicalText) {
  struct {
    const char* in;
    int pad;
  } rows[] = {
      {"Zh==", 1},     {"Zm9=", 1},  {"Zh", 0},   {"Zm9", 0},   // non-zero unused bits
      {"Z", 0},        {"Zm9vY", 0}, {"Z===", 1}, {"====", 1},  // a lone character
      {"Zg=", 1},      {"Zg", 1},    {"Zg=", 0},                // padding missing or present
      {"Zg==Zg==", 1}, {"Zm=v", 1},                             // '=' inside
      {"Zm9v\n", 0},   {" Zm9v", 0}, {"Zm-v", 0}, {"Zm_v", 0},  // outside the alphabet
  };
  for (const auto& row : rows) {
    uint8_t out[8] = {};
    size_t n = 0;
    EXPECT_EQ(base64_decode(row.in, std::strlen(row.in), row.pad, out, sizeof out, &n), -1) << row.in;
    EXPECT_EQ(vt::to_hex(out, sizeof out), std::string(16, '0')) << row.in;
  }
}

// The key strings of the age format text: an identity and the recipient of its public key.
TEST(AgeKeys, IdentityAndRecipientStrings) {
  const std::string identity = "AGE-SECRET-KEY-1GFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPQ4EGAEX";
  const std::string recipient = "age1zvkyg2lqzraa2lnjvqej32nkuu0ues2s82hzrye869xeexvn73equnujwj";
  uint8_t sk[32], pk[32], pk_back[32];
  ASSERT_EQ(age_identity_decode(identity.data(), identity.size(), sk), 0);
  ASSERT_EQ(age_identity_decode(lower(identity).data(), identity.size(), sk), 0);
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
  const bytes short_key = vt::pseudo_random(31, 1);
  char other[100];
  bech32_encode("age-secret-key-", short_key.data(), short_key.size(), 1, other, sizeof other);
  const std::string refused[] = {recipient, other, identity.substr(0, identity.size() - 1) + "Y",
                                 "AGE-SECRET-KEY-PQ-1XX76JRALNLXDMEW0CRK45QMCCH4X06SE84UN3VPM33W6HWDX0H3SK3ZQFR"};
  for (const std::string& s : refused) {
    std::memset(sk, 0x77, sizeof sk);
    EXPECT_EQ(age_identity_decode(s.data(), s.size(), sk), -1) << s;
    EXPECT_EQ(vt::to_hex(sk, 32), std::string(64, '0'));
  }
  EXPECT_EQ(age_recipient_decode(identity.data(), identity.size(), pk_back), -1);
}

}  // namespace
