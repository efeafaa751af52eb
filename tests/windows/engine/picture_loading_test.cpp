// Loading the overlay image and layer masks from files and bitmap handles:
// accepted formats, every failure code, ownership, and that a failed load
// leaves the previous picture in use.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/gdi/ansi_name.h"
#include "engine/gdi/picture_install.h"
#include "tests/windows/support/bmp_files.h"
#include "tests/windows/support/test_paths.h"

namespace ovl {
namespace {

using testing::BmpSpec;
using testing::GreyRamp;
using testing::MakeBmp;
using testing::MakeIco;

std::uint32_t Checker(std::int32_t x, std::int32_t y) { return ((x + y) & 1) ? 0xFF8040u : 0x102030u; }
std::uint32_t Index(std::int32_t x, std::int32_t y) { return static_cast<std::uint32_t>((x * 7 + y * 13) & 0xFF); }

// Pixel (x, y from the top) of an installed 24-bit picture as 0x00RRGGBB.
std::uint32_t ImagePixel(const LoadedPicture& p, std::int32_t x, std::int32_t y) {
  const std::uint8_t* px = p.RgbPixels().RowFromTop(y) + 3 * x;
  return (std::uint32_t{px[2]} << 16) | (std::uint32_t{px[1]} << 8) | px[0];
}

class PictureLoading : public ::testing::Test {
 protected:
  ~PictureLoading() override { gdi::ReleaseAll(settings); }

  std::wstring Bmp(const std::wstring& name, const BmpSpec& spec) { return dir.Write(name, MakeBmp(spec)); }
  std::wstring Mask(const std::wstring& name, std::int32_t w, std::int32_t h, std::vector<RGBQUAD> palette = GreyRamp()) {
    BmpSpec spec;
    spec.width = w;
    spec.height = h;
    spec.bitCount = 8;
    spec.palette = std::move(palette);
    spec.pixel = Index;
    return Bmp(name, spec);
  }
  LayerSettings& Layer(std::uint32_t type) { return *settings.Layers.FindLayer(type); }

  // Everything a failed load must leave untouched.
  struct Snapshot {
    std::uint32_t loaded, owned;
    void* bitmap;
    std::int32_t w, h;
    std::vector<std::uint8_t> buffer;
    std::string name;
    bool operator==(const Snapshot& o) const {
      return loaded == o.loaded && owned == o.owned && bitmap == o.bitmap && w == o.w && h == o.h &&
             buffer == o.buffer && name == o.name;
    }
  };
  static Snapshot Take(const LoadedPicture& p, const char* name) {
    return {p.Loaded, p.Owned, p.Bitmap, p.Width, p.Height, p.Buffer, name};
  }

