#include "engine/core/pixel_image.h"

#include <cstring>
#include <new>

namespace ovl {

bool RgbImage::Resize(std::int32_t width, std::int32_t height) {
  if (width < 0 || height < 0) return false;
  if (width == width_ && height == height_ && !pixels_.empty()) return true;
  const std::size_t stride = RgbStride(width);
  const std::size_t bytes = stride * static_cast<std::size_t>(height);
  try {
    std::vector<std::uint8_t> fresh(bytes, 0);
    pixels_.swap(fresh);
  } catch (const std::bad_alloc&) {
    return false;
  }
  width_ = width;
  height_ = height;
  stride_ = stride;
  return true;
}

void RgbImage::Release() {
  std::vector<std::uint8_t>().swap(pixels_);
  width_ = height_ = 0;
  stride_ = 0;
}

void RgbImage::Fill(std::uint32_t colorref) {
  if (pixels_.empty()) return;
  const std::uint8_t red = colorref & 0xFF;
  const std::uint8_t green = (colorref >> 8) & 0xFF;
  const std::uint8_t blue = (colorref >> 16) & 0xFF;
  std::uint8_t* first = pixels_.data();
  for (std::int32_t x = 0; x < width_; ++x) {
    first[3 * x] = blue;
    first[3 * x + 1] = green;
    first[3 * x + 2] = red;
  }
  std::memset(first + 3 * static_cast<std::size_t>(width_), 0, stride_ - 3 * static_cast<std::size_t>(width_));
  for (std::int32_t y = 1; y < height_; ++y) {
    std::memcpy(first + static_cast<std::size_t>(y) * stride_, first, stride_);
  }
}

}  // namespace ovl
