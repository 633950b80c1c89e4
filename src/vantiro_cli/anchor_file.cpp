// Anchor files: read whole (standard input for "-"), parsed and checked by the ceremony
// core; refusals named here.
#include <cstdio>
#include <cstdlib>

#include "cli_internal.h"

namespace cli {

bool read_anchors(const char* path, vantiro_anchor* out, int cap, int* count) {
  const char* name = shown(path);
  uint8_t* buf = alloc_zeroed(VANTIRO_ANCHOR_TEXT_MAX);
  if (buf == nullptr) return false;
  size_t len = 0;
  const int read_rc = read_small_file(path, buf, VANTIRO_ANCHOR_TEXT_MAX, &len);
  *count = 0;
  if (read_rc == 0) transcript_read(TRANSCRIPT_ANCHOR, path, buf, len);
  const int rc = read_rc == 0    ? vantiro_anchor_parse_all(buf, len, out, cap, count)
                 : read_rc == -2 ? VANTIRO_ANCHOR_TOO_LARGE
                                 : 0;
  std::free(buf);
  if (read_rc == -1) return false;
  switch (rc) {
    case 0:
      break;
    case VANTIRO_ANCHOR_TOO_LARGE:
      print_error("ERROR: %s is too large for an anchor\n", name);
      return false;
    case VANTIRO_ANCHOR_SEVERAL:
      print_error("ERROR: %s holds %d anchor records; give the one to use\n", name, *count);
      return false;
    case VANTIRO_ANCHOR_SMALL_ORDER:
      print_error("ERROR: %s carries a key of small order, which proves nothing\n",
                   name);
      return false;
    default:
      print_error("ERROR: %s is not an anchor (a _key.txt zone line, its quoted k= s= record, "
                   "or a 32-byte operator.pub)\n",
                   name);
      return false;
  }
  for (int i = 0; i < *count; ++i) {
    if (out[i].has_sig == 0 || vantiro_anchor_verify(&out[i]) == 0) continue;
    print_error("ERROR: the anchor in %s does not verify (its self-signature is not valid)\n",
                 name);
    return false;
  }
  return true;
}

bool read_anchor(const char* path, vantiro_anchor* a) {
  int count = 0;
  return read_anchors(path, a, 1, &count);
}

void print_anchor_lines(const vantiro_anchor* a, bool owner_note) {
  std::printf("  key: ");
  phex(a->key, sizeof a->key);
  std::printf("\n");
  // The self-signature covers the key alone: the name is trusted only through DNS.
  if (a->owner[0] != '\0')
    std::printf("  owner: %s%s\n", a->owner, owner_note ? " (not covered by the signature)" : "");
}

}  // namespace cli
