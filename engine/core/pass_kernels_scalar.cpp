#include <cstring>

#include "engine/core/blend_arithmetic.h"
#include "engine/core/pass_kernels.h"
#include "engine/core/pass_kernels_x86.h"

namespace ovl {
namespace {

void CopyScalar(std::uint8_t* out, const std::uint8_t* layer, std::size_t pixels) {
  std::memcpy(out, layer, pixels * 3);
}

void ColorKeyScalar(std::uint8_t* out, const std::uint8_t* layer, std::size_t pixels,
                    std::uint32_t colorref) {
  const std::uint8_t red = colorref & 0xFF;
  const std::uint8_t green = (colorref >> 8) & 0xFF;
  const std::uint8_t blue = (colorref >> 16) & 0xFF;
  const bool keyable = (colorref >> 24) == 0;  // a key with a high byte never matches
  for (std::size_t i = 0; i < pixels; ++i, out += 3, layer += 3) {
    if (keyable && layer[0] == blue && layer[1] == green && layer[2] == red) continue;
    out[0] = layer[0];
    out[1] = layer[1];
    out[2] = layer[2];
  }
}

bool AnyKeyScalar(const std::uint8_t* layer, std::size_t pixels, std::uint32_t colorref) {
  if ((colorref >> 24) != 0) return false;
  const std::uint8_t red = colorref & 0xFF;
  const std::uint8_t green = (colorref >> 8) & 0xFF;
  const std::uint8_t blue = (colorref >> 16) & 0xFF;
  for (std::size_t i = 0; i < pixels; ++i, layer += 3) {
    if (layer[0] == blue && layer[1] == green && layer[2] == red) return true;
  }
  return false;
}

void OpacityScalar(std::uint8_t* out, const std::uint8_t* layer, std::size_t bytes,
                   std::uint8_t level) {
  const std::uint32_t weight = OpacityLayerWeight(level);
  for (std::size_t i = 0; i < bytes; ++i) out[i] = OpacityBlend(out[i], layer[i], weight);
}

void MaskScalar(std::uint8_t* out, const std::uint8_t* layer, const std::uint8_t* mask,
                std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i, out += 3, layer += 3) {
    const std::uint8_t m = mask[i];
    out[0] = MaskBlend(out[0], layer[0], m);
    out[1] = MaskBlend(out[1], layer[1], m);
    out[2] = MaskBlend(out[2], layer[2], m);
  }
}

void MaskTableScalar(std::uint8_t* out, const MaskOverBlack& table, const std::uint8_t* mask,
                     std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i, out += 3) {
    out[0] = table.values[0][mask[i]];
    out[1] = table.values[1][mask[i]];
    out[2] = table.values[2][mask[i]];
  }
}

const PassKernels kScalar{"scalar", CopyScalar, ColorKeyScalar, AnyKeyScalar, OpacityScalar, MaskScalar, MaskTableScalar};

}  // namespace

const PassKernels& ScalarPassKernels() { return kScalar; }

std::vector<const PassKernels*> SupportedPassKernels() {
  std::vector<const PassKernels*> kernels{&kScalar};
  if (const PassKernels* avx2 = Avx2PassKernels()) kernels.push_back(avx2);
  if (const PassKernels* avx512 = Avx512PassKernels()) kernels.push_back(avx512);
  return kernels;
}

const PassKernels& BestPassKernels() {
  static const PassKernels* best = SupportedPassKernels().back();
  return *best;
}

}  // namespace ovl
