// The settings page as a user sees it: the swatches painted in the chosen
// colours, the hover help in blue; the picture is saved for the README
// (property-page.png next to the test program).
#include "tests/windows/ui/settings_page_fixture.h"
#include "tests/windows/ui/window_picture.h"

namespace ovl::testing {
namespace {

std::wstring BesideTheProgram(const wchar_t* name) {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring result(path);
  return result.substr(0, result.find_last_of(L"\\/") + 1) + name;
}

// The centre of a control's rectangle in the page's client coordinates.
POINT CentreOf(HWND page, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

TEST_F(SettingsPageTest, ScreenshotShowsTheSwatchesAndTheBlueHoverHelp) {
  overlay->put_BkLayerColor(RGB(32, 96, 200));
  overlay->put_LayerOrder(::LAYERTYPE_VIDEO2, 1);
  overlay->put_Region(::LAYERTYPE_VIDEO2, ::REGION_ROUNDRECT);
  overlay->put_RgnLeft(::LAYERTYPE_VIDEO2, 40);
  overlay->put_RgnTop(::LAYERTYPE_VIDEO2, 30);
  overlay->put_RgnRight(::LAYERTYPE_VIDEO2, 600);
  overlay->put_RgnBottom(::LAYERTYPE_VIDEO2, 420);
  overlay->put_XPos(::LAYERTYPE_VIDEO2, 320);
  overlay->put_YPos(::LAYERTYPE_VIDEO2, 180);
  overlay->put_EnableTransparency(::LAYERTYPE_VIDEO2, VARIANT_TRUE);
  overlay->put_TransparentColor(::LAYERTYPE_VIDEO2, RGB(0, 200, 0));
  overlay->put_OutputSizeType(::OUTPUTSIZETYPE_CUSTOM);
  overlay->put_OutputWidth(1280);
  overlay->put_OutputHeight(720);
  Open();
  SelectLayer(::LAYERTYPE_VIDEO2);
  SendMessageW(page->Window(), WM_SETCURSOR, reinterpret_cast<WPARAM>(page->Control(IDC_REGION_TYPE)),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));

  // The page fills the frame, as in a property frame.
  PROPPAGEINFO info{};
  ASSERT_EQ(S_OK, (*page)->GetPageInfo(&info));
  CoTaskMemFree(info.pszTitle);
  CoTaskMemFree(info.pszHelpFile);
  SetWindowPos(frame, nullptr, 0, 0, info.size.cx, info.size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT area = {0, 0, info.size.cx, info.size.cy};
  (*page)->Move(&area);
  ShowWindow(frame, SW_SHOWNA);
  RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpUntil([] { return false; }, 300);

  const WindowPicture picture = CaptureWindow(page->Window());
  ASSERT_EQ(info.size.cx, picture.width);
  ASSERT_EQ(info.size.cy, picture.height);
  const POINT background = CentreOf(page->Window(), page->Control(IDC_BK_SWATCH));
  const POINT transparent = CentreOf(page->Window(), page->Control(IDC_TRANSPARENT_SWATCH));
  EXPECT_EQ(RGB(32, 96, 200), picture.At(background.x, background.y)) << "background colour swatch";
  EXPECT_EQ(RGB(0, 200, 0), picture.At(transparent.x, transparent.y)) << "the selected layer's transparent colour";

  RECT help{};
  GetWindowRect(page->Control(IDC_HOVER_HELP), &help);
  MapWindowPoints(nullptr, page->Window(), reinterpret_cast<POINT*>(&help), 2);
  int blue = 0;
  for (int y = help.top; y < help.bottom && y < picture.height; ++y) {
    for (int x = help.left; x < help.right && x < picture.width; ++x) {
      const COLORREF c = picture.At(x, y);
      if (GetBValue(c) > 0xB0 && GetRValue(c) < 0x60 && GetGValue(c) < 0x60) ++blue;
    }
  }
  EXPECT_GT(blue, 20) << "the hover help is drawn in blue";

  EXPECT_EQ(S_OK, SavePng(picture, BesideTheProgram(L"property-page.png")));
}

}  // namespace
}  // namespace ovl::testing
