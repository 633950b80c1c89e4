// Private to the share readers: one reader per form of share file. load_share (shares.cpp)
// tells the form by the file's first bytes and hands the file to its reader.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cli_internal.h"

namespace cli {

// The largest share file read, of any form: an armored age share.
constexpr size_t kShareFileMax = VANTIRO_AGE_FILE_MAX;

// Whether the len bytes at text begin with the first bytes of a form.
bool begins_sealed_form(const uint8_t* text, size_t len);
bool begins_text_form(const uint8_t* text, size_t len);
bool begins_age_form(const uint8_t* text, size_t len);
bool begins_openpgp_form(const uint8_t* text, size_t len);

// The readers of the file at path, whose len bytes are at buf. exact is false when the form
// was told only after a byte-order mark or blank lines, which the strict text forms refuse.
// Each prints why it refuses and returns the kind read.
share_kind read_sealed_form(const char* path, const uint8_t* buf, size_t len, bool exact,
                            loaded_share* out);
share_kind read_text_form(const char* path, const uint8_t* buf, size_t len, bool exact,
                          loaded_share* out);
share_kind read_age_form(const char* path, const uint8_t* buf, size_t len,
                         custodian_keys* keys, bool report_locked, loaded_share* out);
// An OpenPGP message is opened by gpg from its file, and only with gpg set (--gpg).
share_kind read_openpgp_form(const char* path, bool gpg, bool report_locked, loaded_share* out);

}  // namespace cli
