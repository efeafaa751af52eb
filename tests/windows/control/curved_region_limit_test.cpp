// Curved regions as large as the largest frame side, and one pixel larger,
// set through the automation interface and brought in by imported settings:
// the first is built as GDI makes it, the second is refused (the layer is
// drawn unlimited), and the filter keeps working after either, with the
// extents at which GDI itself breaks among them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cmath>

#include "engine/core/overlay_settings.h"
#include "tests/windows/control/control_support.h"

namespace ovl::testing {
namespace {

constexpr LONG kLimit = ovl::kMaxFrameSide;

const LayerSettings& Record(const Filter& f, ::LayerTypeConstants type) {
  return *f.object->Settings().Layers.FindLayer(static_cast<std::uint32_t>(type));
}

void PutShape(const Filter& f, ::LayerTypeConstants type, LONG extent) {
  IKMVVOvLy* o = f.O();
  EXPECT_EQ(S_OK, o->put_RgnLeft(type, 0));
  EXPECT_EQ(S_OK, o->put_RgnTop(type, 0));
  EXPECT_EQ(S_OK, o->put_RgnRight(type, extent));
  EXPECT_EQ(S_OK, o->put_RgnBottom(type, extent));
  EXPECT_EQ(S_OK, o->put_RgnRoundRectEllipseWidth(type, extent));
  EXPECT_EQ(S_OK, o->put_RgnRoundRectEllipseHeight(type, extent));
}

// The walked spans agree with GDI at both ends of rows spread over the
// shape, and the shape is the circle of that extent.
void ExpectBuiltCircle(const LayerSettings& layer, LONG extent) {
  ASSERT_TRUE(layer.HasRegion());
  const auto region = static_cast<HRGN>(layer.RegionHandle);
  for (LONG y = extent / 128; y < extent; y += extent / 64) {
    const LONG middle = extent / 2;
    ASSERT_TRUE(layer.RegionCoverage.Contains(middle, y)) << y;
    LONG left = middle, right = middle;
    for (LONG step = extent / 2; step > 0; step /= 2) {  // the row's ends, by halving
      if (layer.RegionCoverage.Contains(left - step, y)) left -= step;
      if (layer.RegionCoverage.Contains(right + step, y)) right += step;
    }
    EXPECT_TRUE(PtInRegion(region, left, y) && PtInRegion(region, right, y)) << y;
    EXPECT_FALSE(PtInRegion(region, left - 1, y) || PtInRegion(region, right + 1, y)) << y;
    // Half the row against the circle's half chord across the row's height
    // (GDI leaves the right and bottom edges out).
    const double r = (extent - 1) / 2.0, half = (right + 1 - left) / 2.0;
    auto chord = [r](double at) { return at <= 0 || at >= 2 * r ? 0.0 : std::sqrt(r * r - (at - r) * (at - r)); };
    EXPECT_GE(half, std::min(chord(y), chord(y + 1)) - 1.5) << y;
    EXPECT_LE(half, std::max(chord(y), chord(y + 1)) + 1.5) << y;
  }
  const double area = 3.14159265358979 / 4 * double(extent) * extent;
  EXPECT_NEAR(area, static_cast<double>(layer.RegionCoverage.PixelCount()), area * 1e-3);
}

// Every pixel of a small ellipse as GDI has it: region building still works.
void ExpectSmallEllipseStillRight(const Filter& f) {
  IKMVVOvLy* o = f.O();
  PutShape(f, ::LAYERTYPE_VIDEO1, 37);
  ASSERT_EQ(S_OK, o->put_RgnLeft(::LAYERTYPE_VIDEO1, 5));
  ASSERT_EQ(S_OK, o->put_Region(::LAYERTYPE_VIDEO1, ::REGION_ELLIPSE));
  const LayerSettings& layer = Record(f, ::LAYERTYPE_VIDEO1);
  ASSERT_TRUE(layer.HasRegion());
  for (LONG y = -2; y < 40; ++y) {
    for (LONG x = 0; x < 40; ++x) {
      ASSERT_EQ(PtInRegion(static_cast<HRGN>(layer.RegionHandle), x, y) != FALSE, layer.RegionCoverage.Contains(x, y))
          << x << "," << y;
    }
  }
}

class CurvedRegionLimit : public ControlTest {};

TEST_F(CurvedRegionLimit, PropertyPutsBuildTheLargestFrameSideAndRefuseOneMore) {
  Filter filter;
  IKMVVOvLy* o = filter.O();
  for (::RegionConstants shape : {::REGION_ELLIPSE, ::REGION_ROUNDRECT}) {
    SCOPED_TRACE(shape);
    PutShape(filter, ::LAYERTYPE_VIDEO2, kLimit);
    ASSERT_EQ(S_OK, o->put_Region(::LAYERTYPE_VIDEO2, shape));
    ExpectBuiltCircle(Record(filter, ::LAYERTYPE_VIDEO2), kLimit);

    // One pixel more, and the extents at which GDI under Wine builds a wrong
    // shape (from 916,400) or hands back a broken region (1,048,397 to
    // 1,048,575): refused, the type kept, the layer unlimited.
    for (LONG extent : {kLimit + 1, 916400L, 1048397L, 1048500L, 1048575L}) {
      PutShape(filter, ::LAYERTYPE_VIDEO2, extent);
      EXPECT_EQ(E_OUTOFMEMORY, o->put_Region(::LAYERTYPE_VIDEO2, shape)) << extent;
      EXPECT_EQ(S_OK, o->put_XPos(::LAYERTYPE_VIDEO2, 0));  // rebuilds, result not reported
      EXPECT_EQ(E_OUTOFMEMORY, o->put_Region(::LAYERTYPE_VIDEO2, shape)) << extent;
      ::RegionConstants stored{};
      EXPECT_EQ(S_OK, o->get_Region(::LAYERTYPE_VIDEO2, &stored));
      EXPECT_EQ(shape, stored);
      EXPECT_FALSE(Record(filter, ::LAYERTYPE_VIDEO2).HasRegion()) << extent;
    }
    // The extent counts, not where the shape lies.
    ASSERT_EQ(S_OK, o->put_RgnLeft(::LAYERTYPE_VIDEO2, -kLimit / 2));
    ASSERT_EQ(S_OK, o->put_RgnRight(::LAYERTYPE_VIDEO2, kLimit / 2));
    ASSERT_EQ(S_OK, o->put_RgnBottom(::LAYERTYPE_VIDEO2, 7));
    EXPECT_EQ(S_OK, o->put_Region(::LAYERTYPE_VIDEO2, shape));
    ASSERT_EQ(S_OK, o->put_RgnRight(::LAYERTYPE_VIDEO2, kLimit / 2 + 1));
    EXPECT_EQ(E_OUTOFMEMORY, o->put_Region(::LAYERTYPE_VIDEO2, shape));
  }
  ExpectSmallEllipseStillRight(filter);
}

// The same extents written to a settings file and imported, and saved to
// the registry for a new filter to start from.
TEST_F(CurvedRegionLimit, ImportedAndSavedSettingsBuildTheSameWay) {
  const std::wstring file = dir.Path(L"regions.xml");
  Filter imported;  // made before anything is saved
  {
    Filter source;
    PutShape(source, ::LAYERTYPE_BACKGROUND, kLimit);
    PutShape(source, ::LAYERTYPE_VIDEO1, kLimit + 1);
    PutShape(source, ::LAYERTYPE_VIDEO2, kLimit);
    PutShape(source, ::LAYERTYPE_OVERLAYIMAGE, 1048500);
    for (int t = 0; t < 4; ++t) source.O()->put_Region(Layer(t), t % 2 ? ::REGION_ELLIPSE : ::REGION_ROUNDRECT);
    BSTR name = SysAllocString(file.c_str());
    ASSERT_EQ(S_OK, source.C()->ExportSettings(name));
    SysFreeString(name);
    ASSERT_EQ(S_OK, source.C()->CommitSettings());
  }
  BSTR name = SysAllocString(file.c_str());
  ASSERT_EQ(S_OK, imported.C()->ImportSettings(name));
  SysFreeString(name);
  Filter restarted;  // a new filter starts from the settings saved in the registry
  for (const Filter* f : {&imported, &restarted}) {
    ExpectBuiltCircle(Record(*f, ::LAYERTYPE_BACKGROUND), kLimit);
    ExpectBuiltCircle(Record(*f, ::LAYERTYPE_VIDEO2), kLimit);
    EXPECT_FALSE(Record(*f, ::LAYERTYPE_VIDEO1).HasRegion());
    EXPECT_FALSE(Record(*f, ::LAYERTYPE_OVERLAYIMAGE).HasRegion());
    ExpectSmallEllipseStillRight(*f);
  }
}

}  // namespace
}  // namespace ovl::testing
