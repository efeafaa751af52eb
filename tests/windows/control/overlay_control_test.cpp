// IKMVVOvLy and IKMMCommon of the real filter as applications use them:
// through their tables and through IDispatch as a script host calls them,
// every member under the DISPID the type library publishes.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>

#include "server/filter_identity.h"
#include "tests/windows/control/control_support.h"

namespace ovl::testing {
namespace {

struct Member {
  const wchar_t* name;
  DISPID id;
};

const Member kOverlayMembers[] = {
    {L"ActiveLayersCount", 1}, {L"IsLayerActive", 2}, {L"LayerOrder", 3}, {L"GetLayerInfo", 4},
    {L"OverlayImageFileName", 5}, {L"OverlayImageDIBPointer", 6}, {L"IsOverlayImageLoaded", 7},
    {L"BkLayerColor", 8}, {L"EnableMaskBitmap", 9}, {L"MaskImageFileName", 10}, {L"MaskImageDIBPointer", 11},
    {L"IsMaskImageLoaded", 12}, {L"EnableOpacity", 13}, {L"Opacity", 14}, {L"EnableTransparency", 15},
    {L"TransparentColor", 16}, {L"XPos", 17}, {L"YPos", 18}, {L"Region", 19}, {L"RgnLeft", 20}, {L"RgnTop", 21},
    {L"RgnRight", 22}, {L"RgnBottom", 23}, {L"RgnRoundRectEllipseWidth", 24}, {L"RgnRoundRectEllipseHeight", 25},
    {L"OutputSizeType", 26}, {L"OutputWidth", 27}, {L"OutputHeight", 28}, {L"ResetToDefaultsEx", 29},
    {L"OverlayImageDIBPointer64", 30}, {L"MaskImageDIBPointer64", 31},
};

const Member kCommonMembers[] = {
    {L"FilterName", 1}, {L"ExportSettings", 2}, {L"ImportSettings", 3}, {L"LoadSettings", 4},
    {L"CommitSettings", 5}, {L"LoadFromMemory", 6}, {L"WriteToMemory", 7}, {L"FilterState", 8},
    {L"InputPinsCount", 9}, {L"OutputPinsCount", 10}, {L"InputPinName", 11}, {L"OutputPinName", 12},
    {L"IsTERNInputPinConnected", 13}, {L"IsTERNOutputPinConnected", 14}, {L"InputPinStreamType", 15},
    {L"OutputPinStreamType", 16}, {L"InWidth", 17}, {L"InHeight", 18}, {L"OutWidth", 19}, {L"OutHeight", 20},
    {L"InBits", 21}, {L"OutBits", 22}, {L"InChannels", 23}, {L"OutChannels", 24}, {L"InBitsPerSample", 25},
    {L"OutBitsPerSample", 26}, {L"InSamplesPerSec", 27}, {L"OutSamplesPerSec", 28}, {L"InputAspectRatioX", 29},
    {L"InputAspectRatioY", 30}, {L"InputPinStreamSubType", 31},
};

// The generated enumerations (global) and the engine's share their numbers.
static_assert(static_cast<int>(::LAYERTYPE_OVERLAYIMAGE) == static_cast<int>(ovl::LAYERTYPE_OVERLAYIMAGE), "");
static_assert(static_cast<int>(::REGION_ELLIPSE) == static_cast<int>(ovl::REGION_ELLIPSE), "");

using OverlayControl = ControlTest;

// The type library in the module's own file, every member under its DISPID
// through each interface's IDispatch, and calls a script makes by DISPID.
TEST_F(OverlayControl, TheModulesTypeLibraryGivesEveryMemberItsDispid) {
  wchar_t path[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  ovl::ComPtr<ITypeLib> lib;
  ASSERT_EQ(S_OK, LoadTypeLibEx(path, REGKIND_NONE, lib.Put()));
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(S_OK, lib->GetLibAttr(&attr));
  EXPECT_TRUE(IsEqualGUID(attr->guid, identity::kLibidOverlay));
  EXPECT_EQ(1, attr->wMajorVerNum);
  EXPECT_EQ(0, attr->wMinorVerNum);
  lib->ReleaseTLibAttr(attr);
  BSTR libName = nullptr;
  ASSERT_EQ(S_OK, lib->GetDocumentation(-1, &libName, nullptr, nullptr, nullptr));
  EXPECT_STREQ(L"KMVVOvLyLib", libName);
  SysFreeString(libName);
  ovl::ComPtr<ITypeInfo> coclass;
  EXPECT_EQ(S_OK, lib->GetTypeInfoOfGuid(identity::kClsidOverlayFilter, coclass.Put()));

  Filter filter;
  for (const auto& [members, count, dispatch, iid] :
       {std::tuple{kOverlayMembers, std::size(kOverlayMembers), static_cast<IDispatch*>(filter.O()), &IID_IKMVVOvLy},
        std::tuple{kCommonMembers, std::size(kCommonMembers), static_cast<IDispatch*>(filter.C()), &IID_IKMMCommon}}) {
    Script script(dispatch);
    for (size_t i = 0; i < count; ++i) EXPECT_EQ(members[i].id, script.Id(members[i].name));
    UINT infos = 0;
    EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&infos));
    EXPECT_EQ(1u, infos);
    ovl::ComPtr<ITypeInfo> info;
    EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, dispatch->GetTypeInfo(1, 0, info.Put()));
    ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, 0, info.Put()));
    TYPEATTR* type = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&type));
    EXPECT_TRUE(IsEqualGUID(type->guid, *iid));
    info->ReleaseTypeAttr(type);
    DISPPARAMS none{};
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, dispatch->Invoke(1, *iid, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr));
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
    DISPID id = 0;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id));
  }
  // A script reads the filter's name and runs the settings transfers.
  Script common(filter.C());
  Var name;
  ASSERT_EQ(S_OK, common.Get(1, {}, &name));
  EXPECT_EQ(L"TERN Video Overlay Filter (2.0)", name.Text());
  BSTR base = nullptr;
  ASSERT_EQ(S_OK, static_cast<IKMAVBase*>(filter.object)->GetFilterName(&base));
  EXPECT_EQ(name.Text(), std::wstring(base));
  SysFreeString(base);
  ASSERT_EQ(S_OK, filter.O()->put_Opacity(::LAYERTYPE_VIDEO1, 33));
  const std::wstring file = dir.Path(L"script.xml");
  ASSERT_EQ(S_OK, common.Call(2, {Str(file)}));  // ExportSettings
  ASSERT_EQ(S_OK, common.Call(5, {}));           // CommitSettings
  LONG opacity = 0;
  for (DISPID load : {4, 3}) {  // LoadSettings, ImportSettings
    ASSERT_EQ(S_OK, filter.O()->put_Opacity(::LAYERTYPE_VIDEO1, 1));
    ASSERT_EQ(S_OK, load == 4 ? common.Call(load, {}) : common.Call(load, {Str(file)}));
    EXPECT_EQ(S_OK, filter.O()->get_Opacity(::LAYERTYPE_VIDEO1, &opacity));
    EXPECT_EQ(33, opacity);
  }
}

