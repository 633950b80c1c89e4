#include <cstring>

#include "crypt.h"
#include "md_internal.h"

void secure_zero(void* buf, size_t len) {
  if (buf == nullptr || len == 0) return;
#if defined(__GNUC__) || defined(__clang__)
  // A plain memset (wide stores), then a barrier the compiler must assume reads the
  // buffer: the stores can be neither dropped nor moved past it.
  std::memset(buf, 0, len);
  __asm__ __volatile__("" : : "r"(buf) : "memory");
#else
  // Volatile stores one byte at a time: the compiler may neither drop nor merge them.
  volatile uint8_t* p = static_cast<volatile uint8_t*>(buf);
  for (size_t i = 0; i < len; ++i) p[i] = 0;
#endif
}

// Not instrumented by AddressSanitizer: its red zones would leave the top of the area,
// next to the caller's frame, unwiped.
[[gnu::noinline, gnu::no_sanitize_address]] void crypt_md::wipe_stack_below() {
#ifdef VANTIRO_MD_INSTRUMENTED
  uint8_t area[4096];  // instrumented frames are larger
#else
  uint8_t area[1024];
#endif
  secure_zero(area, sizeof area);
}
