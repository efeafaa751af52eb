// Random scenes composed by the fast engine and by the literal reference must
// agree byte for byte, row padding included, over several frames in a row
// (so what persists between frames is compared too).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/core/frame_compositor.h"
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

template <class Compositor>
std::vector<Outcome> RunFrames(Compositor& compositor, Scene& scene, std::mt19937 rng, int frames) {
  const VideoFormat v1{scene.video1.Width(), scene.video1.Height(), true};
  const VideoFormat v2{scene.video2.Width(), scene.video2.Height(), true};
  std::vector<Outcome> outcomes;
  if (compositor.BuildSurfaces(scene.width, scene.height, scene.bkColor, v1, v2) != kOk) return outcomes;
  const std::size_t frameBytes = RgbStride(scene.width) * static_cast<std::size_t>(scene.height);
  for (int f = 0; f < frames; ++f) {
    // Each frame brings a fresh main picture and maybe a second one.
    testing::FillRandom(scene.video1, rng);
    const bool held = f == 0 ? scene.heldVideo2 : (rng() & 1) != 0;
    if (held) testing::FillRandom(scene.video2, rng);
    Outcome o{kOk, std::vector<std::uint8_t>(frameBytes, 0x5A)};
    o.hr = compositor.ComposeFrame(scene.settings, scene.video1.Data(), scene.video1.SizeBytes(),
                                   held ? scene.video2.Data() : nullptr, scene.video2.SizeBytes(),
                                   o.bytes.data(), o.bytes.size());
    outcomes.push_back(std::move(o));
  }
  return outcomes;
}

// Per kernel set and number of strip workers (1, 2 and an odd 3).
class Differential : public ::testing::TestWithParam<std::tuple<const PassKernels*, int>> {
 protected:
  // A compositor whose strips are shared by the parameter's worker count.
  struct Pooled {
    WorkerPool pool;
    FrameCompositor fast;
    Pooled(const PassKernels& kernels, int workers) : fast(kernels) {
      EXPECT_TRUE(pool.Start(workers - 1));
      EXPECT_EQ(kOk, fast.SetWorkers(workers));
      fast.UsePool(&pool);
      // Small frames fit one default strip; several workers need several.
      if (workers > 1) fast.SetStripRows(5);
    }
  };
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
    Pooled pooled(kernels, Workers());
    FrameCompositor& fast = pooled.fast;
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
      Pooled pooled(kernels, Workers());
      FrameCompositor& fast = pooled.fast;
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

INSTANTIATE_TEST_SUITE_P(Kernels, Differential,
                         ::testing::Combine(::testing::ValuesIn(SupportedPassKernels()), ::testing::Values(1, 2, 3)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param)->name) + "_workers" +
                                  std::to_string(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace ovl
