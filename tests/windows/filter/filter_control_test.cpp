// The overlay filter's control surface on the real filter: interface
// identity, automation by name, pin answers in a graph, and its settings
// saved with a graph and exported to a file.
#include <gtest/gtest.h>

#include "KMVVOvLy.h"
#include "tests/windows/support/filter_test_support.h"
#include "tests/windows/support/graph_util.h"
#include "tests/windows/support/scripted_source.h"

namespace ovl {
namespace {

using namespace ovl::testing;

template <class T>
ovl::ComPtr<T> Query(IUnknown* object, REFIID iid) {
  ovl::ComPtr<T> result;
  object->QueryInterface(iid, result.PutVoid());
  return result;
}

class FilterControl : public ::testing::Test {
 protected:
  void SetUp() override {
    filterBase = MakeOverlayFilter(&filter);
    ASSERT_TRUE(filterBase);
    overlay = Query<IKMVVOvLy>(filterBase.Get(), IID_IKMVVOvLy);
    ASSERT_TRUE(overlay);
  }
  void TearDown() override {
    overlay.Reset();
    filterBase.Reset();
    EXPECT_TRUE(NoLiveObjects());
  }
  ComApartment com;
  ovl::ComPtr<IBaseFilter> filterBase;
  CVOvrLyFilter* filter = nullptr;
  ovl::ComPtr<IKMVVOvLy> overlay;
};

TEST_F(FilterControl, TheAutomationInterfacesShareOneTable) {
  auto first = Query<IKMVVOvLy1>(filterBase.Get(), IID_IKMVVOvLy1);
  auto old2 = Query<IKMVVOvLyOld2>(filterBase.Get(), IID_IKMVVOvLyOld2);
  auto dispatch = Query<IDispatch>(filterBase.Get(), IID_IDispatch);
  EXPECT_EQ(static_cast<void*>(overlay.Get()), static_cast<void*>(first.Get()));
  EXPECT_EQ(static_cast<void*>(overlay.Get()), static_cast<void*>(old2.Get()));
  EXPECT_EQ(static_cast<void*>(overlay.Get()), static_cast<void*>(dispatch.Get()));
  EXPECT_TRUE(Query<IKMMCommon>(filterBase.Get(), IID_IKMMCommon));
  EXPECT_TRUE(Query<IKMAVBase>(filterBase.Get(), IID_IKMAVBase));
  EXPECT_TRUE(Query<IPersistStream>(filterBase.Get(), IID_IPersistStream));
  // Every interface leads back to the same object.
  auto unknownA = Query<IUnknown>(overlay.Get(), IID_IUnknown);
  auto unknownB = Query<IUnknown>(Query<IKMMCommon>(filterBase.Get(), IID_IKMMCommon).Get(), IID_IUnknown);
  EXPECT_EQ(unknownA.Get(), unknownB.Get());
}

TEST_F(FilterControl, AScriptHostSetsAndReadsPropertiesByName) {
  auto dispatch = Query<IDispatch>(filterBase.Get(), IID_IDispatch);
  OLECHAR name[] = L"Opacity";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
  EXPECT_EQ(14, id);
  VARIANT args[2];
  VariantInit(&args[0]);
  VariantInit(&args[1]);
  args[0].vt = VT_I4;  // the new value comes first (arguments are in reverse order)
  args[0].lVal = 50;
  args[1].vt = VT_I4;
  args[1].lVal = ::LAYERTYPE_OVERLAYIMAGE;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS put{args, &named, 2, 1};
  ASSERT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr));
  LONG opacity = 0;
  ASSERT_EQ(S_OK, overlay->get_Opacity(::LAYERTYPE_OVERLAYIMAGE, &opacity));
  EXPECT_EQ(50, opacity);
  EXPECT_EQ(127, filter->Settings().Layers.FindLayer(::LAYERTYPE_OVERLAYIMAGE)->OpacityLevel);
  VARIANT result;
  VariantInit(&result);
  DISPPARAMS get{&args[1], nullptr, 1, 0};
  ASSERT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &get, &result, nullptr, nullptr));
  EXPECT_EQ(50, result.lVal);
}

TEST_F(FilterControl, PinAnswersFollowTheConnections) {
  ovl::ComPtr<IGraphBuilder> graph = CreateGraphWithoutClock();
  ASSERT_EQ(S_OK, graph->AddFilter(filterBase.Get(), L"Overlay"));
  auto common = Query<IKMMCommon>(filterBase.Get(), IID_IKMMCommon);
  LONG value = 0;
  VARIANT_BOOL connected = 7;
  ASSERT_EQ(S_OK, common->get_InWidth(0, &value));
  EXPECT_EQ(-1, value) << "not connected";
  EXPECT_EQ(S_OK, common->get_IsTERNInputPinConnected(1, &connected));
  EXPECT_EQ(7, connected) << "the second input does not exist yet: the answer is left alone";
  LONG layers = 0;
  overlay->get_ActiveLayersCount(&layers);
  EXPECT_EQ(1, layers);

  HRESULT hr = S_OK;
  CScriptedSource* source = CScriptedSource::Create(40, 30, &hr);
  graph->AddFilter(source, L"source");
  ASSERT_EQ(S_OK, graph->ConnectDirect(source->OutputPin(), FindPin(filterBase.Get(), PINDIR_INPUT).Get(), nullptr));
  ASSERT_EQ(S_OK, common->get_InWidth(0, &value));
  EXPECT_EQ(40, value);
  EXPECT_EQ(E_INVALIDARG, common->get_InWidth(1, &value)) << "only the first input is presented here";
  EXPECT_EQ(S_OK, common->get_IsTERNInputPinConnected(1, &connected));
  EXPECT_EQ(VARIANT_FALSE, connected);
  LONG w = 0, h = 0, bits = 0;
  ASSERT_EQ(S_OK, overlay->GetLayerInfo(::LAYERTYPE_VIDEO1, &w, &h, &bits));
  EXPECT_EQ(40, w);
  EXPECT_EQ(30, h);
  EXPECT_EQ(24, bits);
  overlay->get_ActiveLayersCount(&layers);
  EXPECT_EQ(2, layers);
  LONG state = -1;
  EXPECT_EQ(S_OK, common->get_FilterState(&state));
  EXPECT_EQ(State_Stopped, state);
  graph->RemoveFilter(source);
  graph->RemoveFilter(filterBase.Get());
  source->Release();
}

