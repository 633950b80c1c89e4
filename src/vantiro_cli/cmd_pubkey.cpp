// pubkey: prints the anchor's key in the form a relying party's own verifier reads.
#include <cstdio>

#include "cli_internal.h"

namespace cli {

int cmd_pubkey(const char* anchor_path, const cmd_options& o) {
  const int format = key_format(o.format);
  if (format < 0) return 1;
  // With --pin, the key printed is the one the pin leads to; the output stays the key
  // text alone, for a verifier to read.
  trusted_anchor t;
  if (!read_trusted_anchor(anchor_path, o, &t)) return 1;
  const vantiro_anchor& a = t.a;
  char text[VANTIRO_FORMAT_TEXT_MAX];
  size_t len = 0;
  if (vantiro_key_text(a.key, format, a.owner, text, sizeof text, &len) != 0) {
    print_error("ERROR: the key cannot be written in that form\n");
    return 1;
  }
  std::fwrite(text, 1, len, stdout);
  return 0;
}

}  // namespace cli
