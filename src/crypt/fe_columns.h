// The column sums and carry chains of field multiplication and squaring, written once over
// a limb type V: int64_t for one element (fe.cpp), a vector of two or four lanes for
// independent elements computed side by side (fe_lanes.h). Each including file first declares, for
// its V, prod (a signed 32 x 32 -> 64-bit product of limbs), mul19, shl, sar and
// settle (a scheduling fence that makes the compiler add each row into the sums before it
// starts the next one, instead of keeping all products alive at once). Every
// lane performs exactly the products and carries of the one-element code.
#pragma once

#include <cstdint>

// The kernels are inlined whatever the optimisation level, so that their ten limbs stay
// in registers rather than going through memory at every call.
#ifndef FE_KERNEL
#if defined(__GNUC__)
#define FE_KERNEL inline __attribute__((always_inline))
#else
#define FE_KERNEL inline
#endif
#endif

namespace {

// Rounding carry out of limb i into the next one: afterwards limb i lies in
// [-2^(w-1), 2^(w-1)) for its width w. The carry out of limb 9 enters limb 0 times 19,
// because 2^255 = 19 (mod p).
template <class V>
FE_KERNEL void carry(V h[10], int i) {
  const int w = (i & 1) ? 25 : 26;
  const V c = sar(h[i] + (int64_t{1} << (w - 1)), w);
  h[i] -= shl(c, w);
  if (i == 9) {
    h[0] += mul19(c);
  } else {
    h[i + 1] += c;
  }
}

// The carry chain shared by multiplication and squaring: limbs 0 and 4 are carried twice
// so that every limb ends in the reduced range.
template <class V>
FE_KERNEL void carry_product(V h[10]) {
  carry(h, 0);
  carry(h, 4);
  carry(h, 1);
  carry(h, 5);
  carry(h, 2);
  carry(h, 6);
  carry(h, 3);
  carry(h, 7);
  carry(h, 4);
  carry(h, 8);
  carry(h, 9);
  carry(h, 0);
}

// The carry chain after multiplying by a small constant (121666): out of the odd limbs,
// the one out of limb 9 entering limb 0 times 19, then out of the even limbs.
template <class V>
FE_KERNEL void carry_small_product(V h[10]) {
  carry(h, 9);
  carry(h, 1);
  carry(h, 3);
  carry(h, 5);
  carry(h, 7);
  carry(h, 0);
  carry(h, 2);
  carry(h, 4);
  carry(h, 6);
  carry(h, 8);
}

// The ten column sums of f * g: 100 products, accumulated row by row (one limb of f
// against all of g), which keeps the working set small. A product of two odd limbs lands
// one bit above the target limb (f's limb doubled); a product past limb 9 wraps around
// through 2^255 = 19 (g's limb times 19). The sums are exact, so their order is free.
template <class V>
FE_KERNEL void mul_columns(V h[10], const V f[10], const V g[10]) {
  V gw[19];  // gw[9 + j] = g_j for j = 0..9; gw[9 + j] = 19 g_(j+10) for j = -9..-1
  V f2[10];
#pragma GCC unroll 10
  for (int j = 0; j < 10; ++j) gw[9 + j] = g[j];
#pragma GCC unroll 10
  for (int j = 1; j < 10; ++j) gw[j - 1] = mul19(g[j]);
#pragma GCC unroll 10
  for (int i = 0; i < 10; ++i) f2[i] = f[i] + f[i];
#pragma GCC unroll 10
  for (int k = 0; k < 10; ++k) h[k] = prod(f[0], gw[9 + k]);
#pragma GCC unroll 10
  for (int i = 1; i < 10; ++i) {
#pragma GCC unroll 10
    for (int k = 0; k < 10; ++k) {
      const int j = k - i;
      const bool odd_odd = (i & 1) && (j & 1);
      h[k] += prod(odd_odd ? f2[i] : f[i], gw[9 + j]);
    }
#pragma GCC unroll 10
    for (int k = 0; k < 10; ++k) settle(h[k]);
  }
}

// The ten column sums of f^2: 55 products, each cross product taken once and doubled.
// The doubling goes on the left factor and the 19 (and the odd-odd 2) on the right one,
// so that every pre-multiplied limb of a loose operand still fits in 32 bits (the
// vector code multiplies 32 x 32).
template <class V>
FE_KERNEL void square_columns(V h[10], const V f[10]) {
  V f2[10], f19[10], f38[10];
#pragma GCC unroll 10
  for (int i = 0; i < 10; ++i) {
    f2[i] = f[i] + f[i];
    f19[i] = mul19(f[i]);
    f38[i] = mul19(f2[i]);
  }
#pragma GCC unroll 10
  for (int k = 0; k < 10; ++k) h[k] = V{};
#pragma GCC unroll 10
  for (int i = 0; i < 10; ++i) {
#pragma GCC unroll 10
    for (int j = i; j < 10; ++j) {
      const bool wrap = i + j >= 10;
      const bool odd_odd = (i & 1) && (j & 1);
      const V left = j > i ? f2[i] : f[i];
      const V right = wrap ? (odd_odd ? f38[j] : f19[j]) : (odd_odd ? f2[j] : f[j]);
      h[wrap ? i + j - 10 : i + j] += prod(left, right);
    }
#pragma GCC unroll 10
    for (int k = 0; k < 10; ++k) settle(h[k]);
  }
}

}  // namespace
