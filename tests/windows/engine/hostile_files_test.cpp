// Damaged and hostile image files: each load either succeeds or fails with a
// code of the loading table, the previous picture stays in use, nothing
// crashes. Hand-made cases first, then a few hundred mutations of valid files.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <random>

#include "engine/core/image_file_check.h"
#include "engine/gdi/picture_install.h"
#include "tests/windows/support/bmp_files.h"
#include "tests/windows/support/case_processes.h"

namespace ovl {
namespace {

using testing::BmpSpec;
using testing::MakeBmp;
using testing::MakeIco;
using testing::MakePngIco;

std::uint32_t Pattern(std::int32_t x, std::int32_t y) { return static_cast<std::uint32_t>(x * 40 + y * 9); }

template <class T>
void Poke(std::vector<std::uint8_t>& file, std::size_t offset, T value) {
  if (offset + sizeof(T) <= file.size()) std::memcpy(file.data() + offset, &value, sizeof(T));
}

// Offsets inside a BMP file: file header 14 bytes, then BITMAPINFOHEADER.
constexpr std::size_t kBfSize = 2, kBfOffBits = 10, kBiWidth = 18, kBiHeight = 22, kBiPlanes = 26,
                      kBiBitCount = 28, kBiCompression = 30, kBiSizeImage = 34, kBiClrUsed = 46,
                      kBiSize = 14, kPalette = 54;

std::vector<std::uint8_t> EightBit() {
  BmpSpec spec;
  spec.width = 13;
  spec.height = 7;
  spec.bitCount = 8;
  spec.pixel = Pattern;
  return MakeBmp(spec);
}

std::vector<std::uint8_t> TrueColour(WORD bits) {
  BmpSpec spec;
  spec.width = 11;
  spec.height = 6;
  spec.bitCount = bits;
  spec.pixel = Pattern;
  return MakeBmp(spec);
}

class HostileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    // A known good image and mask that every failed load must leave in place.
    BmpSpec spec;
    spec.width = 5;
    spec.height = 3;
    ASSERT_EQ(kOk, gdi::PutOverlayImageFileName(settings, dir.Write(L"good.bmp", MakeBmp(spec)).c_str()));
    ASSERT_EQ(kOk, gdi::PutMaskImageFileName(settings, LAYERTYPE_VIDEO1, dir.Write(L"good-mask.bmp", EightBit()).c_str()));
    goodImage = settings.OverlayImage.Buffer;
    goodMask = settings.Layers.FindLayer(LAYERTYPE_VIDEO1)->Mask.Buffer;
  }
  ~HostileFiles() override { gdi::ReleaseAll(settings); }

  // Loads `bytes` as overlay image and as mask; checks the results and,
  // after a failure, that the good pictures are still installed.
  HResult Load(const std::vector<std::uint8_t>& bytes, const std::wstring& name) {
    const std::wstring path = dir.Write(name, bytes);
    const HResult image = gdi::PutOverlayImageFileName(settings, path.c_str());
    const HResult mask = gdi::PutMaskImageFileName(settings, LAYERTYPE_VIDEO1, path.c_str());
    EXPECT_TRUE(image == kOk || image == kInvalidArg || image == kFail) << std::hex << image;
    EXPECT_TRUE(mask == kOk || mask == kInvalidArg || mask == kFail) << std::hex << mask;
    const LayerSettings& layer = *settings.Layers.FindLayer(LAYERTYPE_VIDEO1);
    if (image != kOk) {
      EXPECT_EQ(goodImage, settings.OverlayImage.Buffer);
      EXPECT_EQ(1u, settings.OverlayImage.Loaded);
    } else {
      // A damaged file that still decodes: its picture is complete.
      EXPECT_EQ(RgbStride(settings.OverlayImage.Width) * settings.OverlayImage.Height, settings.OverlayImage.Buffer.size());
    }
    if (mask != kOk) {
      EXPECT_EQ(goodMask, layer.Mask.Buffer);
    }
    (image == kOk ? loaded : refused)++;
    (mask == kOk ? loaded : refused)++;
    // Put the good pictures back for the next case.
    if (image == kOk) {
      gdi::PutOverlayImageFileName(settings, dir.Path(L"good.bmp").c_str());
      goodImage = settings.OverlayImage.Buffer;
    }
    if (mask == kOk) {
      gdi::PutMaskImageFileName(settings, LAYERTYPE_VIDEO1, dir.Path(L"good-mask.bmp").c_str());
      goodMask = layer.Mask.Buffer;
    }
    DeleteFileW(path.c_str());
    return image;
  }

