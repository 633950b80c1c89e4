#include "crypt.h"

void secure_zero(void* buf, size_t len) {
  if (buf == nullptr || len == 0) return;
  // Volatile stores one byte at a time: the compiler may neither drop nor merge them.
  volatile uint8_t* p = static_cast<volatile uint8_t*>(buf);
  for (size_t i = 0; i < len; ++i) p[i] = 0;
}
