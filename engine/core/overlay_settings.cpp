#include "engine/core/overlay_settings.h"

namespace ovl {

HResult SettingsHost::RebuildRegion(LayerSettings& layer) {
  // Without a platform there is no region to build: the layer is unlimited.
  layer.RegionHandle = nullptr;
  layer.RegionCoverage.Clear();
  return kOk;
}

template <class T, class Read>
HResult SettingsAccess::ReadLayer(std::uint32_t layerType, T* value, Read read) const {
  if (value == nullptr) return kPointer;
  const LayerSettings* layer = s_.Layers.FindLayer(layerType);
  if (layer == nullptr) return kInvalidArg;
  *value = read(*layer);
  return kOk;
}

template <class Change>
HResult SettingsAccess::ChangeLayer(std::uint32_t layerType, Change change) {
  FilterLockGuard lock(host_);
  LayerSettings* layer = s_.Layers.FindLayer(layerType);
  if (layer == nullptr) return kInvalidArg;
  return change(*layer);
}

HResult SettingsAccess::GetField(std::uint32_t layerType, Int32Field field,
                                 std::int32_t* value) const {
  return ReadLayer(layerType, value, [&](const LayerSettings& layer) { return layer.*field; });
}

HResult SettingsAccess::PutField(std::uint32_t layerType, Int32Field field, std::int32_t value) {
  return ChangeLayer(layerType, [&](LayerSettings& layer) {
    layer.*field = value;
    return kOk;
  });
}

HResult SettingsAccess::GetTransparentColor(std::uint32_t layerType, std::uint32_t* value) const {
  return ReadLayer(layerType, value, [](const LayerSettings& layer) { return layer.TransparentColor; });
}

HResult SettingsAccess::PutTransparentColor(std::uint32_t layerType, std::uint32_t value) {
  return ChangeLayer(layerType, [&](LayerSettings& layer) {
    layer.TransparentColor = value;
    return kOk;
  });
}

HResult SettingsAccess::GetFlag(std::uint32_t layerType, UInt32Field flag,
                                VariantBool* value) const {
  return ReadLayer(layerType, value, [&](const LayerSettings& layer) { return ToVariantBool(layer.*flag); });
}

HResult SettingsAccess::PutFlag(std::uint32_t layerType, UInt32Field flag, VariantBool value) {
  return ChangeLayer(layerType, [&](LayerSettings& layer) {
    layer.*flag = FlagFromVariantBool(value);
    return kOk;
  });
}

HResult SettingsAccess::GetOpacity(std::uint32_t layerType, std::int32_t* value) const {
  return GetField(layerType, &LayerSettings::Opacity, value);
}

HResult SettingsAccess::PutOpacity(std::uint32_t layerType, std::int32_t value) {
  return ChangeLayer(layerType, [&](LayerSettings& layer) {
    layer.Opacity = value;
    layer.OpacityLevel = OpacityLevelFromOpacity(value);
    return kOk;
  });
}

HResult SettingsAccess::GetRegion(std::uint32_t layerType, std::uint32_t* value) const {
  return ReadLayer(layerType, value, [](const LayerSettings& layer) { return layer.Region; });
}

HResult SettingsAccess::PutRegion(std::uint32_t layerType, std::uint32_t region) {
  return ChangeLayer(layerType, [&](LayerSettings& layer) {
    if (region > REGION_ELLIPSE) return kInvalidArg;
    layer.Region = region;
    return host_.RebuildRegion(layer);
  });
}

HResult SettingsAccess::PutPosition(std::uint32_t layerType, std::int32_t LayerSettings::*field,
                                    std::int32_t value) {
  return ChangeLayer(layerType, [&](LayerSettings& layer) {
    layer.*field = value < 0 ? 0 : value;
    // The rebuild's own result is not reported: a failed shape leaves the
    // layer unlimited, as a failed Region put does.
    (void)host_.RebuildRegion(layer);
    return kOk;
  });
}

HResult SettingsAccess::GetXPos(std::uint32_t layerType, std::int32_t* value) const {
  return GetField(layerType, &LayerSettings::XPos, value);
}
HResult SettingsAccess::PutXPos(std::uint32_t layerType, std::int32_t value) {
  return PutPosition(layerType, &LayerSettings::XPos, value);
}
HResult SettingsAccess::GetYPos(std::uint32_t layerType, std::int32_t* value) const {
  return GetField(layerType, &LayerSettings::YPos, value);
}
HResult SettingsAccess::PutYPos(std::uint32_t layerType, std::int32_t value) {
  return PutPosition(layerType, &LayerSettings::YPos, value);
}

HResult SettingsAccess::GetLayerOrder(std::uint32_t layerType, std::int32_t* position) const {
  if (position == nullptr) return kPointer;
  const int found = s_.Layers.FindPosition(layerType);
  if (found < 0) return kInvalidArg;
  *position = found;
  return kOk;
}

HResult SettingsAccess::PutLayerOrder(std::uint32_t layerType, std::int32_t position) {
  FilterLockGuard lock(host_);
  return s_.Layers.MoveLayer(layerType, static_cast<std::uint32_t>(position));
}

HResult SettingsAccess::GetBkLayerColor(std::uint32_t* value) const {
  if (value == nullptr) return kPointer;
  *value = s_.BkLayerColor;
  return kOk;
}

HResult SettingsAccess::PutBkLayerColor(std::uint32_t value) {
  FilterLockGuard lock(host_);
  s_.BkLayerColor = value;
  return host_.BackgroundColorChanged(value);
}

HResult SettingsAccess::GetOutputSizeType(std::uint32_t* value) const {
  if (value == nullptr) return kPointer;
  *value = s_.OutputSizeType;
  return kOk;
}

// The output-size setters do not take the filter lock: the recomputation may
// stop and reconnect the graph, which waits for the streaming threads.
HResult SettingsAccess::PutOutputSizeType(std::uint32_t value) {
  if (value == s_.OutputSizeType) return kOk;
  s_.OutputSizeType = value;
  host_.OutputSizeSettingsChanged();
  return kOk;
}

HResult SettingsAccess::PutOutputDimension(std::int32_t OverlaySettings::*field,
                                           std::int32_t value) {
  if (value < 0 || value > kMaxFrameSide) return kInvalidArg;
  if (s_.*field == value) return kOk;
  s_.*field = value;
  host_.OutputSizeSettingsChanged();
  return kOk;
}

HResult SettingsAccess::GetOutputWidth(std::int32_t* value) const {
  if (value == nullptr) return kPointer;
  *value = s_.OutputWidth;
  return kOk;
}
HResult SettingsAccess::PutOutputWidth(std::int32_t value) {
  return PutOutputDimension(&OverlaySettings::OutputWidth, value);
}
HResult SettingsAccess::GetOutputHeight(std::int32_t* value) const {
  if (value == nullptr) return kPointer;
  *value = s_.OutputHeight;
  return kOk;
}
HResult SettingsAccess::PutOutputHeight(std::int32_t value) {
  return PutOutputDimension(&OverlaySettings::OutputHeight, value);
}

HResult SettingsAccess::ResetToDefaultsEx(std::uint32_t apiLevel) {
  if (apiLevel != KMVOverlay_APILEVEL_1) return kInvalidArg;
  // Stored values only: region handles, loaded masks, the overlay image and
  // the background surface stay in force until their setters run again.
  s_.Layers.ResetStoredValues();
  s_.BkLayerColor = 0;
  s_.OverlayImageFileName[0] = '\0';
  s_.OutputSizeType = OUTPUTSIZETYPE_AUTO;
  s_.OutputWidth = 0;
  s_.OutputHeight = 0;
  host_.OutputSizeSettingsChanged();
  return kOk;
}

HResult SettingsAccess::GetActiveLayersCount(std::int32_t* count) const {
  if (count == nullptr) return kPointer;
  std::int32_t active = 1;  // the background always counts
  if (s_.OverlayImage.Loaded) ++active;
  if (host_.InputPinConnected(0)) ++active;
  if (host_.InputPinConnected(1)) ++active;
  *count = active;
  return kOk;
}

HResult SettingsAccess::GetIsLayerActive(std::uint32_t layerType, VariantBool* active) const {
  if (active == nullptr) return kPointer;
  bool result = false;
  switch (layerType) {
    case LAYERTYPE_BACKGROUND: result = true; break;
    case LAYERTYPE_VIDEO1: result = host_.InputPinExists(0); break;
    case LAYERTYPE_VIDEO2: result = host_.InputPinExists(1); break;
    case LAYERTYPE_OVERLAYIMAGE: result = s_.OverlayImage.Loaded != 0; break;
    default: return kInvalidArg;
  }
  *active = ToVariantBool(result ? 1u : 0u);
  return kOk;
}

}  // namespace ovl
