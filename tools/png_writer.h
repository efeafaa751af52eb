#pragma once
// Writes a 24-bit bottom-up picture as a PNG file (uncompressed deflate
// blocks: larger than needed, but any viewer opens it and no library is
// required).
#include <string>

#include "engine/pixel_image.h"

namespace ovl::tools {

bool WritePng(const std::string& path, ovl::ConstRgbView picture);

}  // namespace ovl::tools
