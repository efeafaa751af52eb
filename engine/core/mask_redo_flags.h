#pragma once
// What the vector mask kernels need to stay exact where the integer form
// floor(N / 255) and the double formula can part (see blend_arithmetic.h):
// which mask values can make the double sum land below the integer, and the
// double weights the formula itself uses, to redo those lanes as written.
#include <cstdint>

#include "engine/core/blend_arithmetic.h"

namespace ovl {

// Per mask value: bit 0 when some layer byte l, with out == l, has a double
// result one below floor(N / 255); bit 1 when some pair out != l with N a
// multiple of 255 has. Found by evaluating the double formula over every
// pair with N a multiple of 255 (out - l a multiple of 255 / gcd(m, 255)),
// so a lane whose bit is clear keeps its integer result. m = 0 and 255 have
// neither bit.
struct MaskRedoFlags {
  static constexpr std::uint8_t kEqual = 1;
  static constexpr std::uint8_t kUnequal = 2;
  std::uint8_t flags[256];
};

inline const MaskRedoFlags& RedoFlags() {
  static const MaskRedoFlags table = [] {
    MaskRedoFlags t{};
    for (int m = 1; m < 255; ++m) {
      int g = 255;
      for (int a = m; a != 0;) {  // g = gcd(m, 255)
        const int r = g % a;
        g = a;
        a = r;
      }
      for (int l = 0; l < 256; ++l) {
        for (int o = l % (255 / g); o < 256; o += 255 / g) {
          const auto out = static_cast<std::uint8_t>(o), layer = static_cast<std::uint8_t>(l);
          const auto mask = static_cast<std::uint8_t>(m);
          if (MaskBlendDouble(out, layer, mask) != MaskNumerator(out, layer, mask) / 255u) {
            t.flags[m] |= o == l ? MaskRedoFlags::kEqual : MaskRedoFlags::kUnequal;
          }
        }
      }
    }
    return t;
  }();
  return table;
}

// w = m / 255.0 and 1.0 - w for every m, computed exactly as MaskBlendDouble
// does, so trunc(l * rest[m] + o * weight[m]) is the formula bit for bit.
struct MaskDoubleWeights {
  double weight[256];
  double rest[256];
};

inline const MaskDoubleWeights& DoubleWeights() {
  static const MaskDoubleWeights table = [] {
    MaskDoubleWeights t{};
    for (int m = 0; m < 256; ++m) {
      t.weight[m] = m / 255.0;
      t.rest[m] = 1.0 - t.weight[m];
    }
    return t;
  }();
  return table;
}

}  // namespace ovl
