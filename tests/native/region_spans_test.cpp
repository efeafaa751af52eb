// Span sets built from banded rectangles (the form of platform region data).
#include <gtest/gtest.h>

#include "engine/core/region_spans.h"

namespace ovl {
namespace {

TEST(RegionSpans, BandedRectanglesBecomeBandsWithMergedSpans) {
  const RectI rects[] = {{2, 0, 5, 2}, {5, 0, 7, 2}, {9, 0, 10, 2},  // touching spans merge
                         {0, 2, 3, 3},
                         {4, 4, 4, 6},                                // empty: dropped
                         {1, 6, 2, 8}};
  RegionSpans spans;
  ASSERT_TRUE(spans.AssignFromBandedRects(rects, 6));
  ASSERT_EQ(3u, spans.Bands().size());
  EXPECT_EQ(2u, spans.Bands()[0].count);
  EXPECT_EQ(5 * 2 + 1 * 2 + 3 + 1 * 2, static_cast<int>(spans.PixelCount()));
  EXPECT_TRUE(spans.Contains(2, 0));
  EXPECT_TRUE(spans.Contains(6, 1));
  EXPECT_FALSE(spans.Contains(7, 1)) << "right edges are outside";
  EXPECT_FALSE(spans.Contains(2, 3)) << "bottom edges are outside";
  EXPECT_TRUE(spans.Contains(1, 7));
  EXPECT_FALSE(spans.Contains(1, 8));
  EXPECT_FALSE(spans.Contains(-1, 0));
}

TEST(RegionSpans, OutOfOrderRectanglesAreRefused) {
  const RectI overlapping[] = {{0, 0, 4, 4}, {0, 2, 4, 6}};
  const RectI unsorted[] = {{5, 0, 6, 1}, {0, 0, 2, 1}};
  RegionSpans spans;
  EXPECT_FALSE(spans.AssignFromBandedRects(overlapping, 2));
  EXPECT_TRUE(spans.Empty());
  EXPECT_FALSE(spans.AssignFromBandedRects(unsorted, 2));
  EXPECT_TRUE(spans.AssignFromBandedRects(nullptr, 0));
  EXPECT_TRUE(spans.Empty());
}

}  // namespace
}  // namespace ovl