  testing::TempDir dir;
  OverlaySettings settings;
  std::vector<std::uint8_t> goodImage, goodMask;
  int loaded = 0, refused = 0;
};

TEST_F(HostileFiles, HandMadeDamage) {
  struct Case {
    const wchar_t* name;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Case> cases;
  auto add = [&](const wchar_t* name, std::vector<std::uint8_t> bytes) { cases.push_back({name, std::move(bytes)}); };
  add(L"empty.bmp", {});
  add(L"magic-only.bmp", {'B', 'M'});
  for (std::size_t cut : {14u, 30u, 54u, 100u, 300u}) {
    auto f = EightBit();
    f.resize(std::min(cut, f.size()));
    add(L"truncated.bmp", f);
  }
  for (std::int32_t width : {0, -13, 0x7FFFFFFF, 100000}) {
    auto f = TrueColour(24);
    Poke(f, kBiWidth, width);
    add(L"width.bmp", f);
  }
  for (std::int32_t height : {0, static_cast<std::int32_t>(0x80000000u), 0x7FFFFFFF, -100000, 60000}) {
    auto f = TrueColour(24);
    Poke(f, kBiHeight, height);
    add(L"height.bmp", f);
  }
  for (std::uint32_t offset : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFF0u}) {
    auto f = EightBit();
    Poke(f, kBfOffBits, offset);
    add(L"offset.bmp", f);
  }
  for (std::uint32_t used : {1u, 255u, 257u, 0xFFFFFFFFu}) {
    auto f = EightBit();
    Poke(f, kBiClrUsed, used);
    add(L"colours.bmp", f);
  }
  for (std::uint16_t bits : {0, 2, 7, 33, 64, 0xFFFF}) {
    auto f = TrueColour(24);
    Poke(f, kBiBitCount, bits);
    add(L"bits.bmp", f);
  }
  for (std::uint32_t header : {0u, 12u, 39u, 41u, 124u, 0xFFFFFFFFu}) {
    auto f = TrueColour(32);
    Poke(f, kBiSize, header);
    add(L"header.bmp", f);
  }
  {
    auto f = TrueColour(24);
    Poke<std::uint32_t>(f, kBiCompression, BI_RLE8);
    add(L"rle-claim.bmp", f);
    Poke<std::uint32_t>(f, kBiCompression, 77);
    add(L"compression.bmp", f);
    Poke<std::uint32_t>(f, kBiCompression, BI_RGB);
    Poke<std::uint16_t>(f, kBiPlanes, 9);
    add(L"planes.bmp", f);
    Poke<std::uint32_t>(f, kBfSize, 0xFFFFFFFF);
    Poke<std::uint32_t>(f, kBiSizeImage, 0xFFFFFFFF);
    add(L"sizes.bmp", f);
  }
  {
    auto f = EightBit();  // colour table claims entries past the end of the file
    Poke<std::uint32_t>(f, kBiClrUsed, 256);
    f.resize(kPalette + 100);
    add(L"short-palette.bmp", f);
  }
  {
    auto ico = MakeIco(16, false, Pattern);
    auto cut = ico;
    cut.resize(40);
    add(L"cut.ico", cut);
    auto big = ico;
    Poke<std::uint32_t>(big, 6 + 8, 0x7FFFFFFF);  // image byte count
    add(L"size.ico", big);
    auto distant = ico;
    Poke<std::uint32_t>(distant, 6 + 12, 0xFFFFFF00);  // image offset
    add(L"offset.ico", distant);
    auto many = ico;
    Poke<std::uint16_t>(many, 4, 0xFFFF);  // image count
    add(L"count.ico", many);
    add(L"mono.ico", MakeIco(16, true, Pattern));
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << std::string(c.name, c.name + wcslen(c.name)));
    Load(c.bytes, c.name);
  }
  std::printf("hand-made damaged files: %zu, loads accepted %d, refused %d\n", cases.size(), loaded, refused);
}

// An icon image may be a PNG, which the platform decodes whole: a small
// file declaring a picture over the limit is refused before that, like any
// other oversized picture, while the same kind of file of a sane size loads.
TEST_F(HostileFiles, PngIconImagesOverTheLimitAreRefusedBeforeDecoding) {
  ASSERT_EQ(kOk, gdi::PutOverlayImageFileName(settings, dir.Write(L"small-png.ico", MakePngIco(300, 200)).c_str()));
  EXPECT_EQ(300, settings.OverlayImage.Width);
  EXPECT_EQ(200, settings.OverlayImage.Height);
  const std::vector<std::uint8_t> before = settings.OverlayImage.Buffer;
  const std::vector<std::uint8_t> bomb = MakePngIco(13400, 13400);  // 538 MB as 24-bit pixels
  EXPECT_LT(bomb.size(), 200u << 10);
  EXPECT_EQ(kInvalidArg, gdi::PutOverlayImageFileName(settings, dir.Write(L"bomb.ico", bomb).c_str()));
  std::vector<std::uint8_t> wide = MakePngIco(300, 200);
  testing::DeclarePngIcoSize(wide, 0x7FFFFFFF, 1);
  EXPECT_EQ(kInvalidArg, gdi::PutOverlayImageFileName(settings, dir.Write(L"wide.ico", wide).c_str()));
  EXPECT_EQ(before, settings.OverlayImage.Buffer);
}

