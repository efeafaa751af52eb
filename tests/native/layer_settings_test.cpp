// The settings model through the accessors every control path uses.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/core/overlay_settings.h"

namespace ovl {
namespace {

// Records the side effects the model asks of the filter.
class RecordingHost : public SettingsHost {
 public:
  HResult RebuildRegion(LayerSettings& layer) override {
    rebuilt.push_back(layer.LayerType);
    layer.RegionHandle = layer.Region == REGION_NONE ? nullptr : &token;
    return layer.Region == REGION_NONE || !failShapes ? kOk : kOutOfMemory;
  }
  void OutputSizeSettingsChanged() override { ++sizeRecomputations; }
  void LockFilter() override { ++lockDepth; ++locks; }
  void UnlockFilter() override { --lockDepth; }
  bool InputPinExists(int index) const override { return index < pinsExisting; }
  bool InputPinConnected(int index) const override { return index < pinsConnected; }

  int token = 0;
  std::vector<std::uint32_t> rebuilt;
  int sizeRecomputations = 0, locks = 0, lockDepth = 0;
  int pinsExisting = 0, pinsConnected = 0;
  bool failShapes = false;
};

class SettingsTest : public ::testing::Test {
 protected:
  OverlaySettings settings;
  RecordingHost host;
  SettingsAccess access{settings, host};

