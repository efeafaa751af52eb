#include "engine/core/layer_settings.h"

#include <algorithm>
#include <utility>

namespace ovl {

void LayerSettings::ResetStoredValues(std::uint32_t position) {
  LayerType = position;
  Region = REGION_NONE;
  TransparentColor = 0;
  EnableMaskBitmap = 0;
  EnableOpacity = 0;
  EnableTransparency = 0;
  Opacity = 100;
  OpacityLevel = 255;
  XPos = 0;
  YPos = 0;
  RgnLeft = 0;
  RgnTop = 0;
  RgnRight = 1920;
  RgnBottom = 1080;
  RgnRoundRectEllipseWidth = 10;
  RgnRoundRectEllipseHeight = 10;
  MaskImageFileName[0] = '\0';
}

void LayerSettings::ResetRegionToSource(std::int32_t width, std::int32_t height) {
  RgnRight = width;
  RgnLeft = std::min(RgnLeft, width - 1);
  RgnBottom = height;
  RgnTop = std::min(RgnTop, height - 1);
  RgnRoundRectEllipseWidth = std::min(RgnRoundRectEllipseWidth, width);
  RgnRoundRectEllipseHeight = std::min(RgnRoundRectEllipseHeight, height);
}

std::uint8_t OpacityLevelFromOpacity(std::int32_t opacity) {
  // Computed in 64 bits and wrapped, which is what 32-bit arithmetic gives
  // without relying on signed overflow.
  const std::int64_t product = static_cast<std::int64_t>(opacity) * 255;
  const auto wrapped = static_cast<std::int32_t>(static_cast<std::uint32_t>(product));
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(wrapped / 100) & 0xFFu);
}

LayerTable::LayerTable() { ResetStoredValues(); }

int LayerTable::FindPosition(std::uint32_t layerType) const {
  for (int position = 0; position < kLayerCount; ++position) {
    if (records_[position].LayerType == layerType) return position;
  }
  return -1;
}

LayerSettings* LayerTable::FindLayer(std::uint32_t layerType) {
  const int position = FindPosition(layerType);
  return position < 0 ? nullptr : &records_[position];
}

const LayerSettings* LayerTable::FindLayer(std::uint32_t layerType) const {
  const int position = FindPosition(layerType);
  return position < 0 ? nullptr : &records_[position];
}

HResult LayerTable::MoveLayer(std::uint32_t layerType, std::uint32_t newPosition) {
  const int current = FindPosition(layerType);
  if (current < 0 || newPosition >= static_cast<std::uint32_t>(kLayerCount)) return kInvalidArg;
  if (static_cast<std::uint32_t>(current) != newPosition) {
    std::swap(records_[current], records_[newPosition]);
  }
  return kOk;
}

void LayerTable::ResetStoredValues() {
  for (std::uint32_t position = 0; position < kLayerCount; ++position) {
    records_[position].ResetStoredValues(position);
  }
}

}  // namespace ovl
