// Sealed shares: made only by their own root for a usable custodian key, read back
// strictly, opened only by the custodian, and holding exactly the record they name.
#include <gtest/gtest.h>

#include <string>

#include "core_support.h"

namespace {

struct Sealed {
  uint8_t root[64];
  std::vector<uint8_t> records = std::vector<uint8_t>(3 * VANTIRO_RECORD_SIZE);
  uint8_t split[VANTIRO_SPLIT_ID_SIZE] = {1, 2, 3};
  uint8_t sk[32];
  uint8_t pk[32];
  char text[VANTIRO_SEALED_TEXT_MAX];
  size_t len = 0;
  Sealed() {
    uint8_t key[32];
    EXPECT_EQ(0, ed25519_keypair(key, root));
    EXPECT_EQ(0, vantiro_split(3, 2, root, records.data()));
    EXPECT_EQ(0, vantiro_custodian_keygen(sk, pk));
    EXPECT_EQ(0, vantiro_sealed_share_make(root, split, 2, records.data() + VANTIRO_RECORD_SIZE,
                                           pk, text, sizeof text, &len));
  }
  int parse(const std::string& t, vantiro_sealed_share* s) const {
    return vantiro_sealed_share_parse(reinterpret_cast<const uint8_t*>(t.data()), t.size(), s);
  }
};

TEST(VantiroSealedShare, OpensForItsCustodianAloneIntoTheRecordItNames) {
  Sealed m;
  const std::string text(m.text, m.len);
  vantiro_sealed_share s;
  ASSERT_EQ(0, m.parse(text, &s));
  EXPECT_EQ(0, std::memcmp(s.key, m.root + 32, 32));
  EXPECT_EQ(2, s.threshold);
  EXPECT_EQ(2, s.x);
  uint8_t rec[VANTIRO_RECORD_SIZE];
  ASSERT_EQ(0, vantiro_sealed_share_open(&s, m.sk, rec));
  EXPECT_EQ(0, std::memcmp(rec, m.records.data() + VANTIRO_RECORD_SIZE, sizeof rec));

  // Another custodian's key is refused before anything is tried; a changed ciphertext or
  // header (HPKE's info) does not open, and leaves the output alone.
  uint8_t other_sk[32], other_pk[32];
  ASSERT_EQ(0, vantiro_custodian_keygen(other_sk, other_pk));
  std::memset(rec, 0xAA, sizeof rec);
  EXPECT_EQ(-1, vantiro_sealed_share_open(&s, other_sk, rec));
  for (int field = 0; field < 3; ++field) {
    vantiro_sealed_share bad = s;
    if (field == 0) bad.sealed[40] ^= 1;
    if (field == 1) bad.fingerprint[0] ^= 1;
    if (field == 2) bad.threshold = 3;
    EXPECT_EQ(-4, vantiro_sealed_share_open(&bad, m.sk, rec)) << field;
  }
  for (uint8_t b : rec) ASSERT_EQ(0xAA, b);
}

TEST(VantiroSealedShare, ReadStrictlyAndOnlyUnderItsRootsSignature) {
  Sealed m;
  const std::string text(m.text, m.len);
  vantiro_sealed_share s;
  // A changed hex digit in a hex value is no longer signed; anywhere else (the labels, the
  // decimals) it is no longer the layout.
  for (size_t at = 0; at < text.size(); at += 5) {
    std::string t = text;
    if (std::isxdigit(static_cast<unsigned char>(t[at])) == 0) continue;
    t[at] = t[at] == '0' ? '1' : '0';
    const size_t line = text.rfind('\n', at - 1) + 1;
    const size_t colon = text.find(": ", line);
    const bool hex_value = at > colon && text.compare(line, 5, "share") != 0 &&
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
      {"a leading zero", [&] {
         std::string t = text;
         return t.replace(t.find("share: 2"), 8, "share: 02");
       }()},
      {"over 1 KiB", text + std::string(VANTIRO_SEALED_TEXT_MAX, 'x')},
      {"empty", ""},
  };
  for (const auto& r : rows) EXPECT_EQ(-1, m.parse(r.t, &s)) << r.what;
}

TEST(VantiroSealedShare, MadeOnlyByAConsistentRootForAUsableKey) {
  Sealed m;
  char out[VANTIRO_SEALED_TEXT_MAX];
  size_t len = 0;
  const uint8_t* rec = m.records.data();
  uint8_t zero_x[VANTIRO_RECORD_SIZE];
  std::memcpy(zero_x, rec, sizeof zero_x);
  zero_x[0] = 0;
  uint8_t mixed[64];
  std::memcpy(mixed, m.root, 64);
  mixed[40] ^= 1;
  EXPECT_EQ(-1, vantiro_sealed_share_make(m.root, m.split, 2, zero_x, m.pk, out, sizeof out, &len));
  EXPECT_EQ(-1, vantiro_sealed_share_make(m.root, m.split, 1, rec, m.pk, out, sizeof out, &len));
  EXPECT_EQ(-1, vantiro_sealed_share_make(m.root, m.split, 2, rec, m.pk, out, m.len - 1, &len));
  EXPECT_EQ(-3, vantiro_sealed_share_make(mixed, m.split, 2, rec, m.pk, out, sizeof out, &len));

  // Points of small order in any encoding (u = 0, 1, p - 1, the two of order 8, p, p + 1,
  // one with the top bit set) take every secret to a known shared secret.
  const char* small[] = {
      "0000000000000000000000000000000000000000000000000000000000000000",
      "0100000000000000000000000000000000000000000000000000000000000000",
      "ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
      "e0eb7a7c3b41b8ae1656e3faf19fc46ada098deb9c32b1fd866205165f49b800",
      "5f9c95bca3508c24b1d0b1559c83ef5b04445cc4581c8e86d8224eddd09f1157",
      "edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
      "eeffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f",
      "e0eb7a7c3b41b8ae1656e3faf19fc46ada098deb9c32b1fd866205165f49b880",
  };
  for (const char* hex : small) {
    const vt::bytes u = vt::from_hex(hex);
    EXPECT_EQ(1, vantiro_custodian_key_has_small_order(u.data())) << hex;
    EXPECT_EQ(-1, vantiro_sealed_share_make(m.root, m.split, 2, rec, u.data(), out, sizeof out, &len))
        << hex;
  }
  EXPECT_EQ(0, vantiro_custodian_key_has_small_order(m.pk));

  // Other encodings of a usable key (bit 255 set; u + p) are refused: the custodian's
  // secret key yields the canonical one, so nothing sealed to them would ever open.
  vt::bytes top(m.pk, m.pk + 32);
  top[31] |= 0x80;
  const vt::bytes above_p =
      vt::from_hex("efffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f");
  for (const vt::bytes& u : {top, above_p}) {
    EXPECT_EQ(0, vantiro_custodian_key_is_canonical(u.data())) << vt::to_hex(u);
    EXPECT_EQ(-1, vantiro_sealed_share_make(m.root, m.split, 2, rec, u.data(), out, sizeof out, &len));
  }
  const vt::bytes below_p =
      vt::from_hex("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f");
  EXPECT_EQ(1, vantiro_custodian_key_is_canonical(below_p.data()));
  EXPECT_EQ(1, vantiro_custodian_key_is_canonical(m.pk));
}

}  // namespace
