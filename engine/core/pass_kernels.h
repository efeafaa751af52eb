#pragma once
// Row kernels of the four drawing modes. Each works on one run of pixels of
// one row: `out` points into the composite, `layer` (and `mask`) at the
// pixels that belong to the same frame positions. The walk over rows, spans
// and layer bounds lives in layer_pass.cpp; the kernels only do arithmetic.
//
// Several implementations exist (portable scalar, AVX2, AVX-512); the fastest the CPU
// supports is chosen at run time. All give identical bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/mask_over_black.h"

namespace ovl {

struct PassKernels {
  const char* name;
  void (*copy)(std::uint8_t* out, const std::uint8_t* layer, std::size_t pixels);
  // Keeps `out` where the layer pixel's COLORREF equals `colorref`.
  void (*colorKey)(std::uint8_t* out, const std::uint8_t* layer, std::size_t pixels,
                   std::uint32_t colorref);
  // Whether some pixel of the run has the COLORREF `colorref` (never for a
  // key with a high byte): a run without one is drawn in colour-key mode
  // exactly as a copy.
  bool (*anyKey)(const std::uint8_t* layer, std::size_t pixels, std::uint32_t colorref);
  void (*opacity)(std::uint8_t* out, const std::uint8_t* layer, std::size_t bytes,
                  std::uint8_t opacityLevel);
  // `mask` holds one stored value per pixel.
  void (*mask)(std::uint8_t* out, const std::uint8_t* layer, const std::uint8_t* mask,
               std::size_t pixels);
  // out[3i + c] = table.values[c][mask[i]]: a one-colour layer masked over
  // black.
  void (*maskTable)(std::uint8_t* out, const MaskOverBlack& table, const std::uint8_t* mask,
                    std::size_t pixels);
};

const PassKernels& ScalarPassKernels();
// Every implementation this CPU can run, scalar first.
std::vector<const PassKernels*> SupportedPassKernels();
// The fastest of them.
const PassKernels& BestPassKernels();

}  // namespace ovl
