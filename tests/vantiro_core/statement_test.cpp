// Successor and revocation statements: made by a root and read back strictly, every tamper
// refused; and the walk from a pinned key through them to the anchor in use.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "core_support.h"

namespace {

constexpr char kTime[] = "2026-12-09T22:04:21Z";

// A root and its anchor, as mint makes them.
struct Root {
  uint8_t sk[64];
  vantiro_anchor a{};
  Root() {
    EXPECT_EQ(0, ed25519_keypair(a.key, sk));
    uint8_t msg[VANTIRO_OPERATOR_MSG_SIZE];
    vantiro_operator_message(a.key, msg);
    EXPECT_EQ(0, vantiro_sign(sk, msg, sizeof msg, a.sig));
    a.has_sig = 1;
  }
};

std::string successor(const Root& from, const Root& to) {
  char out[VANTIRO_STATEMENT_TEXT_MAX];
  size_t len = 0;
  EXPECT_EQ(0, vantiro_successor_make(from.sk, &to.a, kTime, out, sizeof out, &len));
  return std::string(out, len);
}

std::string revocation(const Root& r, const char* reason = "shares stolen") {
  char out[VANTIRO_STATEMENT_TEXT_MAX];
  size_t len = 0;
  EXPECT_EQ(0, vantiro_revocation_make(r.sk, kTime, reason, out, sizeof out, &len));
  return std::string(out, len);
}

int read(const std::string& text, vantiro_statement* st = nullptr, size_t* used = nullptr) {
  vantiro_statement s{};
  size_t u = 0;
  const int rc = vantiro_statement_read(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                        st != nullptr ? st : &s, used != nullptr ? used : &u);
  return rc;
}

// text with its body re-signed by signer under context: a signature that verifies, but
// perhaps not as the statement it is.
std::string resigned(const std::string& text, const Root& signer, const char* context) {
  const std::string body = text.substr(0, text.find("signature: "));
  uint8_t sig[64];
  ed25519ctx_sign(signer.sk, reinterpret_cast<const uint8_t*>(context), std::strlen(context),
                  reinterpret_cast<const uint8_t*>(body.data()), body.size(), sig);
  return body + "signature: " + vt::to_hex(sig, 64) + "\n";
}

std::string upper(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return s;
}

std::string replaced(std::string s, const std::string& from, const std::string& to) {
  return s.replace(s.find(from), from.size(), to);
}

TEST(VantiroStatement, MadeAndReadBack) {
  Root a, b;
  const std::string s = successor(a, b);
  vantiro_statement st{};
  size_t used = 0;
  ASSERT_EQ(0, read(s + "vantiro revocation v1\n", &st, &used));
  EXPECT_EQ(s.size(), used);  // a bundle reads statement by statement
  EXPECT_EQ(VANTIRO_SUCCESSOR, st.kind);
  EXPECT_EQ(0, std::memcmp(st.key, a.a.key, 32));
  EXPECT_EQ(0, std::memcmp(st.successor, b.a.key, 32));
  EXPECT_EQ(0, std::memcmp(st.anchor_sig, b.a.sig, 64));
  EXPECT_STREQ(kTime, st.time);
  ASSERT_EQ(0, read(revocation(a), &st));
  EXPECT_EQ(VANTIRO_REVOCATION, st.kind);
  EXPECT_STREQ("shares stolen", st.reason);

  // Refused to be made: a new anchor that is not one, or is the root's own; a bad time or
  // reason; a root whose halves disagree.
  char out[VANTIRO_STATEMENT_TEXT_MAX];
  size_t len = 0;
  vantiro_anchor raw = b.a, forged = b.a;
  raw.has_sig = 0;
  forged.sig[3] ^= 1;
  EXPECT_EQ(-1, vantiro_successor_make(a.sk, &raw, kTime, out, sizeof out, &len));
  EXPECT_EQ(-1, vantiro_successor_make(a.sk, &forged, kTime, out, sizeof out, &len));
  EXPECT_EQ(-1, vantiro_successor_make(a.sk, &a.a, kTime, out, sizeof out, &len));
  EXPECT_EQ(-1, vantiro_successor_make(a.sk, &b.a, "2026-12-09 22:04:21Z", out, sizeof out, &len));
  EXPECT_EQ(-1, vantiro_successor_make(a.sk, &b.a, kTime, out, 300, &len));
  for (const std::string& reason : {std::string(), std::string(201, 'x'), std::string("a\nb"),
                                   std::string("caf\xc3\xa9")})
    EXPECT_EQ(-1, vantiro_revocation_make(a.sk, kTime, reason.c_str(), out, sizeof out, &len))
        << reason;
  EXPECT_EQ(0, vantiro_revocation_make(a.sk, kTime, std::string(200, '~').c_str(), out,
                                       sizeof out, &len));
  uint8_t mixed[64];
  std::memcpy(mixed, a.sk, 32);
  std::memcpy(mixed + 32, b.a.key, 32);
  EXPECT_EQ(-3, vantiro_revocation_make(mixed, kTime, "x", out, sizeof out, &len));
}

TEST(VantiroStatement, EveryTamperRefused) {
  Root a, b, c;
  const std::string s = successor(a, b), r = revocation(a);
  const std::string akey = vt::to_hex(a.a.key, 32), bkey = vt::to_hex(b.a.key, 32),
                    ckey = vt::to_hex(c.a.key, 32);
  const struct {
    const char* what;
    std::string text;
    int rc;
  } rows[] = {
      {"CRLF line ends", replaced(s, "\n", "\r\n"), -1},
      {"no final line feed", s.substr(0, s.size() - 1), -1},
      {"cut after the body", s.substr(0, s.find("signature: ")), -1},
      {"upper-case hex", replaced(s, "key: " + akey, "key: " + upper(akey)), -1},
      {"anchor of another key", replaced(s, "anchor: k=" + bkey, "anchor: k=" + ckey), -1},
      {"a successor of itself",
       resigned(replaced(replaced(s, "successor: " + bkey, "successor: " + akey), "k=" + bkey,
                         "k=" + akey),
                a, VANTIRO_SUCCESSOR_CONTEXT),
       -1},
      {"a time that is no time", replaced(s, "T22:", " 22:"), -1},
      {"a reason with a tab", resigned(replaced(r, "shares stolen", "shares\tstolen"), a,
                                       VANTIRO_REVOCATION_CONTEXT), -1},
      {"an empty reason", resigned(replaced(r, "shares stolen", ""), a, VANTIRO_REVOCATION_CONTEXT), -1},
      {"a reason of 201 bytes", resigned(replaced(r, "shares stolen", std::string(201, 'x')), a,
                                         VANTIRO_REVOCATION_CONTEXT), -1},
      {"a line more", replaced(s, "time: ", "note: x\ntime: "), -1},
      {"the time changed", replaced(s, "2026", "2027"), -3},
      {"signed by another root", resigned(s, c, VANTIRO_SUCCESSOR_CONTEXT), -3},
      {"signed under the revocation context", resigned(s, a, VANTIRO_REVOCATION_CONTEXT), -3},
      {"a revocation as a successor", replaced(r, "vantiro revocation v1", "vantiro successor v1"), -1},
  };
  for (const auto& row : rows) EXPECT_EQ(row.rc, read(row.text)) << row.what;
  // Every byte of the statement changed: never read as it was.
  for (size_t at = 0; at + 1 < s.size(); ++at) {
    std::string x = s;
    x[at] = x[at] == 'a' ? 'b' : 'a';
    EXPECT_NE(0, read(x)) << at;
  }
}

TEST(VantiroStatement, TrustWalkTable) {
  Root a, b, c, d;
  auto st = [](const std::string& text) {
    vantiro_statement s{};
    EXPECT_EQ(0, read(text, &s));
    return s;
  };
  const vantiro_statement ab = st(successor(a, b)), bc = st(successor(b, c)),
                          ac = st(successor(a, c)), cd = st(successor(c, d)),
                          ra = st(revocation(a)), rb = st(revocation(b)), rd = st(revocation(d));
  vantiro_anchor b_other = b.a;  // another record for B's key, which no statement names
  b_other.sig[0] ^= 1;
  const struct {
    const char* what;
    std::vector<vantiro_statement> chain;
    std::vector<vantiro_anchor> anchors;
    int why;
    int anchor;     // OK: the anchor used
    int links;      // OK: statements followed
    const uint8_t* key;  // a refusal's key
  } rows[] = {
      {"the pin itself", {}, {a.a}, VANTIRO_TRUST_OK, 0, 0, nullptr},
      {"A to B, both published", {ab}, {a.a, b.a}, VANTIRO_TRUST_OK, 1, 1, nullptr},
      {"A to B to C, newest used", {bc, ab}, {c.a, a.a, b.a}, VANTIRO_TRUST_OK, 0, 2, nullptr},
      {"shortest way counted", {ab, bc, ac}, {c.a}, VANTIRO_TRUST_OK, 0, 1, nullptr},
      {"an unrelated revocation", {ab, rd}, {b.a}, VANTIRO_TRUST_OK, 0, 1, nullptr},
      {"no chain", {}, {b.a}, VANTIRO_TRUST_UNREACHED, -1, 0, a.a.key},
      {"a link not from the pin", {cd}, {d.a}, VANTIRO_TRUST_UNSIGNED, -1, 0, a.a.key},
      {"another anchor named", {ac}, {b.a}, VANTIRO_TRUST_OTHER_ANCHOR, -1, 0, c.a.key},
      {"another record of the key", {ab}, {b_other}, VANTIRO_TRUST_OTHER_ANCHOR, -1, 0, b.a.key},
      {"the pin revoked", {ra}, {a.a}, VANTIRO_TRUST_REVOKED, -1, 0, a.a.key},
      {"reached through a revoked pin", {ab, ra}, {a.a, b.a}, VANTIRO_TRUST_REVOKED, -1, 0, a.a.key},
      {"the middle revoked", {ab, bc, rb}, {a.a, b.a, c.a}, VANTIRO_TRUST_REVOKED, -1, 0, b.a.key},
      {"a way round the revoked", {ab, bc, ac, rb}, {c.a}, VANTIRO_TRUST_OK, 0, 1, nullptr},
      {"the newest revoked", {ab, cd, bc, rd}, {d.a, c.a}, VANTIRO_TRUST_REVOKED, -1, 0, d.a.key},
  };
  for (const auto& row : rows) {
    vantiro_trust t{};
    const int rc = vantiro_trust_check(a.a.key, row.chain.data(), static_cast<int>(row.chain.size()),
                                       row.anchors.data(), static_cast<int>(row.anchors.size()), &t);
    EXPECT_EQ(row.why == VANTIRO_TRUST_OK ? 0 : 1, rc) << row.what;
    EXPECT_EQ(row.why, t.why) << row.what;
    if (row.why == VANTIRO_TRUST_OK) {
      EXPECT_EQ(row.anchor, t.anchor) << row.what;
      EXPECT_EQ(row.links, t.links) << row.what;
    } else {
      EXPECT_EQ(vt::to_hex(row.key, 32), vt::to_hex(t.key, 32)) << row.what;
    }
  }
}

}  // namespace
