#pragma once
// A live overlay filter from the class table, the settings page opened on it
// in a stand-in frame, and the filter's automation interface to check what
// the page did. Message boxes and choosers go to the recorder.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "KMVVOvLy.h"
#include "server/filter_identity.h"
#include "tests/windows/support/filter_test_support.h"
#include "tests/windows/ui/page_harness.h"
#include "ui/resource_ids.h"

namespace ovl::testing {

class SettingsPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveSavedSettings();
    frame = CreateFrameWindow(720, 560);
    ASSERT_NE(nullptr, frame) << "no X display: run the tests through scripts/wine-session.sh";
    filter = CreateThroughFactory(ovl::identity::kClsidOverlayFilter);
    ASSERT_TRUE(filter);
    overlay = filter.As<IKMVVOvLy>(IID_IKMVVOvLy);
    ASSERT_TRUE(overlay);
  }
  void TearDown() override {
    page.reset();
    overlay.Reset();
    filter.Reset();
    if (frame != nullptr) DestroyWindow(frame);
    RemoveSavedSettings();
    EXPECT_TRUE(NoLiveObjects());
  }
  void Open() {
    page = std::make_unique<ActivePage>(ovl::identity::kClsidPropertyPage, filter.Get(), frame);
    ASSERT_NE(nullptr, page->Window());
  }
  // The layer list entry of a layer type (the list shows positions).
  void SelectLayer(::LayerTypeConstants layer) {
    LONG position = -1;
    overlay->get_LayerOrder(layer, &position);
    page->SelectList(IDC_LAYER_LIST, position);
  }
  LONG Get(HRESULT (STDMETHODCALLTYPE IKMVVOvLy1::*getter)(::LayerTypeConstants, LONG*), ::LayerTypeConstants layer) {
    LONG value = -12345;
    (overlay.Get()->*getter)(layer, &value);
    return value;
  }
  bool Flag(HRESULT (STDMETHODCALLTYPE IKMVVOvLy1::*getter)(::LayerTypeConstants, VARIANT_BOOL*), ::LayerTypeConstants layer) {
    VARIANT_BOOL value = 7;
    (overlay.Get()->*getter)(layer, &value);
    EXPECT_TRUE(value == VARIANT_TRUE || value == VARIANT_FALSE);
    return value == VARIANT_TRUE;
  }
  LONG RegionOf(::LayerTypeConstants layer) {
    ::RegionConstants region = static_cast<::RegionConstants>(-1);
    overlay->get_Region(layer, &region);
    return region;
  }
  OLE_COLOR Colour(::LayerTypeConstants layer) {
    OLE_COLOR colour = 0xFFFFFFFF;
    overlay->get_TransparentColor(layer, &colour);
    return colour;
  }
  std::string OverlayFile() {
    BSTR name = nullptr;
    overlay->get_OverlayImageFileName(&name);
    std::string text;
    for (UINT i = 0; name != nullptr && i < SysStringLen(name); ++i) text.push_back(static_cast<char>(name[i]));
    SysFreeString(name);
    return text;
  }

  ComApartment com;
  ModalRecorder modal;
  HWND frame = nullptr;
  ovl::ComPtr<IUnknown> filter;
  ovl::ComPtr<IKMVVOvLy> overlay;
  std::unique_ptr<ActivePage> page;
};

}  // namespace ovl::testing
