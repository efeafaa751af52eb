#pragma once
// Structural checks of BMP and ICO files before the platform decodes them.
//
// The platform's loaders trust the sizes and offsets a file declares; a
// damaged or hostile file can make them read far past its end. A file is
// handed to them only when everything it declares lies inside it: headers,
// colour table, bit masks and every byte of pixel data its dimensions imply.
#include <cstddef>
#include <cstdint>

namespace ovl {

// Pictures beyond this many bytes (as 24-bit pixels) are refused as not loadable.
inline constexpr std::uint64_t kMaxDecodedPictureBytes = 512ull << 20;

bool IsSoundBmpFile(const std::uint8_t* data, std::size_t size);
bool IsSoundIcoFile(const std::uint8_t* data, std::size_t size);

}  // namespace ovl
