#include "engine/gdi/picture_capture.h"

#include <cstdlib>
#include <new>

#include "engine/core/image_file_check.h"
#include "engine/core/pixel_image.h"

namespace ovl::gdi {
namespace {

// Buffers beyond this are refused as unreadable rather than attempted.
constexpr std::uint64_t kMaxPictureBytes = 512ull << 20;

struct BitmapInfo256 {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
};

bool BitmapSize(HBITMAP bitmap, BITMAP& info) {
  if (GetObjectW(bitmap, sizeof(info), &info) != sizeof(info)) return false;
  info.bmHeight = std::abs(info.bmHeight);
  return info.bmWidth > 0 && info.bmHeight > 0;
}

// Reads all rows of `bitmap` into `buffer` in the format `header` asks for.
bool ReadRows(HBITMAP bitmap, BITMAPINFO* format, std::vector<std::uint8_t>& buffer) {
  const auto& header = format->bmiHeader;
  if (header.biSizeImage == 0 || header.biSizeImage > kMaxPictureBytes) return false;
  try {
    buffer.assign(header.biSizeImage, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  HDC context = CreateCompatibleDC(nullptr);
  if (context == nullptr) return false;
  const int lines = GetDIBits(context, bitmap, 0, static_cast<UINT>(header.biHeight), buffer.data(),
                              format, DIB_RGB_COLORS);
  DeleteDC(context);
  return lines == header.biHeight;
}

BITMAPINFOHEADER Header(std::int32_t width, std::int32_t height, WORD bits, std::uint64_t stride) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = bits;
  header.biCompression = BI_RGB;
  const std::uint64_t bytes = stride * static_cast<std::uint64_t>(height);
  header.biSizeImage = bytes > kMaxPictureBytes ? 0 : static_cast<DWORD>(bytes);
  return header;
}

// Reads the whole file (refusing files larger than any loadable picture).
bool ReadWholeFile(const char* ansiName, std::vector<std::uint8_t>& bytes) {
  HANDLE file = CreateFileA(ansiName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
            static_cast<std::uint64_t>(size.QuadPart) <= kMaxDecodedPictureBytes;
  if (ok) {
    try {
      bytes.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  DWORD read = 0;
  ok = ok && ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
  CloseHandle(file);
  return ok;
}

}  // namespace

ImageFileKind CheckImageFile(const char* ansiName) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(ansiName, bytes)) return ImageFileKind::Unusable;
  if (IsSoundBmpFile(bytes.data(), bytes.size())) return ImageFileKind::Bitmap;
  if (IsSoundIcoFile(bytes.data(), bytes.size())) return ImageFileKind::Icon;
  return ImageFileKind::Unusable;
}

HBITMAP LoadBitmapFile(const char* ansiName) {
  if (CheckImageFile(ansiName) != ImageFileKind::Bitmap) return nullptr;
  return static_cast<HBITMAP>(LoadImageA(nullptr, ansiName, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

CapturedPicture::~CapturedPicture() {
  if (bitmap != nullptr && owned) DeleteObject(bitmap);
}

HBITMAP CapturedPicture::Detach() {
  HBITMAP result = bitmap;
  bitmap = nullptr;
  return result;
}

HResult LoadImageFile(const char* ansiName, HBITMAP* bitmap) {
  *bitmap = nullptr;
  const ImageFileKind kind = CheckImageFile(ansiName);
  if (kind == ImageFileKind::Bitmap) {
    *bitmap = static_cast<HBITMAP>(
        LoadImageA(nullptr, ansiName, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (*bitmap != nullptr) return kOk;
  }
  if (kind != ImageFileKind::Icon) return kInvalidArg;
  HICON icon = static_cast<HICON>(LoadImageA(nullptr, ansiName, IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
  if (icon == nullptr) return kInvalidArg;
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) {
    DestroyIcon(icon);
    return kFail;
  }
  // GetIconInfo hands out copies of both bitmaps; only a copy of the colour
  // picture is kept (the transparency mask is not used).
  if (info.hbmColor != nullptr) {
    *bitmap = static_cast<HBITMAP>(CopyImage(info.hbmColor, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    DeleteObject(info.hbmColor);
  }
  if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
  DestroyIcon(icon);
  return *bitmap != nullptr ? kOk : kFail;
}

HResult ImageFromBitmap(HBITMAP bitmap, bool owned, CapturedPicture& picture) {
  picture.bitmap = bitmap;
  picture.owned = owned;
  BITMAP info{};
  if (!BitmapSize(bitmap, info)) return kFail;
  BITMAPINFO format{};
  format.bmiHeader = Header(info.bmWidth, info.bmHeight, 24, RgbStride(info.bmWidth));
  if (!ReadRows(bitmap, &format, picture.buffer)) return kFail;
  picture.width = info.bmWidth;
  picture.height = info.bmHeight;
  return kOk;
}

HResult MaskFromBitmap(HBITMAP bitmap, bool owned, CapturedPicture& mask) {
  mask.bitmap = bitmap;
  mask.owned = owned;
  BITMAP info{};
  if (!BitmapSize(bitmap, info) || info.bmBitsPixel != 8) return kFail;
  BitmapInfo256 format{};
  format.header = Header(info.bmWidth, info.bmHeight, 8, MaskStride(info.bmWidth));
  if (!ReadRows(bitmap, reinterpret_cast<BITMAPINFO*>(&format), mask.buffer)) return kFail;
  for (int i = 0; i < 256; ++i) {
    const RGBQUAD& c = format.colors[i];
    if (c.rgbBlue != c.rgbGreen || c.rgbBlue != c.rgbRed || std::abs(c.rgbBlue - i) > 2) return kInvalidArg;
  }
  const std::size_t stride = MaskStride(info.bmWidth);
  for (std::int32_t y = 0; y < info.bmHeight; ++y) {
    std::uint8_t* row = mask.buffer.data() + static_cast<std::size_t>(y) * stride;
    for (std::int32_t x = 0; x < info.bmWidth; ++x) row[x] = static_cast<std::uint8_t>(255 - format.colors[row[x]].rgbBlue);
  }
  mask.width = info.bmWidth;
  mask.height = info.bmHeight;
  return kOk;
}

}  // namespace ovl::gdi
