// The SHA-256 of the running program's own file: what a witness compares with the
// release's published digest.
#include <cstdio>

#include "cli_internal.h"
#include "crypt.h"
#include "file_io.h"

namespace cli {

bool program_sha256(uint8_t out[32]) {
  FILE* f = cli_open_self();
  if (f == nullptr) {
    print_error("ERROR: cannot read the program's own file\n");
    return false;
  }
  sha256_ctx ctx;
  sha256_init(&ctx);
  uint8_t buf[16 * 1024];
  size_t got = 0;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) sha256_update(&ctx, buf, got);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  if (ok) sha256_final(&ctx, out);
  if (!ok) print_error("ERROR: cannot read the program's own file\n");
  return ok;
}

}  // namespace cli
