#pragma once
// The control tests run on the real overlay filter. Here: the filter and its
// interfaces, a script host's calls through IDispatch, the settable
// properties as one table, and every setting an application can read.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "KMVVOvLy.h"
#include "tests/windows/support/bmp_files.h"
#include "tests/windows/support/filter_test_support.h"

namespace ovl::testing {

inline ::LayerTypeConstants Layer(int type) { return static_cast<::LayerTypeConstants>(type); }

// A new overlay filter; the interfaces are the one object's.
struct Filter {
  CVOvrLyFilter* object = nullptr;
  ovl::ComPtr<IBaseFilter> base = MakeOverlayFilter(&object);
  IKMVVOvLy* O() const { return object; }
  IKMMCommon* C() const { return object; }
  IPersistStream* P() const { return object; }
};

// VARIANT arguments (the value's low bytes are the member of that type),
// and a result that clears itself.
inline VARIANT Arg(VARTYPE vt, LONGLONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  v.llVal = value;
  return v;
}
inline VARIANT I4(LONG value) { return Arg(VT_I4, value); }
inline VARIANT Bool(bool value) { return Arg(VT_BOOL, value ? VARIANT_TRUE : VARIANT_FALSE); }
inline VARIANT Str(const std::wstring& text) {
  VARIANT v = Arg(VT_BSTR, 0);
  v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return v;
}
struct Var {
  VARIANT v;
  Var() { VariantInit(&v); }
  ~Var() { VariantClear(&v); }
  Var(const Var&) = delete;
  Var& operator=(const Var&) = delete;
  LONG Long() const {  // a numeric or boolean value as VT_I4
    Var converted;
    if (v.vt == VT_BOOL) return v.boolVal;
    return SUCCEEDED(VariantChangeType(&converted.v, const_cast<VARIANT*>(&v), 0, VT_I4)) ? converted.v.lVal : 0x7EADBEEF;
  }
  std::wstring Text() const { return v.vt == VT_BSTR ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : L"<not a string>"; }
};

// Calls as a script host makes them: names through GetIDsOfNames, arguments
// in their declared order, puts with the DISPID_PROPERTYPUT named argument.
// A member failing with DISP_E_EXCEPTION gives back its own HRESULT.
class Script {
 public:
  explicit Script(IDispatch* dispatch) : m_dispatch(dispatch) {}
  DISPID Id(const wchar_t* name) const {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(S_OK, m_dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))
        << std::string(name, name + wcslen(name));
    return id;
  }
  HRESULT Get(DISPID id, std::vector<VARIANT> args, Var* result) const {
    VariantClear(&result->v);
    return Run(id, DISPATCH_PROPERTYGET, std::move(args), &result->v);
  }
  HRESULT Put(DISPID id, std::vector<VARIANT> args, VARIANT value) const {
    args.push_back(value);
    return Run(id, DISPATCH_PROPERTYPUT, std::move(args), nullptr);
  }
  HRESULT Call(DISPID id, std::vector<VARIANT> args) const { return Run(id, DISPATCH_METHOD, std::move(args), nullptr); }

 private:
  HRESULT Run(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result) const {
    std::reverse(args.begin(), args.end());  // DISPPARAMS hold the last argument first
    DISPID named = DISPID_PROPERTYPUT;
    const bool put = flags == DISPATCH_PROPERTYPUT;
    DISPPARAMS params{args.empty() ? nullptr : args.data(), put ? &named : nullptr, static_cast<UINT>(args.size()),
                      put ? 1u : 0u};
    EXCEPINFO exception{};
    UINT argError = 0;
    HRESULT hr = m_dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &argError);
    if (hr == DISP_E_EXCEPTION) {
      if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
      hr = exception.scode;
      SysFreeString(exception.bstrSource);
      SysFreeString(exception.bstrDescription);
      SysFreeString(exception.bstrHelpFile);
    }
    for (VARIANT& arg : args) VariantClear(&arg);
    return hr;
  }
  IDispatch* m_dispatch;
};

// A settable property through the interface table, as a 32-bit value.
struct Property {
  const wchar_t* name;
  DISPID id;
  bool perLayer;
  bool boolean;
  HRESULT (*get)(IKMVVOvLy*, ::LayerTypeConstants, LONG*);
  HRESULT (*put)(IKMVVOvLy*, ::LayerTypeConstants, LONG);
  LONG a, b;  // two values that read back as set
};

