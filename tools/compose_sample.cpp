// Renders one composite of built-in sample pictures with the overlay engine
// and writes it as a PNG: colour bars (video 1, copied), a radial vignette of
// the background colour drawn through a mask, a second picture at 70 %
// opacity inside an ellipse, and a colour-keyed logo on top.
//
// usage: ovl_compose_sample [output.png]
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/frame_compositor.h"
#include "tests/support/scene_builder.h"
#include "tools/png_writer.h"

namespace {

using namespace ovl;

constexpr std::int32_t kWidth = 640;
constexpr std::int32_t kHeight = 360;

void Put(RgbImage& image, std::int32_t x, std::int32_t y, std::uint32_t colorref) {
  std::uint8_t* p = image.View().RowFromTop(y) + 3 * x;
  p[0] = (colorref >> 16) & 0xFF;
  p[1] = (colorref >> 8) & 0xFF;
  p[2] = colorref & 0xFF;
}

RgbImage ColourBars() {
  const std::uint32_t bars[] = {0xC0C0C0, 0x00C0C0, 0xC0C000, 0x00C000, 0xC000C0, 0x0000C0, 0xC00000};
  RgbImage image(kWidth, kHeight);
  for (std::int32_t y = 0; y < kHeight; ++y)
    for (std::int32_t x = 0; x < kWidth; ++x) Put(image, x, y, bars[x * 7 / kWidth]);
  return image;
}

RgbImage Rings(std::int32_t w, std::int32_t h) {
  RgbImage image(w, h);
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      const double r = std::hypot(x - w / 2.0, y - h / 2.0);
      const auto v = static_cast<std::uint32_t>(127.5 + 127.5 * std::sin(r / 6.0));
      Put(image, x, y, (v << 16) | ((255 - v) << 8) | 0x30);
    }
  }
  return image;
}

// A white disc with a red bar on pure green, the key colour.
RgbImage Logo(std::int32_t w, std::int32_t h) {
  RgbImage image(w, h);
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      std::uint32_t c = 0x00FF00;
      if (std::hypot(x - h / 2.0, y - h / 2.0) < h / 2.2) c = 0xFFFFFF;
      if (x > h && x < w - 8 && y > h / 3 && y < 2 * h / 3) c = 0x0000E0;
      Put(image, x, y, c);
    }
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "out/composite.png";
  OverlaySettings settings;
  LayerTable& layers = settings.Layers;
  layers.MoveLayer(LAYERTYPE_VIDEO1, 0);  // video 1 at the bottom, the background above it

  settings.BkLayerColor = 0x00201008;
  LayerSettings& background = *layers.FindLayer(LAYERTYPE_BACKGROUND);
  std::mt19937 rng(7);
  testing::SetMask(background, kWidth, kHeight, rng);
  for (std::int32_t y = 0; y < kHeight; ++y) {
    std::uint8_t* row = background.Mask.Buffer.data() + static_cast<std::size_t>(kHeight - 1 - y) * MaskStride(kWidth);
    for (std::int32_t x = 0; x < kWidth; ++x) {
      const double d = std::hypot((x - kWidth / 2.0) / (kWidth / 2.0), (y - kHeight / 2.0) / (kHeight / 2.0));
      row[x] = static_cast<std::uint8_t>(255 - std::min(255.0, std::max(0.0, (d - 0.55) * 400)));
    }
  }

  const RgbImage bars = ColourBars();
  RgbImage second = Rings(260, 190);
  LayerSettings& video2 = *layers.FindLayer(LAYERTYPE_VIDEO2);
  video2.XPos = 340;
  video2.YPos = 30;
  video2.EnableOpacity = 1;
  video2.Opacity = 70;
  video2.OpacityLevel = OpacityLevelFromOpacity(70);
  testing::AttachCoverage(video2, testing::EllipseSpans(340, 30, 600, 220));

  const RgbImage logo = Logo(220, 80);
  testing::SetOverlayImage(settings, logo);
  LayerSettings& image = *layers.FindLayer(LAYERTYPE_OVERLAYIMAGE);
  image.XPos = 30;
  image.YPos = 250;
  image.EnableTransparency = 1;
  image.TransparentColor = 0x0000FF00;

  FrameCompositor compositor;
  if (compositor.BuildSurfaces(kWidth, kHeight, settings.BkLayerColor, {kWidth, kHeight, true},
                               {second.Width(), second.Height(), true}) != kOk) {
    std::fprintf(stderr, "error: cannot build the drawing surfaces\n");
    return 1;
  }
  std::vector<std::uint8_t> frame(compositor.CompositeBytes());
  const HResult hr = compositor.ComposeFrame(settings, bars.Data(), bars.SizeBytes(), second.Data(),
                                             second.SizeBytes(), frame.data(), frame.size());
  if (hr != kOk) {
    std::fprintf(stderr, "error: composing failed (0x%08X)\n", static_cast<unsigned>(hr));
    return 1;
  }
  if (!tools::WritePng(path, ConstRgbView(frame.data(), kWidth, kHeight))) {
    std::fprintf(stderr, "error: cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("wrote %s (%dx%d, kernels %s): colour bars copied, background vignette through a mask,\n"
              "second picture at 70%% opacity in an ellipse, colour-keyed logo on top\n",
              path.c_str(), kWidth, kHeight, compositor.Kernels().name);
  return 0;
}
