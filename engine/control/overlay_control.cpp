#include "engine/control/overlay_control.h"

#include <cstdint>
#include <cstring>

#include "engine/control/bstr_text.h"
#include "engine/gdi/picture_install.h"

namespace {

// Enumeration arguments are read as the 32 bits the caller passed: a client
// may pass any value, and out-of-range values must reach the checks.
template <class Enum>
std::uint32_t Bits(Enum value) {
  static_assert(sizeof(Enum) == sizeof(std::uint32_t), "automation enumerations are 32-bit");
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}
template <class Enum>
void StoreBits(Enum* out, std::uint32_t bits) {
  static_assert(sizeof(Enum) == sizeof(std::uint32_t), "automation enumerations are 32-bit");
  std::memcpy(out, &bits, sizeof bits);
}

// Getters check the result pointer before anything else, then let the
// settings accessor check the layer type and read the value.
template <class Out, class In, class Read>
HRESULT ReadInto(Out* out, Read read) {
  if (out == nullptr) return E_POINTER;
  In value{};
  const HRESULT hr = read(&value);
  if (SUCCEEDED(hr)) *out = static_cast<Out>(value);
  return hr;
}

HBITMAP BitmapFromHandleValue(INT64 value) { return reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(value)); }

}  // namespace

ovl::SettingsAccess COverlayControl::Access() const {
  return ovl::SettingsAccess(m_host.OverlaySettingsRecord(), m_host.OverlaySettingsHost());
}

// ------------------------------------------------------------ layers

HRESULT COverlayControl::get_ActiveLayersCount(LONG* pVal) {
  return ReadInto<LONG, std::int32_t>(pVal, [&](std::int32_t* v) { return Access().GetActiveLayersCount(v); });
}

HRESULT COverlayControl::get_IsLayerActive(LayerTypeConstants LayerType, VARIANT_BOOL* pVal) {
  return ReadInto<VARIANT_BOOL, ovl::VariantBool>(
      pVal, [&](ovl::VariantBool* v) { return Access().GetIsLayerActive(Bits(LayerType), v); });
}

HRESULT COverlayControl::get_LayerOrder(LayerTypeConstants LayerType, LONG* pVal) {
  return ReadInto<LONG, std::int32_t>(pVal,
                                      [&](std::int32_t* v) { return Access().GetLayerOrder(Bits(LayerType), v); });
}

HRESULT COverlayControl::put_LayerOrder(LayerTypeConstants LayerType, LONG newVal) {
  return Access().PutLayerOrder(Bits(LayerType), newVal);
}

HRESULT COverlayControl::GetLayerInfo(LayerTypeConstants LayerType, LONG* pWidth, LONG* pHeight,
                                      LONG* pBitsPerPixel) {
  if (pWidth == nullptr || pHeight == nullptr || pBitsPerPixel == nullptr) return E_POINTER;
  const std::uint32_t type = Bits(LayerType);
  if (type > ovl::LAYERTYPE_OVERLAYIMAGE) return E_INVALIDARG;
  const ovl::OverlaySettings& s = m_host.OverlaySettingsRecord();
  LONG width = 0, height = 0, bits = 0;
  switch (type) {
    case ovl::LAYERTYPE_BACKGROUND:
      width = static_cast<LONG>(s.CompositeWidth);
      height = static_cast<LONG>(s.CompositeHeight);
      bits = s.CompositeBitCount;
      break;
    case ovl::LAYERTYPE_VIDEO1:
    case ovl::LAYERTYPE_VIDEO2: {
      BITMAPINFOHEADER header;
      if (m_host.VideoSourceHeader(type == ovl::LAYERTYPE_VIDEO1 ? 0 : 1, &header)) {
        width = header.biWidth;
        height = header.biHeight < 0 ? -header.biHeight : header.biHeight;  // rows, whichever way up
        bits = header.biBitCount;
      }
      break;
    }
    default:
      if (s.OverlayImage.Loaded) {
        width = s.OverlayImage.Width;
        height = s.OverlayImage.Height;
        bits = 24;  // installed pictures are always converted to 24 bits
      }
      break;
  }
  *pWidth = width;
  *pHeight = height;
  *pBitsPerPixel = bits;
  return S_OK;
}

// ------------------------------------------------------------ overlay image

HRESULT COverlayControl::get_OverlayImageFileName(BSTR* pVal) {
  if (pVal == nullptr) return E_POINTER;
  char name[ovl::kFileNameBytes];
  {
    // Copied under the lock: a loader may be writing the field.
    ovl::FilterLockGuard lock(m_host.OverlaySettingsHost());
    std::memcpy(name, m_host.OverlaySettingsRecord().OverlayImageFileName, sizeof name);
  }
  return ovl::control::AnsiToBstr(name, sizeof name, pVal);
}

HRESULT COverlayControl::put_OverlayImageFileName(BSTR newVal) {
  ovl::FilterLockGuard lock(m_host.OverlaySettingsHost());
  return ovl::gdi::PutOverlayImageFileName(m_host.OverlaySettingsRecord(), newVal);
}

