// Every kernel set over runs of every length from 0 to 200 pixels: the run's
// bytes are those of the portable scalar kernels (which the exhaustive tests
// hold to the double formulas) and no byte outside the run is touched, so
// vector steps and their masked or scalar tails end exactly where runs do.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/core/pass_kernels.h"

namespace ovl {
namespace {

constexpr std::size_t kGuard = 80;  // bytes watched on each side of a run

struct Buffers {
  std::vector<std::uint8_t> out, layer, mask;
  MaskOverBlack table;
};

Buffers RandomBuffers(std::mt19937& rng, std::size_t pixels) {
  std::uniform_int_distribution<int> byte(0, 255);
  Buffers b;
  b.out.resize(3 * pixels + 2 * kGuard);
  b.layer.resize(3 * pixels + 2 * kGuard);
  b.mask.resize(pixels + 2 * kGuard);
  for (auto* v : {&b.out, &b.layer, &b.mask}) {
    for (std::uint8_t& x : *v) x = static_cast<std::uint8_t>(byte(rng));
  }
  // 255, 85 and 153 are among the channel values whose table has entries
  // below the integer form.
  const std::uint8_t colours[][3] = {{255, 85, 153}, {1, 2, 3}};
  b.table.SetColour(colours[pixels % 2]);
  // Some pixels equal to the key, some mask values 0 and 255, some lanes
  // equal to the output byte: the kernels' special cases.
  for (std::size_t p = 0; p < pixels; p += 3) {
    std::uint8_t* l = b.layer.data() + kGuard + 3 * p;  // COLORREF 0x00123456: blue, green, red
    l[0] = 0x12;
    l[1] = 0x34;
    l[2] = 0x56;
  }
  for (std::size_t p = 1; p < pixels; p += 5) b.mask[kGuard + p] = p % 2 ? 0 : 255;
  for (std::size_t i = 2; i < 3 * pixels; i += 7) b.out[kGuard + i] = b.layer[kGuard + i];
  return b;
}

class RunLengths : public ::testing::TestWithParam<const PassKernels*> {};

TEST_P(RunLengths, EveryLengthMatchesScalarAndStaysInsideTheRun) {
  const PassKernels& kernels = *GetParam();
  const PassKernels& scalar = ScalarPassKernels();
  std::mt19937 rng(17);
  for (std::size_t pixels = 0; pixels <= 200; ++pixels) {
    const Buffers input = RandomBuffers(rng, pixels);
    const std::uint8_t level = static_cast<std::uint8_t>(rng());
    for (int op = 0; op < 5; ++op) {
      Buffers expected = input, actual = input;
      auto run = [&](const PassKernels& k, Buffers& b) {
        std::uint8_t* out = b.out.data() + kGuard;
        const std::uint8_t* layer = b.layer.data() + kGuard;
        const std::uint8_t* mask = b.mask.data() + kGuard;
        switch (op) {
          case 0: k.copy(out, layer, pixels); break;
          case 1: k.colorKey(out, layer, pixels, 0x00123456); break;
          case 2: k.opacity(out, layer, 3 * pixels, level); break;
          case 3: k.mask(out, layer, mask, pixels); break;
          case 4: k.maskTable(out, b.table, mask, pixels); break;
        }
      };
      run(scalar, expected);
      run(kernels, actual);
      ASSERT_EQ(expected.out, actual.out) << kernels.name << " op " << op << " pixels " << pixels;
      for (std::size_t i = 0; i < kGuard; ++i) {
        ASSERT_EQ(input.out[i], actual.out[i]) << "before the run, op " << op;
        ASSERT_EQ(input.out[kGuard + 3 * pixels + i], actual.out[kGuard + 3 * pixels + i]) << "after the run, op " << op;
      }
    }
  }
}

// The key scan finds one keyed pixel wherever it sits in a run of every
// length, and nothing in runs whose pixels miss the key by one byte, hold it
// across two pixels, or sit just past the run's end.
TEST_P(RunLengths, KeyScanFindsAKeyedPixelOnlyWhereItIs) {
  const PassKernels& kernels = *GetParam();
  constexpr std::uint32_t kKey = 0x00123456;  // in memory: 12 34 56
  std::mt19937 rng(23);
  for (std::size_t pixels = 0; pixels <= 120; ++pixels) {
    std::vector<std::uint8_t> layer(3 * pixels + kGuard);
    for (std::size_t p = 0; p < pixels + kGuard / 3; ++p) {
      // Near misses: the key with one byte changed, or shifted by a byte.
      const std::uint8_t near[3] = {0x12, 0x34, 0x56};
      for (int c = 0; c < 3; ++c) layer[3 * p + c] = near[c];
      layer[3 * p + rng() % 3] ^= static_cast<std::uint8_t>(1 + rng() % 255);
    }
    for (std::size_t i = 0; i + 3 < 3 * pixels; i += 3 * (pixels / 4 + 1)) {
      std::vector<std::uint8_t> shifted = layer;  // the key across a pixel boundary
      shifted[i + 1] = 0x12, shifted[i + 2] = 0x34, shifted[i + 3] = 0x56;
      ASSERT_FALSE(kernels.anyKey(shifted.data(), pixels, kKey)) << kernels.name << " shifted at byte " << i;
    }
    ASSERT_FALSE(kernels.anyKey(layer.data(), pixels, kKey)) << kernels.name << " pixels " << pixels;
    std::vector<std::uint8_t> past = layer;  // the key just after the run
    past[3 * pixels] = 0x12, past[3 * pixels + 1] = 0x34, past[3 * pixels + 2] = 0x56;
    ASSERT_FALSE(kernels.anyKey(past.data(), pixels, kKey)) << kernels.name << " pixels " << pixels;
    for (std::size_t p = 0; p < pixels; ++p) {
      std::vector<std::uint8_t> keyed = layer;
      keyed[3 * p] = 0x12, keyed[3 * p + 1] = 0x34, keyed[3 * p + 2] = 0x56;
      ASSERT_TRUE(kernels.anyKey(keyed.data(), pixels, kKey)) << kernels.name << " pixel " << p << " of " << pixels;
      ASSERT_FALSE(kernels.anyKey(keyed.data(), pixels, 0x01000000 | kKey)) << "a key with a high byte";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, RunLengths, ::testing::ValuesIn(SupportedPassKernels()),
                         [](const auto& info) { return std::string(info.param->name); });

}  // namespace
}  // namespace ovl