TEST_F(FilterControl, SettingsSavedWithTheGraphComeBackInANewFilter) {
  overlay->put_LayerOrder(::LAYERTYPE_OVERLAYIMAGE, 0);
  overlay->put_XPos(::LAYERTYPE_VIDEO2, 17);
  overlay->put_Opacity(::LAYERTYPE_VIDEO1, 33);
  overlay->put_EnableOpacity(::LAYERTYPE_VIDEO1, VARIANT_TRUE);
  overlay->put_BkLayerColor(0x00123456);
  overlay->put_Region(::LAYERTYPE_VIDEO2, ::REGION_ELLIPSE);
  overlay->put_OutputSizeType(::OUTPUTSIZETYPE_CUSTOM);
  overlay->put_OutputWidth(320);

  auto persist = Query<IPersistStream>(filterBase.Get(), IID_IPersistStream);
  ovl::ComPtr<IStream> stream;
  ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
  ASSERT_EQ(S_OK, persist->Save(stream.Get(), TRUE));
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  EXPECT_EQ(324u, stat.cbSize.QuadPart) << "24-byte header plus the settings, every name empty";

  CVOvrLyFilter* copy = nullptr;
  ovl::ComPtr<IBaseFilter> copyBase = MakeOverlayFilter(&copy);
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  ASSERT_EQ(S_OK, Query<IPersistStream>(copyBase.Get(), IID_IPersistStream)->Load(stream.Get()));
  auto restored = Query<IKMVVOvLy>(copyBase.Get(), IID_IKMVVOvLy);
  LONG value = 0;
  restored->get_LayerOrder(::LAYERTYPE_OVERLAYIMAGE, &value);
  EXPECT_EQ(0, value);
  restored->get_XPos(::LAYERTYPE_VIDEO2, &value);
  EXPECT_EQ(17, value);
  restored->get_Opacity(::LAYERTYPE_VIDEO1, &value);
  EXPECT_EQ(33, value);
  OLE_COLOR colour = 0;
  restored->get_BkLayerColor(&colour);
  EXPECT_EQ(0x00123456u, colour);
  ::RegionConstants region = ::REGION_NONE;
  restored->get_Region(::LAYERTYPE_VIDEO2, &region);
  EXPECT_EQ(::REGION_ELLIPSE, region);
  EXPECT_NE(nullptr, copy->Settings().Layers.FindLayer(::LAYERTYPE_VIDEO2)->RegionHandle) << "the region was rebuilt";
  restored->get_OutputWidth(&value);
  EXPECT_EQ(320, value);
}

TEST_F(FilterControl, ExportedSettingsImportIntoAnotherFilter) {
  overlay->put_YPos(::LAYERTYPE_OVERLAYIMAGE, 44);
  overlay->put_TransparentColor(::LAYERTYPE_OVERLAYIMAGE, 0x0000FF00);
  overlay->put_EnableTransparency(::LAYERTYPE_OVERLAYIMAGE, VARIANT_TRUE);
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  const std::wstring file = std::wstring(dir) + L"overlay-export-test.xml";
  BSTR name = SysAllocString(file.c_str());
  ASSERT_EQ(S_OK, Query<IKMMCommon>(filterBase.Get(), IID_IKMMCommon)->ExportSettings(name));
  ovl::ComPtr<IBaseFilter> other = MakeOverlayFilter(nullptr);
  ASSERT_EQ(S_OK, Query<IKMMCommon>(other.Get(), IID_IKMMCommon)->ImportSettings(name));
  SysFreeString(name);
  DeleteFileW(file.c_str());
  auto imported = Query<IKMVVOvLy>(other.Get(), IID_IKMVVOvLy);
  LONG y = 0;
  OLE_COLOR key = 0;
  VARIANT_BOOL enabled = VARIANT_FALSE;
  imported->get_YPos(::LAYERTYPE_OVERLAYIMAGE, &y);
  imported->get_TransparentColor(::LAYERTYPE_OVERLAYIMAGE, &key);
  imported->get_EnableTransparency(::LAYERTYPE_OVERLAYIMAGE, &enabled);
  EXPECT_EQ(44, y);
  EXPECT_EQ(0x0000FF00u, key);
  EXPECT_EQ(VARIANT_TRUE, enabled);
}

}  // namespace
}  // namespace ovl