  testing::TempDir dir;
  OverlaySettings settings;
};

TEST_F(PictureLoading, BitmapsOfEveryDepthBecome24BitPictures) {
  for (WORD bits : {1, 4, 8, 16, 24, 32}) {
    BmpSpec spec;
    spec.width = 7;
    spec.height = 5;
    spec.bitCount = bits;
    spec.pixel = Checker;
    if (bits <= 8) {  // a two-colour palette in slots 0 and 1
      spec.palette.assign(std::size_t{1} << bits, RGBQUAD{0, 0, 0, 0});
      spec.palette[0] = RGBQUAD{0x30, 0x20, 0x10, 0};
      spec.palette[1] = RGBQUAD{0x40, 0x80, 0xFF, 0};
      spec.pixel = [](std::int32_t x, std::int32_t y) -> std::uint32_t { return (x + y) & 1; };
    }
    const std::wstring file = Bmp(L"depth" + std::to_wstring(bits) + L".bmp", spec);
    ASSERT_EQ(kOk, gdi::PutOverlayImageFileName(settings, file.c_str())) << bits << " bits";
    EXPECT_EQ(1u, settings.OverlayImage.Loaded);
    EXPECT_EQ(7, settings.OverlayImage.Width);
    const std::uint32_t tolerance = bits == 16 ? 0x070707 : 0;  // 5 bits per channel
    const std::uint32_t a = ImagePixel(settings.OverlayImage, 1, 0), b = ImagePixel(settings.OverlayImage, 0, 0);
    EXPECT_EQ(0xFF8040u & ~tolerance, a & ~tolerance) << bits;
    EXPECT_EQ(0x102030u & ~tolerance, b & ~tolerance) << bits;
  }
}

TEST_F(PictureLoading, TopDownFilesLoadTheRightWayUp) {
  BmpSpec topDown;
  topDown.width = 3;
  topDown.height = -2;
  topDown.pixel = [](std::int32_t, std::int32_t y) -> std::uint32_t { return y == 0 ? 0xFF0000u : 0x0000FFu; };
  ASSERT_EQ(kOk, gdi::PutOverlayImageFileName(settings, Bmp(L"topdown.bmp", topDown).c_str()));
  if (testing::RunningUnderWine()) {
    // Wine 8 builds the DIB section of a top-down file with empty pixels;
    // Windows loads it the right way up, which is what the checks below say.
    GTEST_SKIP() << "Wine loads top-down BMP files without their pixels";
  }
  EXPECT_EQ(0xFF0000u, ImagePixel(settings.OverlayImage, 0, 0));
  EXPECT_EQ(0x0000FFu, ImagePixel(settings.OverlayImage, 0, 1));
}

TEST_F(PictureLoading, FileLoadRecordsTheNameAndResetsTheRegionRectangle) {
  Layer(LAYERTYPE_OVERLAYIMAGE).RgnLeft = 500;
  BmpSpec spec;
  spec.width = 33;
  spec.height = 21;
  const std::wstring file = Bmp(L"image.bmp", spec);
  ASSERT_EQ(kOk, gdi::PutOverlayImageFileName(settings, file.c_str()));
  EXPECT_EQ(32, Layer(LAYERTYPE_OVERLAYIMAGE).RgnLeft);
  EXPECT_EQ(33, Layer(LAYERTYPE_OVERLAYIMAGE).RgnRight);
  EXPECT_EQ(21, Layer(LAYERTYPE_OVERLAYIMAGE).RgnBottom);
  char expected[kFileNameBytes];
  gdi::ToAnsiFileName(file.c_str(), expected);
  EXPECT_STREQ(expected, settings.OverlayImageFileName);
  EXPECT_EQ(1u, settings.OverlayImage.Owned);

  ASSERT_EQ(kOk, gdi::PutOverlayImageFileName(settings, L""));  // unload
  EXPECT_EQ(0u, settings.OverlayImage.Loaded);
  EXPECT_STREQ("", settings.OverlayImageFileName);
  ASSERT_EQ(kOk, gdi::PutOverlayImageFileName(settings, nullptr));
}

TEST_F(PictureLoading, IconsShowTheirColourPicture) {
  const std::wstring icon = dir.Write(L"logo.ico", MakeIco(16, false, Checker));
  ASSERT_EQ(kOk, gdi::PutOverlayImageFileName(settings, icon.c_str()));
  EXPECT_EQ(16, settings.OverlayImage.Width);
  EXPECT_EQ(0xFF8040u, ImagePixel(settings.OverlayImage, 1, 0));
  // A monochrome icon has no colour bitmap.
  const std::wstring mono = dir.Write(L"mono.ico", MakeIco(16, true, Checker));
  EXPECT_EQ(kFail, gdi::PutOverlayImageFileName(settings, mono.c_str()));
  EXPECT_EQ(16, settings.OverlayImage.Width) << "the colour icon stays loaded";
}

TEST_F(PictureLoading, EveryFailureLeavesThePreviousPictureInUse) {
  BmpSpec spec;
  spec.width = 5;
  spec.height = 4;
  ASSERT_EQ(kOk, gdi::PutOverlayImageFileName(settings, Bmp(L"good.bmp", spec).c_str()));
  const Snapshot before = Take(settings.OverlayImage, settings.OverlayImageFileName);

  std::vector<std::uint8_t> text(64, 'x');
  const std::wstring longName(300, L'n');
  const struct { std::wstring name; HResult expected; } cases[] = {
      {dir.Write(L"text.bmp", text), kInvalidArg},
      {dir.Path(L"missing.bmp"), kInvalidArg},
      {dir.Root(), kInvalidArg},  // a directory
      {dir.Root() + L"\\" + longName + L".bmp", gdi::kFileNameTooLong},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, gdi::PutOverlayImageFileName(settings, c.name.c_str()));
    EXPECT_TRUE(before == Take(settings.OverlayImage, settings.OverlayImageFileName));
  }
  EXPECT_EQ(kPointer, gdi::PutOverlayImageBitmap(settings, nullptr));
  // A handle that is no bitmap cannot be captured.
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  EXPECT_EQ(kFail, gdi::PutOverlayImageBitmap(settings, reinterpret_cast<HBITMAP>(brush)));
  EXPECT_EQ(kFail, gdi::PutMaskImageBitmap(settings, LAYERTYPE_VIDEO1, reinterpret_cast<HBITMAP>(brush)));
  DeleteObject(brush);
  EXPECT_TRUE(before == Take(settings.OverlayImage, settings.OverlayImageFileName));
}

TEST_F(PictureLoading, NamesOf259BytesFitAnd260AreRefused) {
  // Build a path of exactly 259 and 260 ANSI bytes inside the temp directory.
  char root[kFileNameBytes];
  ASSERT_EQ(kOk, gdi::ToAnsiFileName(dir.Root().c_str(), root));
  const std::size_t rootLength = std::strlen(root) + 1;  // plus the backslash
  ASSERT_LT(rootLength + 5, 259u);
  const std::wstring fits = dir.Root() + L"\\" + std::wstring(259 - rootLength, L'a');
  const std::wstring tooLong = dir.Root() + L"\\" + std::wstring(260 - rootLength, L'a');
  char ansi[kFileNameBytes];
  EXPECT_EQ(kOk, gdi::ToAnsiFileName(fits.c_str(), ansi));
  EXPECT_EQ(259u, std::strlen(ansi));
  EXPECT_EQ(gdi::kFileNameTooLong, gdi::ToAnsiFileName(tooLong.c_str(), ansi));
  EXPECT_EQ(gdi::kFileNameTooLong, gdi::PutMaskImageFileName(settings, LAYERTYPE_VIDEO1, tooLong.c_str()));
  EXPECT_STREQ("", Layer(LAYERTYPE_VIDEO1).MaskImageFileName);
}

TEST_F(PictureLoading, ClientBitmapsAreCapturedAndNeverDeletedByTheFilter) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = 4;
  info.bmiHeader.biHeight = 2;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP client = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(nullptr, client);
  std::memset(bits, 0x7F, 16);

