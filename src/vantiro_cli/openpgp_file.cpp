// OpenPGP share files: a share text encrypted to a custodian's OpenPGP certificate, opened
// only when asked (--gpg) by gpg - with the custodian's key, often on a smartcard - and
// read from gpg's standard output through a pipe, then checked as a share text.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "crypt.h"
#include "file_io.h"
#include "share_forms.h"

namespace cli {

namespace {

// The program that opens OpenPGP messages: VANTIRO_GPG, else gpg on the PATH.
const char* gpg_program() {
  const char* p = std::getenv("VANTIRO_GPG");
  return p != nullptr && p[0] != '\0' ? p : "gpg";
}

}  // namespace

bool begins_openpgp_form(const uint8_t* text, size_t len) {
  if (openpgp_is_armored(text, len, OPENPGP_ARMOR_MESSAGE) != 0) return true;
  // A binary message starts with a packet header (bit 7 set) of a session key packet or
  // encrypted data: tags 1, 3, 18 and 20, in the old or the new format. A share record
  // starts with its x, below 0x80.
  if (len == 0 || (text[0] & 0x80) == 0) return false;
  const int tag = (text[0] & 0x40) != 0 ? text[0] & 0x3f : (text[0] >> 2) & 0x0f;
  return tag == 1 || tag == 3 || tag == 18 || tag == 20;
}

share_kind read_openpgp_form(const char* path, bool gpg, bool report_locked, loaded_share* out) {
  if (!gpg) {
    if (!report_locked) return SHARE_PGP_LOCKED;
    print_error("ERROR: %s is an OpenPGP message; give --gpg to open it with gpg\n",
                 path);
    return SHARE_FAILED;
  }
  const char* program = gpg_program();
  char* argv[] = {const_cast<char*>(program), const_cast<char*>("--decrypt"),
                  const_cast<char*>("--quiet"), const_cast<char*>("--"), const_cast<char*>(path),
                  nullptr};
  // gpg's prompts (the card's PIN) and notes go to the terminal; the share text alone
  // comes through the pipe.
  std::fflush(stdout);
  uint8_t text[VANTIRO_SHARE_TEXT_MAX];
  size_t len = 0;
  int status = 0;
  const cli_run_result rc = cli_run_capture(program, argv, text, sizeof text, &len, &status);
  share_kind kind = SHARE_FAILED;
  if (rc == CLI_RUN_UNSUPPORTED) {
    print_error("ERROR: this Windows build does not run gpg; open %s with gpg yourself and "
                 "give the share text it holds\n",
                 path);
  } else if (rc == CLI_RUN_CANNOT_RUN) {
    print_error("ERROR: cannot run %s\n", program);
  } else if (rc == CLI_RUN_FAILED) {
    print_error("ERROR: gpg could not open %s (exit %d)\n", path, status);
  } else if (rc == CLI_RUN_TOO_LONG) {
    print_error("ERROR: %s does not hold a vantiro share\n", path);
  } else {
    const int prc = vantiro_share_text_parse(text, len, &out->text);
    if (prc == -3)
      print_error("ERROR: %s is not signed by the root it names\n", path);
    else if (prc != 0)
      print_error("ERROR: %s does not hold a vantiro share\n", path);
    else
      kind = SHARE_PGP;
  }
  secure_zero(text, sizeof text);
  return kind;
}

}  // namespace cli
