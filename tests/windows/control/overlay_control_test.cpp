// IKMVVOvLy as applications use it: through its table and through
// IDispatch as a script host calls it, with the real settings, regions and
// picture loaders behind it.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

#include "engine/gdi/ansi_name.h"
#include "tests/windows/control/control_object.h"

namespace ovl::testing {
namespace {

::LayerTypeConstants Layer(int type) { return static_cast<::LayerTypeConstants>(type); }

VARIANT I4(LONG value) {
  VARIANT v;
  Var::I4(&v, value);
  return v;
}

// A property the application sets and reads back, seen as a 32-bit value.
struct Property {
  const wchar_t* name;
  DISPID id;
  bool perLayer;
  bool boolean;
  HRESULT (*get)(IKMVVOvLy*, ::LayerTypeConstants, LONG*);
  HRESULT (*put)(IKMVVOvLy*, ::LayerTypeConstants, LONG);
  LONG a, b;  // two values that read back as set
};

#define LAYER_LONG(N, ID, A, B)                                                                             \
  Property {                                                                                                \
    L## #N, ID, true, false, [](IKMVVOvLy* o, ::LayerTypeConstants t, LONG* v) { return o->get_##N(t, v); }, \
        [](IKMVVOvLy* o, ::LayerTypeConstants t, LONG v) { return o->put_##N(t, v); }, A, B                  \
  }
#define LAYER_TYPED(N, ID, T, A, B, BOOLEAN)                                             \
  Property {                                                                             \
    L## #N, ID, true, BOOLEAN,                                                           \
        [](IKMVVOvLy* o, ::LayerTypeConstants t, LONG* v) {                              \
          T x{};                                                                         \
          const HRESULT hr = o->get_##N(t, &x);                                          \
          *v = static_cast<LONG>(x);                                                     \
          return hr;                                                                     \
        },                                                                               \
        [](IKMVVOvLy* o, ::LayerTypeConstants t, LONG v) { return o->put_##N(t, static_cast<T>(v)); }, A, B \
  }
#define GLOBAL_TYPED(N, ID, T, A, B)                                                     \
  Property {                                                                             \
    L## #N, ID, false, false,                                                            \
        [](IKMVVOvLy* o, ::LayerTypeConstants, LONG* v) {                                \
          T x{};                                                                         \
          const HRESULT hr = o->get_##N(&x);                                             \
          *v = static_cast<LONG>(x);                                                     \
          return hr;                                                                     \
        },                                                                               \
        [](IKMVVOvLy* o, ::LayerTypeConstants, LONG v) { return o->put_##N(static_cast<T>(v)); }, A, B \
  }

const Property kProperties[] = {
    LAYER_LONG(LayerOrder, 3, 3, 1),
    GLOBAL_TYPED(BkLayerColor, 8, OLE_COLOR, 0x00123456, 0x00654321),
    LAYER_TYPED(EnableMaskBitmap, 9, VARIANT_BOOL, VARIANT_TRUE, VARIANT_FALSE, true),
    LAYER_TYPED(EnableOpacity, 13, VARIANT_BOOL, VARIANT_TRUE, VARIANT_FALSE, true),
    LAYER_LONG(Opacity, 14, 150, -10),
    LAYER_TYPED(EnableTransparency, 15, VARIANT_BOOL, VARIANT_TRUE, VARIANT_FALSE, true),
    LAYER_TYPED(TransparentColor, 16, OLE_COLOR, 0x00A1B2C3, 0x00010203, false),
    LAYER_LONG(XPos, 17, 7, 123),
    LAYER_LONG(YPos, 18, 9, 321),
    LAYER_TYPED(Region, 19, ::RegionConstants, ::REGION_ROUNDRECT, ::REGION_ELLIPSE, false),
    LAYER_LONG(RgnLeft, 20, -5, 77),
    LAYER_LONG(RgnTop, 21, -6, 78),
    LAYER_LONG(RgnRight, 22, 1000, 79),
    LAYER_LONG(RgnBottom, 23, 1001, 80),
    LAYER_LONG(RgnRoundRectEllipseWidth, 24, 30, -1),
    LAYER_LONG(RgnRoundRectEllipseHeight, 25, 31, 0),
    GLOBAL_TYPED(OutputSizeType, 26, ::OutputSizeTypeConstants, 1, 0),
    GLOBAL_TYPED(OutputWidth, 27, LONG, 640, 0),
    GLOBAL_TYPED(OutputHeight, 28, LONG, 480, 0),
};

VARIANT Value(const Property& p, LONG value) {
  VARIANT v;
  if (p.boolean) Var::Bool(&v, value != 0);
  else Var::I4(&v, value);
  return v;
}

class OverlayControl : public ControlTest {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    object = NewObject();
  }
  void TearDown() override {
    object->Release();
    ControlTest::TearDown();
  }
  IKMVVOvLy* O() { return object->Overlay(); }

  ControlObject* object = nullptr;
};

TEST_F(OverlayControl, AnswersEveryOverlayInterfaceWithOnePointer) {
  void* overlay = nullptr;
  ASSERT_EQ(S_OK, O()->QueryInterface(IID_IKMVVOvLy, &overlay));
  for (const IID* iid : {&IID_IKMVVOvLyOld2, &IID_IKMVVOvLy1, &IID_IDispatch}) {
    void* p = nullptr;
    ASSERT_EQ(S_OK, static_cast<IUnknown*>(overlay)->QueryInterface(*iid, &p));
    EXPECT_EQ(overlay, p);
    static_cast<IUnknown*>(p)->Release();
  }
  void* common = nullptr;
  void* common1 = nullptr;
  ASSERT_EQ(S_OK, O()->QueryInterface(IID_IKMMCommon, &common));
  ASSERT_EQ(S_OK, O()->QueryInterface(IID_IKMMCommon1, &common1));
  EXPECT_EQ(common, common1);
  EXPECT_NE(overlay, common);
  IKMAVBase* base = nullptr;
  ASSERT_EQ(S_OK, static_cast<IUnknown*>(common)->QueryInterface(IID_IKMAVBase, reinterpret_cast<void**>(&base)));
  BSTR name = nullptr;
  EXPECT_EQ(S_OK, base->GetFilterName(&name));
  EXPECT_STREQ(L"TERN Video Overlay Filter (2.0)", name);
  SysFreeString(name);
  for (IUnknown* p : {static_cast<IUnknown*>(overlay), static_cast<IUnknown*>(common),
                      static_cast<IUnknown*>(common1), static_cast<IUnknown*>(base)})
    p->Release();
}

// Each value set through one path reads back through the other: table, then
// script by name; script by DISPID, then table; table, then script by DISPID.
TEST_F(OverlayControl, SettablePropertiesAgreeAcrossTableAndDispatch) {
  Script script(O());
  for (const Property& p : kProperties) {
    SCOPED_TRACE(std::string(p.name, p.name + wcslen(p.name)));
    EXPECT_EQ(p.id, script.Id(p.name));
    for (int t = 0; t < (p.perLayer ? 4 : 1); ++t) {
      auto args = [&]() { return p.perLayer ? std::vector<VARIANT>{I4(t)} : std::vector<VARIANT>{}; };
      ASSERT_EQ(S_OK, p.put(O(), Layer(t), p.a));
      Var read;
      ASSERT_EQ(S_OK, script.Get(script.Id(p.name), args(), &read.v));
      EXPECT_EQ(p.a, read.AsLong()) << "layer " << t;

      ASSERT_EQ(S_OK, script.Put(p.id, args(), Value(p, p.b)));
      LONG value = 0x7EADBEEF;
      ASSERT_EQ(S_OK, p.get(O(), Layer(t), &value));
      EXPECT_EQ(p.b, value) << "layer " << t;

      ASSERT_EQ(S_OK, p.put(O(), Layer(t), p.a));
      Var again;
      ASSERT_EQ(S_OK, script.Get(p.id, args(), &again.v));
      EXPECT_EQ(p.a, again.AsLong()) << "layer " << t;
      if (p.boolean) {
        EXPECT_EQ(VT_BOOL, again.v.vt);
      }
    }
  }
}

TEST_F(OverlayControl, ReadOnlyMembersAndMethodsThroughDispatch) {
  Script script(O());
  Var count;
  ASSERT_EQ(S_OK, script.Get(script.Id(L"ActiveLayersCount"), {}, &count.v));
  EXPECT_EQ(1, count.AsLong());
  Var active;
  ASSERT_EQ(S_OK, script.Get(2, {I4(::LAYERTYPE_VIDEO1)}, &active.v));
  EXPECT_EQ(VARIANT_FALSE, active.AsLong());  // no pin yet
  ASSERT_EQ(S_OK, script.Get(2, {I4(::LAYERTYPE_BACKGROUND)}, &active.v));
  EXPECT_EQ(VARIANT_TRUE, active.AsLong());

  // Pictures by name through the script, read back through the table and
  // the other way round.
  const std::wstring image = ImageFile(L"logo.bmp", 64, 48);
  VARIANT name;
  Var::Str(&name, image);
  ASSERT_EQ(S_OK, script.Put(script.Id(L"OverlayImageFileName"), {}, name));
  BSTR stored = nullptr;
  ASSERT_EQ(S_OK, O()->get_OverlayImageFileName(&stored));
  EXPECT_EQ(image, std::wstring(stored));
  SysFreeString(stored);
  Var loaded;
  ASSERT_EQ(S_OK, script.Get(7, {}, &loaded.v));
  EXPECT_EQ(VARIANT_TRUE, loaded.AsLong());
  ASSERT_EQ(S_OK, script.Get(1, {}, &count.v));
  EXPECT_EQ(2, count.AsLong());

  const std::wstring mask = MaskFile(L"mask.bmp", 16, 8);
  BSTR maskName = SysAllocString(mask.c_str());
  ASSERT_EQ(S_OK, O()->put_MaskImageFileName(::LAYERTYPE_VIDEO1, maskName));
  SysFreeString(maskName);
  Var readMask;
  ASSERT_EQ(S_OK, script.Get(script.Id(L"MaskImageFileName"), {I4(::LAYERTYPE_VIDEO1)}, &readMask.v));
  EXPECT_EQ(mask, readMask.AsString());
  ASSERT_EQ(S_OK, script.Get(12, {I4(::LAYERTYPE_VIDEO1)}, &loaded.v));
  EXPECT_EQ(VARIANT_TRUE, loaded.AsLong());
  ASSERT_EQ(S_OK, script.Get(12, {I4(::LAYERTYPE_VIDEO2)}, &loaded.v));
  EXPECT_EQ(VARIANT_FALSE, loaded.AsLong());

  // GetLayerInfo with its three out-arguments passed by reference.
  LONG info[3] = {-1, -1, -1};
  auto layerInfo = [&](int type) {
    std::vector<VARIANT> args{I4(type)};
    for (LONG& out : info) {
      VARIANT v;
      VariantInit(&v);
      v.vt = VT_BYREF | VT_I4;
      v.plVal = &out;
      args.push_back(v);
    }
    return script.Call(script.Id(L"GetLayerInfo"), args);
  };
  ASSERT_EQ(S_OK, layerInfo(::LAYERTYPE_OVERLAYIMAGE));
  EXPECT_EQ(64, info[0]);
  EXPECT_EQ(48, info[1]);
  EXPECT_EQ(24, info[2]);
  EXPECT_EQ(E_INVALIDARG, layerInfo(7));

  // The reset through the script: only API level 0.
  EXPECT_EQ(E_INVALIDARG, script.Call(29, {I4(1)}));
  ASSERT_EQ(S_OK, O()->put_XPos(::LAYERTYPE_VIDEO2, 40));
  EXPECT_EQ(S_OK, script.Call(script.Id(L"ResetToDefaultsEx"), {I4(0)}));
  LONG x = -1;
  EXPECT_EQ(S_OK, O()->get_XPos(::LAYERTYPE_VIDEO2, &x));
  EXPECT_EQ(0, x);
}

// Bitmap handles as 32-bit and 64-bit values, by table and by script.
TEST_F(OverlayControl, BitmapHandlesThroughBothPaths) {
  Script script(O());
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = 20;
  bmi.bmiHeader.biHeight = 10;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(nullptr, picture);
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } grey{};
  grey.header = bmi.bmiHeader;
  grey.header.biBitCount = 8;
  for (int i = 0; i < 256; ++i) grey.colours[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
  HBITMAP mask = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&grey), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(nullptr, mask);
  const INT64 pictureValue = reinterpret_cast<INT_PTR>(picture);
  const INT64 maskValue = reinterpret_cast<INT_PTR>(mask);

  VARIANT handle;
  Var::I4(&handle, static_cast<LONG>(pictureValue));
  ASSERT_EQ(S_OK, script.Put(script.Id(L"OverlayImageDIBPointer"), {}, handle));
  // The 32-bit forms reach the 64-bit setters sign-extended, the form GDI
  // takes for its handles (only the low 32 bits identify one).
  EXPECT_EQ(static_cast<INT64>(static_cast<LONG>(pictureValue)), object->lastOverlayHandle);
  Var::I8(&handle, pictureValue);
  ASSERT_EQ(S_OK, script.Put(30, {}, handle));
  Var::I4(&handle, static_cast<LONG>(maskValue));
  ASSERT_EQ(S_OK, script.Put(11, {I4(::LAYERTYPE_BACKGROUND)}, handle));
  EXPECT_EQ(static_cast<INT64>(static_cast<LONG>(maskValue)), object->lastMaskHandle);
  Var::I8(&handle, maskValue);
  ASSERT_EQ(S_OK, script.Put(script.Id(L"MaskImageDIBPointer64"), {I4(::LAYERTYPE_VIDEO2)}, handle));
  EXPECT_EQ(S_OK, O()->put_MaskImageDIBPointer(::LAYERTYPE_VIDEO1, static_cast<LONG>(maskValue)));
  for (int t = 0; t < 3; ++t) {
    VARIANT_BOOL loaded = VARIANT_FALSE;
    EXPECT_EQ(S_OK, O()->get_IsMaskImageLoaded(Layer(t), &loaded));
    EXPECT_EQ(VARIANT_TRUE, loaded) << t;
  }
  // A picture that is not 8-bit is no mask: refused, the mask stays.
  EXPECT_EQ(E_FAIL, O()->put_MaskImageDIBPointer64(::LAYERTYPE_VIDEO1, pictureValue));
  VARIANT_BOOL loaded = VARIANT_FALSE;
  EXPECT_EQ(S_OK, O()->get_IsMaskImageLoaded(::LAYERTYPE_VIDEO1, &loaded));
  EXPECT_EQ(VARIANT_TRUE, loaded);

  // The 32-bit value -1 reaches the 64-bit setter as -1, not 0xFFFFFFFF.
  EXPECT_EQ(O()->put_OverlayImageDIBPointer64(-1), O()->put_OverlayImageDIBPointer(-1));
  EXPECT_EQ(-1, object->lastOverlayHandle);
  EXPECT_TRUE(FAILED(O()->put_MaskImageDIBPointer(::LAYERTYPE_VIDEO2, -1)));
  EXPECT_EQ(-1, object->lastMaskHandle);
  EXPECT_EQ(S_OK, O()->get_IsOverlayImageLoaded(&loaded));
  EXPECT_EQ(VARIANT_TRUE, loaded);  // a failed install keeps the picture

  // Null handles and unknown layers; the layer is checked first.
  EXPECT_EQ(E_POINTER, O()->put_OverlayImageDIBPointer64(0));
  EXPECT_EQ(E_POINTER, O()->put_MaskImageDIBPointer64(::LAYERTYPE_VIDEO1, 0));
  EXPECT_EQ(E_INVALIDARG, O()->put_MaskImageDIBPointer64(Layer(9), 0));
  EXPECT_EQ(E_INVALIDARG, O()->put_MaskImageDIBPointer(Layer(-1), static_cast<LONG>(maskValue)));

  DeleteObject(picture);
  DeleteObject(mask);
}

TEST_F(OverlayControl, ChecksPointersAndLayerTypesInTheirOrder) {
  // Getters check the pointer first, except these two.
  EXPECT_EQ(E_INVALIDARG, O()->get_TransparentColor(Layer(9), nullptr));
  EXPECT_EQ(E_INVALIDARG, O()->get_MaskImageFileName(Layer(9), nullptr));
  EXPECT_EQ(E_POINTER, O()->get_Opacity(Layer(9), nullptr));
  EXPECT_EQ(E_POINTER, O()->get_IsMaskImageLoaded(Layer(9), nullptr));
  EXPECT_EQ(E_POINTER, O()->get_Region(Layer(9), nullptr));
  EXPECT_EQ(E_POINTER, O()->get_ActiveLayersCount(nullptr));
  OLE_COLOR colour = 0;
  EXPECT_EQ(E_POINTER, O()->get_TransparentColor(::LAYERTYPE_VIDEO1, nullptr));
  EXPECT_EQ(E_INVALIDARG, O()->get_TransparentColor(Layer(4), &colour));

  LONG w = -1, h = -1, b = -1;
  EXPECT_EQ(S_OK, O()->GetLayerInfo(::LAYERTYPE_BACKGROUND, &w, &h, &b));
  EXPECT_EQ(0, w + h + b);
  EXPECT_EQ(E_INVALIDARG, O()->GetLayerInfo(Layer(7), &w, &h, &b));
  EXPECT_EQ(E_POINTER, O()->GetLayerInfo(Layer(7), &w, nullptr, &b));
  EXPECT_EQ(E_POINTER, O()->GetLayerInfo(::LAYERTYPE_VIDEO1, &w, &h, nullptr));
  // The video layers report their source's header, 0 without a source.
  object->hasVideoHeader[0] = true;
  object->videoHeaders[0].biWidth = 320;
  object->videoHeaders[0].biHeight = 240;
  object->videoHeaders[0].biBitCount = 24;
  EXPECT_EQ(S_OK, O()->GetLayerInfo(::LAYERTYPE_VIDEO1, &w, &h, &b));
  EXPECT_EQ(320, w);
  EXPECT_EQ(240, h);
  EXPECT_EQ(24, b);
  EXPECT_EQ(S_OK, O()->GetLayerInfo(::LAYERTYPE_VIDEO2, &w, &h, &b));
  EXPECT_EQ(0, w + h + b);

  // Unknown layer types and out-of-range values change nothing.
  const SettingsView before = Capture(object);
  for (int type : {-1, 4, 9}) {
    EXPECT_EQ(E_INVALIDARG, O()->put_Opacity(Layer(type), 5));
    EXPECT_EQ(E_INVALIDARG, O()->put_XPos(Layer(type), 5));
    EXPECT_EQ(E_INVALIDARG, O()->put_RgnLeft(Layer(type), 5));
    EXPECT_EQ(E_INVALIDARG, O()->put_EnableOpacity(Layer(type), VARIANT_TRUE));
    EXPECT_EQ(E_INVALIDARG, O()->put_TransparentColor(Layer(type), 5));
    EXPECT_EQ(E_INVALIDARG, O()->put_LayerOrder(Layer(type), 0));
    EXPECT_EQ(E_INVALIDARG, O()->put_MaskImageFileName(Layer(type), nullptr));
    VARIANT_BOOL flag;
    EXPECT_EQ(E_INVALIDARG, O()->get_IsLayerActive(Layer(type), &flag));
  }
  EXPECT_EQ(E_INVALIDARG, O()->put_LayerOrder(::LAYERTYPE_VIDEO1, 4));
  EXPECT_EQ(E_INVALIDARG, O()->put_LayerOrder(::LAYERTYPE_VIDEO1, -1));
  EXPECT_EQ(E_INVALIDARG, O()->put_Region(::LAYERTYPE_VIDEO1, static_cast<::RegionConstants>(4)));
  EXPECT_EQ(E_INVALIDARG, O()->put_OutputWidth(-1));
  EXPECT_EQ(E_INVALIDARG, O()->put_OutputHeight(-1));
  EXPECT_EQ(E_INVALIDARG, O()->ResetToDefaultsEx(static_cast<::KMVOverlay_APILEVEL>(1)));
  EXPECT_EQ(before, Capture(object));
}

TEST_F(OverlayControl, OpacityPutByDispid14OnTheImageLayer) {
  Script script(O());
  ASSERT_EQ(S_OK, script.Put(14, {I4(::LAYERTYPE_OVERLAYIMAGE)}, I4(50)));
  LONG opacity = 0;
  EXPECT_EQ(S_OK, O()->get_Opacity(::LAYERTYPE_OVERLAYIMAGE, &opacity));
  EXPECT_EQ(50, opacity);
  EXPECT_EQ(127, object->Settings().Layers.FindLayer(ovl::LAYERTYPE_OVERLAYIMAGE)->OpacityLevel);
}

// The strings cross as BSTRs and are kept in the thread's ANSI code page.
TEST_F(OverlayControl, FileNamesKeepTheirCharactersAndTheirLimit) {
  std::wstring accented = L"bild_\u00e9.bmp";
  char probe[8];
  BOOL lossy = FALSE;
  WideCharToMultiByte(CP_THREAD_ACP, 0, L"\u00e9", 1, probe, sizeof probe, nullptr, &lossy);
  if (lossy) accented = L"bild_e.bmp";  // the code page has no e-acute
  const std::wstring path = ImageFile(accented, 8, 8);
  BSTR name = SysAllocString(path.c_str());
  ASSERT_EQ(S_OK, O()->put_OverlayImageFileName(name));
  SysFreeString(name);
  BSTR stored = nullptr;
  ASSERT_EQ(S_OK, O()->get_OverlayImageFileName(&stored));
  EXPECT_EQ(path, std::wstring(stored));
  SysFreeString(stored);

  // 259 bytes fit a name field, 260 do not: refused, the old name stays.
  const std::wstring tooLong = L"C:\\" + std::wstring(257, L'n');
  name = SysAllocString(tooLong.c_str());
  EXPECT_EQ(gdi::kFileNameTooLong, O()->put_OverlayImageFileName(name));
  EXPECT_EQ(gdi::kFileNameTooLong, O()->put_MaskImageFileName(::LAYERTYPE_VIDEO2, name));
  SysFreeString(name);
  ASSERT_EQ(S_OK, O()->get_OverlayImageFileName(&stored));
  EXPECT_EQ(path, std::wstring(stored));
  SysFreeString(stored);
}

// Setters that change settings wait for the filter lock (the compositor
// holds it for a whole frame); the output size setters and the reset must
// not, because the reconnection they may start waits for the streaming
// threads.
TEST_F(OverlayControl, LockedSettersWaitForTheFilterLockAndSizeSettersDoNot) {
  const std::wstring mask = MaskFile(L"mask.bmp", 4, 4);
  struct Case {
    const char* name;
    std::function<HRESULT()> call;
    bool locked;
  };
  const Case cases[] = {
      {"Opacity", [&] { return O()->put_Opacity(::LAYERTYPE_VIDEO1, 20); }, true},
      {"LayerOrder", [&] { return O()->put_LayerOrder(::LAYERTYPE_VIDEO1, 2); }, true},
      {"Region", [&] { return O()->put_Region(::LAYERTYPE_VIDEO1, ::REGION_RECT); }, true},
      {"RgnLeft", [&] { return O()->put_RgnLeft(::LAYERTYPE_VIDEO1, 2); }, true},
      {"BkLayerColor", [&] { return O()->put_BkLayerColor(0x00FF00); }, true},
      {"OverlayImageFileName", [&] { return O()->put_OverlayImageFileName(nullptr); }, true},
      {"MaskImageFileName",
       [&] {
         BSTR name = SysAllocString(mask.c_str());
         const HRESULT hr = O()->put_MaskImageFileName(::LAYERTYPE_VIDEO2, name);
         SysFreeString(name);
         return hr;
       },
       true},
      {"MaskImageDIBPointer", [&] { return O()->put_MaskImageDIBPointer(::LAYERTYPE_VIDEO2, -1) == S_OK ? E_UNEXPECTED : S_OK; }, true},
      {"OutputSizeType", [&] { return O()->put_OutputSizeType(::OUTPUTSIZETYPE_CUSTOM); }, false},
      {"OutputWidth", [&] { return O()->put_OutputWidth(320); }, false},
      {"OutputHeight", [&] { return O()->put_OutputHeight(240); }, false},
      {"ResetToDefaultsEx", [&] { return O()->ResetToDefaultsEx(::KMVOverlay_APILEVEL_1); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread frame([&] {
      EnterCriticalSection(&object->FilterLock());
      SetEvent(held);
      WaitForSingleObject(release, INFINITE);
      LeaveCriticalSection(&object->FilterLock());
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held, 5000));
    HRESULT result = E_UNEXPECTED;
    std::thread setter([&] {
      result = c.call();
      SetEvent(done);
    });
    EXPECT_EQ(c.locked ? WAIT_TIMEOUT : WAIT_OBJECT_0, WaitForSingleObject(done, c.locked ? 300 : 5000));
    SetEvent(release);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 5000));
    frame.join();
    setter.join();
    EXPECT_EQ(S_OK, result);
    for (HANDLE h : {held, release, done}) CloseHandle(h);
  }
}

}  // namespace
}  // namespace ovl::testing