// Each value set through one path reads back through the other: table, then
// script by name; script by DISPID, then table; table, then script by DISPID.
TEST_F(OverlayControl, SettablePropertiesAgreeAcrossTableAndDispatch) {
  Filter filter;
  Script script(filter.O());
  for (const Property& p : kProperties) {
    SCOPED_TRACE(std::string(p.name, p.name + wcslen(p.name)));
    for (int t = 0; t < (p.perLayer ? 4 : 1); ++t) {
      auto args = [&]() { return p.perLayer ? std::vector<VARIANT>{I4(t)} : std::vector<VARIANT>{}; };
      ASSERT_EQ(S_OK, p.put(filter.O(), Layer(t), p.a));
      Var read;
      ASSERT_EQ(S_OK, script.Get(script.Id(p.name), args(), &read));
      EXPECT_EQ(p.a, read.Long()) << "layer " << t;

      ASSERT_EQ(S_OK, script.Put(p.id, args(), p.boolean ? Bool(p.b != 0) : I4(p.b)));
      LONG value = 0x7EADBEEF;
      ASSERT_EQ(S_OK, p.get(filter.O(), Layer(t), &value));
      EXPECT_EQ(p.b, value) << "layer " << t;

      ASSERT_EQ(S_OK, p.put(filter.O(), Layer(t), p.a));
      ASSERT_EQ(S_OK, script.Get(p.id, args(), &read));
      EXPECT_EQ(p.a, read.Long()) << "layer " << t;
      if (p.boolean) {
        EXPECT_EQ(VT_BOOL, read.v.vt);
      }
    }
  }
}

