// Sealed shares for custodians: made and written in the form each custodian's key takes
// (a sealed share, an age share), and sealed share files read, checked and opened.
#include <cstdio>
#include <cstring>

#include "cli_internal.h"
#include "crypt.h"
#include "share_forms.h"

namespace cli {

namespace {

constexpr char kSealedMagic[] = "vantiro sealed share";

}  // namespace

const char* form_extension(uint8_t form) {
  return form == VANTIRO_FORM_AGE ? "age" : form == VANTIRO_FORM_OPENPGP ? "asc" : "sealed";
}

bool seal_records(const uint8_t* root, const uint8_t split[VANTIRO_SPLIT_ID_SIZE], int t,
                  const uint8_t* records, const custodian_list* to, sealed_batch* batch) {
  for (size_t i = 0; i < static_cast<size_t>(to->count); ++i) {
    const uint8_t* rec = records + i * kRecord;
    const int rc = vantiro_share_seal(to->form[i], root, split, t, rec, to->pk[i], &to->cert[i],
                                      reinterpret_cast<uint8_t*>(batch->file[i]),
                                      VANTIRO_SEALED_TEXT_MAX, &batch->len[i]);
    if (rc != 0) {
      print_error("ERROR: vantiro_share_seal rc=%d\n", rc);
      return false;
    }
    batch->x[i] = rec[0];
    sha256(rec, kRecord, batch->fingerprint[i]);
  }
  return true;
}

int write_sealed_files(const char* outdir, const custodian_list* to, const sealed_batch* batch) {
  char path[kPathBuf];
  int not_written = 0;
  for (size_t i = 0; i < static_cast<size_t>(to->count); ++i) {
    const auto* file = reinterpret_cast<const uint8_t*>(batch->file[i]);
    const bool age = to->form[i] == VANTIRO_FORM_AGE;
    const bool pgp = to->form[i] == VANTIRO_FORM_OPENPGP;
    // A sealed share is read back as its custodian will read it: a text that does not parse,
    // or names another share, is never written. (Age and OpenPGP shares open only with the
    // custodian's key.)
    vantiro_sealed_share s;
    if (!age && !pgp && (vantiro_sealed_share_parse(file, batch->len[i], &s) != 0 || s.x != batch->x[i] ||
                 std::memcmp(s.fingerprint, batch->fingerprint[i], 32) != 0)) {
      print_error("ERROR: a sealed share does not read back\n");
      ++not_written;
      continue;
    }
    share_path(path, outdir, batch->x[i], form_extension(to->form[i]));
    if (write_file(path, file, batch->len[i], true) != 0) {
      ++not_written;
      continue;
    }
    std::printf("    x=%3d -> %s  ", batch->x[i], path);
    if (age) {
      char recipient[AGE_RECIPIENT_SIZE];
      age_recipient_encode(to->pk[i], recipient);
      std::printf("age to %.16s...", recipient);
    } else if (pgp) {
      std::printf("OpenPGP to %s (", to->cert[i].user_id);
      print_fingerprint(to->cert[i].primary_fpr);
      std::printf(")");
    } else {
      std::printf("sealed to ");
      phex(to->pk[i], 8);
      std::printf("...");
    }
    std::printf("  sha256=");
    phex(batch->fingerprint[i], 6);
    std::puts("...");
  }
  return not_written;
}

bool begins_sealed_form(const uint8_t* text, size_t len) {
  return len >= sizeof kSealedMagic - 1 &&
         std::memcmp(text, kSealedMagic, sizeof kSealedMagic - 1) == 0;
}

share_kind read_sealed_form(const char* path, const uint8_t* buf, size_t len, bool exact,
                            loaded_share* out) {
  const int rc = exact ? vantiro_sealed_share_parse(buf, len, &out->sealed) : -1;
  if (rc == -3)
    print_error("ERROR: %s is not signed by the root it names\n", path);
  else if (rc != 0)
    print_error("ERROR: %s is not a sealed share\n", path);
  return rc == 0 ? SHARE_SEALED : SHARE_FAILED;
}

bool open_sealed_share(const char* path, const vantiro_sealed_share* s, custodian_keys* keys,
                       uint8_t* rec, bool* no_key) {
  int which = -1;
  for (int i = 0; i < keys->count && which < 0; ++i)
    if (std::memcmp(keys->pk[i], s->recipient, 32) == 0) which = i;
  if (which < 0) {
    if (no_key != nullptr) {
      *no_key = true;
      return false;
    }
    char hex[65];
    vantiro_hex(s->recipient, sizeof s->recipient, hex, sizeof hex);
    print_error("ERROR: no --key opens %s (it is sealed to %.16s...)\n", path, hex);
    return false;
  }
  const int rc = vantiro_sealed_share_open(s, keys->sk[which], rec);
  if (rc == -3)
    print_error("ERROR: %s does not hold the share its header names\n", path);
  else if (rc != 0)
    print_error("ERROR: %s does not open with %s\n", path, keys->path[which]);
  if (rc == 0) keys->opened[which] = true;
  return rc == 0;
}

}  // namespace cli
