// Share texts and age shares: made only by their own root, read back strictly, signed over
// every byte, and an age share opened only by its custodian into the share text it holds.
#include <gtest/gtest.h>

#include <string>

#include "core_support.h"

namespace {

struct Texts {
  uint8_t root[64];
  std::vector<uint8_t> records = std::vector<uint8_t>(3 * VANTIRO_RECORD_SIZE);
  uint8_t split[VANTIRO_SPLIT_ID_SIZE] = {9, 8, 7};
  uint8_t sk[32];
  uint8_t pk[32];
  char text[VANTIRO_SHARE_TEXT_MAX];
  size_t len = 0;
  uint8_t age[VANTIRO_SEALED_TEXT_MAX];
  size_t age_len = 0;
  Texts() {
    uint8_t key[32];
    EXPECT_EQ(0, ed25519_keypair(key, root));
    EXPECT_EQ(0, vantiro_split(3, 2, root, records.data()));
    EXPECT_EQ(0, vantiro_custodian_keygen(sk, pk));
    EXPECT_EQ(0, vantiro_share_text_make(root, split, 2, records.data() + VANTIRO_RECORD_SIZE, text,
                                         sizeof text, &len));
    EXPECT_EQ(0, vantiro_share_seal(VANTIRO_FORM_AGE, root, split, 2, records.data(), pk, nullptr, age,
                                    sizeof age, &age_len));
  }
  int parse(const std::string& t, vantiro_share_text* s) const {
    return vantiro_share_text_parse(reinterpret_cast<const uint8_t*>(t.data()), t.size(), s);
  }
};

TEST(VantiroShareText, ReadStrictlyAndOnlyUnderItsRootsSignature) {
  Texts m;
  const std::string text(m.text, m.len);
  vantiro_share_text s;
  ASSERT_EQ(0, m.parse(text, &s));
  EXPECT_EQ(0, std::memcmp(s.key, m.root + 32, 32));
  EXPECT_EQ(0, std::memcmp(s.record, m.records.data() + VANTIRO_RECORD_SIZE, VANTIRO_RECORD_SIZE));
  EXPECT_EQ(2, s.x);
  EXPECT_EQ(2, s.threshold);
  // A changed digit of a hex value is no longer signed (the record's x digits excepted:
  // they must equal the share line); anywhere else it is no longer the layout.
  for (size_t at = 0; at < text.size(); at += 3) {
    std::string t = text;
    if (std::isxdigit(static_cast<unsigned char>(t[at])) == 0) continue;
    t[at] = t[at] == '0' ? '1' : '0';
    const size_t line = text.rfind('\n', at - 1) + 1;
    const size_t colon = text.find(": ", line);
    const bool x_digits = text.compare(line, 8, "record: ") == 0 && at < colon + 4;
    const bool hex_value = at > colon && !x_digits && text.compare(line, 5, "share") != 0 &&
                           text.compare(line, 9, "threshold") != 0;
    EXPECT_EQ(hex_value ? -3 : -1, m.parse(t, &s)) << at;
  }
  const size_t sig_at = text.find("signature: ");
  const struct {
    const char* what;
    std::string t;
  } rows[] = {
      {"CRLF", [&] {
         std::string t;
         for (char c : text) t += c == '\n' ? std::string("\r\n") : std::string(1, c);
         return t;
       }()},
      {"no final line feed", text.substr(0, text.size() - 1)},
      {"a line more", text + "\n"},
      {"upper-case hex", text.substr(0, sig_at + 11) + "A" + text.substr(sig_at + 12)},
      {"over 1 KiB", text + std::string(VANTIRO_SHARE_TEXT_MAX, 'x')},
      {"a sealed share's head", "vantiro sealed share v1" + text.substr(text.find('\n'))},
  };
  for (const auto& r : rows) EXPECT_EQ(-1, m.parse(r.t, &s)) << r.what;

  // Made only by a root whose halves agree, for a share with x, under a threshold of 2..16.
  uint8_t mixed[64];
  std::memcpy(mixed, m.root, 64);
  mixed[40] ^= 1;
  uint8_t zero_x[VANTIRO_RECORD_SIZE];
  std::memcpy(zero_x, m.records.data(), sizeof zero_x);
  zero_x[0] = 0;
  char out[VANTIRO_SHARE_TEXT_MAX];
  size_t len = 0;
  const uint8_t* rec = m.records.data();
  EXPECT_EQ(-3, vantiro_share_text_make(mixed, m.split, 2, rec, out, sizeof out, &len));
  EXPECT_EQ(-1, vantiro_share_text_make(m.root, m.split, 2, zero_x, out, sizeof out, &len));
  EXPECT_EQ(-1, vantiro_share_text_make(m.root, m.split, 17, rec, out, sizeof out, &len));
  EXPECT_EQ(-1, vantiro_share_text_make(m.root, m.split, 2, rec, out, m.len - 1, &len));
}

TEST(VantiroAgeShare, OpensWithItsCustodiansKeyIntoTheShareText) {
  Texts m;
  uint8_t other_sk[32], other_pk[32];
  ASSERT_EQ(0, vantiro_custodian_keygen(other_sk, other_pk));
  uint8_t keys[2][32];
  std::memcpy(keys[0], other_sk, 32);
  std::memcpy(keys[1], m.sk, 32);
  vantiro_share_text s{};
  int which = -1;
  ASSERT_EQ(VANTIRO_AGE_SHARE_OPENED, vantiro_age_share_open(m.age, m.age_len, keys, 2, &s, &which));
  EXPECT_EQ(1, which);
  EXPECT_EQ(1, s.x);
  EXPECT_EQ(0, std::memcmp(s.record, m.records.data(), VANTIRO_RECORD_SIZE));

  // Each fault is told apart; out is written only when the share opened.
  std::vector<uint8_t> mac(m.age, m.age + m.age_len), payload = mac;
  const size_t mac_at = std::string(mac.begin(), mac.end()).find("\n--- ") + 5;
  mac[mac_at] = mac[mac_at] == 'A' ? 'B' : 'A';
  payload.back() ^= 1;
  std::vector<uint8_t> hello(VANTIRO_SEALED_TEXT_MAX);
  size_t hello_len = 0;
  ASSERT_EQ(AGE_OK, age_encrypt_x25519(m.pk, reinterpret_cast<const uint8_t*>("hello\n"), 6,
                                       hello.data(), hello.size(), &hello_len));
  hello.resize(hello_len);
  const struct {
    const char* what;
    std::vector<uint8_t> file;
    int count;
    int want;
  } rows[] = {
      {"another custodian's key", {m.age, m.age + m.age_len}, 1, VANTIRO_AGE_SHARE_NO_KEY},
      {"header MAC", mac, 2, VANTIRO_AGE_SHARE_HMAC},
      {"payload", payload, 2, VANTIRO_AGE_SHARE_PAYLOAD},
      {"not a share text", hello, 2, VANTIRO_AGE_SHARE_NOT_SHARE},
      {"cut in the header", {m.age, m.age + 40}, 2, VANTIRO_AGE_SHARE_HEADER},
  };
  for (const auto& r : rows) {
    vantiro_share_text untouched{};
    untouched.x = 77;
    EXPECT_EQ(r.want, vantiro_age_share_open(r.file.data(), r.file.size(), keys, r.count,
                                             &untouched, nullptr))
        << r.what;
    EXPECT_EQ(77, untouched.x) << r.what;
  }
  EXPECT_EQ(-1, vantiro_share_seal(VANTIRO_FORM_AGE, m.root, m.split, 2, m.records.data(),
                                   vt::from_hex(std::string(64, '0')).data(), nullptr, m.age,
                                   sizeof m.age, &m.age_len));
  secure_zero(m.sk, sizeof m.sk);
  secure_zero(keys, sizeof keys);
}

}  // namespace
