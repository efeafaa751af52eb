#include "tests/support/reference_compositor.h"

#include <cstring>


namespace ovl::reference {
namespace {

// The pixel walk shared by the passes: every frame pixel, top row first.
template <class Op>
void ForEachLayerPixel(RgbView out, ConstRgbView layer, const LayerSettings& s, const RegionTest& inRegion, Op op) {
  for (std::int32_t y = 0; y < out.height; ++y) {
    for (std::int32_t x = 0; x < out.width; ++x) {
      const bool inLayer = s.XPos <= x && static_cast<std::int64_t>(x) < std::int64_t{s.XPos} + layer.width &&
                           s.YPos <= y && static_cast<std::int64_t>(y) < std::int64_t{s.YPos} + layer.height;
      if (!inLayer) continue;
      if (s.HasRegion() && !inRegion(s, x, y)) continue;
      std::uint8_t* o = out.RowFromTop(y) + 3 * static_cast<std::size_t>(x);
      const std::uint8_t* l = layer.RowFromTop(y - s.YPos) + 3 * static_cast<std::size_t>(x - s.XPos);
      op(o, l, x - s.XPos, y - s.YPos);
    }
  }
}

}  // namespace

bool CoverageTest(const LayerSettings& layer, std::int32_t x, std::int32_t y) {
  return layer.RegionCoverage.Contains(x, y);
}

std::uint8_t OpacityByte(std::uint8_t out, std::uint8_t layer, std::uint8_t opacityLevel) {
  const double a = static_cast<double>(static_cast<float>((255 - opacityLevel) / 255.0));
  const double b = 1.0 - a;
  return static_cast<std::uint8_t>(static_cast<int>(out * a + layer * b));
}

std::uint8_t MaskByte(std::uint8_t out, std::uint8_t layer, std::uint8_t storedMask) {
  const double w = storedMask / 255.0;
  return static_cast<std::uint8_t>(static_cast<int>(layer * (1.0 - w) + out * w));
}

void CopyPass(RgbView out, ConstRgbView layer, const LayerSettings& s, const RegionTest& inRegion) {
  ForEachLayerPixel(out, layer, s, inRegion, [](std::uint8_t* o, const std::uint8_t* l, int, int) {
    o[0] = l[0];
    o[1] = l[1];
    o[2] = l[2];
  });
}

void ColorKeyPass(RgbView out, ConstRgbView layer, const LayerSettings& s, const RegionTest& inRegion) {
  ForEachLayerPixel(out, layer, s, inRegion, [&](std::uint8_t* o, const std::uint8_t* l, int, int) {
    const std::uint32_t key = (std::uint32_t{l[0]} << 16) | (std::uint32_t{l[1]} << 8) | l[2];
    if (key == s.TransparentColor) return;
    o[0] = l[0];
    o[1] = l[1];
    o[2] = l[2];
  });
}

void OpacityPass(RgbView out, ConstRgbView layer, const LayerSettings& s, const RegionTest& inRegion) {
  const double a = static_cast<double>(static_cast<float>((255 - s.OpacityLevel) / 255.0));
  const double b = 1.0 - a;
  ForEachLayerPixel(out, layer, s, inRegion, [&](std::uint8_t* o, const std::uint8_t* l, int, int) {
    for (int c = 0; c < 3; ++c) o[c] = static_cast<std::uint8_t>(static_cast<int>(o[c] * a + l[c] * b));
  });
}

void MaskPass(RgbView out, ConstRgbView layer, const LayerSettings& s, const RegionTest& inRegion) {
  const MaskView mask = s.Mask.MaskValues();
  ForEachLayerPixel(out, layer, s, inRegion, [&](std::uint8_t* o, const std::uint8_t* l, int lx, int ly) {
    if (lx < mask.width && ly < mask.height) {
      const double w = mask.RowFromTop(ly)[lx] / 255.0;
      for (int c = 0; c < 3; ++c) {
        o[c] = static_cast<std::uint8_t>(static_cast<int>(l[c] * (1.0 - w) + o[c] * w));
      }
    } else {
      o[0] = l[0];
      o[1] = l[1];
      o[2] = l[2];
    }
  });
}

HResult ReferenceCompositor::BuildSurfaces(std::int32_t width, std::int32_t height,
                                           std::uint32_t bkColor, VideoFormat video1,
                                           VideoFormat video2) {
  output_.Resize(width, height);
  background_.Resize(width, height);
  background_.Fill(bkColor);
  hasVideo1_ = video1.present;
  hasVideo2_ = video2.present;
  if (hasVideo1_) video1_.Resize(video1.width, video1.height);
  if (hasVideo2_) video2_.Resize(video2.width, video2.height);
  working_.assign(output_.SizeBytes(), 0);
  return kOk;
}

void ReferenceCompositor::DrawLayer(const OverlaySettings& settings, int position) {
  const LayerSettings& s = settings.Layers[position];
  ConstRgbView picture;
  switch (s.LayerType) {
    case LAYERTYPE_BACKGROUND: picture = background_.View(); break;
    case LAYERTYPE_VIDEO1: if (hasVideo1_) picture = video1_.View(); break;
    case LAYERTYPE_VIDEO2: if (hasVideo2_) picture = video2_.View(); break;
    case LAYERTYPE_OVERLAYIMAGE: picture = settings.OverlayImage.RgbPixels(); break;
    default: break;
  }
  if (!picture.Present()) return;
  // The mode table, first match wins.
  enum { kCopy, kColorKey, kOpacity, kMask } mode = kCopy;
  if (s.EnableMaskBitmap && s.Mask.Loaded) mode = kMask;
  else if (s.EnableTransparency && !s.EnableMaskBitmap) mode = kColorKey;
  else if (s.EnableOpacity && !s.EnableMaskBitmap && !s.EnableTransparency) mode = kOpacity;
  if (mode == kCopy) {
    CopyPass(output_.View(), picture, s, inRegion_);
    return;
  }
  // Per-pixel modes: read the composite and the layer picture into working
  // buffers, run the pass there, write the composite back.
  std::memcpy(working_.data(), output_.Data(), output_.SizeBytes());
  layerCopy_.assign(picture.bits, picture.bits + picture.stride * picture.height);
  const ConstRgbView layer(layerCopy_.data(), picture.width, picture.height);
  const RgbView work{working_.data(), output_.Width(), output_.Height(), output_.Stride()};
  switch (mode) {
    case kColorKey: ColorKeyPass(work, layer, s, inRegion_); break;
    case kOpacity: OpacityPass(work, layer, s, inRegion_); break;
    case kMask: MaskPass(work, layer, s, inRegion_); break;
    case kCopy: break;
  }
  std::memcpy(output_.Data(), working_.data(), output_.SizeBytes());
}

HResult ReferenceCompositor::ComposeFrame(const OverlaySettings& settings,
                                          const std::uint8_t* video1, std::size_t video1Bytes,
                                          const std::uint8_t* heldVideo2, std::size_t video2Bytes,
                                          std::uint8_t* output, std::size_t outputBytes) {
  if (output_.Empty() || !hasVideo1_ || video1Bytes < video1_.SizeBytes()) return kFail;
  std::memcpy(video1_.Data(), video1, video1_.SizeBytes());
  if (heldVideo2 != nullptr) {
    if (!hasVideo2_ || video2Bytes < video2_.SizeBytes()) return kFail;
    output_.Fill(0);
    std::memcpy(video2_.Data(), heldVideo2, video2_.SizeBytes());
  }
  for (int position = 0; position < kLayerCount; ++position) DrawLayer(settings, position);
  if (outputBytes < output_.SizeBytes()) return kFail;
  std::memcpy(output, output_.Data(), output_.SizeBytes());
  return kOk;
}

}  // namespace ovl::reference
