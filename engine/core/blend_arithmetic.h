#pragma once
// Integer forms of the blend arithmetic that reproduce the double-precision
// results byte for byte (the exhaustive tests prove each identity over every
// input triple).
#include <cstdint>

namespace ovl {

// Opacity: trunc(out * a + layer * b), a = (double)(float)((255 - L) / 255.0),
// b = 1 - a, equals (out * (65536 - B) + layer * B) >> 16 with B = 257 * L,
// except at L = 255 where a = 0 and B must be 65536 (an exact copy).
constexpr std::uint32_t OpacityLayerWeight(std::uint8_t level) {
  return level == 255 ? 65536u : 257u * level;
}

constexpr std::uint8_t OpacityBlend(std::uint8_t out, std::uint8_t layer, std::uint32_t weight) {
  return static_cast<std::uint8_t>((out * (65536u - weight) + layer * weight) >> 16);
}

// Mask: with w = m / 255.0, trunc(layer * (1.0 - w) + out * w). The exact
// value is N / 255 with N = layer * (255 - m) + out * m; when N is not a
// multiple of 255 it lies at least 1/255 from an integer, far beyond the
// double rounding error, so the result is N / 255 rounded down. When N is a
// multiple of 255 the double sum may land just below the integer, and only
// the double arithmetic itself tells: those cases are evaluated in doubles.
constexpr std::uint32_t MaskNumerator(std::uint8_t out, std::uint8_t layer, std::uint8_t m) {
  return layer * (255u - m) + out * static_cast<std::uint32_t>(m);
}

inline std::uint8_t MaskBlendDouble(std::uint8_t out, std::uint8_t layer, std::uint8_t m) {
  const double w = m / 255.0;
  return static_cast<std::uint8_t>(static_cast<int>(layer * (1.0 - w) + out * w));
}

inline std::uint8_t MaskBlend(std::uint8_t out, std::uint8_t layer, std::uint8_t m) {
  const std::uint32_t n = MaskNumerator(out, layer, m);
  const std::uint32_t q = n / 255u;
  return q * 255u == n ? MaskBlendDouble(out, layer, m) : static_cast<std::uint8_t>(q);
}

}  // namespace ovl
