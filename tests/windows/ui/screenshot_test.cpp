// Both pages as a user sees them, filling the frame: the settings page's
// swatches in the chosen colours and its hover help in blue, the About
// page's icon, name and blue link. The pictures, saved next to the test
// program, are the README's docs/property-page.png and docs/about-page.png.
#include "KMVVOvLy.h"
#include "server/filter_identity.h"
#include "tests/windows/support/window_picture.h"
#include "tests/windows/ui/page_harness.h"
#include "ui/resource_ids.h"

namespace ovl::testing {
namespace {

using Screenshot = PageTest;

// Sizes the frame to the page, shows it and saves what is on screen as `name`.
WindowPicture Capture(const ActivePage& page, HWND frame, const char* name) {
  PROPPAGEINFO info{};
  EXPECT_EQ(S_OK, page->GetPageInfo(&info));
  CoTaskMemFree(info.pszTitle);
  CoTaskMemFree(info.pszHelpFile);
  SetWindowPos(frame, nullptr, 0, 0, info.size.cx, info.size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT area = {0, 0, info.size.cx, info.size.cy};
  page->Move(&area);
  ShowWindow(frame, SW_SHOWNA);
  RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpUntil([] { return false; }, 300);
  WindowPicture picture = CaptureWindow(page.Window());
  EXPECT_EQ(info.size.cx, picture.width);
  EXPECT_EQ(info.size.cy, picture.height);
  const std::string path = ProgramFolder() + name;
  EXPECT_EQ(S_OK, SavePng(picture, std::wstring(path.begin(), path.end())));
  return picture;
}

bool Blue(COLORREF c) { return GetBValue(c) > 0xB0 && GetRValue(c) < 0x60 && GetGValue(c) < 0x60; }
bool Dark(COLORREF c) { return GetRValue(c) < 0x60 && GetGValue(c) < 0x60 && GetBValue(c) < 0x60; }

TEST_F(Screenshot, SettingsPageShowsTheSwatchesAndTheBlueHoverHelp) {
  ovl::ComPtr<IKMVVOvLy> overlay = filter.As<IKMVVOvLy>(IID_IKMVVOvLy);
  ASSERT_TRUE(overlay);
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
  overlay.Reset();
  ActivePage page(ovl::identity::kClsidPropertyPage, filter.Get(), frame);
  page.SelectList(IDC_LAYER_LIST, 1);
  page.Mouse(IDC_REGION_TYPE, WM_MOUSEMOVE);

  const WindowPicture picture = Capture(page, frame, "property-page.png");
  auto in = [&](int id, auto wanted) { return PixelsIn(picture, page.Window(), page.Control(id), wanted); };
  EXPECT_GT(in(IDC_BK_SWATCH, [](COLORREF c) { return c == RGB(32, 96, 200); }), 20) << "background swatch";
  EXPECT_GT(in(IDC_TRANSPARENT_SWATCH, [](COLORREF c) { return c == RGB(0, 200, 0); }), 20) << "transparent colour";
  EXPECT_GT(in(IDC_HOVER_HELP, Blue), 20) << "the hover help is drawn in blue";
}

TEST_F(Screenshot, AboutPageShowsTheIconTheNameAndTheBlueLink) {
  ActivePage page(ovl::identity::kClsidAboutPage, filter.Get(), frame);
  const WindowPicture picture = Capture(page, frame, "about-page.png");
  auto in = [&](int id, auto wanted) { return PixelsIn(picture, page.Window(), page.Control(id), wanted); };
  const COLORREF face = GetSysColor(COLOR_3DFACE);
  EXPECT_GT(in(IDC_ABOUT_LINK, Blue), 20) << "the link in blue";
  EXPECT_EQ(0, in(IDC_ABOUT_NAME, Blue)) << "the name is not a link";
  EXPECT_GT(in(IDC_ABOUT_NAME, Dark), 20) << "the filter's name";
  EXPECT_GT(in(IDC_ABOUT_ICON, [face](COLORREF c) { return c != face; }), 100) << "the icon";
}

}  // namespace
}  // namespace ovl::testing
