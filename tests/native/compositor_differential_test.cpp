// Random scenes composed by the fast engine and by the literal reference must
// agree byte for byte, row padding included, over several frames in a row
// (so what persists between frames is compared too).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/core/frame_compositor.h"
#include "tests/support/pooled_compositor.h"
#include "tests/support/reference_compositor.h"
#include "tests/support/scene_builder.h"

namespace ovl {
namespace {

using testing::Scene;
using testing::SceneMode;

struct Outcome {
  HResult hr;
  std::vector<std::uint8_t> bytes;
};

// The picture's rows in the other order: what a top-down source sends.
std::vector<std::uint8_t> Flipped(const RgbImage& picture) {
  std::vector<std::uint8_t> rows(picture.SizeBytes());
  for (std::int32_t y = 0; y < picture.Height(); ++y) {
    const std::size_t stride = picture.Stride();
    std::copy_n(picture.Data() + y * stride, stride, rows.data() + (picture.Height() - 1 - y) * stride);
  }
  return rows;
}

// `topDown1` / `topDown2`: that input is handed over with its rows top first.
template <class Compositor>
std::vector<Outcome> RunFrames(Compositor& compositor, Scene& scene, std::mt19937 rng, int frames,
                               bool topDown1 = false, bool topDown2 = false) {
  const VideoFormat v1{scene.video1.Width(), scene.video1.Height(), true, topDown1};
  const VideoFormat v2{scene.video2.Width(), scene.video2.Height(), true, topDown2};
  std::vector<Outcome> outcomes;
  if (compositor.BuildSurfaces(scene.width, scene.height, scene.bkColor, v1, v2) != kOk) return outcomes;
  const std::size_t frameBytes = RgbStride(scene.width) * static_cast<std::size_t>(scene.height);
  for (int f = 0; f < frames; ++f) {
    // Each frame brings a fresh main picture and maybe a second one.
    testing::FillRandom(scene.video1, rng);
    const bool held = f == 0 ? scene.heldVideo2 : (rng() & 1) != 0;
    if (held) testing::FillRandom(scene.video2, rng);
    Outcome o{kOk, std::vector<std::uint8_t>(frameBytes, 0x5A)};
    const std::vector<std::uint8_t> video1 =
        topDown1 ? Flipped(scene.video1) : std::vector<std::uint8_t>(scene.video1.Data(), scene.video1.Data() + scene.video1.SizeBytes());
    const std::vector<std::uint8_t> video2 =
        topDown2 ? Flipped(scene.video2) : std::vector<std::uint8_t>(scene.video2.Data(), scene.video2.Data() + scene.video2.SizeBytes());
    o.hr = compositor.ComposeFrame(scene.settings, video1.data(), video1.size(), held ? video2.data() : nullptr,
                                   video2.size(), o.bytes.data(), o.bytes.size());
    outcomes.push_back(std::move(o));
  }
  return outcomes;
}

// Per kernel set and number of strip workers (1, 2 and an odd 3).
class Differential : public ::testing::TestWithParam<std::tuple<const PassKernels*, int>> {
 protected:
  // Small frames fit one default strip; several workers need several.
  FrameCompositor& Prepared(testing::PooledCompositor& pooled) const {
    EXPECT_TRUE(pooled.ready);
    if (Workers() > 1) pooled.compositor.SetStripRows(5);
    return pooled.compositor;
  }
  const PassKernels& Kernels() const { return *std::get<0>(GetParam()); }
  int Workers() const { return std::get<1>(GetParam()); }
};

TEST_P(Differential, RandomScenesMatchTheReferenceByteForByte) {
  const PassKernels& kernels = Kernels();
  const SceneMode modes[] = {SceneMode::Copy, SceneMode::ColorKey, SceneMode::Opacity,
                             SceneMode::Mask, SceneMode::Mixed};
  int scenes = 0;
  for (std::uint32_t seed = 1; seed <= 600; ++seed) {
    std::mt19937 rng(seed);
    Scene scene = testing::RandomScene(rng, modes[seed % 5]);
    testing::PooledCompositor pooled(kernels, Workers());
    FrameCompositor& fast = Prepared(pooled);
    reference::ReferenceCompositor literal;
    const auto expected = RunFrames(literal, scene, std::mt19937(seed * 7), 3);
    const auto actual = RunFrames(fast, scene, std::mt19937(seed * 7), 3);
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t f = 0; f < expected.size(); ++f) {
      ASSERT_EQ(expected[f].hr, actual[f].hr) << "seed " << seed << " frame " << f;
      ASSERT_EQ(expected[f].bytes, actual[f].bytes)
          << kernels.name << " seed " << seed << " frame " << f << " size " << scene.width << "x"
          << scene.height;
    }
    ++scenes;
  }
  EXPECT_EQ(600, scenes);
}

// Long rows with every mode, so the vector loops (not just their tails) run
// over spans that start and end at every alignment.
TEST_P(Differential, WideFramesWithEllipsesMatchTheReference) {
  const PassKernels& kernels = Kernels();
  for (SceneMode mode : {SceneMode::Copy, SceneMode::ColorKey, SceneMode::Opacity, SceneMode::Mask}) {
    for (bool ellipse : {false, true}) {
      Scene scene = testing::BenchScene(257, 67, mode, ellipse);
      testing::PooledCompositor pooled(kernels, Workers());
      FrameCompositor& fast = Prepared(pooled);
      reference::ReferenceCompositor literal;
      const auto expected = RunFrames(literal, scene, std::mt19937(3), 2);
      const auto actual = RunFrames(fast, scene, std::mt19937(3), 2);
      ASSERT_EQ(expected.size(), actual.size());
      for (std::size_t f = 0; f < expected.size(); ++f) {
        ASSERT_EQ(expected[f].hr, actual[f].hr);
        ASSERT_EQ(expected[f].bytes, actual[f].bytes) << kernels.name << " mode " << int(mode);
      }
    }
  }
}

// Top-down inputs on either pin or both, composed in place, against the
// reference fed the same pictures bottom-up; strips of random height put
// the strip edges anywhere in the flipped pictures.
TEST_P(Differential, TopDownInputsMatchTheReferenceFedThemBottomUp) {
  const PassKernels& kernels = Kernels();
  const SceneMode modes[] = {SceneMode::Copy, SceneMode::ColorKey, SceneMode::Opacity,
                             SceneMode::Mask, SceneMode::Mixed};
  for (std::uint32_t seed = 1; seed <= 150; ++seed) {
    std::mt19937 rng(seed);
    Scene scene = testing::RandomScene(rng, modes[seed % 5]);
    const bool topDown1 = seed % 3 != 1;
    const bool topDown2 = seed % 3 != 2;
    testing::PooledCompositor pooled(kernels, Workers());
    FrameCompositor& fast = Prepared(pooled);
    reference::ReferenceCompositor literal;
    if (seed % 2 == 0) fast.SetStripRows(1 + static_cast<std::int32_t>(rng() % 7));
    const auto expected = RunFrames(literal, scene, std::mt19937(seed * 7), 3);
    const auto actual = RunFrames(fast, scene, std::mt19937(seed * 7), 3, topDown1, topDown2);
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t f = 0; f < expected.size(); ++f) {
      ASSERT_EQ(expected[f].hr, actual[f].hr) << "seed " << seed << " frame " << f;
      ASSERT_EQ(expected[f].bytes, actual[f].bytes)
          << kernels.name << " seed " << seed << " frame " << f << " top-down main " << topDown1 << " second "
          << topDown2;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, Differential,
                         ::testing::Combine(::testing::ValuesIn(SupportedPassKernels()), ::testing::Values(1, 2, 3)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param)->name) + "_workers" +
                                  std::to_string(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace ovl
