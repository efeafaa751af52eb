#pragma once
// Installing, replacing and releasing the overlay image and the layer masks.
// The caller holds the filter lock. A failed load changes nothing: the old
// picture, its buffer, size, name and flags stay as they were.
#include <windows.h>

#include "engine/core/overlay_settings.h"

namespace ovl::gdi {

// A null or empty name unloads. Names longer than 259 ANSI bytes:
// kFileNameTooLong. Loading from a file also resets the overlay layer's
// region rectangle to the image size.
HResult PutOverlayImageFileName(OverlaySettings& settings, const wchar_t* name);
// A client's bitmap: captured now, never deleted by us. kPointer for null.
HResult PutOverlayImageBitmap(OverlaySettings& settings, HBITMAP bitmap);

HResult PutMaskImageFileName(OverlaySettings& settings, std::uint32_t layerType, const wchar_t* name);
HResult PutMaskImageBitmap(OverlaySettings& settings, std::uint32_t layerType, HBITMAP bitmap);

// Deletes the bitmap if we own it, clears flags and size; keeps the buffer.
void ReleasePicture(LoadedPicture& picture);
// At destruction: the overlay image, every mask and every region.
void ReleaseAll(OverlaySettings& settings);

// The 32-bit handle variants take the value sign-extended to 64 bits.
inline HBITMAP BitmapFromLong(long value) {
  return reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(value));
}

}  // namespace ovl::gdi
