// selftest: a 3-of-5 ceremony in memory - mint, rebuild from shares 1, 3 and 5, and
// verify the anchor's signature from its text alone.
#include <cstdio>
#include <cstring>

#include "cli_internal.h"
#include "crypt.h"

namespace cli {

int cmd_selftest() {
  std::puts("== vantiro selftest (mint 3-of-5, recover, verify anchor) ==");
  uint8_t pub[VANTIRO_KEY_SIZE];
  char anchor[VANTIRO_ANCHOR_SIZE];
  uint8_t records[5 * kRecord];
  int rc = vantiro_mint(5, 3, pub, records, anchor, sizeof anchor);
  if (rc != 0) {
    std::printf("FAIL: vantiro_mint rc=%d\n", rc);
    return 1;
  }
  std::printf("  pubkey: ");
  phex(pub, sizeof pub);
  std::printf("\n  anchor: %s\n", anchor);

  // Shares x = 1, 3 and 5: not the first three, which the mint has proved already.
  uint8_t pick[3 * kRecord];
  std::memcpy(pick, records, kRecord);
  std::memcpy(pick + kRecord, records + 2 * kRecord, kRecord);
  std::memcpy(pick + 2 * kRecord, records + 4 * kRecord, kRecord);
  secure_zero(records, sizeof records);
  uint8_t root[kRoot];
  rc = vantiro_recover(3, pick, root);
  secure_zero(pick, sizeof pick);
  if (rc != 0) {
    std::puts("FAIL: recover");
    return 1;
  }
  const bool key_match = std::memcmp(root + 32, pub, sizeof pub) == 0;

  // The signature is checked from the anchor text alone, against the minted key.
  uint8_t msg[VANTIRO_OPERATOR_MSG_SIZE];
  vantiro_operator_message(pub, msg);
  bool sig_valid = false;
  const char* s = std::strstr(anchor, "s=");
  if (s != nullptr) {
    s += 2;
    uint8_t sig[64];
    for (size_t i = 0; i < sizeof sig; ++i) {
      unsigned v = 0;
      std::sscanf(s + 2 * i, "%2x", &v);
      sig[i] = static_cast<uint8_t>(v & 0xFFu);
    }
    sig_valid = ed25519_verify(pub, msg, sizeof msg, sig) == 0;
  }
  secure_zero(root, sizeof root);
  std::printf("  recovered pubkey matches: %s\n", key_match ? "YES" : "NO");
  std::printf("  anchor signature valid:   %s\n", sig_valid ? "YES" : "NO");
  if (key_match && sig_valid) {
    std::printf("PASS\n");
    return 0;
  }
  std::printf("FAIL\n");
  return 1;
}

}  // namespace cli
