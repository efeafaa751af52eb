#pragma once
// Writes small BMP and ICO files for the loading tests.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ovl::testing {

struct BmpSpec {
  std::int32_t width = 4;
  std::int32_t height = 3;  // negative: rows stored top-down
  WORD bitCount = 24;       // 1, 4, 8, 16, 24 or 32
  std::vector<RGBQUAD> palette;  // for 1/4/8 bits; empty: a grey ramp
  // Pixel value at (x, y from the top): a palette index, or 0x00RRGGBB.
  std::uint32_t (*pixel)(std::int32_t x, std::int32_t y) = nullptr;
};

std::vector<std::uint8_t> MakeBmp(const BmpSpec& spec);
// An icon file holding one image of the given size: 32-bit colour (alpha
// 255) and its AND mask, or a 1-bit monochrome icon without colour bitmap.
std::vector<std::uint8_t> MakeIco(std::int32_t size, bool monochrome,
                                  std::uint32_t (*pixel)(std::int32_t x, std::int32_t y));

// An icon file whose one image is a PNG of the given size, all black
// (1-bit grey, its rows compressed so that even a huge picture stays a small
// file), and the same file with another size declared in the PNG header.
// `rowBytes` of compressed rows are stored, by default those of the size.
std::vector<std::uint8_t> MakePngIco(std::uint32_t width, std::uint32_t height, std::uint64_t rowBytes = 0);
void DeclarePngIcoSize(std::vector<std::uint8_t>& ico, std::uint32_t width, std::uint32_t height);

std::vector<RGBQUAD> GreyRamp(int deviationAt = -1, int deviation = 0);

// A scratch directory under the temp directory, removed with its files.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::wstring Path(const std::wstring& name) const { return dir_ + L"\\" + name; }
  std::wstring Write(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const;
  const std::wstring& Root() const { return dir_; }

 private:
  std::wstring dir_;
};

}  // namespace ovl::testing
