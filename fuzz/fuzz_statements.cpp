// The readers of the texts a ceremony publishes beyond its anchor - a transcript, a
// successor or revocation statement, a signature file in any stock verifier's form - on
// arbitrary bytes in a buffer of exactly their size. Each must return one of its codes,
// leave its output untouched where it says so, and report only what lies inside the input.
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "vantiro_core.h"

namespace {

using bytes = std::vector<uint8_t>;

struct seen {
  const char* begin;
  const char* end;
  int entries;
};

bool inside(const seen* s, const char* p, size_t n) { return p >= s->begin && p + n <= s->end; }

void each(void* ctx, const vantiro_transcript_entry* e) {
  auto* s = static_cast<seen*>(ctx);
  ++s->entries;
  FUZZ_CHECK(e->number == s->entries);
  FUZZ_CHECK(inside(s, e->time, 20) && inside(s, e->command, e->command_len));
  FUZZ_CHECK(inside(s, e->result, e->result_len));
  FUZZ_CHECK(e->wrote_len == 0 || inside(s, e->wrote, e->wrote_len));
}

// The key a transcript's first entry names, so that checking reaches past its key line.
void first_key(const bytes& text, uint8_t key[32]) {
  std::memset(key, 0, 32);
  const char* t = reinterpret_cast<const char*>(text.data());
  for (size_t i = 0; i + 5 + 64 <= text.size(); ++i)
    if ((i == 0 || t[i - 1] == '\n') && std::memcmp(t + i, "key: ", 5) == 0) {
      vantiro_unhex(t + i + 5, 64, key);
      return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const bytes text(data, data + size);  // exactly size bytes on the heap

  uint8_t key[32];
  first_key(text, key);
  seen s{reinterpret_cast<const char*>(text.data()),
         reinterpret_cast<const char*>(text.data()) + text.size(), 0};
  vantiro_transcript_result res{};
  const int rc = vantiro_transcript_check(text.data(), text.size(), key, each, &s, &res);
  FUZZ_CHECK(rc == 0 || rc == 1);
  FUZZ_CHECK(res.entries == s.entries);
  FUZZ_CHECK((rc == 0) == (res.why == VANTIRO_TRANSCRIPT_OK));
  FUZZ_CHECK(rc == 0 ? res.broken == 0 : res.broken == res.entries + 1);

  vantiro_statement st;
  size_t used = 0;
  const int srt = vantiro_statement_read(text.data(), text.size(), &st, &used);
  FUZZ_CHECK(srt == 0 || srt == -1 || srt == -3);
  if (srt == 0) {
    FUZZ_CHECK(used <= text.size() && used <= VANTIRO_STATEMENT_TEXT_MAX);
    FUZZ_CHECK(st.kind == VANTIRO_SUCCESSOR || st.kind == VANTIRO_REVOCATION);
  }

  vantiro_sig_file sig;
  std::memset(&sig, 0x5a, sizeof sig);
  vantiro_sig_file untouched;
  std::memset(&untouched, 0x5a, sizeof untouched);
  const int prt = vantiro_sig_parse(text.data(), text.size(), &sig);
  FUZZ_CHECK(prt == 0 || prt == -1);
  if (prt == -1) FUZZ_CHECK(std::memcmp(&sig, &untouched, sizeof sig) == 0);
  if (prt == 0) {
    FUZZ_CHECK(sig.format >= VANTIRO_FORMAT_RAW && sig.format <= VANTIRO_FORMAT_MINISIGN);
    FUZZ_CHECK(std::memchr(sig.comment, '\0', sizeof sig.comment) != nullptr);
  }
  return 0;
}
