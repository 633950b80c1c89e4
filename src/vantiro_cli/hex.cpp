// Hex output of bytes on the report.
#include <cstdio>

#include "cli_internal.h"

namespace cli {

void phex(const uint8_t* bytes, size_t len) {
  for (size_t i = 0; i < len; ++i) std::printf("%02x", bytes[i]);
}

}  // namespace cli
