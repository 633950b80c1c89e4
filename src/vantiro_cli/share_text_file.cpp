// Share text files: a share record in the clear under the root's signed header, read
// strictly and its signature checked.
#include <cstdio>
#include <cstring>

#include "share_forms.h"

namespace cli {

namespace {

constexpr char kTextMagic[] = "vantiro share v";

}  // namespace

bool begins_text_form(const uint8_t* text, size_t len) {
  return len >= sizeof kTextMagic - 1 && std::memcmp(text, kTextMagic, sizeof kTextMagic - 1) == 0;
}

share_kind read_text_form(const char* path, const uint8_t* buf, size_t len, bool exact,
                          loaded_share* out) {
  const int rc = exact ? vantiro_share_text_parse(buf, len, &out->text) : -1;
  if (rc == -3)
    print_error("ERROR: %s is not signed by the root it names\n", path);
  else if (rc != 0)
    print_error("ERROR: %s is not a share text\n", path);
  return rc == 0 ? SHARE_TEXT : SHARE_FAILED;
}

}  // namespace cli
