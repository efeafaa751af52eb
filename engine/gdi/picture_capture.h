#pragma once
// Turning files and bitmaps into the pictures the compositor reads: 24-bit
// pixels for the overlay image, stored mask values (255 - grey) for masks.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "engine/core/status_codes.h"

namespace ovl::gdi {

// A picture read successfully but not installed yet.
struct CapturedPicture {
  HBITMAP bitmap = nullptr;
  bool owned = false;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> buffer;  // bottom-up rows, 4-byte aligned

  CapturedPicture() = default;
  CapturedPicture(const CapturedPicture&) = delete;
  CapturedPicture& operator=(const CapturedPicture&) = delete;
  ~CapturedPicture();  // deletes an owned bitmap that was never installed
  HBITMAP Detach();
};

// What a file is, judged from its structure before any platform decoder
// sees it (damaged files can make the decoders read past their end).
enum class ImageFileKind { Unusable, Bitmap, Icon };
ImageFileKind CheckImageFile(const char* ansiName);

// The file as a DIB section when it is a sound BMP file, else null.
HBITMAP LoadBitmapFile(const char* ansiName);

// A BMP of any depth the platform loads, else the colour bitmap of an icon.
// kInvalidArg: neither a bitmap nor an icon; kFail: an icon without a colour
// bitmap, or its copy failed.
HResult LoadImageFile(const char* ansiName, HBITMAP* bitmap);

// The bitmap's pixels converted to 24 bits. kFail when the bitmap cannot be
// read in full or its buffer cannot be allocated.
HResult ImageFromBitmap(HBITMAP bitmap, bool owned, CapturedPicture& picture);

// An 8-bit bitmap with a grey colour table (each entry grey, within 2 of its
// index) as stored mask values. kFail: not 8 bits per pixel or not readable;
// kInvalidArg: the colour table is not a grey ramp.
HResult MaskFromBitmap(HBITMAP bitmap, bool owned, CapturedPicture& mask);

}  // namespace ovl::gdi
