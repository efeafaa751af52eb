// The About page as a property frame drives it: the name it finds for the
// filter and the forms of that name in help and the link, the link's click
// rule and hand cursor, and F1 on the page and anywhere in the frame.
#include <gtest/gtest.h>

#include <dshow.h>

#include <algorithm>
#include <string>
#include <vector>

#include "server/filter_identity.h"
#include "tests/windows/support/filter_test_support.h"
#include "tests/windows/support/scripted_source.h"
#include "tests/windows/ui/help_call_recorder.h"
#include "tests/windows/ui/help_test_files.h"
#include "tests/windows/ui/page_harness.h"
#include "tests/windows/ui/window_picture.h"
#include "ui/product_texts.h"
#include "ui/resource_ids.h"

namespace ovl::testing {
namespace {

using namespace ovl::identity;
using Log = std::vector<std::string>;

// The platform's Null Renderer (qedit), a filter without a name of its own.
const CLSID kNullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

class AboutPage : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveSavedSettings();
    frame = CreateFrameWindow(420, 260);
    ASSERT_NE(nullptr, frame) << "no X display";
    frameProc = GetWindowLongPtrW(frame, GWLP_WNDPROC);
    filter = CreateThroughFactory(kClsidOverlayFilter);
    ASSERT_TRUE(filter);
  }
  void TearDown() override {
    filter.Reset();
    if (frame != nullptr) DestroyWindow(frame);
    RemoveSavedSettings();
  }

  // The label's text as the page shows it (after the frame shows the page).
  static std::string NameShownFor(IUnknown* object, HWND frame) {
    ActivePage page(kClsidAboutPage, object, frame);
    return page.Text(IDC_ABOUT_NAME);
  }

  // What the page does when the mouse does `message` over `control`.
  static void Mouse(const ActivePage& page, int control, UINT message) {
    const HWND target = control != 0 ? page.Control(control) : page.Window();
    SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(HTCLIENT, message));
  }

  ComApartment com;
  HelpCallRecorder calls;
  HWND frame = nullptr;
  LONG_PTR frameProc = 0;
  ovl::ComPtr<IUnknown> filter;
};

// Sets the default value of an HKEY_CLASSES_ROOT key for its lifetime.
class ClassName {
 public:
  ClassName(const wchar_t* key, const wchar_t* name) : key_(key) {
    wchar_t old[MAX_PATH] = {};
    LONG bytes = sizeof(old);
    had_ = RegQueryValueW(HKEY_CLASSES_ROOT, key, old, &bytes) == ERROR_SUCCESS;
    old_ = old;
    Set(name);
  }
  ~ClassName() {
    if (had_) Set(old_.c_str());
  }

 private:
  void Set(const wchar_t* name) {
    RegSetValueW(HKEY_CLASSES_ROOT, key_, REG_SZ, name, static_cast<DWORD>(wcslen(name) * sizeof(wchar_t)));
  }
  const wchar_t* key_;
  std::wstring old_;
  bool had_ = false;
};

std::wstring ProgramFolderW() {
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::string LinkAddressFor(const std::string& linkName) {
  return std::string(OVL_MAKER_PAGE_URL) + "?utm_source=" + OVL_PRODUCT_TAG +
         "&utm_medium=about_dialog&utm_campaign=" + linkName + "&SrcOrigin=" + linkName;
}

TEST_F(AboutPage, TheFilterNameInItsThreeForms) {
  calls.browserPresent = true;
  ActivePage page(kClsidAboutPage, filter.Get(), frame);
  ASSERT_NE(nullptr, page.Window());
  EXPECT_EQ(kFilterNameA, page.Text(IDC_ABOUT_NAME));
  EXPECT_EQ(OVL_NOTICE_LINE_TEXT, page.Text(IDC_ABOUT_NOTICE));

  // Local page name: the help file of the page information.
  PROPPAGEINFO info{};
  ASSERT_EQ(S_OK, page->GetPageInfo(&info));
  EXPECT_STREQ(L"About", info.pszTitle);
  EXPECT_STREQ(L"TERNVideoOverlayFilter2.0.htm", info.pszHelpFile);
  EXPECT_EQ(nullptr, info.pszDocString);
  EXPECT_EQ(0u, info.dwHelpContext);
  CoTaskMemFree(info.pszTitle);
  CoTaskMemFree(info.pszHelpFile);

  // Online page name: what Help opens first.
  EXPECT_EQ(S_OK, page->Help(nullptr));
  ASSERT_EQ(1u, calls.log.size());
  EXPECT_EQ("shell " OVL_ONLINE_HELP_SITE "/help/sdk/v23/multimedia/filters/TERN-Video-Overlay-Filter-2-0.html",
            calls.log[0]);

  // Link name: in the address a click on the link opens.
  calls.Clear();
  Mouse(page, IDC_ABOUT_LINK, WM_LBUTTONDOWN);
  Mouse(page, IDC_ABOUT_LINK, WM_LBUTTONUP);
  EXPECT_EQ(Log{"shell " + LinkAddressFor("TERN-Video-Overlay-Filter")}, calls.log);
}

TEST_F(AboutPage, NameComesFromTheFilterThenItsClassThenItsGraph) {
  ovl::ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   graph.PutVoid()));
  // Our filter names itself, whatever the graph calls it.
  ovl::ComPtr<IBaseFilter> overlay = filter.As<IBaseFilter>(IID_IBaseFilter);
  ASSERT_EQ(S_OK, graph->AddFilter(overlay.Get(), L"Overlay in the graph"));
  EXPECT_EQ(kFilterNameA, NameShownFor(filter.Get(), frame));

  // A platform filter has no name of its own: its registered class name.
  ovl::ComPtr<IBaseFilter> renderer;
  ASSERT_EQ(S_OK, CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   renderer.PutVoid()));
  ClassName registered(L"CLSID\\{C1F400A4-3F08-11D3-9F0B-006008039E37}", L"Registered renderer");
  ASSERT_EQ(S_OK, graph->AddFilter(renderer.Get(), L"Renderer in the graph"));
  EXPECT_EQ("Registered renderer", NameShownFor(renderer.Get(), frame));

  // An unregistered class: the name in its graph, and outside any graph none.
  HRESULT hr = S_OK;
  ovl::ComPtr<CScriptedSource> source(CScriptedSource::Create(64, 48, &hr));
  ASSERT_TRUE(source);
  EXPECT_EQ("TERN Multimedia Component", NameShownFor(static_cast<IBaseFilter*>(source.Get()), frame));
  ASSERT_EQ(S_OK, graph->AddFilter(source.Get(), L"Source in the graph"));
  EXPECT_EQ("Source in the graph", NameShownFor(static_cast<IBaseFilter*>(source.Get()), frame));

  // Something that is no filter at all.
  ovl::ComPtr<IStream> stream;
  ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
  EXPECT_EQ("TERN Multimedia Component", NameShownFor(stream.Get(), frame));

  graph->RemoveFilter(source.Get());
  graph->RemoveFilter(renderer.Get());
  graph->RemoveFilter(overlay.Get());
}

