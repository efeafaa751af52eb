#include "tests/windows/support/bmp_files.h"

#include <algorithm>
#include <cstring>

namespace ovl::testing {
namespace {

template <class T>
void Put(std::vector<std::uint8_t>& out, T value) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
  out.insert(out.end(), p, p + sizeof(T));
}

std::vector<std::uint8_t> PixelRows(const BmpSpec& spec, bool withFileOrder) {
  const std::int32_t h = spec.height < 0 ? -spec.height : spec.height;
  const std::size_t stride = ((static_cast<std::size_t>(spec.width) * spec.bitCount + 31) / 32) * 4;
  std::vector<std::uint8_t> rows(stride * h, 0);
  for (std::int32_t r = 0; r < h; ++r) {
    // File row r holds picture row y (bottom-up unless the height is negative).
    const std::int32_t y = (spec.height < 0 || !withFileOrder) ? r : h - 1 - r;
    std::uint8_t* row = rows.data() + r * stride;
    for (std::int32_t x = 0; x < spec.width; ++x) {
      const std::uint32_t v = spec.pixel ? spec.pixel(x, y) : static_cast<std::uint32_t>(x + y);
      switch (spec.bitCount) {
        case 1: row[x / 8] |= static_cast<std::uint8_t>((v & 1) << (7 - x % 8)); break;
        case 4: row[x / 2] |= static_cast<std::uint8_t>((v & 15) << (x % 2 ? 0 : 4)); break;
        case 8: row[x] = static_cast<std::uint8_t>(v); break;
        case 16: {  // 5-5-5
          const std::uint16_t p = static_cast<std::uint16_t>(((v >> 19) & 31) << 10 | ((v >> 11) & 31) << 5 | ((v >> 3) & 31));
          std::memcpy(row + 2 * x, &p, 2);
          break;
        }
        case 24: row[3 * x] = v & 0xFF; row[3 * x + 1] = (v >> 8) & 0xFF; row[3 * x + 2] = (v >> 16) & 0xFF; break;
        case 32: {
          const std::uint32_t p = v | 0xFF000000u;
          std::memcpy(row + 4 * x, &p, 4);
          break;
        }
      }
    }
  }
  return rows;
}

}  // namespace

std::vector<RGBQUAD> GreyRamp(int deviationAt, int deviation) {
  std::vector<RGBQUAD> ramp(256);
  for (int i = 0; i < 256; ++i) {
    const int v = i == deviationAt ? i + deviation : i;
    const auto b = static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v);
    ramp[i] = RGBQUAD{b, b, b, 0};
  }
  return ramp;
}

std::vector<std::uint8_t> MakeBmp(const BmpSpec& spec) {
  std::vector<RGBQUAD> palette = spec.palette;
  if (spec.bitCount <= 8 && palette.empty()) {
    palette = GreyRamp();
    palette.resize(std::size_t{1} << spec.bitCount);
  }
  const std::vector<std::uint8_t> rows = PixelRows(spec, true);
  const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) +
                       static_cast<DWORD>(palette.size() * sizeof(RGBQUAD));
  std::vector<std::uint8_t> out;
  Put<WORD>(out, 0x4D42);
  Put<DWORD>(out, offset + static_cast<DWORD>(rows.size()));
  Put<DWORD>(out, 0);
  Put<DWORD>(out, offset);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = spec.width;
  header.biHeight = spec.height;
  header.biPlanes = 1;
  header.biBitCount = spec.bitCount;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(rows.size());
  header.biClrUsed = spec.bitCount <= 8 ? static_cast<DWORD>(palette.size()) : 0;
  Put(out, header);
  for (const RGBQUAD& q : palette) Put(out, q);
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

std::vector<std::uint8_t> MakeIco(std::int32_t size, bool monochrome,
                                  std::uint32_t (*pixel)(std::int32_t x, std::int32_t y)) {
  BmpSpec image;
  image.width = size;
  image.height = size;
  image.bitCount = monochrome ? 1 : 32;
  image.pixel = pixel;
  if (monochrome) image.palette = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
  std::vector<std::uint8_t> xorRows = PixelRows(image, true);
  const std::size_t maskStride = ((static_cast<std::size_t>(size) + 31) / 32) * 4;
  const std::vector<std::uint8_t> andRows(maskStride * size, 0);  // all opaque
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = size;
  header.biHeight = 2 * size;  // colour rows and mask rows
  header.biPlanes = 1;
  header.biBitCount = image.bitCount;
  std::vector<std::uint8_t> body;
  Put(body, header);
  for (const RGBQUAD& q : image.palette) Put(body, q);
  body.insert(body.end(), xorRows.begin(), xorRows.end());
  body.insert(body.end(), andRows.begin(), andRows.end());

  std::vector<std::uint8_t> out;
  Put<WORD>(out, 0);
  Put<WORD>(out, 1);  // icon
  Put<WORD>(out, 1);  // one image
  out.push_back(static_cast<std::uint8_t>(size));
  out.push_back(static_cast<std::uint8_t>(size));
  out.push_back(monochrome ? 2 : 0);
  out.push_back(0);
  Put<WORD>(out, 1);
  Put<WORD>(out, image.bitCount);
  Put<DWORD>(out, static_cast<DWORD>(body.size()));
  Put<DWORD>(out, 6 + 16);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

namespace {

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
  }
  return ~crc;
}

void PutChunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data) {
  PutBigEndian(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  PutBigEndian(png, Crc32(png.data() + start, png.size() - start));
}

// Deflate bits, least significant first; Huffman codes go most significant first.
class BitWriter {
 public:
  void Bits(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
  }
  void Code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
  }
  std::vector<std::uint8_t> Finish() {
    if (used_ != 0) bytes_.push_back(current_);
    return bytes_;
  }

 private:
  void Bit(std::uint32_t bit) {
    current_ |= static_cast<std::uint8_t>(bit << used_);
    if (++used_ == 8) {
      bytes_.push_back(current_);
      current_ = 0;
      used_ = 0;
    }
  }
  std::vector<std::uint8_t> bytes_;
  std::uint8_t current_ = 0;
  int used_ = 0;
};

// A zlib stream of `count` zero bytes: one literal, then copies of 258
// bytes at distance 1, in one block with the fixed codes.
std::vector<std::uint8_t> ZlibZeros(std::uint64_t count) {
  BitWriter bits;
  bits.Bits(1, 1);  // final block
  bits.Bits(1, 2);  // fixed Huffman codes
  std::uint64_t left = count;
  bool first = true;
  while (left > 0) {
    if (!first && left >= 258) {
      bits.Code(0xC5, 8);  // length 258 (symbol 285)
      bits.Code(0, 5);     // distance 1
      left -= 258;
    } else {
      bits.Code(0x30, 8);  // literal 0
      --left;
    }
    first = false;
  }
  bits.Code(0, 7);  // end of block
  std::vector<std::uint8_t> out = {0x78, 0x01};
  const std::vector<std::uint8_t> deflated = bits.Finish();
  out.insert(out.end(), deflated.begin(), deflated.end());
  PutBigEndian(out, static_cast<std::uint32_t>((count % 65521) << 16 | 1));  // Adler-32 of zeros
  return out;
}

constexpr std::size_t kIcoPng = 6 + 16;  // the PNG follows the icon directory

}  // namespace

std::vector<std::uint8_t> MakePngIco(std::uint32_t width, std::uint32_t height, std::uint64_t rowBytes) {
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutBigEndian(header, width);
  PutBigEndian(header, height);
  header.insert(header.end(), {1, 0, 0, 0, 0});  // 1-bit grey, deflate, no filter set, not interlaced
  PutChunk(png, "IHDR", header);
  if (rowBytes == 0) rowBytes = (1 + (static_cast<std::uint64_t>(width) + 7) / 8) * height;
  PutChunk(png, "IDAT", ZlibZeros(rowBytes));
  PutChunk(png, "IEND", {});
  std::vector<std::uint8_t> out;
  Put<WORD>(out, 0);
  Put<WORD>(out, 1);
  Put<WORD>(out, 1);
  out.push_back(static_cast<std::uint8_t>(width < 256 ? width : 0));  // 0 means 256 or more
  out.push_back(static_cast<std::uint8_t>(height < 256 ? height : 0));
  out.insert(out.end(), {0, 0});
  Put<WORD>(out, 1);
  Put<WORD>(out, 32);
  Put<DWORD>(out, static_cast<DWORD>(png.size()));
  Put<DWORD>(out, kIcoPng);
  out.insert(out.end(), png.begin(), png.end());
  return out;
}

void DeclarePngIcoSize(std::vector<std::uint8_t>& ico, std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> size;
  PutBigEndian(size, width);
  PutBigEndian(size, height);
  std::copy(size.begin(), size.end(), ico.begin() + kIcoPng + 16);
  std::vector<std::uint8_t> crc;
  PutBigEndian(crc, Crc32(ico.data() + kIcoPng + 12, 4 + 13));
  std::copy(crc.begin(), crc.end(), ico.begin() + kIcoPng + 8 + 8 + 13);
}

TempDir::TempDir() {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  wchar_t name[64];
  wsprintfW(name, L"ovltest-%lu-%lu", GetCurrentProcessId(), GetTickCount());
  dir_ = std::wstring(base) + name;
  CreateDirectoryW(dir_.c_str(), nullptr);
}

TempDir::~TempDir() {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir_ + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring entry = dir_ + L"\\" + found.cFileName;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (std::wcscmp(found.cFileName, L".") != 0 && std::wcscmp(found.cFileName, L"..") != 0) RemoveDirectoryW(entry.c_str());
      } else {
        DeleteFileW(entry.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(dir_.c_str());
}

std::wstring TempDir::Write(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const {
  const std::wstring path = Path(name);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return path;
}

}  // namespace ovl::testing
