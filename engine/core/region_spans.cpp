#include "engine/core/region_spans.h"

#include <algorithm>

namespace ovl {

void RegionSpans::Clear() {
  bands_.clear();
  spans_.clear();
}

void RegionSpans::AddBand(std::int32_t top, std::int32_t bottom, const Span* spans,
                          std::size_t count) {
  if (top >= bottom || count == 0) return;
  SpanBand band{top, bottom, static_cast<std::uint32_t>(spans_.size()), 0};
  for (std::size_t i = 0; i < count; ++i) {
    const Span s = spans[i];
    if (s.left >= s.right) continue;
    if (band.count != 0 && spans_.back().right >= s.left) {
      spans_.back().right = std::max(spans_.back().right, s.right);
      continue;
    }
    spans_.push_back(s);
    ++band.count;
  }
  if (band.count != 0) bands_.push_back(band);
}

bool RegionSpans::AssignFromBandedRects(const RectI* rects, std::size_t count) {
  Clear();
  std::vector<Span> row;
  std::size_t i = 0;
  std::int32_t previousBottom = INT32_MIN;
  while (i < count) {
    const std::int32_t top = rects[i].top;
    const std::int32_t bottom = rects[i].bottom;
    if (top < previousBottom) {
      Clear();
      return false;
    }
    row.clear();
    std::int32_t lastLeft = INT32_MIN;
    for (; i < count && rects[i].top == top && rects[i].bottom == bottom; ++i) {
      if (rects[i].left < lastLeft) {
        Clear();
        return false;
      }
      lastLeft = rects[i].left;
      row.push_back(Span{rects[i].left, rects[i].right});
    }
    AddBand(top, bottom, row.data(), row.size());
    if (top < bottom) previousBottom = bottom;
  }
  return true;
}

bool RegionSpans::Contains(std::int32_t x, std::int32_t y) const {
  // Bands are sorted and disjoint: find the first band ending below y.
  const auto band = std::upper_bound(bands_.begin(), bands_.end(), y,
                                     [](std::int32_t row, const SpanBand& b) { return row < b.bottom; });
  if (band == bands_.end() || y < band->top) return false;
  const Span* first = spans_.data() + band->first;
  const Span* last = first + band->count;
  const Span* span = std::upper_bound(first, last, x, [](std::int32_t col, const Span& s) { return col < s.right; });
  return span != last && x >= span->left;
}

std::size_t RegionSpans::PixelCount() const {
  std::size_t total = 0;
  for (const SpanBand& band : bands_) {
    std::size_t width = 0;
    for (std::uint32_t k = 0; k < band.count; ++k) {
      width += static_cast<std::size_t>(spans_[band.first + k].right - spans_[band.first + k].left);
    }
    total += width * static_cast<std::size_t>(band.bottom - band.top);
  }
  return total;
}

}  // namespace ovl