HRESULT COverlayControl::put_OverlayImageDIBPointer(LONG newVal) {
  // Handles are sign-extended to 64 bits, as the platform extends them.
  return put_OverlayImageDIBPointer64(static_cast<INT64>(newVal));
}

HRESULT COverlayControl::put_OverlayImageDIBPointer64(INT64 newVal) {
  ovl::FilterLockGuard lock(m_host.OverlaySettingsHost());
  return ovl::gdi::PutOverlayImageBitmap(m_host.OverlaySettingsRecord(), BitmapFromHandleValue(newVal));
}

HRESULT COverlayControl::get_IsOverlayImageLoaded(VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  *pVal = ovl::ToVariantBool(m_host.OverlaySettingsRecord().OverlayImage.Loaded);
  return S_OK;
}

HRESULT COverlayControl::get_BkLayerColor(OLE_COLOR* pVal) {
  return ReadInto<OLE_COLOR, std::uint32_t>(pVal, [&](std::uint32_t* v) { return Access().GetBkLayerColor(v); });
}

HRESULT COverlayControl::put_BkLayerColor(OLE_COLOR newVal) { return Access().PutBkLayerColor(newVal); }

// ------------------------------------------------------------ masks

HRESULT COverlayControl::get_EnableMaskBitmap(LayerTypeConstants LayerType, VARIANT_BOOL* pVal) {
  return Access().GetFlag(Bits(LayerType), &ovl::LayerSettings::EnableMaskBitmap, pVal);
}

HRESULT COverlayControl::put_EnableMaskBitmap(LayerTypeConstants LayerType, VARIANT_BOOL newVal) {
  return Access().PutFlag(Bits(LayerType), &ovl::LayerSettings::EnableMaskBitmap, newVal);
}

HRESULT COverlayControl::get_MaskImageFileName(LayerTypeConstants LayerType, BSTR* pVal) {
  // The layer type is checked before the result pointer here.
  ovl::OverlaySettings& s = m_host.OverlaySettingsRecord();
  char name[ovl::kFileNameBytes];
  {
    ovl::FilterLockGuard lock(m_host.OverlaySettingsHost());
    const ovl::LayerSettings* layer = s.Layers.FindLayer(Bits(LayerType));
    if (layer == nullptr) return E_INVALIDARG;
    if (pVal == nullptr) return E_POINTER;
    std::memcpy(name, layer->MaskImageFileName, sizeof name);
  }
  return ovl::control::AnsiToBstr(name, sizeof name, pVal);
}

HRESULT COverlayControl::put_MaskImageFileName(LayerTypeConstants LayerType, BSTR newVal) {
  ovl::FilterLockGuard lock(m_host.OverlaySettingsHost());
  return ovl::gdi::PutMaskImageFileName(m_host.OverlaySettingsRecord(), Bits(LayerType), newVal);
}

HRESULT COverlayControl::put_MaskImageDIBPointer(LayerTypeConstants LayerType, LONG newVal) {
  return put_MaskImageDIBPointer64(LayerType, static_cast<INT64>(newVal));
}

HRESULT COverlayControl::put_MaskImageDIBPointer64(LayerTypeConstants LayerType, INT64 newVal) {
  ovl::FilterLockGuard lock(m_host.OverlaySettingsHost());
  return ovl::gdi::PutMaskImageBitmap(m_host.OverlaySettingsRecord(), Bits(LayerType),
                                      BitmapFromHandleValue(newVal));
}

HRESULT COverlayControl::get_IsMaskImageLoaded(LayerTypeConstants LayerType, VARIANT_BOOL* pVal) {
  if (pVal == nullptr) return E_POINTER;
  const ovl::LayerSettings* layer = m_host.OverlaySettingsRecord().Layers.FindLayer(Bits(LayerType));
  if (layer == nullptr) return E_INVALIDARG;
  *pVal = ovl::ToVariantBool(layer->Mask.Loaded);
  return S_OK;
}

// ------------------------------------------------------------ blending

HRESULT COverlayControl::get_EnableOpacity(LayerTypeConstants LayerType, VARIANT_BOOL* pVal) {
  return Access().GetFlag(Bits(LayerType), &ovl::LayerSettings::EnableOpacity, pVal);
}

HRESULT COverlayControl::put_EnableOpacity(LayerTypeConstants LayerType, VARIANT_BOOL newVal) {
  return Access().PutFlag(Bits(LayerType), &ovl::LayerSettings::EnableOpacity, newVal);
}

HRESULT COverlayControl::get_Opacity(LayerTypeConstants LayerType, LONG* pVal) {
  return ReadInto<LONG, std::int32_t>(pVal, [&](std::int32_t* v) { return Access().GetOpacity(Bits(LayerType), v); });
}

HRESULT COverlayControl::put_Opacity(LayerTypeConstants LayerType, LONG newVal) {
  return Access().PutOpacity(Bits(LayerType), newVal);
}

HRESULT COverlayControl::get_EnableTransparency(LayerTypeConstants LayerType, VARIANT_BOOL* pVal) {
  return Access().GetFlag(Bits(LayerType), &ovl::LayerSettings::EnableTransparency, pVal);
}

