// successor: the old root, rebuilt from its shares in memory, vouches for the new anchor,
// so relying parties who pinned the old key can move to the new one.
#include <cstdio>
#include <cstring>

#include "cli_internal.h"

namespace cli {

namespace {

int make_successor(const uint8_t* root, const char* time, const void* next, char* out, size_t cap,
                   size_t* len) {
  return vantiro_successor_make(root, static_cast<const vantiro_anchor*>(next), time, out, cap, len);
}

}  // namespace

int cmd_successor(const char* old_anchor, const char* new_anchor, const char* out, int k,
                  char** share_paths, const cmd_options& o) {
  if (refuse_stdin_output(out)) return 1;
  if (is_stdin(old_anchor) && is_stdin(new_anchor)) {
    print_error("ERROR: only one operand can be - (standard input)\n");
    return 1;
  }
  vantiro_anchor old_a;
  vantiro_anchor new_a;
  if (!read_anchor(old_anchor, &old_a) || !read_anchor(new_anchor, &new_a)) return 1;
  // The new anchor's self-signature is its holders' proof that they made it.
  if (new_a.has_sig == 0) {
    print_error("ERROR: %s is a raw key: give the new anchor record, whose self-signature "
                 "shows its holders made it\n",
                 shown(new_anchor));
    return 1;
  }
  if (std::memcmp(old_a.key, new_a.key, sizeof old_a.key) == 0) {
    print_error("ERROR: the new anchor's key is the old one's: a root cannot succeed itself\n");
    return 1;
  }
  if (refuse_existing(out) || !transcript_accepts(old_a.key, false)) return 1;
  char time[kUtcSize];
  char text[VANTIRO_STATEMENT_TEXT_MAX];
  size_t len = 0;
  if (!make_statement(&old_a, k, share_paths, o, make_successor, &new_a, "successor", time, text, &len))
    return 1;
  std::printf("== successor statement signed by the old root ==\n  key: ");
  phex(old_a.key, sizeof old_a.key);
  std::printf("\n  successor: ");
  phex(new_a.key, sizeof new_a.key);
  std::printf("\n  time: %s\n", time);
  if (!write_statement(out, text, len, false)) return 1;
  std::printf("  NOW: publish %s beside the new anchor; keep the old anchor record published "
              "until relying parties have moved.\n",
              out);
  return 0;
}

}  // namespace cli
