// Anchor files: read, parsed and checked by the ceremony core; refusals named here.
#include <cstdio>

#include "cli_internal.h"

namespace cli {

namespace {

// Larger than any zone line of a valid name, with room for a TTL and class.
constexpr size_t kAnchorFileMax = 1024;

}  // namespace

bool read_anchor(const char* path, vantiro_anchor* a) {
  uint8_t buf[kAnchorFileMax];
  size_t len = 0;
  const int rc = read_small_file(path, buf, sizeof buf, &len);
  if (rc == -1) return false;
  if (rc != 0 || vantiro_anchor_parse(buf, len, a) != 0) {
    std::fprintf(stderr,
                 "ERROR: %s is not an anchor (a _key.txt zone line, its quoted k= s= record, "
                 "or a 32-byte operator.pub)\n",
                 path);
    return false;
  }
  if (a->has_sig != 0 && vantiro_anchor_verify(a) != 0) {
    std::fprintf(stderr, "ERROR: the anchor in %s does not verify (its self-signature is not valid)\n",
                 path);
    return false;
  }
  return true;
}

void print_anchor_lines(const vantiro_anchor* a) {
  std::printf("  key: ");
  phex(a->key, sizeof a->key);
  std::printf("\n");
  if (a->owner[0] != '\0') std::printf("  owner: %s\n", a->owner);
}

}  // namespace cli
