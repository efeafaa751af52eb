#include "engine/core/image_file_check.h"

#include <cstring>

namespace ovl {
namespace {

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
std::int32_t S32(const std::uint8_t* p) { return static_cast<std::int32_t>(U32(p)); }
std::uint32_t BigEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

bool DepthAllowed(std::uint32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

std::uint64_t RowBytes(std::uint64_t width, std::uint32_t bits) { return ((width * bits + 31) / 32) * 4; }

bool SizeAllowed(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) return false;
  return RowBytes(static_cast<std::uint64_t>(width), 24) * static_cast<std::uint64_t>(height) <= kMaxDecodedPictureBytes;
}

// A device-independent bitmap: `info` points at its header, `available`
// bytes of header, table and (when `pixels` is null) pixels follow it.
// `pixels`/`pixelBytes` give the pixel data when it lies elsewhere.
struct Dib {
  std::uint64_t headerAndTable = 0;  // bytes from the header to the end of the colour table
  std::uint64_t pixelBytes = 0;      // bytes of pixel data the header implies
  bool compressed = false;
};

bool ReadDib(const std::uint8_t* info, std::size_t available, bool icon, Dib& dib) {
  if (available < 4) return false;
  const std::uint32_t headerSize = U32(info);
  if (headerSize == 12) {  // the old core header: 16-bit sizes, 3-byte colour entries
    if (icon || available < 12) return false;
    const std::uint16_t width = U16(info + 4), height = U16(info + 6), planes = U16(info + 8), bits = U16(info + 10);
    if (planes != 1 || !(bits == 1 || bits == 4 || bits == 8 || bits == 24) || !SizeAllowed(width, height)) return false;
    dib.headerAndTable = 12 + (bits <= 8 ? 3ull << bits : 0);
    dib.pixelBytes = RowBytes(width, bits) * height;
    return dib.headerAndTable <= available;
  }
  if (!(headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 || headerSize == 124)) return false;
  if (available < headerSize) return false;
  const std::int32_t width = S32(info + 4);
  std::int64_t height = S32(info + 8);
  const std::uint16_t planes = U16(info + 12), bits = U16(info + 14);
  const std::uint32_t compression = U32(info + 16), sizeImage = U32(info + 20), clrUsed = U32(info + 32);
  if (icon) {
    // An icon image stores its colour rows and mask rows: twice the height.
    if (height <= 0 || height % 2 != 0 || compression != kRgb) return false;
    height /= 2;
  }
  if (height < 0) {
    height = -height;  // top-down rows; compressed bitmaps cannot be top-down
    if (compression == kRle8 || compression == kRle4) return false;
  }
  if (planes != 1 || !DepthAllowed(bits) || !SizeAllowed(width, height)) return false;
  std::uint64_t masks = 0;
  switch (compression) {
    case kRgb: break;
    case kRle8: if (bits != 8) return false; break;
    case kRle4: if (bits != 4) return false; break;
    case kBitfields:
      if (bits != 16 && bits != 32) return false;
      if (headerSize == 40) masks = 12;  // three masks follow the short header
      break;
    default: return false;  // embedded JPEG/PNG and unknown schemes
  }
  const std::uint64_t maxColours = bits <= 8 ? 1ull << bits : 256;
  if (clrUsed > maxColours) return false;
  const std::uint64_t colours = clrUsed != 0 ? clrUsed : (bits <= 8 ? 1ull << bits : 0);
  dib.headerAndTable = headerSize + masks + 4 * colours;
  dib.compressed = compression == kRle8 || compression == kRle4;
  if (dib.compressed) {
    if (sizeImage == 0) return false;
    dib.pixelBytes = sizeImage;
  } else {
    dib.pixelBytes = RowBytes(static_cast<std::uint64_t>(width), bits) * static_cast<std::uint64_t>(height);
  }
  if (icon) dib.pixelBytes += RowBytes(static_cast<std::uint64_t>(width), 1) * static_cast<std::uint64_t>(height);
  return dib.headerAndTable <= available;
}

// A PNG image inside an icon. The platform decodes it whole before anything
// can look at its size, so the size is read from its header chunk (IHDR,
// which must come first) and held to the limit of every other picture.
bool IsSoundPngImage(const std::uint8_t* image, std::uint64_t bytes) {
  constexpr std::uint64_t kSignature = 8, kHeaderChunk = 4 + 4 + 13 + 4;  // length, type, fields, CRC
  if (bytes < kSignature + kHeaderChunk) return false;
  const std::uint8_t* chunk = image + kSignature;
  if (BigEndian32(chunk) != 13 || std::memcmp(chunk + 4, "IHDR", 4) != 0) return false;
  return SizeAllowed(BigEndian32(chunk + 8), BigEndian32(chunk + 12));
}

}  // namespace

bool IsSoundBmpFile(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kFileHeader = 14;
  if (data == nullptr || size < kFileHeader + 12 || data[0] != 'B' || data[1] != 'M') return false;
  Dib dib;
  if (!ReadDib(data + kFileHeader, size - kFileHeader, false, dib)) return false;
  const std::uint64_t offset = U32(data + 10);
  if (offset < kFileHeader + dib.headerAndTable) return false;
  return offset + dib.pixelBytes <= size;
}

bool IsSoundIcoFile(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < 6 || U16(data) != 0 || U16(data + 2) != 1) return false;
  const std::uint16_t count = U16(data + 4);
  if (count == 0 || 6 + 16ull * count > size) return false;
  static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = data + 6 + 16 * i;
    const std::uint64_t bytes = U32(entry + 8), offset = U32(entry + 12);
    if (bytes < 8 || offset < 6 + 16ull * count || offset + bytes > size) return false;
    const std::uint8_t* image = data + offset;
    // PNG is the one compressed form the platform decodes in an icon; any
    // other image must be a plain device-independent bitmap.
    if (std::memcmp(image, kPng, sizeof(kPng)) == 0) {
      if (!IsSoundPngImage(image, bytes)) return false;
      continue;
    }
    Dib dib;
    if (!ReadDib(image, static_cast<std::size_t>(bytes), true, dib)) return false;
    if (dib.headerAndTable + dib.pixelBytes > bytes) return false;
  }
  return true;
}

}  // namespace ovl