// The read-only members and the methods by script, the pictures by name (in
// the thread's ANSI code page inside), and GetLayerInfo with its
// out-arguments by reference.
TEST_F(OverlayControl, ReadOnlyMembersAndMethodsThroughDispatch) {
  Filter filter;
  Script script(filter.O());
  Var result;
  // Video 1 is active from the start (its pin exists), the image once loaded.
  for (const auto& [id, layer, expected] : {std::tuple{1, -1, LONG{1}}, std::tuple{2, int{::LAYERTYPE_VIDEO1}, LONG{VARIANT_TRUE}},
                                            std::tuple{2, int{::LAYERTYPE_OVERLAYIMAGE}, LONG{VARIANT_FALSE}}}) {
    ASSERT_EQ(S_OK, script.Get(id, layer < 0 ? std::vector<VARIANT>{} : std::vector<VARIANT>{I4(layer)}, &result));
    EXPECT_EQ(expected, result.Long()) << id << " " << layer;
  }

  BOOL lossy = FALSE;
  char probe[8];
  WideCharToMultiByte(CP_THREAD_ACP, 0, L"\u00e9", 1, probe, sizeof probe, nullptr, &lossy);
  const std::wstring image = Picture(lossy ? L"bild_e.bmp" : L"bild_\u00e9.bmp", 64, 48), mask = Picture(L"m.bmp", 16, 8, true);
  ASSERT_EQ(S_OK, script.Put(script.Id(L"OverlayImageFileName"), {}, Str(image)));
  ASSERT_EQ(S_OK, script.Put(10, {I4(::LAYERTYPE_VIDEO1)}, Str(mask)));
  BSTR stored = nullptr;
  ASSERT_EQ(S_OK, filter.O()->get_OverlayImageFileName(&stored));
  EXPECT_EQ(image, std::wstring(stored));
  SysFreeString(stored);
  ASSERT_EQ(S_OK, script.Get(script.Id(L"MaskImageFileName"), {I4(::LAYERTYPE_VIDEO1)}, &result));
  EXPECT_EQ(mask, result.Text());
  for (const auto& [id, layer, expected] : {std::tuple{7, -1, LONG{VARIANT_TRUE}}, std::tuple{1, -1, LONG{2}},
                                            std::tuple{12, int{::LAYERTYPE_VIDEO1}, LONG{VARIANT_TRUE}},
                                            std::tuple{12, int{::LAYERTYPE_VIDEO2}, LONG{VARIANT_FALSE}}}) {
    ASSERT_EQ(S_OK, script.Get(id, layer < 0 ? std::vector<VARIANT>{} : std::vector<VARIANT>{I4(layer)}, &result));
    EXPECT_EQ(expected, result.Long()) << id << " " << layer;
  }

  // The image reports its picture; a video layer without a source and the
  // background without inputs report nothing.
  struct InfoCase {
    LONG type;
    HRESULT expected;
    std::vector<LONG> info;
  };
  for (const InfoCase& c : {InfoCase{::LAYERTYPE_OVERLAYIMAGE, S_OK, {64, 48, 24}}, InfoCase{::LAYERTYPE_VIDEO2, S_OK, {0, 0, 0}},
                            InfoCase{::LAYERTYPE_BACKGROUND, S_OK, {0, 0, 0}}, InfoCase{7, E_INVALIDARG, {-1, -1, -1}}}) {
    std::vector<LONG> info(3, -1);
    std::vector<VARIANT> args{I4(c.type)};
    for (LONG& out : info) args.push_back(Arg(VT_BYREF | VT_I4, reinterpret_cast<LONG_PTR>(&out)));
    EXPECT_EQ(c.expected, script.Call(script.Id(L"GetLayerInfo"), args)) << c.type;
    EXPECT_EQ(c.info, info) << c.type;
  }
  LONG w = -1, h = -1, b = -1;
  EXPECT_EQ(E_POINTER, filter.O()->GetLayerInfo(Layer(7), &w, nullptr, &b));  // the pointers first
  EXPECT_EQ(E_POINTER, filter.O()->GetLayerInfo(::LAYERTYPE_VIDEO1, &w, &h, nullptr));

  // The reset through the script: only API level 0.
  EXPECT_EQ(E_INVALIDARG, script.Call(29, {I4(1)}));
  ASSERT_EQ(S_OK, filter.O()->put_XPos(::LAYERTYPE_VIDEO2, 40));
  EXPECT_EQ(S_OK, script.Call(script.Id(L"ResetToDefaultsEx"), {I4(0)}));
  EXPECT_EQ(S_OK, filter.O()->get_XPos(::LAYERTYPE_VIDEO2, &w));
  EXPECT_EQ(0, w);
}

