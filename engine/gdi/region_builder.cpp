#include "engine/gdi/region_builder.h"

#include <cstdlib>
#include <vector>

#include "engine/core/overlay_settings.h"

namespace ovl::gdi {

void DeleteLayerRegion(LayerSettings& layer) {
  if (layer.RegionHandle != nullptr) DeleteObject(static_cast<HRGN>(layer.RegionHandle));
  layer.RegionHandle = nullptr;
  layer.RegionCoverage.Clear();
}

bool RegionCoverage(HRGN region, RegionSpans& coverage) {
  coverage.Clear();
  const DWORD bytes = GetRegionData(region, 0, nullptr);
  if (bytes < sizeof(RGNDATAHEADER)) return false;
  std::vector<unsigned char> buffer(bytes);
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  if (GetRegionData(region, bytes, data) == 0) return false;
  const DWORD count = data->rdh.nCount;
  if (sizeof(RGNDATAHEADER) + static_cast<std::size_t>(count) * sizeof(RECT) > bytes) return false;
  const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
  std::vector<RectI> banded(count);
  for (DWORD i = 0; i < count; ++i) {
    banded[i] = RectI{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
  }
  return coverage.AssignFromBandedRects(banded.data(), banded.size());
}

HResult BuildLayerRegion(LayerSettings& layer) {
  DeleteLayerRegion(layer);
  if (layer.Region == REGION_NONE) return kOk;
  // Coordinates are not validated: GDI receives them as they are (with
  // 32-bit wrap-around, as the platform's own arithmetic would give).
  auto moved = [](std::int32_t value, std::int32_t offset) {
    return static_cast<int>(static_cast<std::uint32_t>(value) + static_cast<std::uint32_t>(offset));
  };
  const int left = moved(layer.RgnLeft, layer.XPos);
  const int top = moved(layer.RgnTop, layer.YPos);
  const int right = moved(layer.RgnRight, layer.XPos);
  const int bottom = moved(layer.RgnBottom, layer.YPos);
  // Curved shapes are refused beyond the largest frame side. Measured under
  // Wine 8, one process per shape: ellipses and rounded rectangles up to
  // 916,399 pixels square come out exact, each in at most 35 ms; from
  // 916,400 the 64-bit arithmetic of its ellipse routine overflows and the
  // shape is wrong, from 1,048,397 to 1,048,575 it returns a handle to a
  // broken region that damages the heap, and at 4,194,304 it is still
  // busy after two minutes. The limit is the largest frame side, so a shape that fits
  // inside any frame the filter accepts is still built.
  constexpr std::int64_t kMaxCurvedExtent = kMaxFrameSide;
  const bool curved = layer.Region == REGION_ROUNDRECT || layer.Region == REGION_ELLIPSE;
  if (curved && (std::llabs(std::int64_t{right} - left) > kMaxCurvedExtent ||
                 std::llabs(std::int64_t{bottom} - top) > kMaxCurvedExtent)) {
    return kOutOfMemory;
  }
  HRGN region = nullptr;
  switch (layer.Region) {
    case REGION_RECT: region = CreateRectRgn(left, top, right, bottom); break;
    case REGION_ROUNDRECT:
      region = CreateRoundRectRgn(left, top, right, bottom, layer.RgnRoundRectEllipseWidth,
                                  layer.RgnRoundRectEllipseHeight);
      break;
    case REGION_ELLIPSE: region = CreateEllipticRgn(left, top, right, bottom); break;
    default: break;
  }
  if (region == nullptr) return kOutOfMemory;
  if (!RegionCoverage(region, layer.RegionCoverage)) {
    DeleteObject(region);
    return kOutOfMemory;
  }
  layer.RegionHandle = region;
  return kOk;
}

}  // namespace ovl::gdi
