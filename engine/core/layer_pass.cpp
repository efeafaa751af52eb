#include "engine/core/layer_pass.h"

#include <algorithm>

namespace ovl {

LayerOp ChooseLayerOp(const LayerSettings& layer) {
  if (layer.EnableMaskBitmap) return layer.Mask.Loaded ? LayerOp::Mask : LayerOp::Copy;
  if (layer.EnableTransparency) return LayerOp::ColorKey;
  if (layer.EnableOpacity) return LayerOp::Opacity;
  return LayerOp::Copy;
}

LayerPlan PlanLayer(std::int32_t frameWidth, std::int32_t frameHeight, ConstRgbView picture,
                    const LayerSettings& layer, bool uniform) {
  LayerPlan plan;
  if (!picture.Present()) return plan;
  const std::int32_t xpos = layer.XPos < 0 ? 0 : layer.XPos;
  const std::int32_t ypos = layer.YPos < 0 ? 0 : layer.YPos;
  const std::int64_t right = std::min<std::int64_t>(frameWidth, std::int64_t{xpos} + picture.width);
  const std::int64_t bottom = std::min<std::int64_t>(frameHeight, std::int64_t{ypos} + picture.height);
  if (xpos >= right || ypos >= bottom) return plan;
  plan.picture = picture;
  plan.left = xpos;
  plan.top = ypos;
  plan.right = static_cast<std::int32_t>(right);
  plan.bottom = static_cast<std::int32_t>(bottom);
  plan.region = layer.HasRegion() ? &layer.RegionCoverage : nullptr;

  switch (ChooseLayerOp(layer)) {
    case LayerOp::Skip:  // settings never choose it; only planning does
    case LayerOp::Copy:
      plan.op = LayerOp::Copy;
      break;
    case LayerOp::ColorKey: {
      plan.key = layer.TransparentColor;
      plan.op = LayerOp::ColorKey;
      if ((plan.key >> 24) != 0) {
        plan.op = LayerOp::Copy;  // no 24-bit pixel has that COLORREF
      } else if (uniform) {
        const std::uint8_t* p = picture.RowFromTop(0);
        const std::uint32_t colour = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
        plan.op = colour == plan.key ? LayerOp::Skip : LayerOp::Copy;
      }
      break;
    }
    case LayerOp::Opacity:
      // Level 0 blends with weight 0 (the output stays), 255 with weight 1
      // (an exact copy): see OpacityLayerWeight.
      plan.level = layer.OpacityLevel;
      plan.op = plan.level == 0 ? LayerOp::Skip
                : plan.level == 255 ? LayerOp::Copy
                                    : LayerOp::Opacity;
      break;
    case LayerOp::Mask:
      plan.mask = layer.Mask.MaskValues();
      plan.op = LayerOp::Mask;
      break;
  }
  return plan;
}

namespace {

// Calls visit(y, x0, x1) for every run of frame pixels of rows y0..y1-1
// inside both the plan's bounds and (when given) its region. Rows go bottom
// to top: the pictures are stored bottom-up, so memory is read and written
// in ascending order, which the hardware prefetchers follow best. Region
// bands wholly below y1 are passed for good.
template <class Visit>
void ForEachRun(LayerPlan& plan, std::int32_t y0, std::int32_t y1, Visit&& visit) {
  y0 = std::max(y0, plan.top);
  y1 = std::min(y1, plan.bottom);
  if (y0 >= y1) return;
  if (plan.region == nullptr) {
    for (std::int32_t y = y1 - 1; y >= y0; --y) visit(y, plan.left, plan.right);
    return;
  }
  const std::vector<SpanBand>& bands = plan.region->Bands();
  const std::vector<Span>& spans = plan.region->Spans();
  if (plan.bandsLeft > bands.size()) plan.bandsLeft = bands.size();
  std::size_t b = plan.bandsLeft;
  while (b > 0 && bands[b - 1].top >= y1) --b;
  plan.bandsLeft = b;
  for (; b > 0 && bands[b - 1].bottom > y0; --b) {
    const SpanBand& band = bands[b - 1];
    const std::int32_t top = std::max(band.top, y0);
    const std::int32_t bottom = std::min(band.bottom, y1);
    for (std::int32_t y = bottom - 1; y >= top; --y) {
      for (std::uint32_t k = 0; k < band.count; ++k) {
        const Span& s = spans[band.first + k];
        const std::int32_t x0 = std::max(s.left, plan.left);
        const std::int32_t x1 = std::min(s.right, plan.right);
        if (x0 < x1) visit(y, x0, x1);
      }
    }
  }
}

}  // namespace

bool AnyKeyInRows(const LayerPlan& plan, std::int32_t y0, std::int32_t y1, const PassKernels& kernels) {
  const auto pixels = static_cast<std::size_t>(plan.right - plan.left);
  for (std::int32_t y = y0; y < y1; ++y) {
    if (kernels.anyKey(plan.picture.RowFromTop(y - plan.top), pixels, plan.key)) return true;
  }
  return false;
}

void DrawLayerRows(RgbView out, LayerPlan& plan, std::int32_t y0, std::int32_t y1,
                   const PassKernels& kernels) {
  if (plan.op == LayerOp::Skip || out.bits == nullptr) return;
  const ConstRgbView picture = plan.picture;
  const std::int32_t xpos = plan.left;
  const std::int32_t ypos = plan.top;

  // Pointers to the output pixel at x and to the layer pixel of the same position.
  auto outAt = [&](std::int32_t y, std::int32_t x) { return out.RowFromTop(y) + 3 * static_cast<std::size_t>(x); };
  auto layerAt = [&](std::int32_t y, std::int32_t x) {
    return picture.RowFromTop(y - ypos) + 3 * static_cast<std::size_t>(x - xpos);
  };

  switch (plan.op) {
    case LayerOp::Skip:
      break;
    case LayerOp::Copy:
      ForEachRun(plan, y0, y1, [&](std::int32_t y, std::int32_t x0, std::int32_t x1) {
        kernels.copy(outAt(y, x0), layerAt(y, x0), static_cast<std::size_t>(x1 - x0));
      });
      break;
    case LayerOp::ColorKey: {
      const std::uint32_t key = plan.key;
      ForEachRun(plan, y0, y1, [&](std::int32_t y, std::int32_t x0, std::int32_t x1) {
        kernels.colorKey(outAt(y, x0), layerAt(y, x0), static_cast<std::size_t>(x1 - x0), key);
      });
      break;
    }
    case LayerOp::Opacity: {
      const std::uint8_t level = plan.level;
      ForEachRun(plan, y0, y1, [&](std::int32_t y, std::int32_t x0, std::int32_t x1) {
        kernels.opacity(outAt(y, x0), layerAt(y, x0), 3 * static_cast<std::size_t>(x1 - x0), level);
      });
      break;
    }
    case LayerOp::Mask: {
      // The mask sits at the layer's position; layer pixels beyond its width
      // or height are copied opaquely.
      const MaskView mask = plan.mask;
      const std::int64_t maskRight = std::int64_t{xpos} + mask.width;
      ForEachRun(plan, y0, y1, [&](std::int32_t y, std::int32_t x0, std::int32_t x1) {
        std::int32_t split = x0;
        if (y - ypos < mask.height) {
          split = static_cast<std::int32_t>(std::min<std::int64_t>(x1, std::max<std::int64_t>(x0, maskRight)));
          if (split > x0 && plan.maskTable != nullptr) {
            kernels.maskTable(outAt(y, x0), *plan.maskTable, mask.RowFromTop(y - ypos) + (x0 - xpos),
                              static_cast<std::size_t>(split - x0));
          } else if (split > x0) {
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
