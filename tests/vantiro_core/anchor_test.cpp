// Anchor texts as their holders keep them and as DNS tools print them are parsed to the one
// record they hold, and anything else is refused with its reason. Each input sits in a heap
// block of exactly its size, so a read past the text is caught under AddressSanitizer.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core_support.h"

namespace {

// Captured output of dig, kdig, host, nslookup and a zone file for a test zone, verbatim.
// _key.example.org holds anchor 1, _key.split.example.org anchor 1 as two strings,
// _key.two.example.org anchors 1 and 2 (see known_anchor).
// dig TXT _key.example.org
constexpr char kDigFullKey[] = R"txt(
; <<>> DiG 9.18.49-1~deb12u3-Debian <<>> -p 5300 @127.0.0.1 TXT _key.example.org
; (1 server found)
;; global options: +cmd
;; Got answer:
;; ->>HEADER<<- opcode: QUERY, status: NOERROR, id: 10334
;; flags: qr aa rd; QUERY: 1, ANSWER: 1, AUTHORITY: 0, ADDITIONAL: 1
;; WARNING: recursion requested but not available

;; OPT PSEUDOSECTION:
; EDNS: version: 0, flags:; udp: 1232
; COOKIE: 031489190eeb8169010000006b18742de0fc27a9e97b0f66 (good)
;; QUESTION SECTION:
;_key.example.org.		IN	TXT

;; ANSWER SECTION:
_key.example.org.	3600	IN	TXT	"k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"

;; Query time: 0 msec
;; SERVER: 127.0.0.1#5300(127.0.0.1) (UDP)
;; WHEN: Tue Dec 08 21:18:37 UTC 2026
;; MSG SIZE  rcvd: 283

)txt";
// dig +noall +answer TXT _key.example.org
constexpr char kDigAnswerKey[] = R"txt(_key.example.org.	3600	IN	TXT	"k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"
)txt";
// dig +short TXT _key.example.org
constexpr char kDigShortKey[] = R"txt("k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"
)txt";
// kdig TXT _key.example.org
constexpr char kKdigFullKey[] = R"txt(;; ->>HEADER<<- opcode: QUERY; status: NOERROR; id: 60464
;; Flags: qr aa rd; QUERY: 1; ANSWER: 1; AUTHORITY: 0; ADDITIONAL: 0

;; QUESTION SECTION:
;; _key.example.org.   		IN	TXT

;; ANSWER SECTION:
_key.example.org.   	3600	IN	TXT	"k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"

;; Received 244 B
;; Time 2026-12-08 21:18:37 UTC
;; From 127.0.0.1@5300(UDP) in 0.2 ms
)txt";
// kdig +short TXT _key.example.org
constexpr char kKdigShortKey[] = R"txt("k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"
)txt";
// host -t TXT _key.example.org <server>
constexpr char kHostKey[] = R"txt(Using domain server:
Name: 127.0.0.1
Address: 127.0.0.1#5300
Aliases: 

_key.example.org descriptive text "k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"
)txt";
// nslookup -type=TXT _key.example.org <server>
constexpr char kNslookupKey[] = R"txt(Server:		127.0.0.1
Address:	127.0.0.1#5300

_key.example.org	text = "k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"

)txt";
// dig TXT _key.split.example.org
constexpr char kDigFullSplit[] = R"txt(
; <<>> DiG 9.18.49-1~deb12u3-Debian <<>> -p 5300 @127.0.0.1 TXT _key.split.example.org
; (1 server found)
;; global options: +cmd
;; Got answer:
;; ->>HEADER<<- opcode: QUERY, status: NOERROR, id: 55160
;; flags: qr aa rd; QUERY: 1, ANSWER: 1, AUTHORITY: 0, ADDITIONAL: 1
;; WARNING: recursion requested but not available

;; OPT PSEUDOSECTION:
; EDNS: version: 0, flags:; udp: 1232
; COOKIE: d4d3411e3c3668f9010000006b18742d9fc8a19da3655809 (good)
;; QUESTION SECTION:
;_key.split.example.org.		IN	TXT

