#include "tools/ovlcompose/test_patterns.h"

#include <windows.h>

#include <cmath>
#include <vector>

#include "engine/core/pixel_image.h"
#include "tools/avi_writer.h"

namespace ovlcompose {
namespace {

template <class Pixel>
bool WritePattern(const std::wstring& path, int width, int height, int frames, Pixel pixel) {
  char ansi[MAX_PATH * 2];
  if (WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, ansi, sizeof(ansi), nullptr, nullptr) == 0) return false;
  ovl::tools::AviWriter writer;
  if (!writer.Open(ansi, width, height, kPatternFrameDuration)) return false;
  const std::size_t stride = ovl::RgbStride(width);
  std::vector<unsigned char> frame(stride * height);
  for (int f = 0; f < frames; ++f) {
    for (int y = 0; y < height; ++y) {
      unsigned char* row = frame.data() + static_cast<std::size_t>(height - 1 - y) * stride;  // bottom-up
      for (int x = 0; x < width; ++x) {
        const unsigned rgb = pixel(x, y, f);
        row[3 * x] = rgb & 0xFF;
        row[3 * x + 1] = (rgb >> 8) & 0xFF;
        row[3 * x + 2] = (rgb >> 16) & 0xFF;
      }
    }
    if (!writer.AddFrame(frame.data())) return false;
  }
  return writer.Close();
}

}  // namespace

bool WriteColourBars(const std::wstring& path, int frames) {
  static const unsigned bars[] = {0xC0C0C0, 0xC0C000, 0x00C0C0, 0x00C000, 0xC000C0, 0xC00000, 0x0000C0};
  return WritePattern(path, 640, 360, frames, [frames](int x, int y, int f) -> unsigned {
    const int sweep = frames > 1 ? f * 600 / (frames - 1) : 0;
    if (y >= 300 && x >= sweep && x < sweep + 40) return 0xFFFFFF;
    return bars[x * 7 / 640];
  });
}

bool WriteRings(const std::wstring& path, int frames) {
  return WritePattern(path, 260, 190, frames, [](int x, int y, int f) -> unsigned {
    const double r = std::hypot(x - 130.0, y - 95.0);
    const auto v = static_cast<unsigned>(127.5 + 127.5 * std::sin(r / 6.0 - f * 0.4));
    return (0x30u << 16) | ((255 - v) << 8) | v;  // 0xRRGGBB
  });
}

}  // namespace ovlcompose
