#include "tools/png_writer.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <vector>

namespace ovl::tools {
namespace {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void Chunk(std::vector<std::uint8_t>& file, const char type[4], const std::vector<std::uint8_t>& body) {
  PutBigEndian(file, static_cast<std::uint32_t>(body.size()));
  const std::size_t start = file.size();
  file.insert(file.end(), type, type + 4);
  file.insert(file.end(), body.begin(), body.end());
  PutBigEndian(file, Crc32(file.data() + start, file.size() - start));
}

}  // namespace

bool WritePng(const std::string& path, ovl::ConstRgbView picture) {
  if (!picture.Present() || picture.width <= 0 || picture.height <= 0) return false;
  // Raw scanlines, top row first, RGB order, each with filter byte 0.
  std::vector<std::uint8_t> raw;
  raw.reserve((3 * static_cast<std::size_t>(picture.width) + 1) * picture.height);
  for (std::int32_t y = 0; y < picture.height; ++y) {
    raw.push_back(0);
    const std::uint8_t* row = picture.RowFromTop(y);
    for (std::int32_t x = 0; x < picture.width; ++x) {
      raw.push_back(row[3 * x + 2]);
      raw.push_back(row[3 * x + 1]);
      raw.push_back(row[3 * x]);
    }
  }
  // zlib stream of stored blocks with an Adler-32 trailer.
  std::vector<std::uint8_t> z{0x78, 0x01};
  for (std::size_t pos = 0; pos < raw.size() || raw.empty();) {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
    const bool last = pos + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(n & 0xFF);
    z.push_back(n >> 8);
    z.push_back(~n & 0xFF);
    z.push_back((~n >> 8) & 0xFF);
    z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
    pos += n;
    if (last) break;
  }
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  PutBigEndian(z, (b << 16) | a);

  std::vector<std::uint8_t> file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutBigEndian(header, static_cast<std::uint32_t>(picture.width));
  PutBigEndian(header, static_cast<std::uint32_t>(picture.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
  Chunk(file, "IHDR", header);
  Chunk(file, "IDAT", z);
  Chunk(file, "IEND", {});
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return static_cast<bool>(out);
}

}  // namespace ovl::tools
