// Platform code: the OS random generator and the millisecond tick count.
#include "crypt.h"
#include "random_internal.h"

#if defined(_WIN32)

#include <windows.h>

// RtlGenRandom, exported by advapi32 as SystemFunction036.
extern "C" BOOLEAN NTAPI SystemFunction036(PVOID buffer, ULONG length);

namespace crypt_internal {

int crypt_os_random(uint8_t* buf, size_t len) {
  // One call with a 32-bit length: a request of 2^32 bytes or more fails rather than
  // being cut short.
  if (len > 0xFFFFFFFFu) return -1;
  return SystemFunction036(buf, static_cast<ULONG>(len)) ? 0 : -1;
}

}  // namespace crypt_internal

uint64_t crypt_time_ms(void) { return GetTickCount64(); }

#else

#include <cerrno>
#include <sys/random.h>
#include <time.h>

namespace crypt_internal {

int crypt_os_random(uint8_t* buf, size_t len) {
  size_t done = 0;
  while (done < len) {
    ssize_t got = getrandom(buf + done, len - done, 0);
    if (got <= 0) {
      if (got < 0 && errno == EINTR) continue;
      return -1;  // any other error, and a zero-length answer that would never end
    }
    done += static_cast<size_t>(got);
  }
  return 0;
}

}  // namespace crypt_internal

uint64_t crypt_time_ms(void) {
  struct timespec ts {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

#endif
