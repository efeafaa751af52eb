#pragma once
// The four layer records and the search, swap and reset rules over them.
// The array index of a record is its drawing position (0 is drawn first);
// each record names the layer type it describes, and the four records always
// hold the four types exactly once.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/layer_types.h"
#include "engine/core/pixel_image.h"
#include "engine/core/region_spans.h"
#include "engine/core/status_codes.h"

namespace ovl {

// Windows handles (HRGN, HBITMAP, HDC) held opaquely so the model stays portable.
using NativeHandle = void*;

inline constexpr std::size_t kFileNameBytes = 260;  // ANSI, NUL-terminated

// A picture installed from a file or a client's bitmap: the overlay image
// (24-bit pixels) or a layer's mask (8-bit stored values, 255 - grey).
// Releasing clears the flags, handles and header but keeps the buffer until
// the next load, so a failed load can leave everything as it was.
struct LoadedPicture {
  std::uint32_t Loaded = 0;
  std::uint32_t Owned = 0;  // 1 when the filter created the bitmap and deletes it
  NativeHandle Bitmap = nullptr;
  std::int32_t Width = 0;   // header width and height; 0 when released
  std::int32_t Height = 0;
  std::vector<std::uint8_t> Buffer;

  ConstRgbView RgbPixels() const {
    return Loaded ? ConstRgbView(Buffer.data(), Width, Height) : ConstRgbView();
  }
  MaskView MaskValues() const {
    if (!Loaded) return MaskView{};
    return MaskView{Buffer.data(), Width, Height, MaskStride(Width)};
  }
};

struct LayerSettings {
  std::uint32_t LayerType = 0;
  std::uint32_t Region = REGION_NONE;
  NativeHandle RegionHandle = nullptr;  // runtime only, never stored
  RegionSpans RegionCoverage;           // the handle's pixels, rebuilt with it
  std::uint32_t TransparentColor = 0;
  std::uint32_t EnableMaskBitmap = 0;
  std::uint32_t EnableOpacity = 0;
  std::uint32_t EnableTransparency = 0;
  std::int32_t Opacity = 100;
  std::uint8_t OpacityLevel = 255;
  std::int32_t XPos = 0;
  std::int32_t YPos = 0;
  std::int32_t RgnLeft = 0;
  std::int32_t RgnTop = 0;
  std::int32_t RgnRight = 1920;
  std::int32_t RgnBottom = 1080;
  std::int32_t RgnRoundRectEllipseWidth = 10;
  std::int32_t RgnRoundRectEllipseHeight = 10;
  LoadedPicture Mask;
  char MaskImageFileName[kFileNameBytes] = {};

  bool HasRegion() const { return RegionHandle != nullptr; }
  // Writes the stored defaults of position `position`; runtime state
  // (region handle and coverage, loaded mask) is left as it is.
  void ResetStoredValues(std::uint32_t position);

  // The layer's source now has this size: the stored region rectangle and
  // corner ellipse follow it (the handle in force is rebuilt only by the
  // next Region, XPos or YPos put).
  void ResetRegionToSource(std::int32_t width, std::int32_t height);
};

// OpacityLevel is the low 8 bits of Opacity * 255 / 100 in signed 32-bit
// arithmetic (truncating division, no range check).
std::uint8_t OpacityLevelFromOpacity(std::int32_t opacity);

class LayerTable {
 public:
  LayerTable();

  // Position of the first record of that type, or -1 (any type outside 0..3).
  int FindPosition(std::uint32_t layerType) const;
  LayerSettings* FindLayer(std::uint32_t layerType);
  const LayerSettings* FindLayer(std::uint32_t layerType) const;

  // Moves a layer to `newPosition` by trading whole records with the layer
  // that stands there. kInvalidArg for an unknown type or a position >= 4.
  HResult MoveLayer(std::uint32_t layerType, std::uint32_t newPosition);

  // Stored defaults for every position (type i at position i).
  void ResetStoredValues();

  LayerSettings& operator[](std::size_t position) { return records_[position]; }
  const LayerSettings& operator[](std::size_t position) const { return records_[position]; }
  static constexpr std::size_t size() { return kLayerCount; }

 private:
  std::array<LayerSettings, kLayerCount> records_;
};

}  // namespace ovl