  BmpSpec spec;
  ASSERT_EQ(kOk, gdi::PutOverlayImageFileName(settings, Bmp(L"first.bmp", spec).c_str()));
  char name[kFileNameBytes];
  std::strcpy(name, settings.OverlayImageFileName);
  ASSERT_EQ(kOk, gdi::PutOverlayImageBitmap(settings, client));
  EXPECT_EQ(0u, settings.OverlayImage.Owned);
  EXPECT_EQ(4, settings.OverlayImage.Width);
  EXPECT_EQ(0x7F7F7Fu, ImagePixel(settings.OverlayImage, 0, 1));
  EXPECT_STREQ(name, settings.OverlayImageFileName) << "a handle install keeps the last file name";
  ASSERT_EQ(kOk, gdi::PutOverlayImageFileName(settings, Bmp(L"second.bmp", spec).c_str()));
  BITMAP still{};
  EXPECT_EQ(static_cast<int>(sizeof(still)), GetObjectW(client, sizeof(still), &still)) << "client bitmap deleted";
  // The 32-bit handle form is sign-extended.
  EXPECT_EQ(reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(-2)), gdi::BitmapFromLong(-2));
  DeleteObject(client);
}

TEST_F(PictureLoading, MasksNeedEightBitGreyRamps) {
  ASSERT_EQ(kOk, gdi::PutMaskImageFileName(settings, LAYERTYPE_VIDEO2, Mask(L"mask.bmp", 9, 4).c_str()));
  const LayerSettings& layer = Layer(LAYERTYPE_VIDEO2);
  EXPECT_EQ(1u, layer.Mask.Loaded);
  const MaskView view = layer.Mask.MaskValues();
  for (std::int32_t y = 0; y < 4; ++y)
    for (std::int32_t x = 0; x < 9; ++x) ASSERT_EQ(255 - Index(x, y), view.RowFromTop(y)[x]) << x << "," << y;
  const Snapshot before = Take(layer.Mask, layer.MaskImageFileName);

  EXPECT_EQ(kOk, gdi::PutMaskImageFileName(settings, LAYERTYPE_VIDEO1, Mask(L"dev2.bmp", 3, 3, GreyRamp(100, 2)).c_str()));
  EXPECT_EQ(kOk, gdi::PutMaskImageFileName(settings, LAYERTYPE_VIDEO1, Mask(L"devm2.bmp", 3, 3, GreyRamp(7, -2)).c_str()));
  EXPECT_EQ(kInvalidArg, gdi::PutMaskImageFileName(settings, LAYERTYPE_VIDEO2, Mask(L"dev3.bmp", 3, 3, GreyRamp(100, 3)).c_str()));
  std::vector<RGBQUAD> tinted = GreyRamp();
  tinted[50].rgbRed = 51;
  EXPECT_EQ(kInvalidArg, gdi::PutMaskImageFileName(settings, LAYERTYPE_VIDEO2, Mask(L"tint.bmp", 3, 3, tinted).c_str()));
  BmpSpec colour;
  EXPECT_EQ(kFail, gdi::PutMaskImageFileName(settings, LAYERTYPE_VIDEO2, Bmp(L"rgb.bmp", colour).c_str()));
  const std::wstring icon = dir.Write(L"m.ico", MakeIco(16, false, Checker));
  EXPECT_EQ(kInvalidArg, gdi::PutMaskImageFileName(settings, LAYERTYPE_VIDEO2, icon.c_str())) << "icons are not masks";
  EXPECT_EQ(kInvalidArg, gdi::PutMaskImageFileName(settings, LAYERTYPE_VIDEO2, dir.Path(L"none.bmp").c_str()));
  EXPECT_EQ(kInvalidArg, gdi::PutMaskImageFileName(settings, 4, Mask(L"ok.bmp", 3, 3).c_str()));
  EXPECT_EQ(kInvalidArg, gdi::PutMaskImageBitmap(settings, 7, nullptr)) << "layer type is checked first";
  EXPECT_EQ(kPointer, gdi::PutMaskImageBitmap(settings, LAYERTYPE_VIDEO2, nullptr));
  EXPECT_TRUE(before == Take(layer.Mask, layer.MaskImageFileName));

  ASSERT_EQ(kOk, gdi::PutMaskImageFileName(settings, LAYERTYPE_VIDEO2, L""));
  EXPECT_EQ(0u, layer.Mask.Loaded);
  EXPECT_STREQ("", layer.MaskImageFileName);
}

TEST_F(PictureLoading, MasksTravelWithTheirLayerAndSurviveTheReset) {
  ASSERT_EQ(kOk, gdi::PutMaskImageFileName(settings, LAYERTYPE_BACKGROUND, Mask(L"mask.bmp", 4, 4).c_str()));
  settings.Layers.MoveLayer(LAYERTYPE_BACKGROUND, 2);
  EXPECT_EQ(1u, settings.Layers[2].Mask.Loaded);
  SettingsHost host;
  SettingsAccess(settings, host).ResetToDefaultsEx(0);
  EXPECT_EQ(1u, settings.Layers[2].Mask.Loaded) << "the reset clears names, not pictures";
  EXPECT_STREQ("", settings.Layers[2].MaskImageFileName);
}

}  // namespace
}  // namespace ovl