;; ANSWER SECTION:
_key.split.example.org.	3600	IN	TXT	"k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 " "s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"

;; Query time: 0 msec
;; SERVER: 127.0.0.1#5300(127.0.0.1) (UDP)
;; WHEN: Tue Dec 08 21:18:37 UTC 2026
;; MSG SIZE  rcvd: 290

)txt";
// host -t TXT _key.split.example.org <server>
constexpr char kHostSplit[] = R"txt(Using domain server:
Name: 127.0.0.1
Address: 127.0.0.1#5300
Aliases: 

_key.split.example.org descriptive text "k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 " "s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"
)txt";
// dig +short TXT _key.two.example.org
constexpr char kDigShortTwo[] = R"txt("k=79b5562e8fe654f94078b112e8a98ba7901f853ae695bed7e0e3910bad049664 s=7473bcf83ccbb63afdb92090de26a1ad2d975117c7ad4cd108f7eaf2583512db1a2a4d0ca20f419686ab328eea46cb9e4fc4e0d5ca829ebbc4037689a3671d00"
"k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"
)txt";
// dig +noall +answer TXT _key.two.example.org
constexpr char kDigAnswerTwo[] = R"txt(_key.two.example.org.	3600	IN	TXT	"k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"
_key.two.example.org.	3600	IN	TXT	"k=79b5562e8fe654f94078b112e8a98ba7901f853ae695bed7e0e3910bad049664 s=7473bcf83ccbb63afdb92090de26a1ad2d975117c7ad4cd108f7eaf2583512db1a2a4d0ca20f419686ab328eea46cb9e4fc4e0d5ca829ebbc4037689a3671d00"
)txt";
// the zone file the server loaded
constexpr char kZoneFile[] = R"txt($ORIGIN example.org.
$TTL 3600
@ 3600 IN SOA ns.example.org. hostmaster.example.org. 1 3600 900 604800 300
@ 3600 IN NS ns.example.org.
ns.example.org. 3600 IN A 127.0.0.1
_key.example.org. 3600 IN TXT "k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"
_key.split.example.org. 3600 IN TXT "k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 " "s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"
_key.two.example.org. 3600 IN TXT "k=03a107bff3ce10be1d70dd18e74bc09967e4d6309ba50d5f1ddc8664125531b8 s=db07dfdce5b4d0dd43fbde6cf0dc619b2d153b1581489ad4aea5076407a997cb03c9c2b83ae8dfc9774e19c716d8e6bb51f1818338b387a73e064331a3a8fa02"
_key.two.example.org. 3600 IN TXT "k=79b5562e8fe654f94078b112e8a98ba7901f853ae695bed7e0e3910bad049664 s=7473bcf83ccbb63afdb92090de26a1ad2d975117c7ad4cd108f7eaf2583512db1a2a4d0ca20f419686ab328eea46cb9e4fc4e0d5ca829ebbc4037689a3671d00"
example.org. 3600 IN TXT "v=spf1 -all"
example.org. 3600 IN MX 10 mail.example.org.
)txt";

int parse(const std::string& text, vantiro_anchor* a, int* found = nullptr) {
  vt::bytes exact(text.begin(), text.end());
  return vantiro_anchor_parse(exact.data(), exact.size(), a, found);
}

// The anchors of the captures: the key of the Ed25519 seed first, first + 1, ..., first + 31
// and its signature of the operator message (anchor 1: first = 0; anchor 2: first = 1).
struct Known {
  vt::bytes key, sig;
};

Known known_anchor(uint8_t first) {
  uint8_t seed[32], pk[32], sk[64], sig[64], msg[VANTIRO_OPERATOR_MSG_SIZE];
  for (uint8_t i = 0; i < 32; ++i) seed[i] = static_cast<uint8_t>(first + i);
  ed25519_seed_keypair(pk, sk, seed);
  vantiro_operator_message(pk, msg);
  ed25519_sign(sk, msg, sizeof msg, sig);
  return {vt::bytes(pk, pk + 32), vt::bytes(sig, sig + 64)};
}

