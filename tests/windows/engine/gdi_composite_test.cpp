// A frame composed from a loaded BMP image, a loaded mask and GDI ellipse
// regions, in each drawing mode, equals the literal reference compositor
// that asks GDI (PtInRegion) about every pixel.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>

#include "engine/core/frame_compositor.h"
#include "engine/gdi/gdi_settings_host.h"
#include "engine/gdi/picture_install.h"
#include "tests/support/reference_compositor.h"
#include "tests/support/scene_builder.h"
#include "tests/windows/support/bmp_files.h"

namespace ovl {
namespace {

std::uint32_t Stripes(std::int32_t x, std::int32_t y) {
  return ((x / 3 + y / 2) % 3 == 0) ? 0x00FF00u : static_cast<std::uint32_t>(x * 0x030507 + y * 0x0B0D11);
}
std::uint32_t Grey(std::int32_t x, std::int32_t y) { return static_cast<std::uint32_t>((x * 9 + y * 5) & 0xFF); }

bool InGdiRegion(const LayerSettings& layer, std::int32_t x, std::int32_t y) {
  return PtInRegion(static_cast<HRGN>(layer.RegionHandle), x, y) != FALSE;
}

TEST(GdiComposite, LoadedPicturesAndEllipsesMatchTheReferenceInEveryMode) {
  testing::TempDir dir;
  testing::BmpSpec image;
  image.width = 45;
  image.height = 29;
  image.pixel = Stripes;
  testing::BmpSpec mask;
  mask.width = 37;  // smaller than the layers it weights
  mask.height = 23;
  mask.bitCount = 8;
  mask.pixel = Grey;
  const std::wstring imageFile = dir.Write(L"image.bmp", testing::MakeBmp(image));
  const std::wstring maskFile = dir.Write(L"mask.bmp", testing::MakeBmp(mask));

  constexpr std::int32_t kW = 71, kH = 43;
  std::mt19937 rng(4);
  RgbImage video1(kW - 6, kH - 4), video2(39, 27);
  testing::FillRandom(video1, rng);
  testing::FillRandom(video2, rng);

  const struct { const char* name; void (*apply)(SettingsAccess&, std::uint32_t); } modes[] = {
      {"copy", [](SettingsAccess&, std::uint32_t) {}},
      {"colour key", [](SettingsAccess& a, std::uint32_t t) {
         a.PutTransparentColor(t, 0x0000FF00);
         a.PutFlag(t, &LayerSettings::EnableTransparency, kVariantTrue);
       }},
      {"opacity", [](SettingsAccess& a, std::uint32_t t) {
         a.PutOpacity(t, 37 + 11 * static_cast<std::int32_t>(t));
         a.PutFlag(t, &LayerSettings::EnableOpacity, kVariantTrue);
       }},
      {"mask", [](SettingsAccess& a, std::uint32_t t) { a.PutFlag(t, &LayerSettings::EnableMaskBitmap, kVariantTrue); }},
  };
  for (const auto& mode : modes) {
    SCOPED_TRACE(mode.name);
    OverlaySettings settings;
    gdi::GdiSettingsHost host;
    SettingsAccess access(settings, host);
    settings.BkLayerColor = 0x00406080;
    ASSERT_EQ(kOk, gdi::PutOverlayImageFileName(settings, imageFile.c_str()));
    access.PutLayerOrder(LAYERTYPE_OVERLAYIMAGE, 1);
    for (std::uint32_t type = 0; type < 4; ++type) {
      ASSERT_EQ(kOk, gdi::PutMaskImageFileName(settings, type, maskFile.c_str()));
      access.PutField(type, &LayerSettings::RgnLeft, 2);
      access.PutField(type, &LayerSettings::RgnTop, 1);
      access.PutField(type, &LayerSettings::RgnRight, 40 + 3 * static_cast<std::int32_t>(type));
      access.PutField(type, &LayerSettings::RgnBottom, 26);
      access.PutXPos(type, 5 * static_cast<std::int32_t>(type));
      access.PutYPos(type, 3 * static_cast<std::int32_t>(type) + 1);
      ASSERT_EQ(kOk, access.PutRegion(type, type == LAYERTYPE_BACKGROUND ? REGION_ROUNDRECT : REGION_ELLIPSE));
      mode.apply(access, type);
    }
    const VideoFormat v1{video1.Width(), video1.Height(), true}, v2{video2.Width(), video2.Height(), true};
    FrameCompositor fast;
    reference::ReferenceCompositor literal;
    literal.SetRegionTest(InGdiRegion);
    ASSERT_EQ(kOk, fast.BuildSurfaces(kW, kH, settings.BkLayerColor, v1, v2));
    ASSERT_EQ(kOk, literal.BuildSurfaces(kW, kH, settings.BkLayerColor, v1, v2));
    std::vector<std::uint8_t> a(fast.CompositeBytes()), b(fast.CompositeBytes());
    for (int frame = 0; frame < 2; ++frame) {
      const std::uint8_t* held = frame == 0 ? video2.Data() : nullptr;
      ASSERT_EQ(kOk, fast.ComposeFrame(settings, video1.Data(), video1.SizeBytes(), held, video2.SizeBytes(), a.data(), a.size()));
      ASSERT_EQ(kOk, literal.ComposeFrame(settings, video1.Data(), video1.SizeBytes(), held, video2.SizeBytes(), b.data(), b.size()));
      ASSERT_EQ(a, b) << "frame " << frame;
    }
    gdi::ReleaseAll(settings);
  }
}

}  // namespace
}  // namespace ovl