TEST_F(AboutPage, TheLinkOpensOnlyOnADownAndUpOverIt) {
  ActivePage page(kClsidAboutPage, filter.Get(), frame);
  const std::string opened = "shell " + LinkAddressFor("TERN-Video-Overlay-Filter");
  // Pressed elsewhere, released over the link.
  Mouse(page, IDC_ABOUT_NAME, WM_LBUTTONDOWN);
  Mouse(page, IDC_ABOUT_LINK, WM_LBUTTONUP);
  // Pressed over the link, released elsewhere, then released over the link again.
  Mouse(page, IDC_ABOUT_LINK, WM_LBUTTONDOWN);
  Mouse(page, 0, WM_LBUTTONUP);
  Mouse(page, IDC_ABOUT_LINK, WM_LBUTTONUP);
  // Moving over the link opens nothing either.
  Mouse(page, IDC_ABOUT_LINK, WM_MOUSEMOVE);
  EXPECT_EQ(Log{}, calls.log);
  // A real click: down and up over the link, once.
  Mouse(page, IDC_ABOUT_LINK, WM_LBUTTONDOWN);
  Mouse(page, IDC_ABOUT_LINK, WM_MOUSEMOVE);
  Mouse(page, IDC_ABOUT_LINK, WM_LBUTTONUP);
  Mouse(page, IDC_ABOUT_LINK, WM_LBUTTONUP);
  EXPECT_EQ(Log{opened}, calls.log);
}

TEST_F(AboutPage, HandCursorOverTheLinkOnlyAndTheLinkInBlue) {
  ActivePage page(kClsidAboutPage, filter.Get(), frame);
  const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
  const HCURSOR hand = LoadCursor(nullptr, IDC_HAND);
  SetCursor(arrow);
  Mouse(page, IDC_ABOUT_LINK, WM_MOUSEMOVE);
  EXPECT_EQ(hand, GetCursor());
  Mouse(page, IDC_ABOUT_LINK, WM_MOUSEMOVE);
  EXPECT_EQ(hand, GetCursor());
  Mouse(page, IDC_ABOUT_NOTICE, WM_MOUSEMOVE);
  EXPECT_EQ(arrow, GetCursor());
  // Other labels keep their class's cursor after the link was visited.
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(arrow), GetClassLongPtrW(page.Control(IDC_ABOUT_NAME), GCLP_HCURSOR));

  const HDC dc = GetDC(page.Window());
  SetTextColor(dc, 0);
  const LRESULT brush = SendMessageW(page.Window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(page.Control(IDC_ABOUT_LINK)));
  EXPECT_EQ(reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_3DFACE)), brush);
  EXPECT_EQ(0x00E60000u, GetTextColor(dc));
  EXPECT_EQ(TRANSPARENT, GetBkMode(dc));
  ReleaseDC(page.Window(), dc);
}

