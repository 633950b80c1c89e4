// The column sums and carry chains of field multiplication and squaring, written once over
// a limb type V: int64_t for one element (fe.cpp), a two-lane vector for two independent
// elements computed side by side (fe_pair.cpp). Each including file first declares, for
// its V, prod (a signed 32 x 32 -> 64-bit product of limbs), mul19, shl and sar. Every
// lane performs exactly the products and carries of the one-element code.
#pragma once

#include <cstdint>

namespace {

// Rounding carry out of limb i into the next one: afterwards limb i lies in
// [-2^(w-1), 2^(w-1)) for its width w. The carry out of limb 9 enters limb 0 times 19,
// because 2^255 = 19 (mod p).
template <class V>
inline void carry(V h[10], int i) {
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
inline void carry_product(V h[10]) {
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

// The ten column sums of f * g: 100 products. A product of two odd limbs lands one bit
// above the target limb (doubled); a product past limb 9 wraps around through 2^255 = 19.
template <class V>
inline void mul_columns(V h[10], const V f[10], const V g[10]) {
  const V f0 = f[0], f1 = f[1], f2 = f[2], f3 = f[3], f4 = f[4];
  const V f5 = f[5], f6 = f[6], f7 = f[7], f8 = f[8], f9 = f[9];
  const V g0 = g[0], g1 = g[1], g2 = g[2], g3 = g[3], g4 = g[4];
  const V g5 = g[5], g6 = g[6], g7 = g[7], g8 = g[8], g9 = g[9];
  const V f1_2 = f1 + f1, f3_2 = f3 + f3, f5_2 = f5 + f5, f7_2 = f7 + f7, f9_2 = f9 + f9;
  const V g1_19 = mul19(g1), g2_19 = mul19(g2), g3_19 = mul19(g3), g4_19 = mul19(g4);
  const V g5_19 = mul19(g5), g6_19 = mul19(g6), g7_19 = mul19(g7), g8_19 = mul19(g8);
  const V g9_19 = mul19(g9);
  h[0] = prod(f0, g0) + prod(f1_2, g9_19) + prod(f2, g8_19) + prod(f3_2, g7_19) +
         prod(f4, g6_19) + prod(f5_2, g5_19) + prod(f6, g4_19) + prod(f7_2, g3_19) +
         prod(f8, g2_19) + prod(f9_2, g1_19);
  h[1] = prod(f0, g1) + prod(f1, g0) + prod(f2, g9_19) + prod(f3, g8_19) + prod(f4, g7_19) +
         prod(f5, g6_19) + prod(f6, g5_19) + prod(f7, g4_19) + prod(f8, g3_19) +
         prod(f9, g2_19);
  h[2] = prod(f0, g2) + prod(f1_2, g1) + prod(f2, g0) + prod(f3_2, g9_19) + prod(f4, g8_19) +
         prod(f5_2, g7_19) + prod(f6, g6_19) + prod(f7_2, g5_19) + prod(f8, g4_19) +
         prod(f9_2, g3_19);
  h[3] = prod(f0, g3) + prod(f1, g2) + prod(f2, g1) + prod(f3, g0) + prod(f4, g9_19) +
         prod(f5, g8_19) + prod(f6, g7_19) + prod(f7, g6_19) + prod(f8, g5_19) +
         prod(f9, g4_19);
  h[4] = prod(f0, g4) + prod(f1_2, g3) + prod(f2, g2) + prod(f3_2, g1) + prod(f4, g0) +
         prod(f5_2, g9_19) + prod(f6, g8_19) + prod(f7_2, g7_19) + prod(f8, g6_19) +
         prod(f9_2, g5_19);
  h[5] = prod(f0, g5) + prod(f1, g4) + prod(f2, g3) + prod(f3, g2) + prod(f4, g1) +
         prod(f5, g0) + prod(f6, g9_19) + prod(f7, g8_19) + prod(f8, g7_19) + prod(f9, g6_19);
  h[6] = prod(f0, g6) + prod(f1_2, g5) + prod(f2, g4) + prod(f3_2, g3) + prod(f4, g2) +
         prod(f5_2, g1) + prod(f6, g0) + prod(f7_2, g9_19) + prod(f8, g8_19) +
         prod(f9_2, g7_19);
  h[7] = prod(f0, g7) + prod(f1, g6) + prod(f2, g5) + prod(f3, g4) + prod(f4, g3) +
         prod(f5, g2) + prod(f6, g1) + prod(f7, g0) + prod(f8, g9_19) + prod(f9, g8_19);
  h[8] = prod(f0, g8) + prod(f1_2, g7) + prod(f2, g6) + prod(f3_2, g5) + prod(f4, g4) +
         prod(f5_2, g3) + prod(f6, g2) + prod(f7_2, g1) + prod(f8, g0) + prod(f9_2, g9_19);
  h[9] = prod(f0, g9) + prod(f1, g8) + prod(f2, g7) + prod(f3, g6) + prod(f4, g5) +
         prod(f5, g4) + prod(f6, g3) + prod(f7, g2) + prod(f8, g1) + prod(f9, g0);
}

// The ten column sums of f^2: 55 products, each cross product taken once and doubled.
// The factor 19 goes on even limbs and 38 on odd ones only, so that every pre-multiplied
// limb of a loose operand still fits in 32 bits (the two-lane code multiplies 32 x 32).
template <class V>
inline void square_columns(V h[10], const V f[10]) {
  const V f0 = f[0], f1 = f[1], f2 = f[2], f3 = f[3], f4 = f[4];
  const V f5 = f[5], f6 = f[6], f7 = f[7], f8 = f[8], f9 = f[9];
  const V f0_2 = f0 + f0, f1_2 = f1 + f1, f2_2 = f2 + f2, f3_2 = f3 + f3, f4_2 = f4 + f4;
  const V f5_2 = f5 + f5, f6_2 = f6 + f6, f7_2 = f7 + f7, f9_2 = f9 + f9;
  const V f5_38 = mul19(f5_2), f6_19 = mul19(f6), f7_38 = mul19(f7_2);
  const V f8_19 = mul19(f8), f9_38 = mul19(f9_2);
  h[0] = prod(f0, f0) + prod(f1_2, f9_38) + prod(f2_2, f8_19) + prod(f3_2, f7_38) +
         prod(f4_2, f6_19) + prod(f5, f5_38);
  h[1] = prod(f0_2, f1) + prod(f2, f9_38) + prod(f3_2, f8_19) + prod(f4, f7_38) +
         prod(f5_2, f6_19);
  h[2] = prod(f0_2, f2) + prod(f1_2, f1) + prod(f3_2, f9_38) + prod(f4_2, f8_19) +
         prod(f5_2, f7_38) + prod(f6, f6_19);
  h[3] = prod(f0_2, f3) + prod(f1_2, f2) + prod(f4, f9_38) + prod(f5_2, f8_19) + prod(f6, f7_38);
  h[4] = prod(f0_2, f4) + prod(f1_2, f3_2) + prod(f2, f2) + prod(f5_2, f9_38) +
         prod(f6_2, f8_19) + prod(f7, f7_38);
  h[5] = prod(f0_2, f5) + prod(f1_2, f4) + prod(f2_2, f3) + prod(f6, f9_38) + prod(f7_2, f8_19);
  h[6] = prod(f0_2, f6) + prod(f1_2, f5_2) + prod(f2_2, f4) + prod(f3_2, f3) +
         prod(f7_2, f9_38) + prod(f8, f8_19);
  h[7] = prod(f0_2, f7) + prod(f1_2, f6) + prod(f2_2, f5) + prod(f3_2, f4) + prod(f8, f9_38);
  h[8] = prod(f0_2, f8) + prod(f1_2, f7_2) + prod(f2_2, f6) + prod(f3_2, f5_2) + prod(f4, f4) +
         prod(f9, f9_38);
  h[9] = prod(f0_2, f9) + prod(f1_2, f8) + prod(f2_2, f7) + prod(f3_2, f6) + prod(f4_2, f5);
}

}  // namespace
