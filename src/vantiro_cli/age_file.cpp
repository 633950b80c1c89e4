// age share files: a share text encrypted to a custodian's age recipient, binary or armored,
// opened with the --key whose stanza unwraps and its share text checked.
#include <cstdio>
#include <cstring>

#include "crypt.h"
#include "share_forms.h"

namespace cli {

namespace {

constexpr char kAgeMagic[] = "age-encryption.org/v1\n";

}  // namespace

bool begins_age_form(const uint8_t* text, size_t len) {
  return (len >= sizeof kAgeMagic - 1 && std::memcmp(text, kAgeMagic, sizeof kAgeMagic - 1) == 0) ||
         age_is_armored(text, len) != 0;
}

share_kind read_age_form(const char* path, const uint8_t* buf, size_t len,
                         custodian_keys* keys, bool report_locked, loaded_share* out) {
  int which = -1;
  const int rc = vantiro_age_share_open(buf, len, keys->sk, keys->count, &out->text, &which);
  switch (rc) {
    case VANTIRO_AGE_SHARE_OPENED:
      keys->opened[which] = true;
      return SHARE_AGE;
    case VANTIRO_AGE_SHARE_NO_KEY:
      if (!report_locked) return SHARE_AGE_LOCKED;
      print_error("ERROR: no --key opens %s\n", path);
      break;
    case VANTIRO_AGE_SHARE_HMAC:
      print_error("ERROR: %s is damaged (%s)\n", path, "its header MAC is wrong");
      break;
    case VANTIRO_AGE_SHARE_PAYLOAD:
      print_error("ERROR: %s is damaged (%s)\n", path,
                   "its payload does not authenticate");
      break;
    case VANTIRO_AGE_SHARE_ARMOR:
      print_error("ERROR: %s is damaged (%s)\n", path, "its armor is malformed");
      break;
    case VANTIRO_AGE_SHARE_NOT_SHARE:
      print_error("ERROR: %s does not hold a vantiro share\n", path);
      break;
    case VANTIRO_AGE_SHARE_UNSIGNED:
      print_error("ERROR: %s is not signed by the root it names\n", path);
      break;
    default:
      print_error("ERROR: %s is damaged (%s)\n", path, "its header is malformed");
      break;
  }
  return SHARE_FAILED;
}

}  // namespace cli