TEST_F(AboutPage, F1OnThePageAndAnywhereInTheFrameWhileItIsShown) {
  HelpPathSetting noHelpPath(nullptr);
  const std::string notFound = std::string("box ") + kFilterNameA + ": Can't find help file.";
  HELPINFO help{};
  help.cbSize = sizeof(help);
  {
    ActivePage page(kClsidAboutPage, filter.Get(), frame);
    SendMessageW(page.Window(), WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
    EXPECT_EQ(TRUE, SendMessageW(frame, WM_HELP, 0, reinterpret_cast<LPARAM>(&help)));
    EXPECT_EQ(2u, calls.Lines("shell " OVL_ONLINE_HELP_SITE "/help/sdk/v23/multimedia/filters/TERN-Video-Overlay-Filter-2-0.html").size());
    EXPECT_EQ((Log{notFound, notFound}), calls.Lines("box"));
  }
  // Deactivated: the frame is its old self again.
  calls.Clear();
  EXPECT_EQ(frameProc, GetWindowLongPtrW(frame, GWLP_WNDPROC));
  EXPECT_EQ(0, GetWindowLongPtrW(frame, GWLP_USERDATA));
  SendMessageW(frame, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
  EXPECT_EQ(Log{}, calls.log);
}

TEST_F(AboutPage, OneHookPerFrameAndTheFramesOwnDataKept) {
  SetWindowLongPtrW(frame, GWLP_USERDATA, 0x5150);
  HELPINFO help{};
  help.cbSize = sizeof(help);
  {
    ActivePage first(kClsidAboutPage, filter.Get(), frame);
    HRESULT hr = S_OK;
    ovl::ComPtr<CScriptedSource> other(CScriptedSource::Create(64, 48, &hr));
    // A second page in the same frame leaves the first page's hook in place.
    ActivePage second(kClsidAboutPage, static_cast<IBaseFilter*>(other.Get()), frame);
    SendMessageW(frame, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
    ASSERT_EQ(1u, calls.Lines("shell").size());
    EXPECT_NE(std::string::npos, calls.log[0].find("/TERN-Video-Overlay-Filter-2-0.html"));
  }
  EXPECT_EQ(0x5150, GetWindowLongPtrW(frame, GWLP_USERDATA));
  // A frame that closes with the page still active takes the hook with it.
  ActivePage lingering(kClsidAboutPage, filter.Get(), frame);
  DestroyWindow(frame);
  frame = CreateFrameWindow(420, 260);
  ActivePage next(kClsidAboutPage, filter.Get(), frame);
  calls.Clear();
  SendMessageW(frame, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
  EXPECT_EQ(1u, calls.Lines("shell").size());
}

// Counts the pixels of `picture` inside `control` (page client coordinates)
// for which `wanted` holds.
template <class Test>
int PixelsIn(const WindowPicture& picture, HWND page, HWND control, Test wanted) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
  int count = 0;
  for (int y = std::max(0L, rect.top); y < rect.bottom && y < picture.height; ++y) {
    for (int x = std::max(0L, rect.left); x < rect.right && x < picture.width; ++x) count += wanted(picture.At(x, y));
  }
  return count;
}

TEST_F(AboutPage, ScreenshotShowsTheIconTheNameAndTheBlueLink) {
  ActivePage page(kClsidAboutPage, filter.Get(), frame);
  PROPPAGEINFO info{};
  ASSERT_EQ(S_OK, page->GetPageInfo(&info));
  CoTaskMemFree(info.pszTitle);
  CoTaskMemFree(info.pszHelpFile);
  // The page fills the frame, as in a property frame; the mouse rests on the link.
  SetWindowPos(frame, nullptr, 0, 0, info.size.cx, info.size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT area = {0, 0, info.size.cx, info.size.cy};
  page->Move(&area);
  ShowWindow(frame, SW_SHOWNA);
  RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpUntil([] { return false; }, 300);

  const WindowPicture picture = CaptureWindow(page.Window());
  ASSERT_EQ(info.size.cy, picture.height);
  const COLORREF face = GetSysColor(COLOR_3DFACE);
  auto blue = [](COLORREF c) { return GetBValue(c) > 0xB0 && GetRValue(c) < 0x60 && GetGValue(c) < 0x60; };
  auto dark = [](COLORREF c) { return GetRValue(c) < 0x60 && GetGValue(c) < 0x60 && GetBValue(c) < 0x60; };
  auto drawn = [face](COLORREF c) { return c != face; };
  EXPECT_GT(PixelsIn(picture, page.Window(), page.Control(IDC_ABOUT_LINK), blue), 20) << "the link in blue";
  EXPECT_EQ(0, PixelsIn(picture, page.Window(), page.Control(IDC_ABOUT_NAME), blue)) << "the name is not a link";
  EXPECT_GT(PixelsIn(picture, page.Window(), page.Control(IDC_ABOUT_NAME), dark), 20) << "the filter's name";
  EXPECT_GT(PixelsIn(picture, page.Window(), page.Control(IDC_ABOUT_ICON), drawn), 100) << "the icon";

  EXPECT_EQ(S_OK, SavePng(picture, std::wstring(ProgramFolderW()) + L"about-page.png"));
}

}  // namespace
}  // namespace ovl::testing
