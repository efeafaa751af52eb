// The type library as clients see it: loaded from the program's own file,
// its identifiers, and every member under the DISPID it is published with.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "KMVVOvLy.h"
#include "engine/layer_types.h"
#include "server/class_ids.h"
#include "tests/windows/control/control_object.h"

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

class TypeLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    ASSERT_EQ(S_OK, LoadTypeLibEx(path, REGKIND_NONE, &lib));
  }
  void TearDown() override {
    if (lib != nullptr) lib->Release();
  }

  ITypeInfo* Info(REFGUID guid) {
    ITypeInfo* info = nullptr;
    EXPECT_EQ(S_OK, lib->GetTypeInfoOfGuid(guid, &info));
    return info;
  }

  ITypeLib* lib = nullptr;
};

TEST_F(TypeLibrary, IsKMVVOvLyLib10WithTheChosenIdentifiers) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(S_OK, lib->GetLibAttr(&attr));
  EXPECT_TRUE(IsEqualGUID(attr->guid, server::kLibidOverlay));
  EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_KMVVOvLyLib));
  EXPECT_EQ(1, attr->wMajorVerNum);
  EXPECT_EQ(0, attr->wMinorVerNum);
  lib->ReleaseTLibAttr(attr);
  BSTR name = nullptr;
  ASSERT_EQ(S_OK, lib->GetDocumentation(-1, &name, nullptr, nullptr, nullptr));
  EXPECT_STREQ(L"KMVVOvLyLib", name);
  SysFreeString(name);
  // The coclass is the filter's class.
  ITypeInfo* coclass = Info(server::kClsidOverlayFilter);
  ASSERT_NE(nullptr, coclass);
  TYPEATTR* type = nullptr;
  ASSERT_EQ(S_OK, coclass->GetTypeAttr(&type));
  EXPECT_EQ(TKIND_COCLASS, type->typekind);
  coclass->ReleaseTypeAttr(type);
  coclass->Release();
  // The generated enumerations (global) and the engine's (namespace ovl)
  // live side by side with the same numbers.
  static_assert(static_cast<int>(::LAYERTYPE_OVERLAYIMAGE) == static_cast<int>(ovl::LAYERTYPE_OVERLAYIMAGE), "");
  static_assert(static_cast<int>(::REGION_ELLIPSE) == static_cast<int>(ovl::REGION_ELLIPSE), "");
  static_assert(static_cast<int>(::OUTPUTSIZETYPE_CUSTOM) == static_cast<int>(ovl::OUTPUTSIZETYPE_CUSTOM), "");
}

TEST_F(TypeLibrary, EveryMemberHasItsDispid) {
  for (const auto& [members, count, iid] :
       {std::tuple{kOverlayMembers, std::size(kOverlayMembers), &IID_IKMVVOvLy},
        std::tuple{kCommonMembers, std::size(kCommonMembers), &IID_IKMMCommon}}) {
    ITypeInfo* info = Info(*iid);
    ASSERT_NE(nullptr, info);
    for (size_t i = 0; i < count; ++i) {
      LPOLESTR names[] = {const_cast<LPOLESTR>(members[i].name)};
      DISPID id = DISPID_UNKNOWN;
      EXPECT_EQ(S_OK, info->GetIDsOfNames(names, 1, &id));
      EXPECT_EQ(members[i].id, id) << "member " << i;
    }
    info->Release();
  }
}

// The object's own IDispatch: one type information, from the same library.
TEST(FilterDispatch, GivesTheTypeInformationOfItsInterface) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  {
    Ref<ControlObject> object(ControlObject::Create("Software\\TernTests\\Control\\Dispatch"));
    for (IDispatch* dispatch : {static_cast<IDispatch*>(object->Overlay()), static_cast<IDispatch*>(object->Common())}) {
      UINT count = 0;
      EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
      EXPECT_EQ(1u, count);
      EXPECT_EQ(E_POINTER, dispatch->GetTypeInfoCount(nullptr));
      ITypeInfo* info = nullptr;
      EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, dispatch->GetTypeInfo(1, 0, &info));
      EXPECT_EQ(nullptr, info);
      EXPECT_EQ(E_POINTER, dispatch->GetTypeInfo(0, 0, nullptr));
      ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, 0, &info));
      TYPEATTR* attr = nullptr;
      ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
      EXPECT_TRUE(IsEqualGUID(attr->guid, dispatch == object->Overlay() ? IID_IKMVVOvLy : IID_IKMMCommon));
      info->ReleaseTypeAttr(attr);
      info->Release();
      DISPPARAMS none{};
      EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
                dispatch->Invoke(1, IID_IKMVVOvLy, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr));
      LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
      DISPID id = 0;
      EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id));
    }
  }
  CoUninitialize();
}

}  // namespace
}  // namespace ovl::testing
