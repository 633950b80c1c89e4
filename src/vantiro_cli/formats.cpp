// The names of the forms keys and signatures are written in for stock verifiers.
#include <cstdio>
#include <cstring>

#include "cli_internal.h"

namespace cli {

namespace {

struct format_name {
  const char* name;
  int format;
};

const format_name kKeyFormats[] = {{"hex", VANTIRO_FORMAT_RAW},
                                   {"pem", VANTIRO_FORMAT_PEM},
                                   {"openssh", VANTIRO_FORMAT_OPENSSH},
                                   {"signify", VANTIRO_FORMAT_SIGNIFY},
                                   {"minisign", VANTIRO_FORMAT_MINISIGN}};
const format_name kSigFormats[] = {{"raw", VANTIRO_FORMAT_RAW},
                                   {"signify", VANTIRO_FORMAT_SIGNIFY},
                                   {"minisign", VANTIRO_FORMAT_MINISIGN},
                                   {"ssh", VANTIRO_FORMAT_OPENSSH}};

template <size_t N>
int find(const format_name (&table)[N], const char* name, const char* choices) {
  if (name == nullptr) return table[0].format;
  for (const format_name& f : table)
    if (std::strcmp(f.name, name) == 0) return f.format;
  print_error("ERROR: unknown --format %s (%s)\n", name, choices);
  return -1;
}

}  // namespace

int key_format(const char* name) {
  return find(kKeyFormats, name, "hex, pem, openssh, signify or minisign");
}

int signature_format(const char* name) {
  return find(kSigFormats, name, "raw, signify, minisign or ssh");
}

const char* signature_format_name(int format) {
  for (const format_name& f : kSigFormats)
    if (f.format == format) return f.name;
  return "raw";
}

void keynum_hex(const uint8_t key[VANTIRO_KEY_SIZE], char (&out)[2 * VANTIRO_KEYNUM_SIZE + 1]) {
  uint8_t keynum[VANTIRO_KEYNUM_SIZE];
  vantiro_keynum(key, keynum);
  vantiro_hex(keynum, sizeof keynum, out, sizeof out);
}

}  // namespace cli
