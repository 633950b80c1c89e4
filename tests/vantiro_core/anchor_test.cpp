// Anchor files in the forms their holders keep are parsed to the minted key and signature,
// and anything else is refused. Each input sits in a heap block of exactly its size, so a
// read past the text is caught under AddressSanitizer.
#include <gtest/gtest.h>

#include <string>

#include "core_support.h"

namespace {

int parse(const std::string& text, vantiro_anchor* a) {
  vt::bytes exact(text.begin(), text.end());
  return vantiro_anchor_parse(exact.data(), exact.size(), a);
}

TEST(VantiroAnchor, HeldFormsParseAndOthersAreRefused) {
  vtc::Minted m = vtc::mint(2, 2);
  ASSERT_EQ(0, m.rc);
  const std::string record = m.anchor;
  const std::string zone = "_key.example.org TXT \"" + record + "\"";
  struct Row {
    std::string text;
    int rc;
    const char* owner;
  };
  const Row rows[] = {
      {zone + "\n", 0, "_key.example.org"},
      {"_key.example.org. 3600 IN TXT \"" + record + "\"\r\n", 0, "_key.example.org."},
      {"_key.example.org\tIN\tTXT  \"" + record + "\"", 0, "_key.example.org"},
      {"\"" + record + "\"\n", 0, ""},
      {record, 0, ""},
      {"_kex.example.org TXT \"" + record + "\"", -1, nullptr},
      {"_key.example.org IN 3600 TXT \"" + record + "\"", -1, nullptr},
      {"_key.example.org IN IN TXT \"" + record + "\"", -1, nullptr},
      {"_key.ex ample.org TXT \"" + record + "\"", -1, nullptr},
      {zone + " x", -1, nullptr},
      {zone + "\n\n", -1, nullptr},
      {"_key.example.org TXT " + record, -1, nullptr},
      {"_key.a 123", -1, nullptr},
      {"_key.a 1234", -1, nullptr},
      {"k=" + vt::to_hex(m.pub, 32), -1, nullptr},
      {std::string(33, 'k'), -1, nullptr},
      {"", -1, nullptr},
  };
  for (const Row& r : rows) {
    vantiro_anchor a{};
    ASSERT_EQ(r.rc, parse(r.text, &a)) << r.text;
    if (r.rc != 0) continue;
    EXPECT_EQ(vt::bytes(m.pub, m.pub + 32), vt::bytes(a.key, a.key + 32)) << r.text;
    EXPECT_EQ(vtc::anchor_sig(m.anchor), vt::bytes(a.sig, a.sig + 64)) << r.text;
    EXPECT_EQ(1, a.has_sig);
    EXPECT_EQ(std::string(r.owner), a.owner) << r.text;
    EXPECT_EQ(0, vantiro_anchor_verify(&a));
  }
  // Upper-case hex is not the record's form; a flipped signature digit parses but does not
  // verify; the raw key parses with nothing to verify.
  std::string upper = record;
  const size_t letter = upper.find_first_of("abcdef", 2);
  upper[letter] = static_cast<char>(upper[letter] - 'a' + 'A');
  vantiro_anchor a{};
  EXPECT_EQ(-1, parse(upper, &a));
  std::string flipped = record;
  flipped[100] = flipped[100] == '0' ? '1' : '0';
  ASSERT_EQ(0, parse(flipped, &a));
  EXPECT_EQ(-1, vantiro_anchor_verify(&a));
  ASSERT_EQ(0, vantiro_anchor_parse(m.pub, 32, &a));
  EXPECT_EQ(0, a.has_sig);
  EXPECT_EQ(-1, vantiro_anchor_verify(&a));
}

}  // namespace
