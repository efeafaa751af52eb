#pragma once
#include "engine/core/pass_kernels.h"

namespace ovl {

// A COLORREF (red in the low byte) as a 24-bit pixel reads from memory
// (blue, green, red) into a little-endian integer: the bytes swapped.
constexpr std::uint32_t KeyInMemoryOrder(std::uint32_t colorref) {
  return ((colorref & 0xFF) << 16) | (colorref & 0xFF00) | ((colorref >> 16) & 0xFF);
}

// From the byte-equality bits of 16 pixels (48 bytes) compared with the key
// repeated: bit 3p set where all three bytes of pixel p match.
constexpr std::uint64_t KeyedPixelStarts(std::uint64_t equal) {
  return equal & (equal >> 1) & (equal >> 2) & 0x249249249249ull;
}

// The AVX2 kernels, or nullptr when the CPU (or the build target) lacks them.
const PassKernels* Avx2PassKernels();
// The AVX-512 kernels (BW, DQ, VL, VBMI, VBMI2), or nullptr.
const PassKernels* Avx512PassKernels();

}  // namespace ovl