HRESULT COverlayControl::put_EnableTransparency(LayerTypeConstants LayerType, VARIANT_BOOL newVal) {
  return Access().PutFlag(Bits(LayerType), &ovl::LayerSettings::EnableTransparency, newVal);
}

HRESULT COverlayControl::get_TransparentColor(LayerTypeConstants LayerType, OLE_COLOR* pVal) {
  // The layer type is checked before the result pointer here.
  if (m_host.OverlaySettingsRecord().Layers.FindPosition(Bits(LayerType)) < 0) return E_INVALIDARG;
  return ReadInto<OLE_COLOR, std::uint32_t>(
      pVal, [&](std::uint32_t* v) { return Access().GetTransparentColor(Bits(LayerType), v); });
}

HRESULT COverlayControl::put_TransparentColor(LayerTypeConstants LayerType, OLE_COLOR newVal) {
  return Access().PutTransparentColor(Bits(LayerType), newVal);
}

// ------------------------------------------------------------ placement and regions

HRESULT COverlayControl::get_XPos(LayerTypeConstants LayerType, LONG* pVal) {
  return ReadInto<LONG, std::int32_t>(pVal, [&](std::int32_t* v) { return Access().GetXPos(Bits(LayerType), v); });
}

HRESULT COverlayControl::put_XPos(LayerTypeConstants LayerType, LONG newVal) {
  return Access().PutXPos(Bits(LayerType), newVal);
}

HRESULT COverlayControl::get_YPos(LayerTypeConstants LayerType, LONG* pVal) {
  return ReadInto<LONG, std::int32_t>(pVal, [&](std::int32_t* v) { return Access().GetYPos(Bits(LayerType), v); });
}

HRESULT COverlayControl::put_YPos(LayerTypeConstants LayerType, LONG newVal) {
  return Access().PutYPos(Bits(LayerType), newVal);
}

HRESULT COverlayControl::get_Region(LayerTypeConstants LayerType, RegionConstants* pVal) {
  if (pVal == nullptr) return E_POINTER;
  std::uint32_t region = 0;
  const HRESULT hr = Access().GetRegion(Bits(LayerType), &region);
  if (SUCCEEDED(hr)) StoreBits(pVal, region);
  return hr;
}

HRESULT COverlayControl::put_Region(LayerTypeConstants LayerType, RegionConstants newVal) {
  return Access().PutRegion(Bits(LayerType), Bits(newVal));
}

#define OVL_REGION_FIELD(Name, Field)                                                                 \
  HRESULT COverlayControl::get_##Name(LayerTypeConstants LayerType, LONG* pVal) {                     \
    return ReadInto<LONG, std::int32_t>(                                                              \
        pVal, [&](std::int32_t* v) { return Access().GetField(Bits(LayerType), &ovl::LayerSettings::Field, v); }); \
  }                                                                                                   \
  HRESULT COverlayControl::put_##Name(LayerTypeConstants LayerType, LONG newVal) {                    \
    return Access().PutField(Bits(LayerType), &ovl::LayerSettings::Field, newVal);                    \
  }

OVL_REGION_FIELD(RgnLeft, RgnLeft)
OVL_REGION_FIELD(RgnTop, RgnTop)
OVL_REGION_FIELD(RgnRight, RgnRight)
OVL_REGION_FIELD(RgnBottom, RgnBottom)
OVL_REGION_FIELD(RgnRoundRectEllipseWidth, RgnRoundRectEllipseWidth)
OVL_REGION_FIELD(RgnRoundRectEllipseHeight, RgnRoundRectEllipseHeight)

#undef OVL_REGION_FIELD

// ------------------------------------------------------------ output size and reset

HRESULT COverlayControl::get_OutputSizeType(OutputSizeTypeConstants* pVal) {
  if (pVal == nullptr) return E_POINTER;
  std::uint32_t type = 0;
  const HRESULT hr = Access().GetOutputSizeType(&type);
  if (SUCCEEDED(hr)) StoreBits(pVal, type);
  return hr;
}

HRESULT COverlayControl::put_OutputSizeType(OutputSizeTypeConstants newVal) {
  return Access().PutOutputSizeType(Bits(newVal));
}

HRESULT COverlayControl::get_OutputWidth(LONG* pVal) {
  return ReadInto<LONG, std::int32_t>(pVal, [&](std::int32_t* v) { return Access().GetOutputWidth(v); });
}

HRESULT COverlayControl::put_OutputWidth(LONG newVal) { return Access().PutOutputWidth(newVal); }

HRESULT COverlayControl::get_OutputHeight(LONG* pVal) {
  return ReadInto<LONG, std::int32_t>(pVal, [&](std::int32_t* v) { return Access().GetOutputHeight(v); });
}

HRESULT COverlayControl::put_OutputHeight(LONG newVal) { return Access().PutOutputHeight(newVal); }

HRESULT COverlayControl::ResetToDefaultsEx(KMVOverlay_APILEVEL ApiLevel) {
  return Access().ResetToDefaultsEx(Bits(ApiLevel));
}
