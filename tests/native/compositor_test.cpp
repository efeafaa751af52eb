// Frame composition through FrameCompositor: the worked examples, the mode
// table, clipping at the frame edges, and what persists between frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "engine/core/frame_compositor.h"
#include "engine/core/layer_pass.h"
#include "tests/support/scene_builder.h"

namespace ovl {
namespace {

RgbImage Solid(std::int32_t w, std::int32_t h, std::uint32_t colorref) {
  RgbImage image(w, h);
  image.Fill(colorref);
  return image;
}

std::uint32_t PixelAt(ConstRgbView view, std::int32_t x, std::int32_t y) {
  const std::uint8_t* p = view.RowFromTop(y) + 3 * x;
  return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];  // as COLORREF
}

// One frame of a small filter: background of `bk`, video 1 from `main`,
// optionally video 2 and an overlay image.
class CompositorTest : public ::testing::Test {
 protected:
  void Build(std::int32_t w, std::int32_t h, std::uint32_t bk, const RgbImage& main,
             const RgbImage* second = nullptr) {
    settings.BkLayerColor = bk;
    ASSERT_EQ(kOk, compositor.BuildSurfaces(w, h, bk, {main.Width(), main.Height(), true},
                                            second ? VideoFormat{second->Width(), second->Height(), true}
                                                   : VideoFormat{}));
    output.assign(compositor.CompositeBytes(), 0xEE);
  }
  HResult Frame(const RgbImage& main, const RgbImage* second = nullptr) {
    return compositor.ComposeFrame(settings, main.Data(), main.SizeBytes(),
                                   second ? second->Data() : nullptr, second ? second->SizeBytes() : 0,
                                   output.data(), output.size());
  }
  ConstRgbView Out() const { return compositor.Composite(); }
  LayerSettings& Layer(std::uint32_t type) { return *settings.Layers.FindLayer(type); }

