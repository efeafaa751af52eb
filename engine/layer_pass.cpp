#include "engine/layer_pass.h"

#include <algorithm>

namespace ovl {

LayerMode ChooseLayerMode(const LayerSettings& layer) {
  if (layer.EnableMaskBitmap) return layer.Mask.Loaded ? LayerMode::Mask : LayerMode::Copy;
  if (layer.EnableTransparency) return LayerMode::ColorKey;
  if (layer.EnableOpacity) return LayerMode::Opacity;
  return LayerMode::Copy;
}

namespace {

struct Bounds {
  std::int32_t left, top, right, bottom;  // frame pixels the layer covers, right/bottom exclusive
};

// Calls visit(y, x0, x1) for every run of frame pixels inside both the
// bounds and (when given) the region, rows top to bottom.
template <class Visit>
void ForEachRun(const Bounds& b, const RegionSpans* region, Visit&& visit) {
  if (region == nullptr) {
    for (std::int32_t y = b.top; y < b.bottom; ++y) visit(y, b.left, b.right);
    return;
  }
  const std::vector<Span>& spans = region->Spans();
  for (const SpanBand& band : region->Bands()) {
    if (band.bottom <= b.top) continue;
    if (band.top >= b.bottom) break;
    const std::int32_t y0 = std::max(band.top, b.top);
    const std::int32_t y1 = std::min(band.bottom, b.bottom);
    for (std::int32_t y = y0; y < y1; ++y) {
      for (std::uint32_t k = 0; k < band.count; ++k) {
        const Span& s = spans[band.first + k];
        const std::int32_t x0 = std::max(s.left, b.left);
        const std::int32_t x1 = std::min(s.right, b.right);
        if (x0 < x1) visit(y, x0, x1);
      }
    }
  }
}

}  // namespace

void DrawLayerPass(RgbView out, ConstRgbView picture, const LayerSettings& layer,
                   const PassKernels& kernels) {
  if (out.bits == nullptr || !picture.Present()) return;
  const std::int32_t xpos = layer.XPos < 0 ? 0 : layer.XPos;
  const std::int32_t ypos = layer.YPos < 0 ? 0 : layer.YPos;
  const std::int64_t right = std::min<std::int64_t>(out.width, std::int64_t{xpos} + picture.width);
  const std::int64_t bottom = std::min<std::int64_t>(out.height, std::int64_t{ypos} + picture.height);
  if (xpos >= right || ypos >= bottom) return;
  const Bounds bounds{xpos, ypos, static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
  const RegionSpans* region = layer.HasRegion() ? &layer.RegionCoverage : nullptr;

  // Pointers to the output pixel at x and to the layer pixel of the same position.
  auto outAt = [&](std::int32_t y, std::int32_t x) { return out.RowFromTop(y) + 3 * static_cast<std::size_t>(x); };
  auto layerAt = [&](std::int32_t y, std::int32_t x) {
    return picture.RowFromTop(y - ypos) + 3 * static_cast<std::size_t>(x - xpos);
  };

  switch (ChooseLayerMode(layer)) {
    case LayerMode::Copy:
      ForEachRun(bounds, region, [&](std::int32_t y, std::int32_t x0, std::int32_t x1) {
        kernels.copy(outAt(y, x0), layerAt(y, x0), static_cast<std::size_t>(x1 - x0));
      });
      break;
    case LayerMode::ColorKey: {
      const std::uint32_t key = layer.TransparentColor;
      ForEachRun(bounds, region, [&](std::int32_t y, std::int32_t x0, std::int32_t x1) {
        kernels.colorKey(outAt(y, x0), layerAt(y, x0), static_cast<std::size_t>(x1 - x0), key);
      });
      break;
    }
    case LayerMode::Opacity: {
      const std::uint8_t level = layer.OpacityLevel;
      ForEachRun(bounds, region, [&](std::int32_t y, std::int32_t x0, std::int32_t x1) {
        kernels.opacity(outAt(y, x0), layerAt(y, x0), 3 * static_cast<std::size_t>(x1 - x0), level);
      });
      break;
    }
    case LayerMode::Mask: {
      // The mask sits at the layer's position; layer pixels beyond its width
      // or height are copied opaquely.
      const MaskView mask = layer.Mask.MaskValues();
      const std::int64_t maskRight = std::int64_t{xpos} + mask.width;
      ForEachRun(bounds, region, [&](std::int32_t y, std::int32_t x0, std::int32_t x1) {
        std::int32_t split = x0;
        if (y - ypos < mask.height) {
          split = static_cast<std::int32_t>(std::min<std::int64_t>(x1, std::max<std::int64_t>(x0, maskRight)));
          if (split > x0) {
            kernels.mask(outAt(y, x0), layerAt(y, x0), mask.RowFromTop(y - ypos) + (x0 - xpos),
                         static_cast<std::size_t>(split - x0));
          }
        }
        if (split < x1) kernels.copy(outAt(y, split), layerAt(y, split), static_cast<std::size_t>(x1 - split));
      });
      break;
    }
  }
}

}  // namespace ovl