// The real filter, but its 64-bit handle setters record what they are given.
class HandleRecordingFilter : public CVOvrLyFilter {
 public:
  using CVOvrLyFilter::CVOvrLyFilter;
  HRESULT STDMETHODCALLTYPE put_OverlayImageDIBPointer64(INT64 handle) override {
    overlayHandle = handle;
    return CVOvrLyFilter::put_OverlayImageDIBPointer64(handle);
  }
  HRESULT STDMETHODCALLTYPE put_MaskImageDIBPointer64(::LayerTypeConstants layer, INT64 handle) override {
    maskHandle = handle;
    return CVOvrLyFilter::put_MaskImageDIBPointer64(layer, handle);
  }
  INT64 overlayHandle = 0, maskHandle = 0;
};

// Bitmap handles as 32-bit and 64-bit values, by table and by script. The
// 32-bit forms reach the 64-bit setters sign-extended, the form GDI takes
// for its handles (only the low 32 bits identify one).
TEST_F(OverlayControl, BitmapHandlesThroughBothPathsAndSignExtended) {
  HRESULT hr = S_OK;
  auto* object = new HandleRecordingFilter(nullptr, &hr);
  ovl::ComPtr<IBaseFilter> base;
  ASSERT_EQ(S_OK, object->NonDelegatingQueryInterface(IID_IBaseFilter, base.PutVoid()));
  IKMVVOvLy* o = object;
  Script script(o);
  auto load = [](const std::wstring& file) {
    return static_cast<HBITMAP>(LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  };
  HBITMAP picture = load(Picture(L"p.bmp", 20, 10)), mask = load(Picture(L"k.bmp", 20, 10, true));
  ASSERT_TRUE(picture != nullptr && mask != nullptr);
  const INT64 pictureValue = reinterpret_cast<INT_PTR>(picture), maskValue = reinterpret_cast<INT_PTR>(mask);

  ASSERT_EQ(S_OK, script.Put(script.Id(L"OverlayImageDIBPointer"), {}, I4(static_cast<LONG>(pictureValue))));
  EXPECT_EQ(static_cast<INT64>(static_cast<LONG>(pictureValue)), object->overlayHandle);
  ASSERT_EQ(S_OK, script.Put(30, {}, Arg(VT_I8, pictureValue)));
  ASSERT_EQ(S_OK, script.Put(11, {I4(::LAYERTYPE_BACKGROUND)}, I4(static_cast<LONG>(maskValue))));
  EXPECT_EQ(static_cast<INT64>(static_cast<LONG>(maskValue)), object->maskHandle);
  ASSERT_EQ(S_OK, script.Put(script.Id(L"MaskImageDIBPointer64"), {I4(::LAYERTYPE_VIDEO2)}, Arg(VT_I8, maskValue)));
  EXPECT_EQ(S_OK, o->put_MaskImageDIBPointer(::LAYERTYPE_VIDEO1, static_cast<LONG>(maskValue)));
  VARIANT_BOOL loaded = VARIANT_FALSE;
  for (int t = 0; t < 3; ++t) {
    EXPECT_EQ(S_OK, o->get_IsMaskImageLoaded(Layer(t), &loaded));
    EXPECT_EQ(VARIANT_TRUE, loaded) << t;
  }
  // The 32-bit value -1 reaches the 64-bit setter as -1, not 0xFFFFFFFF.
  const HRESULT wide = o->put_OverlayImageDIBPointer64(-1);
  object->overlayHandle = 0;
  EXPECT_EQ(wide, o->put_OverlayImageDIBPointer(-1));
  EXPECT_EQ(-1, object->overlayHandle);
  EXPECT_TRUE(FAILED(o->put_MaskImageDIBPointer(::LAYERTYPE_VIDEO2, -1)));
  EXPECT_EQ(-1, object->maskHandle);
  EXPECT_EQ(S_OK, o->get_IsOverlayImageLoaded(&loaded));
  EXPECT_EQ(VARIANT_TRUE, loaded);  // a failed install keeps the picture
  EXPECT_EQ(E_INVALIDARG, o->put_MaskImageDIBPointer(Layer(-1), static_cast<LONG>(maskValue)));
  DeleteObject(picture);
  DeleteObject(mask);
}

TEST_F(OverlayControl, ChecksPointersAndLayerTypesInTheirOrderAndChangesNothing) {
  Filter filter;
  IKMVVOvLy* o = filter.O();
  // Getters check the pointer first, except these two.
  EXPECT_EQ(E_INVALIDARG, o->get_TransparentColor(Layer(9), nullptr));
  EXPECT_EQ(E_INVALIDARG, o->get_MaskImageFileName(Layer(9), nullptr));
  EXPECT_EQ(E_POINTER, o->get_Opacity(Layer(9), nullptr));
  EXPECT_EQ(E_POINTER, o->get_IsMaskImageLoaded(Layer(9), nullptr));
  EXPECT_EQ(E_POINTER, o->get_Region(Layer(9), nullptr));
  EXPECT_EQ(E_POINTER, o->get_ActiveLayersCount(nullptr));
  EXPECT_EQ(E_POINTER, o->get_TransparentColor(::LAYERTYPE_VIDEO1, nullptr));

  const SettingsView before = Capture(filter);
  for (const Property& p : kProperties) {
    if (!p.perLayer) continue;
    for (int type : {-1, 4, 9}) EXPECT_EQ(E_INVALIDARG, p.put(o, Layer(type), p.a)) << type;
  }
  EXPECT_EQ(E_INVALIDARG, o->put_LayerOrder(::LAYERTYPE_VIDEO1, 4));
  EXPECT_EQ(E_INVALIDARG, o->put_Region(::LAYERTYPE_VIDEO1, static_cast<::RegionConstants>(4)));
  EXPECT_EQ(E_INVALIDARG, o->put_OutputWidth(-1));
  EXPECT_EQ(E_INVALIDARG, o->ResetToDefaultsEx(static_cast<::KMVOverlay_APILEVEL>(1)));
  EXPECT_EQ(before, Capture(filter));
}

// Setters that change settings wait for the filter lock (the compositor
// holds it for a whole frame): those of the settings and those that load
// pictures. The output size setters and the reset must not, because the
// reconnection they may start waits for the streaming threads.
TEST_F(OverlayControl, LockedSettersWaitForTheFilterLockAndSizeSettersDoNot) {
  Filter filter;
  IKMVVOvLy* o = filter.O();
  BSTR mask = SysAllocString(Picture(L"mask.bmp", 4, 4, true).c_str());
  const std::pair<std::function<HRESULT()>, bool> cases[] = {
      {[&] { return o->put_Opacity(::LAYERTYPE_VIDEO1, 20); }, true},
      {[&] { return o->put_Region(::LAYERTYPE_VIDEO1, ::REGION_RECT); }, true},
      {[&] { return o->put_BkLayerColor(0x00FF00); }, true},
      {[&] { return o->put_OverlayImageFileName(nullptr); }, true},
      {[&] { return o->put_MaskImageFileName(::LAYERTYPE_VIDEO2, mask); }, true},
      {[&] { return o->put_MaskImageDIBPointer(::LAYERTYPE_VIDEO2, -1) == S_OK ? E_UNEXPECTED : S_OK; }, true},
      {[&] { return o->put_OutputSizeType(::OUTPUTSIZETYPE_CUSTOM); }, false},
      {[&] { return o->put_OutputWidth(320); }, false},
      {[&] { return o->ResetToDefaultsEx(::KMVOverlay_APILEVEL_1); }, false},
  };
  int index = 0;
  for (const auto& [call, locked] : cases) {
    SCOPED_TRACE(index++);
    std::future<HRESULT> result;
    {
      CAutoLock frame(filter.object->FilterLock());  // as the compositor holds it
      result = std::async(std::launch::async, call);
      EXPECT_EQ(locked ? std::future_status::timeout : std::future_status::ready,
                result.wait_for(std::chrono::milliseconds(locked ? 300 : 5000)));
    }
    EXPECT_EQ(S_OK, result.get());
  }
  SysFreeString(mask);
}

}  // namespace
}  // namespace ovl::testing