  OverlaySettings settings;
  FrameCompositor compositor;
  std::vector<std::uint8_t> output;
};

TEST_F(CompositorTest, DefaultSettingsCopyLayersInOrderAtTheOrigin) {
  const RgbImage main = Solid(6, 4, 0x0000FF);
  const RgbImage second = Solid(4, 3, 0x00FF00);
  RgbImage image = Solid(2, 2, 0xFF0000);
  testing::SetOverlayImage(settings, image);
  Build(8, 5, 0x112233, main, &second);
  ASSERT_EQ(kOk, Frame(main, &second));
  EXPECT_EQ(0xFF0000u, PixelAt(Out(), 0, 0));  // overlay image on top
  EXPECT_EQ(0x00FF00u, PixelAt(Out(), 3, 2));  // then video 2
  EXPECT_EQ(0x0000FFu, PixelAt(Out(), 5, 3));  // then video 1
  EXPECT_EQ(0x112233u, PixelAt(Out(), 7, 4));  // background beneath all
  EXPECT_EQ(0, std::memcmp(output.data(), Out().bits, output.size())) << "the sample gets the composite";
}

// The worked examples: white over black, black over white, 200 over 100,
// for opacities 100..0 and stored mask values 0..255.
TEST_F(CompositorTest, WorkedBlendExamples) {
  struct Row {
    bool mask;
    std::int32_t setting;  // Opacity in percent, or the stored mask value
    int whiteOverBlack, blackOverWhite, o200Over100;
  };
  const Row rows[] = {{false, 100, 255, 0, 200}, {false, 75, 190, 64, 174}, {false, 50, 126, 128, 149},
                      {false, 25, 62, 192, 124}, {false, 0, 0, 255, 100},   {true, 0, 255, 0, 200},
                      {true, 1, 254, 1, 199},    {true, 127, 128, 127, 150}, {true, 128, 127, 128, 149},
                      {true, 255, 0, 255, 100}};
  std::mt19937 rng(1);
  for (const Row& row : rows) {
    const struct { std::uint32_t beneath, layer; int expected; } cases[] = {
        {0x000000, 0xFFFFFF, row.whiteOverBlack}, {0xFFFFFF, 0x000000, row.blackOverWhite},
        {0x646464, 0xC8C8C8, row.o200Over100}};
    for (const auto& c : cases) {
      const RgbImage main = Solid(3, 2, c.layer);
      Build(3, 2, c.beneath, main);
      LayerSettings& video = Layer(LAYERTYPE_VIDEO1);
      if (row.mask) {
        testing::SetMask(video, 3, 2, rng);
        std::fill(video.Mask.Buffer.begin(), video.Mask.Buffer.end(), static_cast<std::uint8_t>(row.setting));
      } else {
        video.EnableOpacity = 1;
        video.OpacityLevel = OpacityLevelFromOpacity(row.setting);
      }
      ASSERT_EQ(kOk, Frame(main));
      const std::uint32_t e = static_cast<std::uint32_t>(c.expected);
      EXPECT_EQ(e | e << 8 | e << 16, PixelAt(Out(), 2, 1)) << (row.mask ? "mask " : "opacity ") << row.setting;
    }
  }
}

TEST_F(CompositorTest, ModePrecedence) {
  LayerSettings layer;
  EXPECT_EQ(LayerOp::Copy, ChooseLayerOp(layer));
  layer.EnableOpacity = 1;
  EXPECT_EQ(LayerOp::Opacity, ChooseLayerOp(layer));
  layer.EnableTransparency = 1;
  EXPECT_EQ(LayerOp::ColorKey, ChooseLayerOp(layer));
  layer.EnableMaskBitmap = 1;
  EXPECT_EQ(LayerOp::Copy, ChooseLayerOp(layer)) << "mask enabled but none loaded";
  layer.Mask.Loaded = 1;
  EXPECT_EQ(LayerOp::Mask, ChooseLayerOp(layer));
  layer.EnableTransparency = 0;
  layer.EnableOpacity = 0;
  EXPECT_EQ(LayerOp::Mask, ChooseLayerOp(layer));
}

TEST_F(CompositorTest, ColourKeyIsExactWithNoTolerance) {
  RgbImage main(2, 1);
  std::uint8_t* p = main.Data();  // memory order blue, green, red
  p[0] = 0; p[1] = 255; p[2] = 0;  // pure green: keyed out
  p[3] = 0; p[4] = 254; p[5] = 0;  // one step off: drawn
  Build(2, 1, 0x0000FF, main);
  Layer(LAYERTYPE_VIDEO1).EnableTransparency = 1;
  Layer(LAYERTYPE_VIDEO1).TransparentColor = 0x0000FF00;
  ASSERT_EQ(kOk, Frame(main));
  EXPECT_EQ(0x0000FFu, PixelAt(Out(), 0, 0));
  EXPECT_EQ(0x00FE00u, PixelAt(Out(), 1, 0));
}

TEST_F(CompositorTest, LayersAreCutAtTheFrameEdgesAndBeyondDrawNothing) {
  const RgbImage main = Solid(10, 10, 0x0000FF);
  Build(6, 5, 0x000000, main);
  Layer(LAYERTYPE_VIDEO1).XPos = 4;
  Layer(LAYERTYPE_VIDEO1).YPos = 3;
  ASSERT_EQ(kOk, Frame(main));
  EXPECT_EQ(0x0000FFu, PixelAt(Out(), 5, 4));
  EXPECT_EQ(0u, PixelAt(Out(), 3, 4));
  EXPECT_EQ(0u, PixelAt(Out(), 5, 2));

  Layer(LAYERTYPE_VIDEO1).XPos = 6;  // exactly at the right edge
  Layer(LAYERTYPE_BACKGROUND).XPos = 0;
  compositor.FillBackground(0x00FF00);
  ASSERT_EQ(kOk, Frame(main));
  for (std::int32_t y = 0; y < 5; ++y)
    for (std::int32_t x = 0; x < 6; ++x) ASSERT_EQ(0x00FF00u, PixelAt(Out(), x, y));
}

TEST_F(CompositorTest, UncoveredAreasKeepThePreviousFrameUnlessVideo2Arrives) {
  const RgbImage red = Solid(4, 4, 0x0000FF);
  const RgbImage blue = Solid(4, 4, 0xFF0000);
  const RgbImage second = Solid(2, 2, 0x00FF00);
  Build(4, 4, 0x777777, red, &second);
  Layer(LAYERTYPE_VIDEO2).XPos = 3;  // video 2 surface is still black (no picture yet)
  Layer(LAYERTYPE_VIDEO2).YPos = 3;
  ASSERT_EQ(kOk, Frame(red));
  // Move the background and video 1 away from the top-left corner.
  Layer(LAYERTYPE_BACKGROUND).XPos = 2;
  Layer(LAYERTYPE_VIDEO1).XPos = 2;
  ASSERT_EQ(kOk, Frame(blue));
  EXPECT_EQ(0x0000FFu, PixelAt(Out(), 0, 0)) << "previous composite shows through";
  EXPECT_EQ(0xFF0000u, PixelAt(Out(), 2, 0));
  EXPECT_EQ(0u, PixelAt(Out(), 3, 3));

  ASSERT_EQ(kOk, Frame(blue, &second));  // a second-input picture clears to black first
  EXPECT_EQ(0u, PixelAt(Out(), 0, 0));
  EXPECT_EQ(0x00FF00u, PixelAt(Out(), 3, 3));
  ASSERT_EQ(kOk, Frame(blue));  // video 2 keeps its last picture
  EXPECT_EQ(0x00FF00u, PixelAt(Out(), 3, 3));
}

TEST_F(CompositorTest, MaskSmallerThanItsLayerCopiesTheRest) {
  const RgbImage main = Solid(6, 4, 0xFFFFFF);
  Build(6, 4, 0x000000, main);
  std::mt19937 rng(2);
  testing::SetMask(Layer(LAYERTYPE_VIDEO1), 3, 2, rng);
  std::fill(Layer(LAYERTYPE_VIDEO1).Mask.Buffer.begin(), Layer(LAYERTYPE_VIDEO1).Mask.Buffer.end(), 255);
  ASSERT_EQ(kOk, Frame(main));
  EXPECT_EQ(0u, PixelAt(Out(), 2, 1)) << "inside the mask: fully transparent";
  EXPECT_EQ(0xFFFFFFu, PixelAt(Out(), 3, 1)) << "right of the mask";
  EXPECT_EQ(0xFFFFFFu, PixelAt(Out(), 0, 2)) << "below the mask";
}

TEST_F(CompositorTest, MissingSurfacesAndShortBuffersFailTheFrame) {
  const RgbImage main = Solid(5, 3, 0x0000FF);
  const RgbImage second = Solid(5, 3, 0x00FF00);
  std::vector<std::uint8_t> out(64);
  EXPECT_EQ(kFail, compositor.ComposeFrame(settings, main.Data(), main.SizeBytes(), nullptr, 0,
                                           out.data(), out.size()))
      << "no output surface yet";
  Build(5, 3, 0, main);
  EXPECT_EQ(kFail, compositor.ComposeFrame(settings, main.Data(), main.SizeBytes() - 1, nullptr, 0,
                                           output.data(), output.size()));
  EXPECT_EQ(kFail, compositor.ComposeFrame(settings, main.Data(), main.SizeBytes(), second.Data(),
                                           second.SizeBytes(), output.data(), output.size()))
      << "no video 2 surface";
  EXPECT_EQ(kFail, compositor.ComposeFrame(settings, main.Data(), main.SizeBytes(), nullptr, 0,
                                           output.data(), output.size() - 1));
  EXPECT_EQ(kInvalidArg, compositor.BuildSurfaces(0, 3, 0, {}, {}));
  EXPECT_FALSE(compositor.HasOutputSurface());
}

TEST(PixelImage, StrideRuleAndFill) {
  EXPECT_EQ(4u, RgbStride(1));
  EXPECT_EQ(8u, RgbStride(2));
  EXPECT_EQ(12u, RgbStride(4));
  EXPECT_EQ(16u, RgbStride(5));
  EXPECT_EQ(4u, MaskStride(1));
  EXPECT_EQ(8u, MaskStride(5));
  RgbImage image(3, 2);
  image.Fill(0x00332211);  // red 0x11, green 0x22, blue 0x33
  const std::uint8_t expected[12] = {0x33, 0x22, 0x11, 0x33, 0x22, 0x11, 0x33, 0x22, 0x11, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(expected, image.Data(), 12));
  EXPECT_EQ(0, std::memcmp(expected, image.Data() + 12, 12));
  EXPECT_FALSE(image.Resize(-1, 2));
  EXPECT_EQ(3, image.Width());
}

}  // namespace
}  // namespace ovl
