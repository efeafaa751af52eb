#pragma once
// Pictures as the compositor sees them: 24-bit rows stored bottom-up (the first
// row in memory is the bottom of the picture), bytes blue, green, red, rows
// padded to 4 bytes; masks are 8-bit rows with the same padding rule.
// Row accessors take y counted from the top, the convention of the frame walk.
// An input picture may come top-down (a negative height in its format): its
// view says so and the accessors read its rows in the other order, so such a
// picture is composed in place, without a flipped copy.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ovl {

constexpr std::size_t RgbStride(std::int32_t width) {
  return ((static_cast<std::size_t>(width) * 24 + 31) >> 3) & ~std::size_t{3};
}
constexpr std::size_t MaskStride(std::int32_t width) {
  return ((static_cast<std::size_t>(width) * 8 + 31) >> 3) & ~std::size_t{3};
}

// A borrowed 24-bit picture. bits == nullptr means "no picture".
struct RgbView {
  std::uint8_t* bits = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::size_t stride = 0;

  std::uint8_t* RowFromTop(std::int32_t y) const {
    return bits + static_cast<std::size_t>(height - 1 - y) * stride;
  }
  std::size_t SizeBytes() const { return stride * static_cast<std::size_t>(height); }
};

struct ConstRgbView {
  const std::uint8_t* bits = nullptr;  // the buffer's start, whatever the row order
  std::int32_t width = 0;
  std::int32_t height = 0;  // rows, always positive
  std::size_t stride = 0;
  bool topDown = false;  // the first row in memory is the top of the picture

  ConstRgbView() = default;
  ConstRgbView(const std::uint8_t* b, std::int32_t w, std::int32_t h, bool topDownRows = false)
      : bits(b), width(w), height(h), stride(RgbStride(w)), topDown(topDownRows) {}
  ConstRgbView(const RgbView& v)  // NOLINT: a writable view reads too
      : bits(v.bits), width(v.width), height(v.height), stride(v.stride) {}

  const std::uint8_t* RowFromTop(std::int32_t y) const {
    return bits + static_cast<std::size_t>(topDown ? y : height - 1 - y) * stride;
  }
  bool Present() const { return bits != nullptr; }
};

// 8-bit mask values, bottom-up rows like the pictures.
struct MaskView {
  const std::uint8_t* values = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::size_t stride = 0;

  const std::uint8_t* RowFromTop(std::int32_t y) const {
    return values + static_cast<std::size_t>(height - 1 - y) * stride;
  }
};

// An owned 24-bit picture. Storage is reallocated only when the size changes,
// so re-sizing to the same dimensions on every frame costs nothing.
class RgbImage {
 public:
  RgbImage() = default;
  RgbImage(std::int32_t width, std::int32_t height) { Resize(width, height); }

  // Returns false (and keeps the old picture) for negative sizes or when
  // memory runs out.
  bool Resize(std::int32_t width, std::int32_t height);
  void Release();
  void Fill(std::uint32_t colorref);  // COLORREF 0x00BBGGRR, padding zeroed

  RgbView View() {
    return RgbView{pixels_.empty() ? nullptr : pixels_.data(), width_, height_, stride_};
  }
  ConstRgbView View() const {
    RgbView v{const_cast<std::uint8_t*>(pixels_.empty() ? nullptr : pixels_.data()), width_,
              height_, stride_};
    return ConstRgbView(v);
  }
  bool Empty() const { return pixels_.empty(); }
  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  std::size_t Stride() const { return stride_; }
  std::uint8_t* Data() { return pixels_.data(); }
  const std::uint8_t* Data() const { return pixels_.data(); }
  std::size_t SizeBytes() const { return pixels_.size(); }

 private:
  std::vector<std::uint8_t> pixels_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::size_t stride_ = 0;
};

}  // namespace ovl
