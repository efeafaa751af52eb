// Strip-wise composition against the literal reference: strip boundaries
// through regions, masks and layer edges, frames of one row or column, and
// the layers the compositor leaves out because they cannot change a byte.
#include <gtest/gtest.h>

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

// Frames composed one after another; each brings a fresh main picture and,
// by `heldPattern` bit f, a second one. Returns every frame's output bytes.
template <class Compositor>
std::vector<std::vector<std::uint8_t>> Compose(Compositor& compositor, Scene& scene, std::uint32_t seed,
                                               int frames, unsigned heldPattern) {
  const VideoFormat v1{scene.video1.Width(), scene.video1.Height(), true};
  const VideoFormat v2{scene.video2.Width(), scene.video2.Height(), true};
  std::vector<std::vector<std::uint8_t>> outputs;
  EXPECT_EQ(kOk, compositor.BuildSurfaces(scene.width, scene.height, scene.bkColor, v1, v2));
  std::mt19937 rng(seed);
  for (int f = 0; f < frames; ++f) {
    testing::FillRandom(scene.video1, rng);
    const bool held = (heldPattern >> f) & 1;
    if (held) testing::FillRandom(scene.video2, rng);
    std::vector<std::uint8_t> bytes(RgbStride(scene.width) * static_cast<std::size_t>(scene.height), 0x5A);
    EXPECT_EQ(kOk, compositor.ComposeFrame(scene.settings, scene.video1.Data(), scene.video1.SizeBytes(),
                                           held ? scene.video2.Data() : nullptr, scene.video2.SizeBytes(),
                                           bytes.data(), bytes.size()));
    outputs.push_back(std::move(bytes));
  }
  return outputs;
}

// Per kernel set and number of strip workers (1, 2 and an odd 3).
class Strips : public ::testing::TestWithParam<std::tuple<const PassKernels*, int>> {
 protected:
  const PassKernels& Kernels() const { return *std::get<0>(GetParam()); }
  int Workers() const { return std::get<1>(GetParam()); }
};

// Strips of 1, 2, 3 and 7 rows put boundaries inside region bands, mask
// rows, the second picture's rows and the layers' top and bottom edges.
TEST_P(Strips, EveryStripHeightMatchesTheReference) {
  const PassKernels& kernels = Kernels();
  const SceneMode modes[] = {SceneMode::Copy, SceneMode::ColorKey, SceneMode::Opacity, SceneMode::Mask,
                             SceneMode::Mixed};
  for (std::uint32_t seed = 1; seed <= 150; ++seed) {
    std::mt19937 rng(seed + 1000);
    Scene scene = testing::RandomScene(rng, modes[seed % 5]);
    reference::ReferenceCompositor literal;
    const unsigned held = seed * 2654435761u;  // a different mix of held frames per scene
    const auto expected = Compose(literal, scene, seed, 4, held);
    for (std::int32_t rows : {1, 2, 3, 7}) {
      testing::PooledCompositor pooled(kernels, Workers());
      ASSERT_TRUE(pooled.ready);
      FrameCompositor& fast = pooled.compositor;
      fast.SetStripRows(rows);
      const auto actual = Compose(fast, scene, seed, 4, held);
      ASSERT_EQ(expected.size(), actual.size());
      for (std::size_t f = 0; f < expected.size(); ++f) {
        ASSERT_EQ(expected[f], actual[f]) << kernels.name << " seed " << seed << " strip rows " << rows
                                          << " frame " << f << " size " << scene.width << "x" << scene.height;
      }
    }
  }
}

