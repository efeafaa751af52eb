#include "tests/support/scene_builder.h"

#include <algorithm>
#include <cmath>

namespace ovl::testing {
namespace {

int g_regionToken;  // the address stands in for a platform region handle

std::int32_t Uniform(std::mt19937& rng, std::int32_t lo, std::int32_t hi) {
  return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
}

}  // namespace

void AttachCoverage(LayerSettings& layer, const RegionSpans& coverage) {
  layer.RegionHandle = &g_regionToken;
  layer.RegionCoverage = coverage;
}

void DetachCoverage(LayerSettings& layer) {
  layer.RegionHandle = nullptr;
  layer.RegionCoverage.Clear();
}

RegionSpans EllipseSpans(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
  RegionSpans spans;
  const double cx = (left + right) / 2.0, cy = (top + bottom) / 2.0;
  const double rx = (right - left) / 2.0, ry = (bottom - top) / 2.0;
  for (std::int32_t y = top; y < bottom; ++y) {
    const double dy = (y + 0.5 - cy) / ry;
    if (dy * dy >= 1.0) continue;
    const double half = rx * std::sqrt(1.0 - dy * dy);
    const Span s{static_cast<std::int32_t>(std::lround(cx - half)),
                 static_cast<std::int32_t>(std::lround(cx + half))};
    spans.AddBand(y, y + 1, &s, 1);
  }
  return spans;
}

RegionSpans RandomSpans(std::mt19937& rng, std::int32_t frameWidth, std::int32_t frameHeight) {
  RegionSpans spans;
  std::int32_t y = Uniform(rng, -5, frameHeight / 2);
  std::vector<Span> row;
  while (y < frameHeight + 5) {
    const std::int32_t height = Uniform(rng, 1, 6);
    row.clear();
    std::int32_t x = Uniform(rng, -5, 10);
    const int count = Uniform(rng, 0, 4);
    for (int k = 0; k < count && x < frameWidth + 5; ++k) {
      const std::int32_t width = Uniform(rng, 1, std::max(2, frameWidth / 2));
      row.push_back(Span{x, x + width});
      x += width + Uniform(rng, 1, 12);
    }
    spans.AddBand(y, y + height, row.data(), row.size());
    y += height + Uniform(rng, 0, 3);
  }
  return spans;
}

void FillRandom(RgbImage& image, std::mt19937& rng) {
  std::uniform_int_distribution<int> byte(0, 255);
  for (std::int32_t y = 0; y < image.Height(); ++y) {
    std::uint8_t* row = image.Data() + static_cast<std::size_t>(y) * image.Stride();
    for (std::int32_t x = 0; x < 3 * image.Width(); ++x) row[x] = static_cast<std::uint8_t>(byte(rng));
  }
}

void FillGradient(RgbImage& image, std::uint32_t seed) {
  for (std::int32_t y = 0; y < image.Height(); ++y) {
    std::uint8_t* row = image.Data() + static_cast<std::size_t>(y) * image.Stride();
    for (std::int32_t x = 0; x < image.Width(); ++x) {
      row[3 * x] = static_cast<std::uint8_t>(x * 255 / std::max(1, image.Width() - 1) + seed);
      row[3 * x + 1] = static_cast<std::uint8_t>(y * 255 / std::max(1, image.Height() - 1) + seed * 3);
      row[3 * x + 2] = static_cast<std::uint8_t>((x + y) * 7 + seed * 5);
    }
  }
}

void SetMask(LayerSettings& layer, std::int32_t width, std::int32_t height, std::mt19937& rng) {
  LoadedPicture& mask = layer.Mask;
  mask.Loaded = 1;
  mask.Width = width;
  mask.Height = height;
  mask.Buffer.resize(MaskStride(width) * static_cast<std::size_t>(height));
  std::uniform_int_distribution<int> byte(0, 255);
  for (std::uint8_t& v : mask.Buffer) v = static_cast<std::uint8_t>(byte(rng));
  layer.EnableMaskBitmap = 1;
}

void SetOverlayImage(OverlaySettings& settings, const RgbImage& image) {
  LoadedPicture& picture = settings.OverlayImage;
  picture.Loaded = 1;
  picture.Width = image.Width();
  picture.Height = image.Height();
  picture.Buffer.assign(image.Data(), image.Data() + image.SizeBytes());
}

namespace {

void ApplyMode(LayerSettings& layer, SceneMode mode, std::mt19937& rng, const RgbImage* picture) {
  const SceneMode chosen = mode == SceneMode::Mixed ? static_cast<SceneMode>(Uniform(rng, 0, 3)) : mode;
  switch (chosen) {
    case SceneMode::ColorKey: {
      layer.EnableTransparency = 1;
      // Usually a colour the picture really contains, so keying happens.
      if (picture != nullptr && !picture->Empty() && Uniform(rng, 0, 3) != 0) {
        const std::uint8_t* p = picture->Data() + 3 * Uniform(rng, 0, picture->Width() - 1);
        layer.TransparentColor = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
      } else {
        layer.TransparentColor = static_cast<std::uint32_t>(Uniform(rng, 0, 0xFFFFFF));
      }
      break;
    }
    case SceneMode::Opacity:
      layer.EnableOpacity = 1;
      layer.Opacity = Uniform(rng, -20, 120);
      layer.OpacityLevel = OpacityLevelFromOpacity(layer.Opacity);
      break;
    case SceneMode::Mask: {
      const std::int32_t lw = picture ? std::max(1, picture->Width()) : 8;
      const std::int32_t lh = picture ? std::max(1, picture->Height()) : 8;
      SetMask(layer, Uniform(rng, 1, lw + 3), Uniform(rng, 1, lh + 3), rng);
      if (Uniform(rng, 0, 3) == 0) layer.EnableTransparency = 1;  // the mask still decides
      break;
    }
    case SceneMode::Copy:
    case SceneMode::Mixed:
      if (Uniform(rng, 0, 5) == 0) layer.EnableMaskBitmap = 1;  // no mask loaded: a copy
      break;
  }
}

}  // namespace

Scene RandomScene(std::mt19937& rng, SceneMode mode) {
  Scene scene;
  scene.width = Uniform(rng, 1, 97);
  scene.height = Uniform(rng, 1, 61);
  scene.bkColor = static_cast<std::uint32_t>(Uniform(rng, 0, 0xFFFFFF));
  scene.settings.BkLayerColor = scene.bkColor;
  auto randomPicture = [&](RgbImage& image) {
    image.Resize(Uniform(rng, 1, scene.width + 20), Uniform(rng, 1, scene.height + 12));
    FillRandom(image, rng);
  };
  randomPicture(scene.video1);
  randomPicture(scene.video2);
  randomPicture(scene.overlay);
  if (Uniform(rng, 0, 4) != 0) SetOverlayImage(scene.settings, scene.overlay);
  scene.heldVideo2 = Uniform(rng, 0, 1) == 1;

  for (int i = 0; i < 8; ++i) {  // a random order made of swaps
    scene.settings.Layers.MoveLayer(Uniform(rng, 0, 3), Uniform(rng, 0, 3));
  }
  for (int position = 0; position < kLayerCount; ++position) {
    LayerSettings& layer = scene.settings.Layers[position];
    const RgbImage* picture = nullptr;
    switch (layer.LayerType) {
      case LAYERTYPE_VIDEO1: picture = &scene.video1; break;
      case LAYERTYPE_VIDEO2: picture = &scene.video2; break;
      case LAYERTYPE_OVERLAYIMAGE: picture = &scene.overlay; break;
      default: break;
    }
    const int place = Uniform(rng, 0, 9);
    layer.XPos = place < 3 ? 0 : place < 8 ? Uniform(rng, 0, scene.width) : Uniform(rng, scene.width, scene.width + 40);
    layer.YPos = place < 3 ? 0 : place < 8 ? Uniform(rng, 0, scene.height) : Uniform(rng, 0, scene.height + 40);
    ApplyMode(layer, mode, rng, picture);
    if (Uniform(rng, 0, 2) == 0) AttachCoverage(layer, RandomSpans(rng, scene.width, scene.height));
  }
  return scene;
}

Scene BenchScene(std::int32_t width, std::int32_t height, SceneMode mode, bool ellipse) {
  Scene scene;
  std::mt19937 rng(1234);
  scene.width = width;
  scene.height = height;
  scene.bkColor = 0x00336699;
  scene.settings.BkLayerColor = scene.bkColor;
  scene.video1.Resize(width, height);
  scene.video2.Resize(width, height);
  scene.overlay.Resize(width, height);
  FillGradient(scene.video1, 10);
  FillRandom(scene.video2, rng);
  FillGradient(scene.overlay, 99);
  SetOverlayImage(scene.settings, scene.overlay);
  scene.heldVideo2 = true;
  const RegionSpans oval = EllipseSpans(width / 8, height / 8, width - width / 8, height - height / 8);
  for (int position = 0; position < kLayerCount; ++position) {
    LayerSettings& layer = scene.settings.Layers[position];
    switch (mode) {
      case SceneMode::ColorKey:
        layer.EnableTransparency = 1;
        layer.TransparentColor = 0x00FF00;
        break;
      case SceneMode::Opacity:
        layer.EnableOpacity = 1;
        layer.Opacity = 60;
        layer.OpacityLevel = OpacityLevelFromOpacity(60);
        break;
      case SceneMode::Mask: {
        SetMask(layer, width, height, rng);
        // A smooth ramp, like a real vignette mask.
        for (std::int32_t y = 0; y < height; ++y) {
          std::uint8_t* row = layer.Mask.Buffer.data() + static_cast<std::size_t>(y) * MaskStride(width);
          for (std::int32_t x = 0; x < width; ++x) row[x] = static_cast<std::uint8_t>((x + y) * 255 / (width + height));
        }
        break;
      }
      case SceneMode::Copy:
      case SceneMode::Mixed:
        break;
    }
    if (ellipse && position > 0) AttachCoverage(layer, oval);
  }
  return scene;
}

}  // namespace ovl::testing
