#include "engine/control/overlay_settings_archive.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "engine/control/bstr_text.h"
#include "persistence/rk_stream_records.h"

namespace ovl::control {
namespace {

// The stored values of one layer position, in their saved form and order.
struct StoredLayer {
  std::int32_t Region;
  std::int32_t Order;  // the layer type drawn at this position
  std::int32_t RgnLeft;
  std::int32_t RgnTop;
  std::int32_t RgnRight;
  std::int32_t RgnBottom;
  std::int32_t RgnRoundWidth;
  std::int32_t RgnRoundHeight;
  std::int32_t XPos;
  std::int32_t YPos;
  std::int32_t EnableOpacity;
  std::int32_t OpacityPercent;
  std::int32_t EnableTransparency;
  std::uint32_t TransparentColor;
  std::int32_t EnableMaskBitmap;
  char MaskImageFileName[kFileNameBytes];
};

struct StoredSettings {
  StoredLayer Layers[kLayerCount];
  std::uint32_t BackgroundColor;
  char ImageFileName[kFileNameBytes];
  std::int32_t OutputSizeType;
  std::int32_t OutputWidth;
  std::int32_t OutputHeight;
};

struct LayerValue {
  const char* key;  // printf format, %d = the position
  DWORD kind;
  VARTYPE vt;
  std::size_t offset;
};

constexpr LayerValue kLayerValues[] = {
    {"Region%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, Region)},
    {"Order%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, Order)},
    {"RgnLeft%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, RgnLeft)},
    {"RgnTop%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, RgnTop)},
    {"RgnRight%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, RgnRight)},
    {"RgnBottom%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, RgnBottom)},
    {"RgnRoundWidth%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, RgnRoundWidth)},
    {"RgnRoundHeight%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, RgnRoundHeight)},
    {"XPos%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, XPos)},
    {"YPos%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, YPos)},
    {"EnableOpacity%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, EnableOpacity)},
    {"OpacityPercent%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, OpacityPercent)},
    {"EnableTransparency%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, EnableTransparency)},
    {"TransparentColor%d", RK_VALUE_TYPED, VT_UI4, offsetof(StoredLayer, TransparentColor)},
    {"EnableMaskBitmap%d", RK_VALUE_TYPED, VT_I4, offsetof(StoredLayer, EnableMaskBitmap)},
    {"MaskImageFileName%d", RK_VALUE_STRING, VT_EMPTY, offsetof(StoredLayer, MaskImageFileName)},
};
static_assert(std::size(kLayerValues) * kLayerCount + 6 == 70, "the filter saves 70 values");

// Strings are exchanged with their field's capacity: a stored name that does
// not fit is refused by the library and the field keeps its contents.
ULONGLONG ValueSize(const LayerValue& value) { return value.kind == RK_VALUE_STRING ? kFileNameBytes : 4; }

void* ValueField(StoredLayer& layer, const LayerValue& value) {
  return reinterpret_cast<char*>(&layer) + value.offset;
}

class FilterLock {
 public:
  explicit FilterLock(SettingsHost& host) : m_host(host) { m_host.LockFilter(); }
  ~FilterLock() { m_host.UnlockFilter(); }
  FilterLock(const FilterLock&) = delete;
  FilterLock& operator=(const FilterLock&) = delete;

 private:
  SettingsHost& m_host;
};

void CopyName(char (&to)[kFileNameBytes], const char (&from)[kFileNameBytes]) {
  std::memcpy(to, from, kFileNameBytes);
  to[kFileNameBytes - 1] = '\0';
}

// Under the filter lock.
void TakeStored(const OverlaySettings& s, StoredSettings& st) {
  for (int position = 0; position < kLayerCount; ++position) {
    const LayerSettings& l = s.Layers[position];
    StoredLayer& out = st.Layers[position];
    out.Region = static_cast<std::int32_t>(l.Region);
    out.Order = static_cast<std::int32_t>(l.LayerType);
    out.RgnLeft = l.RgnLeft;
    out.RgnTop = l.RgnTop;
    out.RgnRight = l.RgnRight;
    out.RgnBottom = l.RgnBottom;
    out.RgnRoundWidth = l.RgnRoundRectEllipseWidth;
    out.RgnRoundHeight = l.RgnRoundRectEllipseHeight;
    out.XPos = l.XPos;
    out.YPos = l.YPos;
    out.EnableOpacity = static_cast<std::int32_t>(l.EnableOpacity);
    out.OpacityPercent = l.Opacity;
    out.EnableTransparency = static_cast<std::int32_t>(l.EnableTransparency);
    out.TransparentColor = l.TransparentColor;
    out.EnableMaskBitmap = static_cast<std::int32_t>(l.EnableMaskBitmap);
    CopyName(out.MaskImageFileName, l.MaskImageFileName);
  }
  st.BackgroundColor = s.BkLayerColor;
  CopyName(st.ImageFileName, s.OverlayImageFileName);
  st.OutputSizeType = static_cast<std::int32_t>(s.OutputSizeType);
  st.OutputWidth = s.OutputWidth;
  st.OutputHeight = s.OutputHeight;
}

// Under the filter lock: the loaded values go straight into the fields, and
// OpacityLevel follows Opacity as after any setter.
void PutStored(const StoredSettings& st, OverlaySettings& s) {
  for (int position = 0; position < kLayerCount; ++position) {
    const StoredLayer& in = st.Layers[position];
    LayerSettings& l = s.Layers[position];
    l.Region = static_cast<std::uint32_t>(in.Region);
    l.LayerType = static_cast<std::uint32_t>(in.Order);
    l.RgnLeft = in.RgnLeft;
    l.RgnTop = in.RgnTop;
    l.RgnRight = in.RgnRight;
    l.RgnBottom = in.RgnBottom;
    l.RgnRoundRectEllipseWidth = in.RgnRoundWidth;
    l.RgnRoundRectEllipseHeight = in.RgnRoundHeight;
    l.XPos = in.XPos;
    l.YPos = in.YPos;
    l.EnableOpacity = static_cast<std::uint32_t>(in.EnableOpacity);
    l.Opacity = in.OpacityPercent;
    l.OpacityLevel = OpacityLevelFromOpacity(in.OpacityPercent);
    l.EnableTransparency = static_cast<std::uint32_t>(in.EnableTransparency);
    l.TransparentColor = in.TransparentColor;
    l.EnableMaskBitmap = static_cast<std::uint32_t>(in.EnableMaskBitmap);
    CopyName(l.MaskImageFileName, in.MaskImageFileName);
  }
  s.BkLayerColor = st.BackgroundColor;
  CopyName(s.OverlayImageFileName, st.ImageFileName);
  s.OutputSizeType = static_cast<std::uint32_t>(st.OutputSizeType);
  s.OutputWidth = st.OutputWidth;
  s.OutputHeight = st.OutputHeight;
}

template <class Enum>
Enum AsEnum(std::int32_t bits) {
  static_assert(sizeof(Enum) == sizeof(bits), "automation enumerations are 32-bit");
  Enum value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

HRESULT Save(CRKArchive& ar, const StoredSettings& stored) {
  StoredSettings st = stored;
  char key[48];
  for (int position = 0; position < kLayerCount; ++position) {
    for (const LayerValue& value : kLayerValues) {
      std::snprintf(key, sizeof key, value.key, position);
      const HRESULT hr = ar.PutValue(ValueField(st.Layers[position], value), ValueSize(value), key, value.kind,
                                     value.vt);
      if (FAILED(hr)) return hr;
    }
  }
  HRESULT hr = ar.PutValue(&st.BackgroundColor, 4, "BackgroundColor", RK_VALUE_TYPED, VT_UI4);
  if (FAILED(hr)) return hr;
  hr = ar.PutValue(st.ImageFileName, kFileNameBytes, "ImageFileName", RK_VALUE_STRING);
  if (FAILED(hr)) return hr;
  // A store that cannot take the version or the size type keeps the older
  // layout: the save still counts as done.
  std::int32_t version = 1;
  if (FAILED(ar.PutValue(&version, 4, "Version", RK_VALUE_TYPED, VT_I4))) return S_OK;
  if (FAILED(ar.PutValue(&st.OutputSizeType, 4, "OutputSizeType", RK_VALUE_TYPED, VT_I4))) return S_OK;
  hr = ar.PutValue(&st.OutputWidth, 4, "OutputWidth", RK_VALUE_TYPED, VT_I4);
  if (FAILED(hr)) return hr;
  return ar.PutValue(&st.OutputHeight, 4, "OutputHeight", RK_VALUE_TYPED, VT_I4);
}

// Reads into `st` (which holds the defaults) up to the first failure.
HRESULT ReadValues(CRKArchive& ar, StoredSettings& st) {
  char key[48];
  for (int position = 0; position < kLayerCount; ++position) {
    for (const LayerValue& value : kLayerValues) {
      std::snprintf(key, sizeof key, value.key, position);
      const HRESULT hr = ar.GetValue(ValueField(st.Layers[position], value), ValueSize(value), key, value.kind,
                                     value.vt);
      if (FAILED(hr)) return hr;
    }
  }
  HRESULT hr = ar.GetValue(&st.BackgroundColor, 4, "BackgroundColor", RK_VALUE_TYPED, VT_UI4);
  if (FAILED(hr)) return hr;
  hr = ar.GetValue(st.ImageFileName, kFileNameBytes, "ImageFileName", RK_VALUE_STRING);
  if (FAILED(hr)) return hr;
  // Only layout 1 carries the output size; older stores end here.
  std::int32_t version = 1;
  if (FAILED(ar.GetValue(&version, 4, "Version", RK_VALUE_TYPED, VT_I4)) || version != 1) return S_OK;
  if (FAILED(ar.GetValue(&st.OutputSizeType, 4, "OutputSizeType", RK_VALUE_TYPED, VT_I4))) return S_OK;
  for (auto [field, key] : {std::pair<std::int32_t*, const char*>{&st.OutputWidth, "OutputWidth"},
                            std::pair<std::int32_t*, const char*>{&st.OutputHeight, "OutputHeight"}}) {
    std::int32_t size = 0;
    hr = ar.GetValue(&size, 4, key, RK_VALUE_TYPED, VT_I4);
    if (FAILED(hr)) return hr;
    // The setters refuse negative sizes; a store must not bring one in.
    if (size < 0) return E_INVALIDARG;
    *field = size;
  }
  return S_OK;
}

// The setters rebuild what the stored values imply: regions (from the
// loaded region, rectangle and position), masks, the image and the brush.
// Their results are not reported: a picture file that is gone leaves its
// layer without a picture, the rest of the settings still load.
void Reapply(const StoredSettings& st, IKMVVOvLy& self) {
  for (const StoredLayer& l : st.Layers) {
    // The automation enumerations (global), not the engine's of the same names.
    const ::LayerTypeConstants layer = AsEnum<::LayerTypeConstants>(l.Order);
    self.put_Region(layer, AsEnum<::RegionConstants>(l.Region));
    self.put_RgnLeft(layer, l.RgnLeft);
    self.put_RgnTop(layer, l.RgnTop);
    self.put_RgnRight(layer, l.RgnRight);
    self.put_RgnBottom(layer, l.RgnBottom);
    self.put_XPos(layer, l.XPos);
    self.put_YPos(layer, l.YPos);
    CBstr mask;
    if (SUCCEEDED(AnsiToBstr(l.MaskImageFileName, kFileNameBytes, &mask))) self.put_MaskImageFileName(layer, mask);
  }
  self.put_BkLayerColor(st.BackgroundColor);
  CBstr image;
  if (SUCCEEDED(AnsiToBstr(st.ImageFileName, kFileNameBytes, &image))) self.put_OverlayImageFileName(image);
}

HRESULT Load(CRKArchive& ar, OverlaySettings& settings, SettingsHost& host, IKMVVOvLy& self) {
  // Whatever the store holds, nothing of the settings before the load stays.
  self.ResetToDefaultsEx(::KMVOverlay_APILEVEL_1);
  StoredSettings st;
  {
    FilterLock lock(host);
    TakeStored(settings, st);
  }
  // The values are read aside, without the lock (a store may be slow), and
  // written into the settings at once.
  const HRESULT hr = ReadValues(ar, st);
  {
    FilterLock lock(host);
    PutStored(st, settings);
  }
  if (FAILED(hr)) return hr;
  Reapply(st, self);
  host.OutputSizeSettingsChanged();
  return S_OK;
}

std::uint32_t ReadU32(const BYTE* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

}  // namespace

HRESULT SerializeOverlaySettings(CRKArchive& archive, OverlaySettings& settings, SettingsHost& host,
                                 IKMVVOvLy& self) {
  if (archive.IsLoading()) return Load(archive, settings, host, self);
  StoredSettings st;
  {
    FilterLock lock(host);
    TakeStored(settings, st);
  }
  return Save(archive, st);
}

HRESULT MeasureOverlaySettingsForm(const BYTE* form, CMemoryFormExtent* extent) {
  if (form == nullptr || extent == nullptr) return E_POINTER;
  ULONG at = 0;
  bool refused = false;
  // One string record; false when the load ends in it (a count the library
  // rejects, or a string it refuses without reading).
  auto stringRecord = [&]() {
    const std::uint32_t first = ReadU32(form + at);
    const std::uint32_t second = ReadU32(form + at + 4);
    at += 8;
    if (first == kRKWideMarker) {
      if (second >= kRKMaxWideUnits) return false;
      if (second / 2 >= kFileNameBytes) {
        refused = true;
        return false;
      }
      at += 2 * second;
      return true;
    }
    if (second != 0) return false;  // narrow form: a 64-bit count above 4 GB
    if (first >= kFileNameBytes) {
      refused = true;
      return false;
    }
    at += first;
    return true;
  };
  auto measured = [&]() {
    extent->cbForm = at;
    extent->endsAtRefusedString = refused;
    return at <= kMaxOverlayFormBytes ? S_OK : E_UNEXPECTED;
  };
  for (int position = 0; position < kLayerCount; ++position) {
    for (const LayerValue& value : kLayerValues) {
      if (value.kind != RK_VALUE_STRING) {
        at += 4;
      } else if (!stringRecord()) {
        return measured();
      }
    }
  }
  at += 4;  // BackgroundColor
  if (!stringRecord()) return measured();
  const std::uint32_t version = ReadU32(form + at);
  at += 4;
  if (version == 1) at += 12;  // OutputSizeType, OutputWidth, OutputHeight
  return measured();
}

}  // namespace ovl::control
