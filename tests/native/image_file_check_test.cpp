// The structural checks that stand between damaged image files and the
// platform's decoders: sound files pass, anything declaring data beyond its
// end is refused, and the checks themselves never read out of bounds (this
// test runs under AddressSanitizer too).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "engine/core/image_file_check.h"

namespace ovl {
namespace {

template <class T>
void Put(std::vector<std::uint8_t>& out, T v) {
  for (std::size_t i = 0; i < sizeof(T); ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::vector<std::uint8_t> Bmp(std::int32_t w, std::int32_t h, std::uint16_t bits, std::uint32_t compression = 0,
                              std::uint32_t colours = 0, std::uint32_t rleBytes = 0) {
  const std::uint32_t table = 4 * (colours ? colours : bits <= 8 ? 1u << bits : 0) + (compression == 3 ? 12 : 0);
  const std::uint32_t rows = rleBytes ? rleBytes : ((w * bits + 31) / 32) * 4 * static_cast<std::uint32_t>(h < 0 ? -h : h);
  std::vector<std::uint8_t> f{'B', 'M'};
  Put<std::uint32_t>(f, 54 + table + rows);
  Put<std::uint32_t>(f, 0);
  Put<std::uint32_t>(f, 54 + table);
  Put<std::uint32_t>(f, 40);
  Put<std::int32_t>(f, w);
  Put<std::int32_t>(f, h);
  Put<std::uint16_t>(f, 1);
  Put<std::uint16_t>(f, bits);
  Put<std::uint32_t>(f, compression);
  Put<std::uint32_t>(f, rleBytes);
  Put<std::uint32_t>(f, 0);
  Put<std::uint32_t>(f, 0);
  Put<std::uint32_t>(f, colours);
  Put<std::uint32_t>(f, 0);
  f.resize(f.size() + table + rows, 0);
  return f;
}

std::vector<std::uint8_t> Ico(std::int32_t size, std::uint16_t bits) {
  const std::uint32_t colourRows = ((size * bits + 31) / 32) * 4 * size, maskRows = ((size + 31) / 32) * 4 * size;
  const std::uint32_t table = bits <= 8 ? 4u << bits : 0;
  const std::uint32_t bytes = 40 + table + colourRows + maskRows;
  std::vector<std::uint8_t> f;
  Put<std::uint16_t>(f, 0);
  Put<std::uint16_t>(f, 1);
  Put<std::uint16_t>(f, 1);
  f.insert(f.end(), {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size), 0, 0});
  Put<std::uint16_t>(f, 1);
  Put<std::uint16_t>(f, bits);
  Put<std::uint32_t>(f, bytes);
  Put<std::uint32_t>(f, 22);
  Put<std::uint32_t>(f, 40);
  Put<std::int32_t>(f, size);
  Put<std::int32_t>(f, 2 * size);
  Put<std::uint16_t>(f, 1);
  Put<std::uint16_t>(f, bits);
  f.resize(22 + bytes, 0);
  return f;
}

bool SoundBmp(const std::vector<std::uint8_t>& f) { return IsSoundBmpFile(f.data(), f.size()); }
bool SoundIco(const std::vector<std::uint8_t>& f) { return IsSoundIcoFile(f.data(), f.size()); }

void Poke32(std::vector<std::uint8_t>& f, std::size_t at, std::uint32_t v) { std::memcpy(f.data() + at, &v, 4); }

TEST(ImageFileCheck, SoundFilesPass) {
  for (std::uint16_t bits : {1, 4, 8, 16, 24, 32}) EXPECT_TRUE(SoundBmp(Bmp(7, 5, bits))) << bits;
  EXPECT_TRUE(SoundBmp(Bmp(7, -5, 24))) << "top-down";
  EXPECT_TRUE(SoundBmp(Bmp(3, 3, 8, 0, 17))) << "short colour table";
  EXPECT_TRUE(SoundBmp(Bmp(9, 2, 32, 3))) << "bit fields";
  EXPECT_TRUE(SoundBmp(Bmp(16, 16, 8, 1, 0, 40))) << "run-length coded";
  for (std::uint16_t bits : {1, 4, 8, 24, 32}) EXPECT_TRUE(SoundIco(Ico(16, bits))) << bits;
  EXPECT_FALSE(SoundBmp(Ico(16, 32)));
  EXPECT_FALSE(SoundIco(Bmp(16, 16, 24)));
}

TEST(ImageFileCheck, DeclarationsBeyondTheFileAreRefused) {
  const std::vector<std::uint8_t> good = Bmp(13, 7, 8);
  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_FALSE(IsSoundBmpFile(good.data(), cut)) << "truncated to " << cut;
  }
  const std::vector<std::uint8_t> icon = Ico(16, 32);
  for (std::size_t cut = 0; cut < icon.size(); ++cut) EXPECT_FALSE(IsSoundIcoFile(icon.data(), cut)) << cut;

  struct Field {
    std::size_t offset;
    std::uint32_t value;
  };
  const Field hostile[] = {{18, 0},          {18, 0x80000000u},  {22, 0},           {22, 60000},
                           {22, 0x80000000u}, {18, 100000},      {10, 0},           {10, 0xFFFFFFF0u},
                           {46, 257},         {46, 0xFFFFFFFFu}, {14, 41},          {14, 0xFFFFFFFFu},
                           {30, 4},           {30, 77},          {26, 0x00000009u}, {26, 0x00020001u}};
  for (const Field& h : hostile) {
    std::vector<std::uint8_t> f = good;
    Poke32(f, h.offset, h.value);
    EXPECT_FALSE(SoundBmp(f)) << "field at " << h.offset << " = " << h.value;
  }
  std::vector<std::uint8_t> huge = Bmp(8, 8, 24);
  Poke32(huge, 18, 0xFFFF);
  Poke32(huge, 22, 0xFFFF);
  EXPECT_FALSE(SoundBmp(huge)) << "a 64K x 64K picture is refused before any decoding";

  std::vector<std::uint8_t> ico = icon;
  Poke32(ico, 6 + 8, 0x7FFFFFFF);
  EXPECT_FALSE(SoundIco(ico));
  ico = icon;
  Poke32(ico, 6 + 12, 0xFFFFFF00u);
  EXPECT_FALSE(SoundIco(ico));
  ico = icon;
  ico[4] = 0xFF;  // 255 directory entries in a one-image file
  EXPECT_FALSE(SoundIco(ico));
}

// An icon whose image is a PNG: signature, then the header chunk (big-endian
// length 13, "IHDR", width, height, five bytes, CRC) and a few more bytes.
std::vector<std::uint8_t> PngIco(std::uint32_t width, std::uint32_t height, const char* firstChunk = "IHDR") {
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
  png.insert(png.end(), firstChunk, firstChunk + 4);
  for (std::uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<std::uint8_t>(v >> shift));
  }
  png.resize(png.size() + 5 + 4 + 40, 0);
  std::vector<std::uint8_t> f;
  Put<std::uint16_t>(f, 0);
  Put<std::uint16_t>(f, 1);
  Put<std::uint16_t>(f, 1);
  f.insert(f.end(), {0, 0, 0, 0});
  Put<std::uint16_t>(f, 1);
  Put<std::uint16_t>(f, 32);
  Put<std::uint32_t>(f, static_cast<std::uint32_t>(png.size()));
  Put<std::uint32_t>(f, 22);
  f.insert(f.end(), png.begin(), png.end());
  return f;
}

TEST(ImageFileCheck, PngIconImagesAreHeldToThePictureLimit) {
  EXPECT_TRUE(SoundIco(PngIco(256, 256)));
  EXPECT_TRUE(SoundIco(PngIco(9000, 9000)));  // 243 MB as 24-bit pixels
  EXPECT_FALSE(SoundIco(PngIco(13400, 13400))) << "538 MB as 24-bit pixels";
  for (std::uint32_t side : {0u, 0x10000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    EXPECT_FALSE(SoundIco(PngIco(side, 16))) << side;
    EXPECT_FALSE(SoundIco(PngIco(16, side))) << side;
  }
  EXPECT_FALSE(SoundIco(PngIco(16, 16, "IDAT"))) << "the header chunk must come first";
  std::vector<std::uint8_t> cut = PngIco(16, 16);
  Poke32(cut, 6 + 8, 8 + 12);  // the image ends inside its header chunk
  EXPECT_FALSE(SoundIco(cut));
}

TEST(ImageFileCheck, RandomDamageIsJudgedWithoutReadingOutOfBounds) {
  const std::vector<std::vector<std::uint8_t>> seeds = {Bmp(13, 7, 8), Bmp(11, 6, 24), Bmp(5, 9, 32, 3),
                                                        Bmp(16, 16, 8, 1, 0, 40), Ico(16, 32), Ico(32, 8)};
  std::mt19937 rng(99);
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::uint8_t> f = seeds[round % seeds.size()];
    for (int k = 0; k < 1 + static_cast<int>(rng() % 6); ++k) f[rng() % std::min<std::size_t>(f.size(), 90)] = static_cast<std::uint8_t>(rng());
    if (rng() % 3 == 0) f.resize(rng() % f.size());
    // An exactly sized copy, so any read past the end is caught by ASan.
    std::vector<std::uint8_t> exact(f.begin(), f.end());
    exact.shrink_to_fit();
    accepted += IsSoundBmpFile(exact.data(), exact.size()) || IsSoundIcoFile(exact.data(), exact.size());
  }
  EXPECT_GT(accepted, 0) << "some damage is harmless";
}

}  // namespace
}  // namespace ovl
