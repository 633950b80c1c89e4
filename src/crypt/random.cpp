// The library's one gateway to the OS random generator, with its failure switch.
#include "crypt.h"
#include "random_internal.h"

using namespace crypt_internal;

static int g_random_force_fail = 0;

void crypt_random_force_fail_FOR_TEST(int on) { g_random_force_fail = on; }

int crypt_fill_random(uint8_t* buf, size_t len) {
  if (buf == nullptr) return -1;
  if (g_random_force_fail == 0 && crypt_os_random(buf, len) == 0) return 0;
  // A failed draw never leaves partial or stale bytes behind.
  for (size_t i = 0; i < len; ++i) buf[i] = 0;
  return -1;
}
