// What a function leaves on the stack: the region just below the calling frame, painted
// before the call and copied out right after it, before anything else runs there. Wipe
// tests search the copy for secrets the function should have cleared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vt {

// Deep enough for every library call the wipe tests make, with room to spare.
constexpr size_t kStackScanBytes = 64 * 1024;

struct StackSnapshot {
  uintptr_t low = 0;          // address of the region's first byte
  std::vector<uint8_t> data;  // the region as the call left it

  // True when the region holds the n bytes at needle somewhere.
  bool holds(const uint8_t* needle, size_t n) const;
  bool holds(const std::vector<uint8_t>& needle) const {
    return holds(needle.data(), needle.size());
  }
  // True when p points into the region.
  bool covers(const void* p) const;
};

// Leaf functions working on the kStackScanBytes below their caller's frame, from the top
// down (so a Windows stack commits its pages in order).
void stack_paint_below();
void stack_copy_below(StackSnapshot* s);

// Runs fn from this frame between painting the region below it and copying it out.
template <class Fn>
StackSnapshot stack_after(Fn&& fn) {
  StackSnapshot s;
  s.data.resize(kStackScanBytes);  // allocated before the paint
  stack_paint_below();
  fn();
  stack_copy_below(&s);
  return s;
}

}  // namespace vt
