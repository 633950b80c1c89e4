// keygen: a custodian's X25519 key pair - the secret key as an age identity into a new
// owner-only file (so stock age opens the custodian's .age shares with it, and it can never
// pass for a public key), the public key, in hex, into a new file that goes to the ceremony.
#include <cstdio>
#include <cstring>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

namespace {

// "# created: <UTC>", "# public key: age1...", the identity line: as age-keygen lays it out.
constexpr size_t kIdentityFileMax = 256;

}  // namespace

int cmd_keygen(const char* keyout, const char* pubout) {
  if (refuse_stdin_output(keyout) || refuse_stdin_output(pubout)) return 1;
  if (refuse_existing(keyout) || refuse_existing(pubout)) return 1;
  uint8_t sk[32];
  uint8_t pk[32];
  if (vantiro_custodian_keygen(sk, pk) != 0) {
    print_error("ERROR: the OS random source failed; no key was made\n");
    return 1;
  }
  char recipient[AGE_RECIPIENT_SIZE];
  age_recipient_encode(pk, recipient);
  char identity[AGE_IDENTITY_SIZE];
  age_identity_encode(sk, identity);
  secure_zero(sk, sizeof sk);
  char created[kUtcSize];
  utc_now(created);
  char file[kIdentityFileMax];
  const int file_len = std::snprintf(file, sizeof file, "# created: %s\n# public key: %s\n%s\n",
                                     created, recipient, identity);
  secure_zero(identity, sizeof identity);
  const int wrc = file_len > 0 && static_cast<size_t>(file_len) < sizeof file
                      ? write_file(keyout, reinterpret_cast<const uint8_t*>(file),
                                   static_cast<size_t>(file_len), true)
                      : -1;
  secure_zero(file, sizeof file);
  if (wrc != 0) return 1;
  char line[2 * sizeof pk + 2];
  vantiro_hex(pk, sizeof pk, line, sizeof line);
  line[2 * sizeof pk] = '\n';
  if (write_file(pubout, reinterpret_cast<const uint8_t*>(line), sizeof line - 1, false) != 0) {
    print_error("ERROR: %s holds a secret key without its public file; remove it\n",
                 keyout);
    return 1;
  }
  std::printf("== custodian key made ==\n  public key: %.64s\n  age recipient: %s\n", line,
              recipient);
  std::printf("  wrote secret key (an age identity) -> %s (keep it apart from your sealed share)\n",
              keyout);
  std::printf("  wrote public key -> %s (only this file goes to the ceremony)\n", pubout);
  return sync_dir_of(keyout) == 0 && sync_dir_of(pubout) == 0 ? 0 : 1;
}

}  // namespace cli
