// Transcripts: entries signed by the root read back in order, and every tamper - a byte
// changed in any line, an entry removed, two swapped, one of another root spliced in, the
// text cut mid-entry - breaks the check at the entry where it happened, and why.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core_support.h"

namespace {

struct Root {
  uint8_t pk[32];
  uint8_t sk[64];
  Root() { EXPECT_EQ(0, ed25519_keypair(pk, sk)); }
};

std::string body(const Root& r, int n, const uint8_t previous[32], const char* result) {
  return "vantiro transcript v1\nentry: " + std::to_string(n) + "\nprevious: " +
         vt::to_hex(vt::bytes(previous, previous + 32)) + "\nkey: " +
         vt::to_hex(vt::bytes(r.pk, r.pk + 32)) +
         "\ntime: 2026-12-09T22:04:21Z\nprogram: vantiro-cli 1.0.0\nprogram sha256: " +
         std::string(64, 'a') + "\ncommand: \"sign\" \"_key.txt\"\nread: " + std::string(64, 'b') +
         " _key.txt\ncustodian: " + std::string(64, 'c') + " c1.key\nwrote: " +
         std::string(64, 'd') + " m.sig\nresult: " + result + "\n";
}

// A transcript of n entries of root r; heads[i] the head after entry i + 1.
std::string transcript(const Root& r, int n, std::vector<std::string>* entries = nullptr) {
  std::string out;
  uint8_t head[32] = {};
  for (int i = 1; i <= n; ++i) {
    const std::string b = body(r, i, head, i == 2 ? "the shares do not rebuild a root" : "ok");
    char entry[4096];
    size_t len = 0;
    EXPECT_EQ(0, vantiro_transcript_sign(r.sk, b.data(), b.size(), entry, sizeof entry, &len, head));
    if (i > 1) out += "\n";
    out.append(entry, len);
    if (entries != nullptr) entries->emplace_back(entry, len);
  }
  return out;
}

vantiro_transcript_result check(const std::string& t, const Root& r) {
  vantiro_transcript_result res{};
  vantiro_transcript_check(reinterpret_cast<const uint8_t*>(t.data()), t.size(), r.pk, nullptr,
                           nullptr, &res);
  return res;
}

TEST(VantiroTranscript, EntriesReadBackInOrderWithTheirHeads) {
  Root r;
  std::vector<std::string> entries;
  const std::string t = transcript(r, 3, &entries);
  struct Seen {
    std::vector<int> numbers;
    std::vector<std::string> results;
    uint8_t head[32];
  } seen{};
  vantiro_transcript_result res{};
  ASSERT_EQ(0, vantiro_transcript_check(
                   reinterpret_cast<const uint8_t*>(t.data()), t.size(), r.pk,
                   [](void* ctx, const vantiro_transcript_entry* e) {
                     auto* s = static_cast<Seen*>(ctx);
                     s->numbers.push_back(e->number);
                     s->results.emplace_back(e->result, e->result_len);
                     std::memcpy(s->head, e->head, 32);
                     EXPECT_EQ(1, e->wrote_count);
                     EXPECT_EQ(std::string(e->time, 20), "2026-12-09T22:04:21Z");
                   },
                   &seen, &res));
  EXPECT_EQ((std::vector<int>{1, 2, 3}), seen.numbers);
  EXPECT_EQ("the shares do not rebuild a root", seen.results[1]);
  EXPECT_EQ(3, res.entries);
  uint8_t last[32];
  sha256(reinterpret_cast<const uint8_t*>(entries[2].data()), entries[2].size(), last);
  EXPECT_EQ(0, std::memcmp(last, res.head, 32));
  EXPECT_EQ(0, std::memcmp(last, seen.head, 32));

  // A body that is not an entry of the root's own key is never signed.
  Root other;
  uint8_t zero[32] = {};
  const std::string foreign = body(other, 1, zero, "ok");
  char out[4096];
  size_t len = 0;
  uint8_t head[32];
  EXPECT_EQ(-1, vantiro_transcript_sign(r.sk, foreign.data(), foreign.size(), out, sizeof out, &len, head));
  const std::string cut = body(r, 1, zero, "ok").substr(0, 100);
  EXPECT_EQ(-1, vantiro_transcript_sign(r.sk, cut.data(), cut.size(), out, sizeof out, &len, head));
}

TEST(VantiroTranscript, EveryTamperBreaksAtItsEntry) {
  Root r, other;
  std::vector<std::string> e;
  const std::string t = transcript(r, 3, &e);
  std::vector<std::string> o;
  transcript(other, 3, &o);
  const struct {
    const char* what;
    std::string text;
    int broken;
    int why;
  } rows[] = {
      {"entry 2 removed", e[0] + "\n" + e[2], 2, VANTIRO_TRANSCRIPT_NUMBERED},
      {"entries 2 and 3 swapped", e[0] + "\n" + e[2] + "\n" + e[1], 2, VANTIRO_TRANSCRIPT_NUMBERED},
      {"another root's entry 2", e[0] + "\n" + o[1] + "\n" + e[2], 2, VANTIRO_TRANSCRIPT_KEY},
      {"cut in entry 3", t.substr(0, t.size() - 30), 3, VANTIRO_TRANSCRIPT_LAYOUT},
      {"no final line feed", t.substr(0, t.size() - 1), 3, VANTIRO_TRANSCRIPT_LAYOUT},
      {"two empty lines", e[0] + "\n\n" + e[1], 2, VANTIRO_TRANSCRIPT_LAYOUT},
      {"a line feed after the last", t + "\n", 4, VANTIRO_TRANSCRIPT_LAYOUT},
  };
  for (const auto& row : rows) {
    const vantiro_transcript_result res = check(row.text, r);
    EXPECT_EQ(row.broken, res.broken) << row.what;
    EXPECT_EQ(row.why, res.why) << row.what;
  }
  // A byte changed in any line of entry 2: a layout break where the line no longer reads,
  // otherwise a signature that does not verify (or, in its own numbering, key and
  // previous lines, the check of that line).
  const size_t start = e[0].size() + 1;
  for (size_t at = start; at < start + e[1].size() - 1; ++at) {
    std::string x = t;
    x[at] = x[at] == 'a' ? 'b' : 'a';
    const vantiro_transcript_result res = check(x, r);
    EXPECT_EQ(2, res.broken) << at;
    EXPECT_NE(VANTIRO_TRANSCRIPT_OK, res.why) << at;
  }
  EXPECT_EQ(VANTIRO_TRANSCRIPT_OK, check(t, r).why);
  EXPECT_EQ(VANTIRO_TRANSCRIPT_KEY, check(t, other).why);
  EXPECT_EQ(VANTIRO_TRANSCRIPT_OK, check("", r).why);
}

}  // namespace