TEST_F(HostileFiles, MutatedFilesNeverCrashAndNeverCorruptThePreviousPicture) {
  const std::vector<std::vector<std::uint8_t>> seeds = {EightBit(), TrueColour(24), TrueColour(32), TrueColour(16),
                                                        MakeIco(16, false, Pattern), MakeIco(32, false, Pattern)};
  constexpr unsigned kSeed = 20261206;
  std::mt19937 rng(kSeed);
  int files = 0;
  for (int round = 0; round < 60; ++round) {
    for (std::size_t s = 0; s < seeds.size(); ++s) {
      std::vector<std::uint8_t> f = seeds[s];
      const int kind = static_cast<int>(rng() % 4);
      if (kind == 0) {
        f.resize(rng() % f.size());  // truncation
      } else if (kind == 1) {
        for (int k = 0; k < 1 + static_cast<int>(rng() % 4); ++k) f[rng() % std::min<std::size_t>(f.size(), 80)] ^= 1u << (rng() % 8);
      } else if (kind == 2) {
        const std::uint32_t values[] = {0, 1, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0x10000, 255, 256,
                                        static_cast<std::uint32_t>(rng())};
        Poke(f, rng() % std::min<std::size_t>(f.size(), 70), values[rng() % 9]);
      } else {
        for (int k = 0; k < 8; ++k) f[rng() % f.size()] = static_cast<std::uint8_t>(rng());
      }
      Load(f, s >= 4 ? L"mutant.ico" : L"mutant.bmp");
      ++files;
    }
  }
  std::printf("mutated image files: seed %u, %d files, each loaded as overlay and as mask: %d loads accepted, %d refused, "
              "0 crashes\n", kSeed, files, loaded, refused);
  EXPECT_EQ(360, files);
}

// A numeric header field of a seed file: where, how wide, byte order.
struct HeaderField {
  const char* name;
  std::size_t offset;
  int bytes;
  bool bigEndian = false;
};

struct FieldCase {
  int seed;
  std::vector<HeaderField> fields;  // one field, or a width and height together
  long long value;
};