template <class T, class Get>
HRESULT ReadAsLong(Get get, LONG* value) {
  T x{};
  const HRESULT hr = get(&x);
  *value = static_cast<LONG>(x);
  return hr;
}
#define OVL_LAYER_PROPERTY(N, ID, T, A, B)                                                                         \
  Property {                                                                                                       \
    L## #N, ID, true, std::is_same_v<T, VARIANT_BOOL>,                                                             \
        [](IKMVVOvLy* o, ::LayerTypeConstants t, LONG* v) { return ReadAsLong<T>([&](T* x) { return o->get_##N(t, x); }, v); }, \
        [](IKMVVOvLy* o, ::LayerTypeConstants t, LONG v) { return o->put_##N(t, static_cast<T>(v)); }, A, B        \
  }
#define OVL_FILTER_PROPERTY(N, ID, T, A, B)                                                                        \
  Property {                                                                                                       \
    L## #N, ID, false, false, [](IKMVVOvLy* o, ::LayerTypeConstants, LONG* v) { return ReadAsLong<T>([&](T* x) { return o->get_##N(x); }, v); }, \
        [](IKMVVOvLy* o, ::LayerTypeConstants, LONG v) { return o->put_##N(static_cast<T>(v)); }, A, B             \
  }

inline const std::vector<Property> kProperties = {
    OVL_LAYER_PROPERTY(LayerOrder, 3, LONG, 3, 1),
    OVL_FILTER_PROPERTY(BkLayerColor, 8, OLE_COLOR, 0x00123456, 0x00654321),
    OVL_LAYER_PROPERTY(EnableMaskBitmap, 9, VARIANT_BOOL, VARIANT_TRUE, VARIANT_FALSE),
    OVL_LAYER_PROPERTY(EnableOpacity, 13, VARIANT_BOOL, VARIANT_TRUE, VARIANT_FALSE),
    OVL_LAYER_PROPERTY(Opacity, 14, LONG, 150, -10),
    OVL_LAYER_PROPERTY(EnableTransparency, 15, VARIANT_BOOL, VARIANT_TRUE, VARIANT_FALSE),
    OVL_LAYER_PROPERTY(TransparentColor, 16, OLE_COLOR, 0x00A1B2C3, 0x00010203),
    OVL_LAYER_PROPERTY(XPos, 17, LONG, 7, 123),
    OVL_LAYER_PROPERTY(YPos, 18, LONG, 9, 321),
    OVL_LAYER_PROPERTY(Region, 19, ::RegionConstants, ::REGION_ROUNDRECT, ::REGION_ELLIPSE),
    OVL_LAYER_PROPERTY(RgnLeft, 20, LONG, -5, 77),
    OVL_LAYER_PROPERTY(RgnTop, 21, LONG, -6, 78),
    OVL_LAYER_PROPERTY(RgnRight, 22, LONG, 1000, 79),
    OVL_LAYER_PROPERTY(RgnBottom, 23, LONG, 1001, 80),
    OVL_LAYER_PROPERTY(RgnRoundRectEllipseWidth, 24, LONG, 30, -1),
    OVL_LAYER_PROPERTY(RgnRoundRectEllipseHeight, 25, LONG, 31, 0),
    OVL_FILTER_PROPERTY(OutputSizeType, 26, ::OutputSizeTypeConstants, 1, 0),
    OVL_FILTER_PROPERTY(OutputWidth, 27, LONG, 640, 0),
    OVL_FILTER_PROPERTY(OutputHeight, 28, LONG, 480, 0),
};

// Every property, name and loaded flag an application can read, and the
// state a load rebuilds (opacity levels and regions, by position).
using SettingsView = std::pair<std::vector<LONG>, std::vector<std::wstring>>;
inline SettingsView Capture(const Filter& filter) {
  auto take = [](BSTR text) {
    std::wstring out = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"<null>";
    SysFreeString(text);
    return out;
  };
  IKMVVOvLy* o = filter.O();
  SettingsView view;
  for (const Property& p : kProperties) {
    for (int t = 0; t < (p.perLayer ? 4 : 1); ++t) {
      LONG value = 0;
      EXPECT_EQ(S_OK, p.get(o, Layer(t), &value));
      view.first.push_back(value);
    }
  }
  BSTR name = nullptr;
  VARIANT_BOOL loaded = 0;
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(S_OK, o->get_IsMaskImageLoaded(Layer(t), &loaded));
    EXPECT_EQ(S_OK, o->get_MaskImageFileName(Layer(t), &name));
    view.second.push_back(take(name));
    const LayerSettings& layer = filter.object->Settings().Layers[t];
    view.first.insert(view.first.end(), {loaded, layer.OpacityLevel, layer.HasRegion()});
  }
  EXPECT_EQ(S_OK, o->get_IsOverlayImageLoaded(&loaded));
  view.first.push_back(loaded);
  EXPECT_EQ(S_OK, o->get_OverlayImageFileName(&name));
  view.second.push_back(take(name));
  return view;
}

// COM, a scratch folder, and the filter's saved settings cleared before and
// after (a new filter loads them).
class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, ovl::identity::kSettingsKeyA); }
  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, ovl::identity::kSettingsKeyA);
    EXPECT_TRUE(NoLiveObjects());
  }
  // A 24-bit picture, or an 8-bit grey mask, as a BMP file in the folder.
  std::wstring Picture(const std::wstring& name, std::int32_t width, std::int32_t height, bool mask = false) const {
    BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.bitCount = mask ? 8 : 24;
    spec.palette = GreyRamp();
    spec.pixel = [](std::int32_t x, std::int32_t y) { return static_cast<std::uint32_t>((x * 0x030209 + y * 0x010305) & 0xFFFFFF); };
    return dir.Write(name, MakeBmp(spec));
  }
  // Every setting unlike its default: a 64 x 48 image, a mask on video 2,
  // and the layers in the order image, video 2, background, video 1.
  void SetDistinctSettings(IKMVVOvLy* o) const {
    BSTR name = SysAllocString(Picture(L"i.bmp", 64, 48).c_str());
    EXPECT_EQ(S_OK, o->put_OverlayImageFileName(name));
    SysFreeString(name);
    for (int t = 0; t < 4; ++t) {
      const bool picture = t == ::LAYERTYPE_OVERLAYIMAGE;  // its rectangle follows the 64 x 48 picture
      EXPECT_EQ(S_OK, o->put_RgnLeft(Layer(t), 3 + t));
      EXPECT_EQ(S_OK, o->put_RgnTop(Layer(t), 4 + t));
      EXPECT_EQ(S_OK, o->put_RgnRight(Layer(t), picture ? 64 : 300 + t));
      EXPECT_EQ(S_OK, o->put_RgnBottom(Layer(t), picture ? 48 : 200 + t));
      EXPECT_EQ(S_OK, o->put_RgnRoundRectEllipseWidth(Layer(t), 11 + t));
      EXPECT_EQ(S_OK, o->put_RgnRoundRectEllipseHeight(Layer(t), 12 + t));
      EXPECT_EQ(S_OK, o->put_XPos(Layer(t), 5 * t + 1));
      EXPECT_EQ(S_OK, o->put_YPos(Layer(t), 3 * t + 2));
      EXPECT_EQ(S_OK, o->put_Region(Layer(t), static_cast<::RegionConstants>((t + 1) % 4)));
      EXPECT_EQ(S_OK, o->put_EnableOpacity(Layer(t), t % 2 ? VARIANT_TRUE : VARIANT_FALSE));
      EXPECT_EQ(S_OK, o->put_Opacity(Layer(t), t == 1 ? 150 : 10 * t + 5));
      EXPECT_EQ(S_OK, o->put_EnableTransparency(Layer(t), t % 2 ? VARIANT_FALSE : VARIANT_TRUE));
      EXPECT_EQ(S_OK, o->put_TransparentColor(Layer(t), 0x00102030 + t));
      EXPECT_EQ(S_OK, o->put_EnableMaskBitmap(Layer(t), t == 2 ? VARIANT_TRUE : VARIANT_FALSE));
    }
    name = SysAllocString(Picture(L"m.bmp", 8, 8, true).c_str());
    EXPECT_EQ(S_OK, o->put_MaskImageFileName(::LAYERTYPE_VIDEO2, name));
    SysFreeString(name);
    EXPECT_EQ(S_OK, o->put_BkLayerColor(0x00336699));
    EXPECT_EQ(S_OK, o->put_OutputSizeType(::OUTPUTSIZETYPE_CUSTOM));
    EXPECT_EQ(S_OK, o->put_OutputWidth(800));
    EXPECT_EQ(S_OK, o->put_OutputHeight(600));
    EXPECT_EQ(S_OK, o->put_LayerOrder(::LAYERTYPE_OVERLAYIMAGE, 0));
    EXPECT_EQ(S_OK, o->put_LayerOrder(::LAYERTYPE_VIDEO2, 1));
    EXPECT_EQ(S_OK, o->put_LayerOrder(::LAYERTYPE_BACKGROUND, 2));
  }

  ComApartment com;
  TempDir dir;
};

}  // namespace ovl::testing
