// Error lines: every refusal goes to standard error through print_error, which keeps the
// first one of the run for the transcript's result line.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "cli_internal.h"

namespace cli {

namespace {

// The first error line of the run, without "ERROR: " and its line end; empty until one.
char first_line[kErrorLineMax];

}  // namespace

void print_error(const char* fmt, ...) {
  char line[kErrorLineMax];
  va_list args;
  va_start(args, fmt);
  const int n = std::vsnprintf(line, sizeof line, fmt, args);
  va_end(args);
  if (n < 0) return;
  if (static_cast<size_t>(n) < sizeof line) {
    std::fputs(line, stderr);
  } else {
    // Longer than any message the tool makes with its own texts: printed again in full.
    va_start(args, fmt);
    std::vfprintf(stderr, fmt, args);
    va_end(args);
  }
  if (first_line[0] != '\0') return;
  const char* text = std::strncmp(line, "ERROR: ", 7) == 0 ? line + 7 : line;
  const size_t len = std::strcspn(text, "\n");
  std::memcpy(first_line, text, len);
  first_line[len] = '\0';
}

const char* first_error() { return first_line; }

}  // namespace cli
