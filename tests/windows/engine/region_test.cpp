// Layer regions built by GDI: the spans the compositor walks cover exactly
// the pixels GDI says are inside, and the setters rebuild them when they should.
#include <windows.h>

#include <gtest/gtest.h>

#include "engine/gdi/gdi_settings_host.h"
#include "engine/gdi/picture_install.h"
#include "engine/gdi/region_builder.h"

namespace ovl {
namespace {

struct Shape {
  std::uint32_t region;
  RectI rect;
  std::int32_t ellipseW, ellipseH;
};

// Every pixel of a margin around the rectangle agrees with PtInRegion.
void ExpectSameCoverage(const Shape& shape) {
  LayerSettings layer;
  layer.Region = shape.region;
  layer.RgnLeft = shape.rect.left;
  layer.RgnTop = shape.rect.top;
  layer.RgnRight = shape.rect.right;
  layer.RgnBottom = shape.rect.bottom;
  layer.RgnRoundRectEllipseWidth = shape.ellipseW;
  layer.RgnRoundRectEllipseHeight = shape.ellipseH;
  layer.XPos = 3;
  layer.YPos = 2;
  ASSERT_EQ(kOk, gdi::BuildLayerRegion(layer));
  ASSERT_NE(nullptr, layer.RegionHandle);
  auto region = static_cast<HRGN>(layer.RegionHandle);
  const std::int32_t x0 = std::min(shape.rect.left, shape.rect.right) - 4;
  const std::int32_t x1 = std::max(shape.rect.left, shape.rect.right) + 10;
  const std::int32_t y0 = std::min(shape.rect.top, shape.rect.bottom) - 4;
  const std::int32_t y1 = std::max(shape.rect.top, shape.rect.bottom) + 10;
  std::size_t inside = 0;
  for (std::int32_t y = y0; y < y1; ++y) {
    for (std::int32_t x = x0; x < x1; ++x) {
      const bool gdi = PtInRegion(region, x, y) != FALSE;
      inside += gdi;
      ASSERT_EQ(gdi, layer.RegionCoverage.Contains(x, y))
          << "shape " << shape.region << " rect " << shape.rect.left << "," << shape.rect.top << ","
          << shape.rect.right << "," << shape.rect.bottom << " at " << x << "," << y;
    }
  }
  EXPECT_EQ(inside, layer.RegionCoverage.PixelCount());
  gdi::DeleteLayerRegion(layer);
}

TEST(LayerRegion, SpansCoverExactlyThePixelsGdiReportsInside) {
  const RectI rects[] = {{0, 0, 1, 1},   {0, 0, 2, 2},    {5, 5, 6, 40},   {0, 0, 17, 9},
                         {3, 1, 40, 30}, {0, 0, 101, 57}, {10, 20, 9, 15}, {7, 7, 7, 12},
                         {2, 3, 3, 4},   {0, 0, 64, 1},   {1, 1, 33, 34}};
  for (std::uint32_t type : {REGION_RECT, REGION_ROUNDRECT, REGION_ELLIPSE}) {
    for (const RectI& r : rects) {
      ExpectSameCoverage({type, r, 10, 10});
      if (type == REGION_ROUNDRECT) {
        ExpectSameCoverage({type, r, 200, 150});  // corner ellipse larger than the rectangle
        ExpectSameCoverage({type, r, 1, 3});
      }
    }
  }
}

class RegionSetters : public ::testing::Test {
 protected:
  ~RegionSetters() override { gdi::ReleaseAll(settings); }
  OverlaySettings settings;
  gdi::GdiSettingsHost host;
  SettingsAccess access{settings, host};
  LayerSettings& Video1() { return *settings.Layers.FindLayer(LAYERTYPE_VIDEO1); }
};

TEST_F(RegionSetters, RectangleMovesWithTheLayer) {
  access.PutField(LAYERTYPE_VIDEO1, &LayerSettings::RgnLeft, 10);
  access.PutField(LAYERTYPE_VIDEO1, &LayerSettings::RgnTop, 20);
  access.PutField(LAYERTYPE_VIDEO1, &LayerSettings::RgnRight, 110);
  access.PutField(LAYERTYPE_VIDEO1, &LayerSettings::RgnBottom, 70);
  access.PutXPos(LAYERTYPE_VIDEO1, 5);
  access.PutYPos(LAYERTYPE_VIDEO1, 5);
  ASSERT_EQ(kOk, access.PutRegion(LAYERTYPE_VIDEO1, REGION_RECT));
  const RegionSpans& c = Video1().RegionCoverage;
  EXPECT_TRUE(c.Contains(15, 25));
  EXPECT_TRUE(c.Contains(114, 74));
  EXPECT_FALSE(c.Contains(115, 74));
  EXPECT_FALSE(c.Contains(14, 25));
  EXPECT_FALSE(c.Contains(15, 75));
  EXPECT_EQ(100u * 50u, c.PixelCount());
}

TEST_F(RegionSetters, CoordinatesWaitForTheNextRebuild) {
  access.PutField(LAYERTYPE_VIDEO1, &LayerSettings::RgnRight, 50);
  access.PutField(LAYERTYPE_VIDEO1, &LayerSettings::RgnBottom, 40);
  ASSERT_EQ(kOk, access.PutRegion(LAYERTYPE_VIDEO1, REGION_RECT));
  const HRGN before = static_cast<HRGN>(Video1().RegionHandle);
  access.PutField(LAYERTYPE_VIDEO1, &LayerSettings::RgnRight, 20);
  EXPECT_EQ(before, Video1().RegionHandle);
  EXPECT_TRUE(Video1().RegionCoverage.Contains(30, 10)) << "changing RgnRight alone changes nothing";
  access.PutYPos(LAYERTYPE_VIDEO1, 0);  // same value, but rebuilds
  EXPECT_FALSE(Video1().RegionCoverage.Contains(30, 10));
  EXPECT_TRUE(Video1().RegionCoverage.Contains(19, 10));
}

TEST_F(RegionSetters, RefusedTypeKeepsTheRegionAndNoneRemovesIt) {
  ASSERT_EQ(kOk, access.PutRegion(LAYERTYPE_VIDEO1, REGION_ELLIPSE));
  const void* handle = Video1().RegionHandle;
  EXPECT_EQ(kInvalidArg, access.PutRegion(LAYERTYPE_VIDEO1, 4));
  std::uint32_t region = 0;
  access.GetRegion(LAYERTYPE_VIDEO1, &region);
  EXPECT_EQ(REGION_ELLIPSE, region);
  EXPECT_EQ(handle, Video1().RegionHandle);
  ASSERT_EQ(kOk, access.PutRegion(LAYERTYPE_VIDEO1, REGION_NONE));
  EXPECT_EQ(nullptr, Video1().RegionHandle);
  EXPECT_TRUE(Video1().RegionCoverage.Empty());
}

TEST_F(RegionSetters, HandlesTravelWithTheirRecordsAndSurviveTheReset) {
  ASSERT_EQ(kOk, access.PutRegion(LAYERTYPE_VIDEO1, REGION_ROUNDRECT));
  const void* handle = Video1().RegionHandle;
  ASSERT_EQ(kOk, access.PutLayerOrder(LAYERTYPE_VIDEO1, 3));
  EXPECT_EQ(handle, settings.Layers[3].RegionHandle);
  EXPECT_EQ(nullptr, settings.Layers[1].RegionHandle);
  ASSERT_EQ(kOk, access.ResetToDefaultsEx(0));
  // Position 3 now holds the overlay image type, still with the region.
  EXPECT_EQ(LAYERTYPE_OVERLAYIMAGE, settings.Layers[3].LayerType);
  EXPECT_EQ(handle, settings.Layers[3].RegionHandle);
  EXPECT_EQ(REGION_NONE, settings.Layers[3].Region);
  access.PutXPos(LAYERTYPE_OVERLAYIMAGE, 0);  // the next rebuild follows the stored type
  EXPECT_EQ(nullptr, settings.Layers[3].RegionHandle);
}

TEST_F(RegionSetters, ShapesThatCannotBeBuiltLeaveTheLayerUnlimited) {
  // An ellipse spanning most of the coordinate space is refused (GDI would
  // build it line by line for minutes); the type is kept and the layer is
  // drawn without a region. A rectangle of the same size is cheap and built.
  access.PutField(LAYERTYPE_VIDEO2, &LayerSettings::RgnLeft, -0x3FFFFFFF);
  access.PutField(LAYERTYPE_VIDEO2, &LayerSettings::RgnTop, -0x3FFFFFFF);
  access.PutField(LAYERTYPE_VIDEO2, &LayerSettings::RgnRight, 0x3FFFFFFF);
  access.PutField(LAYERTYPE_VIDEO2, &LayerSettings::RgnBottom, 0x3FFFFFFF);
  LayerSettings& layer = *settings.Layers.FindLayer(LAYERTYPE_VIDEO2);
  for (std::uint32_t curved : {REGION_ELLIPSE, REGION_ROUNDRECT}) {
    EXPECT_EQ(kOutOfMemory, access.PutRegion(LAYERTYPE_VIDEO2, curved));
    std::uint32_t region = 0;
    access.GetRegion(LAYERTYPE_VIDEO2, &region);
    EXPECT_EQ(curved, region);
    EXPECT_EQ(nullptr, layer.RegionHandle);
  }
  EXPECT_EQ(kOk, access.PutRegion(LAYERTYPE_VIDEO2, REGION_RECT));
  EXPECT_NE(nullptr, layer.RegionHandle);
  EXPECT_TRUE(layer.RegionCoverage.Contains(0, 0));
}

TEST(LayerRegionReset, SourceSizeClampsTheStoredRectangle) {
  LayerSettings layer;
  layer.RgnLeft = 400;
  layer.RgnTop = 5;
  layer.ResetRegionToSource(320, 240);
  EXPECT_EQ(319, layer.RgnLeft);
  EXPECT_EQ(320, layer.RgnRight);
  EXPECT_EQ(5, layer.RgnTop);
  EXPECT_EQ(240, layer.RgnBottom);
  EXPECT_EQ(10, layer.RgnRoundRectEllipseWidth);
  layer.ResetRegionToSource(4, 3);
  EXPECT_EQ(4, layer.RgnRoundRectEllipseWidth);
  EXPECT_EQ(3, layer.RgnRoundRectEllipseHeight);
}

}  // namespace
}  // namespace ovl
