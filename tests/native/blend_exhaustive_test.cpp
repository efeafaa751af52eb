// The fast blend arithmetic against the formulas written in doubles, over
// every input triple, for each kernel implementation this CPU runs.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "engine/core/blend_arithmetic.h"
#include "engine/core/pass_kernels.h"
#include "tests/support/reference_compositor.h"

namespace ovl {
namespace {

class BlendExhaustive : public ::testing::TestWithParam<const PassKernels*> {};

// For each (level, beneath byte) one kernel call blends a row holding every
// layer byte 0..255 (plus a tail so vector and scalar paths both run).
TEST_P(BlendExhaustive, OpacityMatchesTheDoubleFormulaForAllTriples) {
  const PassKernels& kernels = *GetParam();
  std::array<std::uint8_t, 256 + 7> layer{}, out{};
  for (std::size_t i = 0; i < layer.size(); ++i) layer[i] = static_cast<std::uint8_t>(i);
  long mismatches = 0;
  for (int level = 0; level < 256; ++level) {
    for (int beneath = 0; beneath < 256; ++beneath) {
      out.fill(static_cast<std::uint8_t>(beneath));
      kernels.opacity(out.data(), layer.data(), out.size(), static_cast<std::uint8_t>(level));
      for (std::size_t i = 0; i < out.size(); ++i) {
        const auto expected = reference::OpacityByte(static_cast<std::uint8_t>(beneath), layer[i],
                                                     static_cast<std::uint8_t>(level));
        if (out[i] != expected && ++mismatches < 5) {
          ADD_FAILURE() << kernels.name << " level " << level << " beneath " << beneath << " layer "
                        << int(layer[i]) << ": " << int(out[i]) << " != " << int(expected);
        }
      }
    }
  }
  EXPECT_EQ(0, mismatches);
}

// For each (mask value, beneath byte): 256 pixels whose three bytes are
// layer byte i, all weighted by the same mask value.
TEST_P(BlendExhaustive, MaskMatchesTheDoubleFormulaForAllTriples) {
  const PassKernels& kernels = *GetParam();
  constexpr std::size_t kPixels = 256 + 5;
  std::array<std::uint8_t, 3 * kPixels> layer{}, out{};
  std::array<std::uint8_t, kPixels> mask{};
  for (std::size_t p = 0; p < kPixels; ++p) {
    for (int c = 0; c < 3; ++c) layer[3 * p + c] = static_cast<std::uint8_t>(p + 85 * c);
  }
  long mismatches = 0;
  for (int m = 0; m < 256; ++m) {
    mask.fill(static_cast<std::uint8_t>(m));
    for (int beneath = 0; beneath < 256; ++beneath) {
      out.fill(static_cast<std::uint8_t>(beneath));
      kernels.mask(out.data(), layer.data(), mask.data(), kPixels);
      for (std::size_t i = 0; i < out.size(); ++i) {
        const auto expected = reference::MaskByte(static_cast<std::uint8_t>(beneath), layer[i],
                                                  static_cast<std::uint8_t>(m));
        if (out[i] != expected && ++mismatches < 5) {
          ADD_FAILURE() << kernels.name << " mask " << m << " beneath " << beneath << " layer "
                        << int(layer[i]) << ": " << int(out[i]) << " != " << int(expected);
        }
      }
    }
  }
  EXPECT_EQ(0, mismatches);
}

// Every (mask value, layer byte, beneath byte) with N a multiple of 255, the
// only lanes where the integers can be one too high, one per eight pixels
// among lanes with no such N: vector kernels then meet them a few to a step
// instead of in whole runs as above.
TEST_P(BlendExhaustive, MaskMatchesTheDoubleFormulaForSparseMultiplesOf255) {
  const PassKernels& kernels = *GetParam();
  long mismatches = 0;
  for (int m = 1; m < 255; ++m) {
    const auto mask = static_cast<std::uint8_t>(m);
    std::vector<std::array<std::uint8_t, 2>> pairs;  // (layer, beneath)
    for (int l = 0; l < 256; ++l) {
      for (int o = 0; o < 256; ++o) {
        const auto layer = static_cast<std::uint8_t>(l), beneath = static_cast<std::uint8_t>(o);
        if (MaskNumerator(beneath, layer, mask) % 255 == 0) pairs.push_back({layer, beneath});
      }
    }
    // Elsewhere layer 1 over 0: N = 255 - m.
    const std::size_t pixels = 8 * pairs.size();
    std::vector<std::uint8_t> layer(3 * pixels, 1), out(3 * pixels, 0), masks(pixels, mask);
    for (std::size_t j = 0; j < pairs.size(); ++j) {
      layer[24 * j + j % 3] = pairs[j][0];
      out[24 * j + j % 3] = pairs[j][1];
    }
    const std::vector<std::uint8_t> beneath = out;
    kernels.mask(out.data(), layer.data(), masks.data(), pixels);
    for (std::size_t i = 0; i < out.size(); ++i) {
      const auto expected = reference::MaskByte(beneath[i], layer[i], mask);
      if (out[i] != expected && ++mismatches < 5) {
        ADD_FAILURE() << kernels.name << " mask " << m << " beneath " << int(beneath[i]) << " layer " << int(layer[i])
                      << ": " << int(out[i]) << " != " << int(expected);
      }
    }
  }
  EXPECT_EQ(0, mismatches);
}

// A one-colour layer masked over black, every channel value with every
// mask value: channel 0 takes value v, channel 1 255 - v and channel 2
// 7v mod 256, each over a run whose mask values start at a different place
// so every value meets every byte position of a vector step.
TEST_P(BlendExhaustive, MaskOverBlackMatchesTheDoubleFormulaForEveryColourAndMask) {
  const PassKernels& kernels = *GetParam();
  constexpr std::size_t kPixels = 256 + 11;
  long mismatches = 0;
  for (int v = 0; v < 256; ++v) {
    const std::uint8_t colour[3] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(255 - v),
                                    static_cast<std::uint8_t>(7 * v)};
    MaskOverBlack table;
    table.SetColour(colour);
    std::array<std::uint8_t, kPixels> mask{};
    for (std::size_t p = 0; p < kPixels; ++p) mask[p] = static_cast<std::uint8_t>(p * 37 + v);
    std::array<std::uint8_t, 3 * kPixels> out{};
    kernels.maskTable(out.data(), table, mask.data(), kPixels);
    for (std::size_t i = 0; i < out.size(); ++i) {
      const auto expected = reference::MaskByte(0, colour[i % 3], mask[i / 3]);
      if (out[i] != expected && ++mismatches < 5) {
        ADD_FAILURE() << kernels.name << " colour " << int(colour[i % 3]) << " mask " << int(mask[i / 3]) << ": "
                      << int(out[i]) << " != " << int(expected);
      }
    }
  }
  EXPECT_EQ(0, mismatches);
}

// Colour keys over every value of each channel in turn (the other two at
// the key's value), so every near miss is tried.
TEST_P(BlendExhaustive, ColorKeySkipsExactlyTheKeyColour) {
  const PassKernels& kernels = *GetParam();
  for (std::uint32_t key : {0x00000000u, 0x0000FF00u, 0x00123456u, 0x00FFFFFFu, 0x01000000u}) {
    for (int channel = 0; channel < 3; ++channel) {
      constexpr std::size_t kPixels = 256 + 9;
      std::array<std::uint8_t, 3 * kPixels> layer{}, out{};
      for (std::size_t p = 0; p < kPixels; ++p) {
        // Memory order is blue, green, red; the COLORREF holds red lowest.
        layer[3 * p] = (key >> 16) & 0xFF;
        layer[3 * p + 1] = (key >> 8) & 0xFF;
        layer[3 * p + 2] = key & 0xFF;
        layer[3 * p + channel] = static_cast<std::uint8_t>(p);
      }
      out.fill(0xA5);
      kernels.colorKey(out.data(), layer.data(), kPixels, key);
      for (std::size_t p = 0; p < kPixels; ++p) {
        const std::uint32_t pixelKey = (std::uint32_t{layer[3 * p]} << 16) |
                                       (std::uint32_t{layer[3 * p + 1]} << 8) | layer[3 * p + 2];
        const bool keyed = pixelKey == key;
        for (int c = 0; c < 3; ++c) {
          ASSERT_EQ(keyed ? 0xA5 : layer[3 * p + c], out[3 * p + c])
              << kernels.name << " key " << std::hex << key << " pixel " << std::dec << p;
        }
      }
    }
  }
}

TEST(BlendArithmetic, ByteDivisionByReciprocalIsExactForEveryNumerator) {
  // The vector mask kernel divides N <= 65025 by 255 as (N * 0x8081) >> 23.
  for (std::uint32_t n = 0; n <= 255u * 255u; ++n) ASSERT_EQ(n / 255, (n * 0x8081u) >> 23) << n;
}

INSTANTIATE_TEST_SUITE_P(Kernels, BlendExhaustive, ::testing::ValuesIn(SupportedPassKernels()),
                         [](const auto& info) { return std::string(info.param->name); });

}  // namespace
}  // namespace ovl
