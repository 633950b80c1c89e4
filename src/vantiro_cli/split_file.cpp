// Split record files: read strictly and checked against the anchor; shares checked
// against them one by one.
#include <cstdio>
#include <cstring>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

bool read_split_record(const char* path, const vantiro_anchor* a, vantiro_split_record* rec) {
  uint8_t text[VANTIRO_SPLIT_TEXT_MAX];
  size_t len = 0;
  const int read_rc = read_small_file(path, text, sizeof text, &len);
  if (read_rc == -1) return false;
  if (read_rc == 0) transcript_read(TRANSCRIPT_SPLIT, path, text, len);
  const int rc = read_rc == 0 ? vantiro_split_record_parse(text, len, rec) : -1;
  if (rc == -3) {
    print_error("ERROR: %s is not signed by the key it names\n", shown(path));
    return false;
  }
  if (rc != 0) {
    print_error("ERROR: %s is not a split record\n", shown(path));
    return false;
  }
  if (a != nullptr && std::memcmp(a->key, rec->key, sizeof rec->key) != 0) {
    char hex[65];
    vantiro_hex(rec->key, sizeof rec->key, hex, sizeof hex);
    print_error("ERROR: %s is the split record of key %s, not the anchor's key\n",
                 shown(path), hex);
    return false;
  }
  return true;
}

bool check_against_record(const vantiro_split_record* rec, int k, const char* const* paths,
                          const uint8_t* records, bool report_intact) {
  bool all = true;
  for (size_t i = 0; i < static_cast<size_t>(k); ++i) {
    const uint8_t* r = records + i * kRecord;
    const int x = r[0];
    switch (vantiro_split_record_check(rec, r)) {
      case VANTIRO_SHARE_LISTED:
        if (report_intact)
          std::printf("  %s: share %d of this split, intact\n", paths[i], x);
        break;
      case VANTIRO_SHARE_CHANGED:
        print_error("ERROR: %s is not share %d of this split (its fingerprint differs)\n",
                     paths[i], x);
        all = false;
        break;
      default:
        print_error("ERROR: %s: the split record lists no share %d\n", paths[i], x);
        all = false;
        break;
    }
  }
  return all;
}

}  // namespace cli