  std::int32_t Order(std::uint32_t type) {
    std::int32_t position = -9;
    EXPECT_EQ(kOk, access.GetLayerOrder(type, &position));
    return position;
  }
};

TEST_F(SettingsTest, FreshFilterHasTheDocumentedDefaults) {
  for (std::uint32_t type = 0; type < 4; ++type) {
    EXPECT_EQ(static_cast<std::int32_t>(type), Order(type));
    const LayerSettings& layer = *settings.Layers.FindLayer(type);
    EXPECT_EQ(REGION_NONE, layer.Region);
    EXPECT_EQ(100, layer.Opacity);
    EXPECT_EQ(255, layer.OpacityLevel);
    EXPECT_EQ(0, layer.RgnLeft);
    EXPECT_EQ(0, layer.RgnTop);
    EXPECT_EQ(1920, layer.RgnRight);
    EXPECT_EQ(1080, layer.RgnBottom);
    EXPECT_EQ(10, layer.RgnRoundRectEllipseWidth);
    EXPECT_EQ(10, layer.RgnRoundRectEllipseHeight);
    EXPECT_EQ(0u, layer.TransparentColor);
    EXPECT_EQ('\0', layer.MaskImageFileName[0]);
  }
  EXPECT_EQ(OUTPUTSIZETYPE_AUTO, settings.OutputSizeType);
  EXPECT_EQ(0u, settings.BkLayerColor);
}

TEST_F(SettingsTest, UnknownLayerTypesAndNullResultsAreRefused) {
  std::int32_t value = 7;
  VariantBool flag = 3;
  for (std::uint32_t bad : {4u, 5u, 0xFFFFFFFFu}) {
    EXPECT_EQ(kInvalidArg, access.GetXPos(bad, &value));
    EXPECT_EQ(kInvalidArg, access.PutXPos(bad, 1));
    EXPECT_EQ(kInvalidArg, access.PutOpacity(bad, 1));
    EXPECT_EQ(kInvalidArg, access.GetFlag(bad, &LayerSettings::EnableOpacity, &flag));
    EXPECT_EQ(kInvalidArg, access.PutRegion(bad, REGION_RECT));
    EXPECT_EQ(kInvalidArg, access.PutLayerOrder(bad, 0));
    EXPECT_EQ(kInvalidArg, access.GetIsLayerActive(bad, &flag));
  }
  EXPECT_EQ(7, value);
  EXPECT_EQ(3, flag);
  EXPECT_EQ(kPointer, access.GetXPos(0, nullptr));
  EXPECT_EQ(kPointer, access.GetLayerOrder(0, nullptr));
  EXPECT_EQ(kPointer, access.GetActiveLayersCount(nullptr));
  EXPECT_TRUE(host.rebuilt.empty());
}

TEST_F(SettingsTest, FlagsTravelAsAutomationBooleans) {
  VariantBool flag = 0;
  EXPECT_EQ(kOk, access.PutFlag(LAYERTYPE_VIDEO2, &LayerSettings::EnableOpacity, 1));
  EXPECT_EQ(kOk, access.GetFlag(LAYERTYPE_VIDEO2, &LayerSettings::EnableOpacity, &flag));
  EXPECT_EQ(kVariantFalse, flag) << "only -1 is true";
  EXPECT_EQ(kOk, access.PutFlag(LAYERTYPE_VIDEO2, &LayerSettings::EnableOpacity, kVariantTrue));
  EXPECT_EQ(kOk, access.GetFlag(LAYERTYPE_VIDEO2, &LayerSettings::EnableOpacity, &flag));
  EXPECT_EQ(kVariantTrue, flag);
  EXPECT_EQ(1u, settings.Layers.FindLayer(LAYERTYPE_VIDEO2)->EnableOpacity);
  // A stored nonzero flag other than 1 still reads back as true.
  settings.Layers.FindLayer(LAYERTYPE_VIDEO2)->EnableTransparency = 7;
  EXPECT_EQ(kOk, access.GetFlag(LAYERTYPE_VIDEO2, &LayerSettings::EnableTransparency, &flag));
  EXPECT_EQ(kVariantTrue, flag);
}

TEST_F(SettingsTest, OpacityLevelIsTheLowByteOfTheScaledPercentage) {
  const struct { std::int32_t opacity; std::uint8_t level; } cases[] = {
      {100, 255}, {75, 191}, {50, 127}, {25, 63}, {1, 2}, {0, 0}, {150, 126}, {-10, 231},
      // 10000000 * 255 wraps in 32 bits to -1744967296; / 100 = -17449672, low byte 56.
      {10000000, 56}};
  for (const auto& c : cases) {
    ASSERT_EQ(kOk, access.PutOpacity(LAYERTYPE_OVERLAYIMAGE, c.opacity));
    std::int32_t stored = 0;
    access.GetOpacity(LAYERTYPE_OVERLAYIMAGE, &stored);
    EXPECT_EQ(c.opacity, stored);
    EXPECT_EQ(c.level, settings.Layers.FindLayer(LAYERTYPE_OVERLAYIMAGE)->OpacityLevel) << c.opacity;
  }
}

TEST_F(SettingsTest, OrderSwapTradesWholeRecords) {
  LayerSettings& image = *settings.Layers.FindLayer(LAYERTYPE_OVERLAYIMAGE);
  image.XPos = 33;
  image.Mask.Loaded = 1;
  image.Mask.Buffer.assign(4, 9);
  std::strcpy(image.MaskImageFileName, "m.bmp");
  int token = 0;
  image.RegionHandle = &token;

  ASSERT_EQ(kOk, access.PutLayerOrder(LAYERTYPE_OVERLAYIMAGE, 0));
  EXPECT_EQ(0, Order(LAYERTYPE_OVERLAYIMAGE));
  EXPECT_EQ(3, Order(LAYERTYPE_BACKGROUND));
  EXPECT_EQ(1, Order(LAYERTYPE_VIDEO1));
  EXPECT_EQ(2, Order(LAYERTYPE_VIDEO2));
  const LayerSettings& moved = settings.Layers[0];
  EXPECT_EQ(33, moved.XPos);
  EXPECT_EQ(&token, moved.RegionHandle);
  EXPECT_EQ(1u, moved.Mask.Loaded);
  EXPECT_STREQ("m.bmp", moved.MaskImageFileName);
  EXPECT_EQ(nullptr, settings.Layers[3].RegionHandle);
  EXPECT_GT(host.locks, 0);
  EXPECT_EQ(0, host.lockDepth);

  // Same position: nothing moves. Out of range: refused.
  ASSERT_EQ(kOk, access.PutLayerOrder(LAYERTYPE_OVERLAYIMAGE, 0));
  EXPECT_EQ(0, Order(LAYERTYPE_OVERLAYIMAGE));
  EXPECT_EQ(kInvalidArg, access.PutLayerOrder(LAYERTYPE_VIDEO1, 4));
  EXPECT_EQ(kInvalidArg, access.PutLayerOrder(LAYERTYPE_VIDEO1, -1));
  EXPECT_EQ(1, Order(LAYERTYPE_VIDEO1));
}

TEST_F(SettingsTest, StoringSettersOnlyStore) {
  ASSERT_EQ(kOk, access.PutField(LAYERTYPE_VIDEO1, &LayerSettings::RgnRight, -77));
  ASSERT_EQ(kOk, access.PutTransparentColor(LAYERTYPE_VIDEO1, 0xFF00FF00u));
  std::int32_t right = 0;
  std::uint32_t key = 0;
  access.GetField(LAYERTYPE_VIDEO1, &LayerSettings::RgnRight, &right);
  access.GetTransparentColor(LAYERTYPE_VIDEO1, &key);
  EXPECT_EQ(-77, right);
  EXPECT_EQ(0xFF00FF00u, key);
  EXPECT_TRUE(host.rebuilt.empty()) << "region coordinates wait for the next rebuild";
}

TEST_F(SettingsTest, PositionsClampAndRebuildTheRegion) {
  ASSERT_EQ(kOk, access.PutXPos(LAYERTYPE_VIDEO2, -5));
  std::int32_t x = 9;
  access.GetXPos(LAYERTYPE_VIDEO2, &x);
  EXPECT_EQ(0, x);
  ASSERT_EQ(kOk, access.PutYPos(LAYERTYPE_VIDEO2, 12));
  EXPECT_EQ((std::vector<std::uint32_t>{LAYERTYPE_VIDEO2, LAYERTYPE_VIDEO2}), host.rebuilt);
  // A failing rebuild is not reported by the position setters...
  host.failShapes = true;
  settings.Layers.FindLayer(LAYERTYPE_VIDEO2)->Region = REGION_ELLIPSE;
  EXPECT_EQ(kOk, access.PutXPos(LAYERTYPE_VIDEO2, 3));
  // ...but is by the Region setter, which keeps the new type.
  EXPECT_EQ(kOutOfMemory, access.PutRegion(LAYERTYPE_VIDEO2, REGION_RECT));
  std::uint32_t region = 0;
  access.GetRegion(LAYERTYPE_VIDEO2, &region);
  EXPECT_EQ(REGION_RECT, region);
}

TEST_F(SettingsTest, RegionTypeOutOfRangeChangesNothing) {
  ASSERT_EQ(kOk, access.PutRegion(LAYERTYPE_BACKGROUND, REGION_ELLIPSE));
  host.rebuilt.clear();
  EXPECT_EQ(kInvalidArg, access.PutRegion(LAYERTYPE_BACKGROUND, 4));
  EXPECT_EQ(kInvalidArg, access.PutRegion(LAYERTYPE_BACKGROUND, 0xFFFFFFFFu));
  std::uint32_t region = 0;
  access.GetRegion(LAYERTYPE_BACKGROUND, &region);
  EXPECT_EQ(REGION_ELLIPSE, region);
  EXPECT_TRUE(host.rebuilt.empty());
}

TEST_F(SettingsTest, OutputSizeSettersRecomputeOnlyOnChangeAndTakeNoLock) {
  EXPECT_EQ(kInvalidArg, access.PutOutputWidth(-1));
  EXPECT_EQ(kOk, access.PutOutputWidth(0));  // unchanged
  EXPECT_EQ(kOk, access.PutOutputSizeType(1));
  EXPECT_EQ(kOk, access.PutOutputSizeType(1));
  EXPECT_EQ(kOk, access.PutOutputWidth(640));
  EXPECT_EQ(kOk, access.PutOutputHeight(480));
  EXPECT_EQ(kOk, access.PutOutputHeight(480));
  EXPECT_EQ(kInvalidArg, access.PutOutputHeight(-480));
  // No frame side beyond the largest the filter accepts.
  EXPECT_EQ(kInvalidArg, access.PutOutputWidth(kMaxFrameSide + 1));
  EXPECT_EQ(kInvalidArg, access.PutOutputHeight(0x7FFFFFFF));
  EXPECT_EQ(3, host.sizeRecomputations);
  EXPECT_EQ(0, host.locks);
  std::int32_t w = 0, h = 0;
  access.GetOutputWidth(&w);
  access.GetOutputHeight(&h);
  EXPECT_EQ(640, w);
  EXPECT_EQ(480, h);
  EXPECT_EQ(kOk, access.PutOutputSizeType(7));  // any value is stored
  std::uint32_t type = 0;
  access.GetOutputSizeType(&type);
  EXPECT_EQ(7u, type);
}

TEST_F(SettingsTest, ResetRestoresStoredValuesAndKeepsRuntimeState) {
  access.PutLayerOrder(LAYERTYPE_OVERLAYIMAGE, 0);
  access.PutRegion(LAYERTYPE_OVERLAYIMAGE, REGION_ELLIPSE);
  access.PutXPos(LAYERTYPE_OVERLAYIMAGE, 40);
  access.PutOpacity(LAYERTYPE_OVERLAYIMAGE, 20);
  access.PutBkLayerColor(0xABCDEF);
  access.PutOutputWidth(320);
  LayerSettings& moved = settings.Layers[0];
  moved.Mask.Loaded = 1;
  std::strcpy(moved.MaskImageFileName, "mask.bmp");
  std::strcpy(settings.OverlayImageFileName, "image.bmp");
  settings.OverlayImage.Loaded = 1;
  void* const region = moved.RegionHandle;
  ASSERT_NE(nullptr, region);

  EXPECT_EQ(kInvalidArg, access.ResetToDefaultsEx(1));
  EXPECT_EQ(0, Order(LAYERTYPE_OVERLAYIMAGE)) << "a refused reset changes nothing";

  const int recomputations = host.sizeRecomputations;
  ASSERT_EQ(kOk, access.ResetToDefaultsEx(KMVOverlay_APILEVEL_1));
  for (std::uint32_t type = 0; type < 4; ++type) EXPECT_EQ(static_cast<std::int32_t>(type), Order(type));
  const LayerSettings& first = settings.Layers[0];
  EXPECT_EQ(REGION_NONE, first.Region);
  EXPECT_EQ(0, first.XPos);
  EXPECT_EQ(100, first.Opacity);
  EXPECT_EQ('\0', first.MaskImageFileName[0]);
  // The handle, the loaded mask and the overlay image stay where they were.
  EXPECT_EQ(region, first.RegionHandle);
  EXPECT_EQ(1u, first.Mask.Loaded);
  EXPECT_EQ(1u, settings.OverlayImage.Loaded);
  EXPECT_EQ('\0', settings.OverlayImageFileName[0]);
  EXPECT_EQ(0u, settings.BkLayerColor);
  EXPECT_EQ(0, settings.OutputWidth);
  EXPECT_EQ(recomputations + 1, host.sizeRecomputations);
}

TEST_F(SettingsTest, ActiveLayersFollowPinsAndTheImage) {
  std::int32_t count = 0;
  VariantBool active = 0;
  access.GetActiveLayersCount(&count);
  EXPECT_EQ(1, count);
  access.GetIsLayerActive(LAYERTYPE_BACKGROUND, &active);
  EXPECT_EQ(kVariantTrue, active);
  access.GetIsLayerActive(LAYERTYPE_VIDEO1, &active);
  EXPECT_EQ(kVariantFalse, active);

  host.pinsExisting = 1;  // the first input exists but is not connected
  access.GetIsLayerActive(LAYERTYPE_VIDEO1, &active);
  EXPECT_EQ(kVariantTrue, active);
  access.GetActiveLayersCount(&count);
  EXPECT_EQ(1, count);

  host.pinsExisting = 2;
  host.pinsConnected = 2;
  settings.OverlayImage.Loaded = 1;
  access.GetActiveLayersCount(&count);
  EXPECT_EQ(4, count);
  access.GetIsLayerActive(LAYERTYPE_VIDEO2, &active);
  EXPECT_EQ(kVariantTrue, active);
  access.GetIsLayerActive(LAYERTYPE_OVERLAYIMAGE, &active);
  EXPECT_EQ(kVariantTrue, active);
}

}  // namespace
}  // namespace ovl
