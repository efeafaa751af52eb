#include "persistence/filter/overlay_settings_archive.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "engine/control/bstr_text.h"
#include "persistence/core/rk_stream_records.h"

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

void CopyName(char (&to)[kFileNameBytes], const char (&from)[kFileNameBytes]) {
  std::memcpy(to, from, kFileNameBytes);
  to[kFileNameBytes - 1] = '\0';
}

// One value copied between the settings and their saved form.
template <class To, class From>
void Assign(To& to, const From& from) {
  to = static_cast<To>(from);
}
void Assign(char (&to)[kFileNameBytes], const char (&from)[kFileNameBytes]) { CopyName(to, from); }

// Calls fn(setting, stored) for every saved value and the field it is saved
// from, so that both directions copy the same pairs.
template <class Fn>
void PairFields(OverlaySettings& s, StoredSettings& st, Fn fn) {
  for (int position = 0; position < kLayerCount; ++position) {
    LayerSettings& l = s.Layers[position];
    StoredLayer& stored = st.Layers[position];
    fn(l.Region, stored.Region);
    fn(l.LayerType, stored.Order);
    fn(l.RgnLeft, stored.RgnLeft);
    fn(l.RgnTop, stored.RgnTop);
    fn(l.RgnRight, stored.RgnRight);
    fn(l.RgnBottom, stored.RgnBottom);
    fn(l.RgnRoundRectEllipseWidth, stored.RgnRoundWidth);
    fn(l.RgnRoundRectEllipseHeight, stored.RgnRoundHeight);
    fn(l.XPos, stored.XPos);
    fn(l.YPos, stored.YPos);
    fn(l.EnableOpacity, stored.EnableOpacity);
    fn(l.Opacity, stored.OpacityPercent);
    fn(l.EnableTransparency, stored.EnableTransparency);
    fn(l.TransparentColor, stored.TransparentColor);
    fn(l.EnableMaskBitmap, stored.EnableMaskBitmap);
    fn(l.MaskImageFileName, stored.MaskImageFileName);
  }
  fn(s.BkLayerColor, st.BackgroundColor);
  fn(s.OverlayImageFileName, st.ImageFileName);
  fn(s.OutputSizeType, st.OutputSizeType);
  fn(s.OutputWidth, st.OutputWidth);
  fn(s.OutputHeight, st.OutputHeight);
}

// Under the filter lock.
void TakeStored(OverlaySettings& s, StoredSettings& st) {
  PairFields(s, st, [](auto& setting, auto& stored) { Assign(stored, setting); });
}

// Under the filter lock: the loaded values go straight into the fields, and
// OpacityLevel follows Opacity as after any setter.
void PutStored(StoredSettings& st, OverlaySettings& s) {
  PairFields(s, st, [](auto& setting, auto& stored) { Assign(setting, stored); });
  for (int position = 0; position < kLayerCount; ++position)
    s.Layers[position].OpacityLevel = OpacityLevelFromOpacity(st.Layers[position].OpacityPercent);
}

template <class Enum>
Enum AsEnum(std::int32_t bits) {
  static_assert(sizeof(Enum) == sizeof(bits), "automation enumerations are 32-bit");
  Enum value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// A loaded "Order" value must name a layer type that no earlier position
// holds, so that the four values read make a whole permutation.
HRESULT CheckLoadedOrder(const StoredSettings& st, int position) {
  const std::int32_t type = st.Layers[position].Order;
  if (type < 0 || type >= kLayerCount) return E_INVALIDARG;
  for (int earlier = 0; earlier < position; ++earlier) {
    if (st.Layers[earlier].Order == type) return E_INVALIDARG;
  }
  return S_OK;
}

// The 64 layer values, the background colour and the image name, in their
// order, written or read as the archive goes; stops at the first failure.
// `ordersRead` counts the "Order" values loaded and accepted.
HRESULT ExchangeValues(CRKArchive& ar, StoredSettings& st, int* ordersRead = nullptr) {
  char key[48];
  for (int position = 0; position < kLayerCount; ++position) {
    for (const LayerValue& value : kLayerValues) {
      std::snprintf(key, sizeof key, value.key, position);
      HRESULT hr = ar.Exchange(ValueField(st.Layers[position], value), ValueSize(value), key, value.kind, value.vt);
      if (SUCCEEDED(hr) && ordersRead != nullptr && value.offset == offsetof(StoredLayer, Order)) {
        hr = CheckLoadedOrder(st, position);
        if (SUCCEEDED(hr)) ++*ordersRead;
      }
      if (FAILED(hr)) return hr;
    }
  }
  const HRESULT hr = ar.Exchange(&st.BackgroundColor, 4, "BackgroundColor", RK_VALUE_TYPED, VT_UI4);
  if (FAILED(hr)) return hr;
  return ar.Exchange(st.ImageFileName, kFileNameBytes, "ImageFileName", RK_VALUE_STRING);
}

HRESULT Save(CRKArchive& ar, StoredSettings& st) {
  HRESULT hr = ExchangeValues(ar, st);
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

// Reads into `st` (which holds the defaults) up to the first failure. The
// layer table must stay a permutation of the four types: the loaded order
// takes effect only when all four "Order" values were read and accepted,
// otherwise the default order stands (whatever else was read keeps its value).
HRESULT ReadValues(CRKArchive& ar, StoredSettings& st) {
  int ordersRead = 0;
  HRESULT hr = ExchangeValues(ar, st, &ordersRead);
  if (ordersRead < kLayerCount) {
    for (int position = 0; position < kLayerCount; ++position) st.Layers[position].Order = position;
  }
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
    // The setters refuse negative sizes and sizes beyond the largest frame;
    // a store must not bring one in.
    if (size < 0 || size > kMaxFrameSide) return E_INVALIDARG;
    *field = size;
  }
  return S_OK;
}

// The setters rebuild what the stored values imply: regions (from the
// loaded region, rectangle and position), masks, the image and the background.
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
    FilterLockGuard lock(host);
    TakeStored(settings, st);
  }
  // The values are read aside, without the lock (a store may be slow), and
  // written into the settings at once.
  const HRESULT hr = ReadValues(ar, st);
  {
    FilterLockGuard lock(host);
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
    FilterLockGuard lock(host);
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
