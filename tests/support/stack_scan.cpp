#include "stack_scan.h"

#include <algorithm>

// The scan reads stack that AddressSanitizer may still mark, and its frames must stay on
// the thread's stack rather than the heap-allocated frames of use-after-return detection.
#if defined(__GNUC__)
#define VT_STACK_LEAF __attribute__((noinline, no_sanitize_address))
#else
#define VT_STACK_LEAF
#endif

extern "C" const char* __asan_default_options() { return "detect_stack_use_after_return=0"; }

namespace vt {

VT_STACK_LEAF void stack_paint_below() {
  volatile uint8_t* top = static_cast<volatile uint8_t*>(__builtin_frame_address(0));
  for (size_t i = 1; i <= kStackScanBytes; ++i) top[-static_cast<ptrdiff_t>(i)] = 0xA5;
}

VT_STACK_LEAF void stack_copy_below(StackSnapshot* s) {
  volatile const uint8_t* top = static_cast<volatile const uint8_t*>(__builtin_frame_address(0));
  uint8_t* out = s->data.data();
  for (size_t i = 1; i <= kStackScanBytes; ++i)
    out[kStackScanBytes - i] = top[-static_cast<ptrdiff_t>(i)];
  s->low = reinterpret_cast<uintptr_t>(top) - kStackScanBytes;
}

bool StackSnapshot::holds(const uint8_t* needle, size_t n) const {
  return std::search(data.begin(), data.end(), needle, needle + n) != data.end();
}

bool StackSnapshot::covers(const void* p) const {
  const uintptr_t a = reinterpret_cast<uintptr_t>(p);
  return a >= low && a < low + data.size();
}

}  // namespace vt
