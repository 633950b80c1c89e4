// revoke: the root, rebuilt from its shares in memory, declares itself withdrawn; relying
// parties given the statement refuse its key and every key it vouched for.
#include <cstdio>

#include "cli_internal.h"

namespace cli {

namespace {

int make_revocation(const uint8_t* root, const char* time, const void* why, char* out, size_t cap,
                    size_t* len) {
  return vantiro_revocation_make(root, time, static_cast<const char*>(why), out, cap, len);
}

}  // namespace

int cmd_revoke(const char* anchor_path, const char* out, int k, char** share_paths,
               const cmd_options& o) {
  const char* reason = o.reason != nullptr ? o.reason : "revoked by its custodians";
  if (vantiro_reason_ok(reason) == 0) {
    print_error("ERROR: --reason must be one line of printable ASCII, at most 200 bytes\n");
    return 1;
  }
  if (refuse_stdin_output(out)) return 1;
  vantiro_anchor a;
  if (!read_anchor(anchor_path, &a)) return 1;
  if (refuse_existing(out) || !transcript_accepts(a.key, false)) return 1;
  char time[kUtcSize];
  char text[VANTIRO_STATEMENT_TEXT_MAX];
  size_t len = 0;
  if (!make_statement(&a, k, share_paths, o, make_revocation, reason, "revocation", time, text, &len))
    return 1;
  std::printf("== revocation statement signed by the root ==\n  key: ");
  phex(a.key, sizeof a.key);
  std::printf("\n  time: %s\n  reason: %s\n", time, reason);
  if (!write_statement(out, text, len, true)) return 1;
  std::printf("  Published, it withdraws this key and every successor it signed, for good.\n");
  return 0;
}

}  // namespace cli
