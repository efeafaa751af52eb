#pragma once
// Enumerations shared with the automation interface; their values are part of
// the public contract and never change.
#include <cstdint>

namespace ovl {

enum LayerTypeConstants : std::uint32_t {
  LAYERTYPE_BACKGROUND = 0,
  LAYERTYPE_VIDEO1 = 1,
  LAYERTYPE_VIDEO2 = 2,
  LAYERTYPE_OVERLAYIMAGE = 3,
};

enum RegionConstants : std::uint32_t {
  REGION_NONE = 0,
  REGION_RECT = 1,
  REGION_ROUNDRECT = 2,
  REGION_ELLIPSE = 3,
};

enum OutputSizeTypeConstants : std::uint32_t {
  OUTPUTSIZETYPE_AUTO = 0,
  OUTPUTSIZETYPE_CUSTOM = 1,
};

enum KMVOverlay_APILEVEL : std::uint32_t {
  KMVOverlay_APILEVEL_1 = 0,
};

inline constexpr int kLayerCount = 4;

// Automation booleans: getters report -1 / 0; setters treat only -1 as true.
using VariantBool = std::int16_t;
inline constexpr VariantBool kVariantTrue = -1;
inline constexpr VariantBool kVariantFalse = 0;

inline constexpr VariantBool ToVariantBool(std::uint32_t flag) {
  return flag != 0 ? kVariantTrue : kVariantFalse;
}
inline constexpr std::uint32_t FlagFromVariantBool(VariantBool value) {
  return value == kVariantTrue ? 1u : 0u;
}

}  // namespace ovl
