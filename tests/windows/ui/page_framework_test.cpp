// The property frame's protocol on both pages: page information from the
// resources, the dialog inside the frame's window, the edited object's
// hooks and the keyboard.
#include "server/filter_identity.h"
#include "tests/windows/ui/page_harness.h"
#include "ui/resource_ids.h"

namespace ovl::testing {
namespace {

using namespace ovl::identity;
using PageFramework = PageTest;

TEST_F(PageFramework, PageInformationComesFromTheDialogAndStringResources) {
  const struct {
    const CLSID* clsid;
    const wchar_t* title;
    SIZE units;
  } pages[] = {{&kClsidPropertyPage, L"OverLay Settings", {379, 274}}, {&kClsidAboutPage, L"About", {177, 99}}};
  for (const auto& expected : pages) {
    ActivePage page(*expected.clsid, filter.Get(), frame);
    ASSERT_NE(nullptr, page.Window());
    PROPPAGEINFO info{};
    ASSERT_EQ(S_OK, page->GetPageInfo(&info));
    EXPECT_EQ(sizeof(PROPPAGEINFO), info.cb);
    EXPECT_STREQ(expected.title, info.pszTitle);
    // The size in pixels is what the dialog itself makes of its units.
    RECT units = {0, 0, expected.units.cx, expected.units.cy};
    MapDialogRect(page.Window(), &units);
    EXPECT_EQ(units.right, info.size.cx) << "width of " << expected.units.cx << " dialog units";
    EXPECT_EQ(units.bottom, info.size.cy) << "height of " << expected.units.cy << " dialog units";
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszDocString);
    CoTaskMemFree(info.pszHelpFile);
    EXPECT_EQ(E_POINTER, page->GetPageInfo(nullptr));
  }
}

// Where the page's dialog sits in the frame's client area.
RECT PlacedIn(HWND frame, HWND window) {
  RECT placed{};
  GetWindowRect(window, &placed);
  MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&placed), 2);
  return placed;
}

TEST_F(PageFramework, TheDialogLivesInsideTheFrameFromActivateToDeactivate) {
  ovl::ComPtr<IPropertyPage> page = CreateThroughFactory(kClsidPropertyPage).As<IPropertyPage>(IID_IPropertyPage);
  ASSERT_TRUE(page);
  IUnknown* objects[] = {filter.Get()};
  ASSERT_EQ(S_OK, page->SetObjects(1, objects));
  RECT rect = {8, 6, 600, 480};
  EXPECT_EQ(E_UNEXPECTED, page->Show(SW_SHOW));
  EXPECT_EQ(E_UNEXPECTED, page->Deactivate());
  ASSERT_EQ(S_OK, page->Activate(frame, &rect, FALSE));
  EXPECT_EQ(E_UNEXPECTED, page->Activate(frame, &rect, FALSE));

  HWND window = GetWindow(frame, GW_CHILD);
  ASSERT_NE(nullptr, window);
  EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_CHILD);
  EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) << "hidden until the frame shows it";
  EXPECT_NE(nullptr, GetDlgItem(window, IDC_LAYER_LIST)) << "the controls come from dialog resource 3";
  EXPECT_EQ(8, PlacedIn(frame, window).left);
  EXPECT_EQ(6, PlacedIn(frame, window).top);

  EXPECT_EQ(S_OK, page->Show(SW_SHOW));
  EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);
  RECT moved = {20, 30, 420, 330};
  EXPECT_EQ(S_OK, page->Move(&moved));
  EXPECT_EQ(20, PlacedIn(frame, window).left);
  EXPECT_EQ(400, PlacedIn(frame, window).right - 20);
  EXPECT_EQ(E_POINTER, page->Move(nullptr));

  EXPECT_EQ(S_OK, page->Deactivate());
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(E_UNEXPECTED, page->Deactivate());
  ASSERT_EQ(S_OK, page->Activate(frame, &rect, FALSE)) << "a second activation builds a new dialog";
  EXPECT_TRUE(IsWindow(GetWindow(frame, GW_CHILD)));
  EXPECT_EQ(S_OK, page->Deactivate());
  EXPECT_EQ(S_OK, page->SetObjects(0, nullptr));
}

TEST_F(PageFramework, TheSettingsPageEditsOneFilterAndHoldsItWhileConnected) {
  ovl::ComPtr<IPropertyPage> page = CreateThroughFactory(kClsidPropertyPage).As<IPropertyPage>(IID_IPropertyPage);
  ASSERT_TRUE(page);
  TestSite notAFilter;
  IUnknown* wrong[] = {static_cast<IPropertyPageSite*>(&notAFilter)};
  EXPECT_EQ(E_NOINTERFACE, page->SetObjects(1, wrong));
  EXPECT_EQ(1, notAFilter.refs) << "a refused object is not held";
  EXPECT_EQ(E_POINTER, page->SetObjects(1, nullptr));
  IUnknown* two[] = {filter.Get(), filter.Get()};
  EXPECT_EQ(E_INVALIDARG, page->SetObjects(2, two));

  auto references = [this] {
    filter->AddRef();
    return filter->Release();
  };
  const ULONG alone = references();
  IUnknown* objects[] = {filter.Get()};
  ASSERT_EQ(S_OK, page->SetObjects(1, objects));
  EXPECT_GT(references(), alone);
  EXPECT_EQ(S_OK, page->SetObjects(0, nullptr));
  EXPECT_EQ(alone, references()) << "disconnecting lets the filter go";
  EXPECT_EQ(S_OK, page->SetObjects(0, nullptr)) << "nothing to let go";

  // Without a filter the page stays empty but the frame can still show it.
  RECT rect = {0, 0, 600, 480};
  EXPECT_EQ(S_OK, page->Activate(frame, &rect, FALSE));
  EXPECT_EQ(0, SendDlgItemMessageW(GetWindow(frame, GW_CHILD), IDC_LAYER_LIST, LB_GETCOUNT, 0, 0));
  EXPECT_EQ(S_OK, page->Deactivate());
}

TEST_F(PageFramework, TheKeyboardMovesAmongThePagesControls) {
  ActivePage page(kClsidPropertyPage, filter.Get(), frame);
  SetFocus(page.Control(IDC_OVERLAY_FILE));
  MSG tab = {page.Control(IDC_OVERLAY_FILE), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  EXPECT_EQ(S_OK, page->TranslateAccelerator(&tab));
  EXPECT_NE(page.Control(IDC_OVERLAY_FILE), GetFocus()) << "Tab moved the focus on";
  MSG elsewhere = {frame, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  EXPECT_EQ(S_FALSE, page->TranslateAccelerator(&elsewhere)) << "the frame's own keys stay the frame's";
  EXPECT_EQ(E_POINTER, page->TranslateAccelerator(nullptr));
}

}  // namespace
}  // namespace ovl::testing