// Every numeric header field of a BMP, an icon and a PNG icon set to each
// boundary value (as many low bytes as the field holds; the PNG header's
// checksum made right again, so the decoder reads it), and the width and
// height together. Each load gives a code of the loading table, keeps the
// previous picture when it fails and gives a whole picture when it
// succeeds; a file declaring a picture over the limit is refused with
// E_INVALIDARG. The cases run in child processes, so a crash, a hang or a
// damaged heap is caught and named.
TEST_F(HostileFiles, BoundaryValuesInEveryHeaderField) {
  constexpr std::size_t kPng = 22;  // the PNG image follows the icon directory
  // The last PNG's rows are zeros enough for 16384 x 16384 pixels: a size
  // declared over the limit would really be decoded if it were let through.
  const std::vector<std::vector<std::uint8_t>> seeds = {EightBit(), TrueColour(24), MakeIco(16, false, Pattern),
                                                        MakePngIco(64, 48), MakePngIco(64, 48, 2049ull * 16384)};
  const std::vector<std::vector<HeaderField>> fields = {
      {{"bfSize", 2, 4}, {"bfReserved", 6, 4}, {"bfOffBits", 10, 4}, {"biSize", 14, 4}, {"biWidth", 18, 4},
       {"biHeight", 22, 4}, {"biPlanes", 26, 2}, {"biBitCount", 28, 2}, {"biCompression", 30, 4},
       {"biSizeImage", 34, 4}, {"biXPelsPerMeter", 38, 4}, {"biClrUsed", 46, 4}, {"biClrImportant", 50, 4}},
      {},
      {{"idReserved", 0, 2}, {"idType", 2, 2}, {"idCount", 4, 2}, {"bWidth", 6, 1}, {"bHeight", 7, 1},
       {"bColorCount", 8, 1}, {"wPlanes", 10, 2}, {"wBitCount", 12, 2}, {"dwBytesInRes", 14, 4},
       {"dwImageOffset", 18, 4}, {"biSize", 22, 4}, {"biWidth", 26, 4}, {"biHeight", 30, 4}, {"biPlanes", 34, 2},
       {"biBitCount", 36, 2}, {"biCompression", 38, 4}, {"biSizeImage", 42, 4}, {"biClrUsed", 54, 4}},
      {{"dwBytesInRes", 14, 4}, {"dwImageOffset", 18, 4}, {"IHDR width", kPng + 16, 4, true},
       {"IHDR height", kPng + 20, 4, true}, {"IHDR depth", kPng + 24, 1}, {"IHDR colour", kPng + 25, 1},
       {"IHDR interlace", kPng + 28, 1}},
      {},
  };
  const std::vector<std::pair<HeaderField, HeaderField>> sizes = {
      {{"biWidth", 18, 4}, {"biHeight", 22, 4}}, {}, {{"biWidth", 26, 4}, {"biHeight", 30, 4}},
      {{"IHDR width", kPng + 16, 4, true}, {"IHDR height", kPng + 20, 4, true}},
      {{"IHDR width", kPng + 16, 4, true}, {"IHDR height", kPng + 20, 4, true}}};
  std::vector<FieldCase> cases;
  for (int seed = 0; seed < static_cast<int>(seeds.size()); ++seed) {
    const int layout = seed == 1 ? 0 : seed;  // both BMP seeds share the layout
    for (long long value : testing::BoundaryValues()) {
      for (const HeaderField& f : fields[layout]) cases.push_back({seed, {f}, value});
      cases.push_back({seed, {sizes[layout].first, sizes[layout].second}, value});
    }
  }
  auto describe = [&](int i) {
    std::string text = "seed file " + std::to_string(cases[i].seed);
    for (const HeaderField& f : cases[i].fields) text += std::string(" ") + f.name;
    return text + " = " + std::to_string(cases[i].value);
  };
  auto run = [&](int i) {
    const FieldCase& c = cases[i];
    std::vector<std::uint8_t> f = seeds[c.seed];
    for (const HeaderField& field : c.fields) {
      for (int b = 0; b < field.bytes; ++b) {
        const int shift = 8 * (field.bigEndian ? field.bytes - 1 - b : b);
        f[field.offset + b] = static_cast<std::uint8_t>(static_cast<unsigned long long>(c.value) >> shift);
      }
    }
    // The picture it declares: width and height from the fields that hold them.
    const bool png = c.seed >= 3;
    std::int64_t width = 0, height = 0;
    if (png) {
      const std::size_t at = kPng + 16;
      width = std::int64_t{f[at]} << 24 | f[at + 1] << 16 | f[at + 2] << 8 | f[at + 3];
      height = std::int64_t{f[at + 4]} << 24 | f[at + 5] << 16 | f[at + 6] << 8 | f[at + 7];
      testing::DeclarePngIcoSize(f, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    } else {
      const std::size_t at = c.seed == 2 ? 26 : 18;
      std::int32_t w = 0, h = 0;
      std::memcpy(&w, f.data() + at, 4);
      std::memcpy(&h, f.data() + at + 4, 4);
      width = w;
      height = c.seed == 2 ? h / 2 : h;  // an icon image stores its mask rows too
    }
    const bool overLimit = static_cast<std::uint64_t>(width < 0 ? -width : width) * 3 *
                               static_cast<std::uint64_t>(height < 0 ? -height : height) >
                           kMaxDecodedPictureBytes;
    const HResult image = Load(f, c.seed >= 2 ? L"field.ico" : L"field.bmp");
    if (overLimit) EXPECT_EQ(kInvalidArg, image) << width << " x " << height << " declared";
    return image == kOk;
  };
  const testing::CaseTally tally = testing::RunCasesInChildren(static_cast<int>(cases.size()), 2000, run, describe);
  if (testing::IsCaseChild()) return;
  std::printf("boundary-value image files: %d header field cases in %d processes, loads accepted %d, refused %d, "
              "%zu failing (crashes, hangs, damaged heaps or wrong results)\n",
              tally.cases, tally.children, tally.accepted, tally.refused, tally.failures.size());
  for (std::size_t i = 0; i < tally.failures.size() && i < 30; ++i) ADD_FAILURE() << tally.failures[i];
  EXPECT_TRUE(tally.failures.empty()) << tally.failures.size() << " failing cases";
  EXPECT_EQ(static_cast<int>(cases.size()), tally.cases);
}

}  // namespace
}  // namespace ovl