std::string record_of(const Known& k) {
  return "k=" + vt::to_hex(k.key) + " s=" + vt::to_hex(k.sig);
}

std::string without(std::string text, const std::string& part) {
  const size_t at = text.find(part);
  EXPECT_NE(std::string::npos, at) << part;
  return at == std::string::npos ? text : text.erase(at, part.size());
}

TEST(VantiroAnchor, HeldFormsAndToolOutputsParseAndOthersAreRefused) {
  vtc::Minted m = vtc::mint(2, 2);
  ASSERT_EQ(0, m.rc);
  const Known minted{vt::bytes(m.pub, m.pub + 32), vtc::anchor_sig(m.anchor)};
  const Known one = known_anchor(0), two = known_anchor(1);
  const std::string record = m.anchor;
  const std::string zone = "_key.example.org TXT \"" + record + "\"";
  const std::string hex_key = record.substr(2, 64), hex_sig = record.substr(69);
  // The captured zone file without the second record of _key.two: anchor 1, three times.
  const std::string zone_one = without(kZoneFile, std::string("_key.two.example.org. 3600 IN TXT \"") +
                                                       record_of(two) + "\"\n");
  // The longest origin below which "_key" is still a name: 247 characters and the root.
  const std::string label = std::string(61, 'a') + ".", long_origin = label + label + label + label;
  const std::string long_owner = "_key." + long_origin;
  std::string padded(VANTIRO_ANCHOR_TEXT_MAX - record.size() - 1, 'x');
  padded[0] = ';';
  padded += "\n" + record;
  struct Row {
    std::string text;
    int rc;
    int found;
    const char* owner;
    const Known* want;
  };
  const Row rows[] = {
      // The forms held before: a zone line, the record quoted or bare.
      {zone + "\n", 0, 1, "_key.example.org", &minted},
      {"_key.example.org. 3600 IN TXT \"" + record + "\"\r\n", 0, 1, "_key.example.org.", &minted},
      {"_key.example.org\tIN\tTXT  \"" + record + "\"", 0, 1, "_key.example.org", &minted},
      {"\"" + record + "\"\n", 0, 1, "", &minted},
      {record, 0, 1, "", &minted},
      {"  " + record + "\t; published\n", 0, 1, "", &minted},
      {"_kex.example.org TXT \"" + record + "\"", -1, 0, nullptr, nullptr},
      {"_key.example.org IN IN TXT \"" + record + "\"", -1, 0, nullptr, nullptr},
      {"_key.ex ample.org TXT \"" + record + "\"", -1, 0, nullptr, nullptr},
      {zone + " x", -1, 0, nullptr, nullptr},
      {"_key.example.org TXT " + record, -1, 0, nullptr, nullptr},
      {"_key.a 123", -1, 0, nullptr, nullptr},
      {"_key.a 1234", -1, 0, nullptr, nullptr},
      {"k=" + hex_key, -1, 0, nullptr, nullptr},
      {std::string(33, 'k'), -1, 0, nullptr, nullptr},
      {"", -1, 0, nullptr, nullptr},
      // Zone lines: TTL and class in either order and any case, BIND's TTL units, relative
      // owners, no owner, parentheses, strings split and escaped as DNS presentation has it.
      {zone + "\n\n", 0, 1, "_key.example.org", &minted},
      {"_key.example.org IN 3600 TXT \"" + record + "\"", 0, 1, "_key.example.org", &minted},
      {"$TTL 1h\r_key.Example.org. 1w2d in txt \"" + record + "\"\r", 0, 1, "_key.Example.org.",
       &minted},
      {"_KEY IN TXT ( \"k=" + hex_key + " \" \"s=" + hex_sig + "\" )", 0, 1, "_KEY", &minted},
      {"_key.sub\tTxt\t\"" + record + "\"", 0, 1, "_key.sub", &minted},
      {"\t3600 IN TXT \"" + record + "\"", 0, 1, "", &minted},
      {"_key.example.org 1h30 IN TXT \"" + record + "\"", -1, 0, nullptr, nullptr},
      {"_key. IN TXT \"" + record + "\"", -1, 0, nullptr, nullptr},
      {"_key.example.org TXT ( \"" + record + "\"", -1, 0, nullptr, nullptr},
      {"_key.example.org TXT \"\\107=" + hex_key + "\\032\\s=" + hex_sig + "\"", 0, 1,
       "_key.example.org", &minted},
      {"_key.example.org TXT \"" + record + "\\\" ;\"", -1, 0, nullptr, nullptr},
      {"_key.example.org TXT \"\\363" + record.substr(1) + "\"", -1, 0, nullptr, nullptr},
      {"_key.example.org TXT \"" + record + "\" \"" + record + "\"", -1, 0, nullptr, nullptr},
      {"_key.example.org TXT \"" + record.substr(0, 100) + "\n" + record.substr(100) + "\"", -1, 0,
       nullptr, nullptr},
      // Text around the record: a byte-order mark, CRLF, comments (a quote in one is no
      // string; a ';' in a string is no comment), other lines.
      {"\xEF\xBB\xBF; anchor\r\n\r\n" + zone + "\r\n", 0, 1, "_key.example.org", &minted},
      {zone + " ; the \"anchor\n", 0, 1, "_key.example.org", &minted},
      {"_key.example.org TXT \"" + record_of(one) + ";x\"\n" + zone, 0, 1, "_key.example.org",
       &minted},
      {"example.org. TXT \"" + record_of(one) + "\"\n_key.example.org. MX 10 mx\n" + zone, 0, 1,
       "_key.example.org", &minted},
      // How many: the same record twice is one, two different ones are refused.
      {zone + "\n" + record + "\n" + zone, 0, 1, "_key.example.org", &minted},
      {zone + "\n" + record_of(one), -2, 2, nullptr, nullptr},
      {record_of(two) + "\n" + zone + "\n" + record_of(one), -2, 2, nullptr, nullptr},
      // The largest text read, and a byte more.
      {padded, 0, 1, "", &minted},
      {" " + padded, -5, 0, nullptr, nullptr},
      // The tools' output as captured.
      {kDigFullKey, 0, 1, "_key.example.org.", &one},
      {kDigAnswerKey, 0, 1, "_key.example.org.", &one},
      {kKdigFullKey, 0, 1, "_key.example.org.", &one},
      {kKdigShortKey, 0, 1, "", &one},
      {kHostKey, 0, 1, "_key.example.org", &one},
      {kNslookupKey, 0, 1, "_key.example.org", &one},
      {kDigFullSplit, 0, 1, "_key.split.example.org.", &one},
      {kHostSplit, 0, 1, "_key.split.example.org", &one},
      {kDigShortTwo, -2, 2, nullptr, nullptr},
      {kDigAnswerTwo, -2, 2, nullptr, nullptr},
      {kZoneFile, -2, 2, nullptr, nullptr},
      {zone_one, 0, 1, "_key.example.org.", &one},
      {zone_one + kDigShortKey, 0, 1, "_key.example.org.", &one},
      // Windows' nslookup, written by hand from its documented layout: the strings on a
      // line of their own after the owner's line and a blank one.
      {"Server:  UnKnown\r\nAddress:  192.0.2.53\r\n\r\n_key.example.org\ttext =\r\n\r\n\t\"" +
           record + "\"\r\n\r\n",
       0, 1, "_key.example.org", &minted},
      {"example.org\ttext =\r\n\r\n\t\"" + record + "\"\r\n", -1, 0, nullptr, nullptr},
      // A line with no owner has the owner of the line before it, whatever that line's type;
      // $ORIGIN and "@" resolve names as a zone file does, and the owner is reported resolved.
      {"www IN TXT \"hello\"\n   IN TXT \"" + record + "\"\n", -1, 0, nullptr, nullptr},
      {"www IN TXT \"hello\"\n\"" + record + "\"\n", -1, 0, nullptr, nullptr},
      {zone + "\nwww 60 IN A 192.0.2.1\n\tIN TXT \"" + record_of(one) + "\"", 0, 1,
       "_key.example.org", &minted},
      {"_key.example.org. TXT \"v=1\"\n\t3600 TXT \"" + record + "\"", 0, 1, "_key.example.org.",
       &minted},
      {"$ORIGIN example.org.\n_key IN TXT \"" + record + "\"", 0, 1, "_key.example.org.", &minted},
      {"$ORIGIN org.\n$ORIGIN _KEY.example ; sub\n@ TXT \"" + record + "\"", 0, 1,
       "_KEY.example.org.", &minted},
      {"@ TXT \"" + record + "\"", -1, 0, nullptr, nullptr},
      {"   IN TXT \"" + record + "\"\nwww IN A 192.0.2.1\n", -1, 0, nullptr, nullptr},
      {"\"" + record + "\"\n_key.example.org. TXT \"" + record + "\"\n", 0, 1,
       "_key.example.org.", &minted},
      {"$ORIGIN example.org.\n IN TXT \"" + record + "\"", -1, 0, nullptr, nullptr},
      {"$ORIGIN " + long_origin + "\n_key TXT \"" + record + "\"", 0, 1,
       long_owner.c_str(), &minted},
      {"$ORIGIN " + long_origin + "\n_key.b TXT \"" + record + "\"", -1, 0, nullptr, nullptr},
  };
  for (const Row& r : rows) {
    const std::string shown = r.text.substr(0, 600);
    vantiro_anchor a;
    std::memset(&a, 0xa5, sizeof a);
    int found = -99;
    ASSERT_EQ(r.rc, parse(r.text, &a, &found)) << shown;
    EXPECT_EQ(r.found, found) << shown;
    if (r.rc != 0) {
      vantiro_anchor untouched;
      std::memset(&untouched, 0xa5, sizeof untouched);
      EXPECT_EQ(0, std::memcmp(&untouched, &a, sizeof a)) << shown;
      continue;
    }
    EXPECT_EQ(r.want->key, vt::bytes(a.key, a.key + 32)) << shown;
    EXPECT_EQ(r.want->sig, vt::bytes(a.sig, a.sig + 64)) << shown;
    EXPECT_EQ(1, a.has_sig);
    EXPECT_EQ(std::string(r.owner), a.owner) << shown;
    EXPECT_EQ(0, vantiro_anchor_verify(&a)) << shown;
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
  int found = 0;
  ASSERT_EQ(0, vantiro_anchor_parse(m.pub, 32, &a, &found));
  EXPECT_EQ(1, found);
  EXPECT_EQ(0, a.has_sig);
  EXPECT_EQ(-1, vantiro_anchor_verify(&a));
}

TEST(VantiroAnchor, EveryRecordOfTheLargestTextIsCounted) {
  // 330 different bare records are the most that 64 KiB hold.
  std::string text;
  for (int i = 0; i < 330; ++i) {
    char key[65];
    std::snprintf(key, sizeof key, "%064x", i + 1);
    // Appended piece by piece: GCC 12's -Wrestrict misreads the temporaries of a + b + c
    // in an optimised build (a false positive in libstdc++).
    if (i != 0) text += '\n';
    text.append("k=").append(key).append(" s=").append(128, 'a');
  }
  ASSERT_LE(text.size(), VANTIRO_ANCHOR_TEXT_MAX);
  vantiro_anchor a{};
  int found = 0;
  EXPECT_EQ(VANTIRO_ANCHOR_SEVERAL, parse(text, &a, &found));
  EXPECT_EQ(330, found);
  // Read all, the records keep their order and each its own owner; more than the room
  // given are refused as several.
  const std::string rec1 = text.substr(0, VANTIRO_ANCHOR_LEN);
  const std::string rec2 = text.substr(VANTIRO_ANCHOR_LEN + 1, VANTIRO_ANCHOR_LEN);
  const std::string zone = "$ORIGIN example.org.\n_key IN TXT \"" + rec2 + "\"\nwww IN A 1.2.3.4\n"
                           "_key.b.example.org. TXT \"" + rec1 + "\"\n";
  vantiro_anchor all[VANTIRO_TRUST_MAX_ANCHORS];
  const auto* z = reinterpret_cast<const uint8_t*>(zone.data());
  ASSERT_EQ(0, vantiro_anchor_parse_all(z, zone.size(), all, VANTIRO_TRUST_MAX_ANCHORS, &found));
  ASSERT_EQ(2, found);
  EXPECT_EQ(2, all[0].key[31]);
  EXPECT_STREQ("_key.example.org.", all[0].owner);
  EXPECT_EQ(1, all[1].key[31]);
  EXPECT_STREQ("_key.b.example.org.", all[1].owner);
  EXPECT_EQ(VANTIRO_ANCHOR_SEVERAL, vantiro_anchor_parse_all(z, zone.size(), all, 1, &found));
}

// Little-endian 255-bit numbers with the sign bit added.
vt::bytes le(std::string hex_be, bool sign) {
  vt::bytes b = vt::from_hex(hex_be);
  vt::bytes out(b.rbegin(), b.rend());
  if (sign) out[31] |= 0x80;
  return out;
}

TEST(VantiroAnchor, KeysOfSmallOrderAreRefusedInEveryEncoding) {
  const std::string p = "7fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffed";
  const std::string y8 = "05fc536d880238b13933c6d305acdfd5f098eff289f4c345b027b2c28f95e826";
  const std::string p_minus_y8 = "7a03ac9277fdc74ec6cc392cfa53202a0f67100d760b3cba4fd84d3d706a17c7";
  const std::string zero(64, '0'), one = std::string(63, '0') + "1";
  const std::string p_minus_1 = p.substr(0, 63) + "c", p_plus_1 = p.substr(0, 63) + "e";
  const std::string ys[] = {zero, one, p_minus_1, y8, p_minus_y8, p, p_plus_1};
  // Under a key of order n, R = identity and S = 0 verify for every message whose
  // challenge is a multiple of n: all of them for the identity, about one in n otherwise.
  // A y that is not of a point of small order verifies for none.
  uint8_t identity_sig[64] = {1};
  for (const std::string& y : ys) {
    for (bool sign : {false, true}) {
      const vt::bytes key = le(y, sign);
      SCOPED_TRACE(vt::to_hex(key));
      int verified = 0;
      for (uint8_t msg = 0; msg < 64; ++msg)
        verified += ed25519_verify(key.data(), &msg, 1, identity_sig) == 0 ? 1 : 0;
      EXPECT_GT(verified, 0);
      if (y == y8 || y == p_minus_y8) {
        EXPECT_LT(verified, 32);
      }
      EXPECT_EQ(1, vantiro_key_has_small_order(key.data()));
      vantiro_anchor a{};
      int found = 0;
      EXPECT_EQ(VANTIRO_ANCHOR_SMALL_ORDER, vantiro_anchor_parse(key.data(), 32, &a, &found));
      EXPECT_EQ(1, found);
      EXPECT_EQ(VANTIRO_ANCHOR_SMALL_ORDER,
                parse("k=" + vt::to_hex(key) + " s=" + std::string(128, '0'), &a, &found));
      EXPECT_EQ(1, found);
    }
  }
  // Neighbours: y8 + 1, the non-canonical 2 (p + 2), and 2^255 - 1 (that is 18).
  const std::string near[] = {y8.substr(0, 63) + "7", p.substr(0, 62) + "ef", std::string(64, 'f')};
  for (const std::string& y : near) {
    const vt::bytes key = le(y, false);
    EXPECT_EQ(0, vantiro_key_has_small_order(key.data())) << y;
    vantiro_anchor a{};
    EXPECT_EQ(0, vantiro_anchor_parse(key.data(), 32, &a));
    EXPECT_EQ(0, parse("k=" + vt::to_hex(key) + " s=" + std::string(128, '0'), &a)) << y;
  }
}

}  // namespace
