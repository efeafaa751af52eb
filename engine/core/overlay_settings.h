#pragma once
// The filter's settings: the layer table plus the filter-wide values, with the
// accessor rules every control path shares (automation, property page,
// persistence). Effects that need the platform (GDI regions, the background
// surface, the output size and reconnection, pin state, the filter lock) go
// through SettingsHost, which the filter implements.
#include <cstdint>

#include "engine/core/layer_settings.h"

namespace ovl {

// The widest and the tallest frame the filter takes or makes, in pixels (the
// inputs, and a custom OutputWidth / OutputHeight). Curved regions are built
// up to the same extent (engine/gdi/region_builder.cpp), so every shape that
// fits inside a frame is drawn exactly as GDI makes it.
inline constexpr std::int32_t kMaxFrameSide = 1 << 19;

class SettingsHost {
 public:
  virtual ~SettingsHost() = default;

  // The filter lock, also held by the compositor for a whole frame.
  virtual void LockFilter() {}
  virtual void UnlockFilter() {}

  // Deletes the record's region handle and builds a new one (with its pixel
  // coverage) from the record's Region, rectangle and position. Returns
  // kOutOfMemory when a shape was asked for and none could be built.
  virtual HResult RebuildRegion(LayerSettings& layer);

  // A new background colour is stored: refill the background surface
  // if it exists.
  virtual HResult BackgroundColorChanged(std::uint32_t /*colorref*/) { return kOk; }

  // OutputSizeType, OutputWidth or OutputHeight changed, or the settings
  // were reset: recompute the composite size (and reconnect if it changes).
  virtual void OutputSizeSettingsChanged() {}

  // Pin state for the active-layer rules; index 0 is the main input.
  virtual bool InputPinExists(int /*index*/) const { return false; }
  virtual bool InputPinConnected(int /*index*/) const { return false; }
};

// Holds the filter lock of a settings host for a scope.
class FilterLockGuard {
 public:
  explicit FilterLockGuard(SettingsHost& host) : host_(host) { host_.LockFilter(); }
  ~FilterLockGuard() { host_.UnlockFilter(); }
  FilterLockGuard(const FilterLockGuard&) = delete;
  FilterLockGuard& operator=(const FilterLockGuard&) = delete;

 private:
  SettingsHost& host_;
};

struct OverlaySettings {
  LayerTable Layers;
  std::uint32_t BkLayerColor = 0;
  char OverlayImageFileName[kFileNameBytes] = {};
  LoadedPicture OverlayImage;
  std::uint32_t OutputSizeType = OUTPUTSIZETYPE_AUTO;
  std::int32_t OutputWidth = 0;
  std::int32_t OutputHeight = 0;
  std::uint32_t CompositeWidth = 0;  // derived, never stored
  std::uint32_t CompositeHeight = 0;
  std::uint16_t CompositeBitCount = 0;
};

// Accessors with the shared semantics: unknown layer types give kInvalidArg,
// null results kPointer, flags travel as automation booleans.
class SettingsAccess {
 public:
  SettingsAccess(OverlaySettings& settings, SettingsHost& host) : s_(settings), host_(host) {}

  // Fields that only store (any 32-bit value).
  using Int32Field = std::int32_t LayerSettings::*;
  using UInt32Field = std::uint32_t LayerSettings::*;
  HResult GetField(std::uint32_t layerType, Int32Field field, std::int32_t* value) const;
  HResult PutField(std::uint32_t layerType, Int32Field field, std::int32_t value);
  HResult GetTransparentColor(std::uint32_t layerType, std::uint32_t* value) const;
  HResult PutTransparentColor(std::uint32_t layerType, std::uint32_t value);

  // EnableMaskBitmap, EnableOpacity, EnableTransparency.
  HResult GetFlag(std::uint32_t layerType, UInt32Field flag, VariantBool* value) const;
  HResult PutFlag(std::uint32_t layerType, UInt32Field flag, VariantBool value);

  HResult GetOpacity(std::uint32_t layerType, std::int32_t* value) const;
  HResult PutOpacity(std::uint32_t layerType, std::int32_t value);

  HResult GetRegion(std::uint32_t layerType, std::uint32_t* value) const;
  HResult PutRegion(std::uint32_t layerType, std::uint32_t region);
  HResult GetXPos(std::uint32_t layerType, std::int32_t* value) const;
  HResult PutXPos(std::uint32_t layerType, std::int32_t value);
  HResult GetYPos(std::uint32_t layerType, std::int32_t* value) const;
  HResult PutYPos(std::uint32_t layerType, std::int32_t value);

  HResult GetLayerOrder(std::uint32_t layerType, std::int32_t* position) const;
  HResult PutLayerOrder(std::uint32_t layerType, std::int32_t position);

  HResult GetBkLayerColor(std::uint32_t* value) const;
  HResult PutBkLayerColor(std::uint32_t value);

  HResult GetOutputSizeType(std::uint32_t* value) const;
  HResult PutOutputSizeType(std::uint32_t value);
  HResult GetOutputWidth(std::int32_t* value) const;
  HResult PutOutputWidth(std::int32_t value);
  HResult GetOutputHeight(std::int32_t* value) const;
  HResult PutOutputHeight(std::int32_t value);

  HResult ResetToDefaultsEx(std::uint32_t apiLevel);

  HResult GetActiveLayersCount(std::int32_t* count) const;
  HResult GetIsLayerActive(std::uint32_t layerType, VariantBool* active) const;

 private:
  // The per-layer accessors in one shape: a null out-pointer is kPointer, an
  // unknown layer kInvalidArg, and a change is made under the filter lock.
  template <class T, class Read>
  HResult ReadLayer(std::uint32_t layerType, T* value, Read read) const;
  template <class Change>
  HResult ChangeLayer(std::uint32_t layerType, Change change);
  HResult PutPosition(std::uint32_t layerType, std::int32_t LayerSettings::*field, std::int32_t value);
  HResult PutOutputDimension(std::int32_t OverlaySettings::*field, std::int32_t value);

  OverlaySettings& s_;
  SettingsHost& host_;
};

}  // namespace ovl
