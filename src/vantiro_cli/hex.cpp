// Hex output of bytes on the report.
#include <cstdio>

#include "cli_internal.h"

namespace cli {

void phex(const uint8_t* bytes, size_t len) {
  for (size_t i = 0; i < len; ++i) std::printf("%02x", bytes[i]);
}

void print_fingerprint(const uint8_t fpr[20]) {
  for (size_t i = 0; i < 20; i += 2)
    std::printf("%s%02X%02X", i == 0 ? "" : i == 10 ? "  " : " ", fpr[i], fpr[i + 1]);
}

}  // namespace cli
