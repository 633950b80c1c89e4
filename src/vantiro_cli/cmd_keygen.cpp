// keygen: a custodian's X25519 key pair - the secret key into a new owner-only file, the
// public key, in hex, into a new file that goes to the ceremony.
#include <cstdio>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

int cmd_keygen(const char* keyout, const char* pubout) {
  if (refuse_stdin_output(keyout) || refuse_stdin_output(pubout)) return 1;
  if (refuse_existing(keyout) || refuse_existing(pubout)) return 1;
  uint8_t sk[32];
  uint8_t pk[32];
  if (vantiro_custodian_keygen(sk, pk) != 0) {
    std::fputs("ERROR: the OS random source failed; no key was made\n", stderr);
    return 1;
  }
  const int wrc = write_file(keyout, sk, sizeof sk, true);
  secure_zero(sk, sizeof sk);
  if (wrc != 0) return 1;
  char line[2 * sizeof pk + 2];
  vantiro_hex(pk, sizeof pk, line, sizeof line);
  line[2 * sizeof pk] = '\n';
  if (write_file(pubout, reinterpret_cast<const uint8_t*>(line), sizeof line - 1, false) != 0) {
    std::fprintf(stderr, "ERROR: %s holds a secret key without its public file; remove it\n",
                 keyout);
    return 1;
  }
  std::printf("== custodian key made ==\n  public key: %.64s\n", line);
  std::printf("  wrote 32B secret key -> %s (keep it apart from your sealed share)\n", keyout);
  std::printf("  wrote public key -> %s (only this file goes to the ceremony)\n", pubout);
  return sync_dir_of(keyout) == 0 && sync_dir_of(pubout) == 0 ? 0 : 1;
}

}  // namespace cli
