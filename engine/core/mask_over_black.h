#pragma once
// A one-colour layer masked over black: each result byte depends only on
// its channel and the mask value, so the blend is a table. Vector kernels
// that cannot look up 256 bytes cheaply compute floor(c * (255 - m) / 255)
// instead, which the table matches except where c * (255 - m) is a whole
// multiple of 255 and the double formula lands one below; `lowered` marks
// those mask values.
#include <cstdint>

#include "engine/core/blend_arithmetic.h"

namespace ovl {

struct MaskOverBlack {
  std::uint8_t colour[3] = {};          // blue, green, red
  std::uint8_t values[3][256] = {};     // MaskBlend(0, colour[c], m)
  std::uint8_t lowered[3][32] = {};     // bit m % 8 of byte m / 8: values one below the integer form
  bool anyLowered = false;

  void SetColour(const std::uint8_t* blueGreenRed) {
    anyLowered = false;
    for (int c = 0; c < 3; ++c) {
      colour[c] = blueGreenRed[c];
      for (int m = 0; m < 256; ++m) {
        values[c][m] = MaskBlend(0, colour[c], static_cast<std::uint8_t>(m));
        lowered[c][m / 8] &= static_cast<std::uint8_t>(~(1u << (m % 8)));
        if (values[c][m] != colour[c] * (255u - m) / 255u) {
          lowered[c][m / 8] |= static_cast<std::uint8_t>(1u << (m % 8));
          anyLowered = true;
        }
      }
    }
  }
};

}  // namespace ovl
