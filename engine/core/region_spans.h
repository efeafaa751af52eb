#pragma once
// A layer's clip region as the compositor walks it: horizontal bands of rows,
// each with sorted, disjoint x intervals [left, right) in frame coordinates
// (x right, y down). This is the shape of GDI's own region data, so a GDI
// region converts without re-sampling and the walk never asks a
// point-in-region question per pixel.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ovl {

struct Span {
  std::int32_t left;
  std::int32_t right;  // exclusive
};

struct SpanBand {
  std::int32_t top;
  std::int32_t bottom;  // exclusive
  std::uint32_t first;  // index of the band's first span
  std::uint32_t count;
};

struct RectI {
  std::int32_t left, top, right, bottom;
};

class RegionSpans {
 public:
  void Clear();

  // Builds the bands from rectangles in banded order (sorted by top, then by
  // left; rectangles of one band share top and bottom), the order of GDI's
  // region data. Empty rectangles are dropped; touching intervals of a band
  // are merged. Returns false when the input is not banded.
  bool AssignFromBandedRects(const RectI* rects, std::size_t count);

  // Appends one band; spans must be sorted and disjoint, bands added top to bottom.
  void AddBand(std::int32_t top, std::int32_t bottom, const Span* spans, std::size_t count);

  bool Contains(std::int32_t x, std::int32_t y) const;
  bool Empty() const { return bands_.empty(); }
  std::size_t PixelCount() const;

  const std::vector<SpanBand>& Bands() const { return bands_; }
  const std::vector<Span>& Spans() const { return spans_; }

 private:
  std::vector<SpanBand> bands_;
  std::vector<Span> spans_;
};

}  // namespace ovl