// One-row and one-column frames, odd widths, every mode, with and without
// an ellipse, through the default strip height.
TEST_P(Strips, ThinFramesMatchTheReference) {
  const PassKernels& kernels = Kernels();
  const std::int32_t sizes[][2] = {{1, 1}, {1, 9}, {9, 1}, {131, 1}, {67, 2}, {1, 40}, {257, 3}};
  for (const auto& size : sizes) {
    for (SceneMode mode : {SceneMode::Copy, SceneMode::ColorKey, SceneMode::Opacity, SceneMode::Mask}) {
      for (bool ellipse : {false, true}) {
        Scene scene = testing::BenchScene(size[0], size[1], mode, ellipse);
        reference::ReferenceCompositor literal;
        testing::PooledCompositor pooled(kernels, Workers());
        ASSERT_TRUE(pooled.ready);
        FrameCompositor& fast = pooled.compositor;
        const auto expected = Compose(literal, scene, 11, 3, 0b101);
        const auto actual = Compose(fast, scene, 11, 3, 0b101);
        ASSERT_EQ(expected, actual) << kernels.name << " " << size[0] << "x" << size[1] << " mode "
                                    << static_cast<int>(mode) << (ellipse ? " ellipse" : "");
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, Strips,
                         ::testing::Combine(::testing::ValuesIn(SupportedPassKernels()), ::testing::Values(1, 2, 3)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param)->name) + "_workers" +
                                  std::to_string(std::get<1>(info.param));
                         });

// Layers that change nothing are left out, and one that replaces a whole
// strip makes everything beneath it (the black clear too) moot; the bytes
// must still be the reference's, including what persists between frames.
class LeftOutLayers : public ::testing::Test {
 protected:
  void SetUp() override {
    scene = testing::BenchScene(45, 23, SceneMode::Copy, false);
    // Second video off to the side so part of the frame shows what lies beneath.
    Layer(LAYERTYPE_VIDEO2).XPos = 30;
    Layer(LAYERTYPE_VIDEO1).YPos = 9;
    scene.settings.OverlayImage.Loaded = 0;
  }
  LayerSettings& Layer(std::uint32_t type) { return *scene.settings.Layers.FindLayer(type); }
  void ExpectSameAsReference(const char* what) {
    reference::ReferenceCompositor literal;
    FrameCompositor fast;
    fast.SetStripRows(4);
    EXPECT_EQ(Compose(literal, scene, 5, 4, 0b0101), Compose(fast, scene, 5, 4, 0b0101)) << what;
  }
  Scene scene;
};

TEST_F(LeftOutLayers, BackgroundKeyedOutByItsOwnColourShowsTheFrameBeneath) {
  Layer(LAYERTYPE_BACKGROUND).EnableTransparency = 1;
  Layer(LAYERTYPE_BACKGROUND).TransparentColor = scene.bkColor;
  ExpectSameAsReference("key equal to the background colour");
  Layer(LAYERTYPE_BACKGROUND).TransparentColor = scene.bkColor ^ 1;
  ExpectSameAsReference("key one step off the background colour");
  Layer(LAYERTYPE_BACKGROUND).TransparentColor = 0x01000000 | scene.bkColor;
  ExpectSameAsReference("key with a high byte");
}

TEST_F(LeftOutLayers, OpacityAtBothEndsOfTheScale) {
  for (std::int32_t opacity : {0, 100}) {
    for (std::uint32_t type : {LAYERTYPE_BACKGROUND, LAYERTYPE_VIDEO1, LAYERTYPE_VIDEO2}) {
      Layer(type).EnableOpacity = 1;
      Layer(type).Opacity = opacity;
      Layer(type).OpacityLevel = OpacityLevelFromOpacity(opacity);
    }
    ExpectSameAsReference(opacity == 0 ? "opacity 0" : "opacity 100");
  }
}

TEST_F(LeftOutLayers, CoverOnlyWhereTheLayerReachesTheWholeStrip) {
  // The main video is as wide as the frame but covers rows 9 to 21 only:
  // strips it reaches in part keep the clear and the layers beneath (the
  // background is keyed out, so the clear shows).
  Layer(LAYERTYPE_BACKGROUND).EnableTransparency = 1;
  Layer(LAYERTYPE_BACKGROUND).TransparentColor = scene.bkColor;
  scene.video1.Resize(45, 13);
  ExpectSameAsReference("frame-wide layer covering some strips");
  Layer(LAYERTYPE_VIDEO1).XPos = 1;
  ExpectSameAsReference("one column short of the frame");
  Layer(LAYERTYPE_VIDEO1).XPos = 0;
  testing::AttachCoverage(Layer(LAYERTYPE_VIDEO1), testing::EllipseSpans(-40, -40, 90, 90));
  ExpectSameAsReference("with a region around the whole frame");
}

// A frame-wide keyed overlay hides what lies beneath only in strips where
// none of its pixels has the key: keyed pixels at a row's first and last
// column and in the strip's top and bottom rows let the layers beneath
// through there.
TEST_F(LeftOutLayers, KeyedLayerCoversOnlyStripsWithoutItsKey) {
  RgbImage overlay;
  overlay.Resize(scene.width + 3, scene.height);  // wider than the frame: the key beyond it does not count
  testing::FillGradient(overlay, 7);
  const std::uint32_t key = 0x00C0FFEE;  // memory order C0 FF EE, absent from the gradient
  auto plant = [&](std::int32_t x, std::int32_t yFromTop) {
    std::uint8_t* p = overlay.Data() + static_cast<std::size_t>(scene.height - 1 - yFromTop) * overlay.Stride() + 3 * x;
    p[0] = 0xC0, p[1] = 0xFF, p[2] = 0xEE;
  };
  plant(0, 2);
  plant(scene.width - 1, 8);
  plant(scene.width + 1, 12);
  plant(5, 15);
  plant(7, 20);
  testing::SetOverlayImage(scene.settings, overlay);
  LayerSettings& top = Layer(LAYERTYPE_OVERLAYIMAGE);
  top.EnableTransparency = 1;
  top.TransparentColor = key;
  ExpectSameAsReference("keyed overlay with the key in some strips");
  Layer(LAYERTYPE_VIDEO1).YPos = 0;
  Layer(LAYERTYPE_VIDEO1).EnableTransparency = 1;
  Layer(LAYERTYPE_VIDEO1).TransparentColor = 0x000000;  // keyed beneath, almost never matching
  ExpectSameAsReference("two keyed layers");
}

// A second picture that arrives while its layer draws nothing must still be
// kept: a later frame without a new one shows it once the layer is back.
TEST_F(LeftOutLayers, SecondPictureArrivingWhileItsLayerIsHiddenIsKept) {
  const VideoFormat v{scene.width, scene.height, true};
  std::vector<std::uint8_t> expected(RgbStride(scene.width) * static_cast<std::size_t>(scene.height));
  std::vector<std::uint8_t> actual(expected.size());
  for (int hide = 0; hide < 3; ++hide) {
    reference::ReferenceCompositor literal;
    FrameCompositor fast;
    fast.SetStripRows(5);
    ASSERT_EQ(kOk, literal.BuildSurfaces(scene.width, scene.height, scene.bkColor, v, v));
    ASSERT_EQ(kOk, fast.BuildSurfaces(scene.width, scene.height, scene.bkColor, v, v));
    LayerSettings& second = Layer(LAYERTYPE_VIDEO2);
    const LayerSettings shown = second;
    if (hide == 0) second.XPos = scene.width;  // beyond the right edge
    if (hide == 1) {
      second.EnableOpacity = 1;
      second.OpacityLevel = 0;
    }
    if (hide == 2) testing::AttachCoverage(second, RegionSpans());  // an empty region
    std::mt19937 rng(hide);
    for (int f = 0; f < 2; ++f) {
      testing::FillRandom(scene.video1, rng);
      testing::FillRandom(scene.video2, rng);
      const std::uint8_t* held = f == 0 ? scene.video2.Data() : nullptr;  // only the hidden frame brings one
      ASSERT_EQ(kOk, literal.ComposeFrame(scene.settings, scene.video1.Data(), scene.video1.SizeBytes(), held,
                                          scene.video2.SizeBytes(), expected.data(), expected.size()));
      ASSERT_EQ(kOk, fast.ComposeFrame(scene.settings, scene.video1.Data(), scene.video1.SizeBytes(), held,
                                       scene.video2.SizeBytes(), actual.data(), actual.size()));
      ASSERT_EQ(expected, actual) << "hidden by " << hide << ", frame " << f;
      second = shown;
    }
  }
}

}  // namespace
}  // namespace ovl
