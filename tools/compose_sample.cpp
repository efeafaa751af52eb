// Renders one composite with the overlay engine as the module runs it and
// writes it as a PNG: colour bars (video 1, copied), the background colour
// drawn through a vignette mask loaded from an 8-bit BMP, a second picture at
// 70 % opacity inside a GDI ellipse region, and a BMP logo colour-keyed on top.
//
// usage: ovl_compose_sample [output.png [samples-folder]]
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>

#include "engine/frame_compositor.h"
#include "engine/gdi/gdi_settings_host.h"
#include "engine/gdi/picture_install.h"
#include "tools/png_writer.h"

namespace {

using namespace ovl;

constexpr std::int32_t kWidth = 640;
constexpr std::int32_t kHeight = 360;

void Put(RgbImage& image, std::int32_t x, std::int32_t y, std::uint32_t colorref) {
  std::uint8_t* p = image.View().RowFromTop(y) + 3 * x;
  p[0] = (colorref >> 16) & 0xFF;
  p[1] = (colorref >> 8) & 0xFF;
  p[2] = colorref & 0xFF;
}

RgbImage ColourBars() {
  const std::uint32_t bars[] = {0xC0C0C0, 0x00C0C0, 0xC0C000, 0x00C000, 0xC000C0, 0x0000C0, 0xC00000};
  RgbImage image(kWidth, kHeight);
  for (std::int32_t y = 0; y < kHeight; ++y)
    for (std::int32_t x = 0; x < kWidth; ++x) Put(image, x, y, bars[x * 7 / kWidth]);
  return image;
}

RgbImage Rings(std::int32_t w, std::int32_t h) {
  RgbImage image(w, h);
  for (std::int32_t y = 0; y < h; ++y) {
    for (std::int32_t x = 0; x < w; ++x) {
      const double r = std::hypot(x - w / 2.0, y - h / 2.0);
      const auto v = static_cast<std::uint32_t>(127.5 + 127.5 * std::sin(r / 6.0));
      Put(image, x, y, (v << 16) | ((255 - v) << 8) | 0x30);
    }
  }
  return image;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

bool Check(HResult hr, const char* what, const std::string& detail) {
  if (Succeeded(hr)) return true;
  std::fprintf(stderr, "error: %s %s failed (0x%08X)\n", what, detail.c_str(), static_cast<unsigned>(hr));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "out/composite.png";
  const std::string samples = argc > 2 ? argv[2] : "tools/samples";
  const std::string logoFile = samples + "\\logo.bmp";
  const std::string maskFile = samples + "\\vignette-mask.bmp";

  OverlaySettings settings;
  gdi::GdiSettingsHost host;
  SettingsAccess access(settings, host);
  access.PutLayerOrder(LAYERTYPE_VIDEO1, 0);  // video 1 at the bottom, the background above it
  access.PutBkLayerColor(0x00201008);
  access.PutFlag(LAYERTYPE_BACKGROUND, &LayerSettings::EnableMaskBitmap, kVariantTrue);
  if (!Check(gdi::PutMaskImageFileName(settings, LAYERTYPE_BACKGROUND, Widen(maskFile).c_str()), "loading the mask", maskFile)) return 1;

  const RgbImage bars = ColourBars();
  const RgbImage second = Rings(260, 190);
  access.PutField(LAYERTYPE_VIDEO2, &LayerSettings::RgnRight, 260);
  access.PutField(LAYERTYPE_VIDEO2, &LayerSettings::RgnBottom, 190);
  access.PutXPos(LAYERTYPE_VIDEO2, 340);
  access.PutYPos(LAYERTYPE_VIDEO2, 30);
  access.PutOpacity(LAYERTYPE_VIDEO2, 70);
  access.PutFlag(LAYERTYPE_VIDEO2, &LayerSettings::EnableOpacity, kVariantTrue);
  if (!Check(access.PutRegion(LAYERTYPE_VIDEO2, REGION_ELLIPSE), "building", "the ellipse region")) return 1;

  if (!Check(gdi::PutOverlayImageFileName(settings, Widen(logoFile).c_str()), "loading the overlay image", logoFile)) return 1;
  access.PutXPos(LAYERTYPE_OVERLAYIMAGE, 30);
  access.PutYPos(LAYERTYPE_OVERLAYIMAGE, 250);
  access.PutTransparentColor(LAYERTYPE_OVERLAYIMAGE, 0x0000FF00);
  access.PutFlag(LAYERTYPE_OVERLAYIMAGE, &LayerSettings::EnableTransparency, kVariantTrue);

  FrameCompositor compositor;
  if (compositor.BuildSurfaces(kWidth, kHeight, settings.BkLayerColor, {kWidth, kHeight, true},
                               {second.Width(), second.Height(), true}) != kOk) {
    std::fprintf(stderr, "error: cannot build the drawing surfaces\n");
    return 1;
  }
  std::vector<std::uint8_t> frame(compositor.CompositeBytes());
  const HResult hr = compositor.ComposeFrame(settings, bars.Data(), bars.SizeBytes(), second.Data(),
                                             second.SizeBytes(), frame.data(), frame.size());
  gdi::ReleaseAll(settings);
  if (!Check(hr, "composing", "the frame")) return 1;
  if (!tools::WritePng(path, ConstRgbView(frame.data(), kWidth, kHeight))) {
    std::fprintf(stderr, "error: cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("wrote %s (%dx%d, kernels %s): colour bars, background through the vignette mask %s,\n"
              "second picture at 70%% opacity in an ellipse region, logo %s colour-keyed on top\n",
              path.c_str(), kWidth, kHeight, compositor.Kernels().name, maskFile.c_str(), logoFile.c_str());
  return 0;
}
