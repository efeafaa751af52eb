// The About page as a property frame drives it: the name it finds for the
// filter and the forms of that name in help and the link, the link's click
// rule and hand cursor, and F1 on the pages and anywhere in the frame.
#include <dshow.h>

#include <string>
#include <vector>

#include "server/filter_identity.h"
#include "tests/windows/support/scripted_source.h"
#include "tests/windows/ui/page_harness.h"
#include "ui/product_texts.h"
#include "ui/resource_ids.h"

namespace ovl::testing {
namespace {

using namespace ovl::identity;
using Log = std::vector<std::string>;
using AboutPage = PageTest;

const std::string kOnlineHelp =
    "shell " OVL_ONLINE_HELP_SITE "/help/sdk/v23/multimedia/filters/TERN-Video-Overlay-Filter-2-0.html";
const std::string kLinkOpened = std::string("shell ") + OVL_MAKER_PAGE_URL + "?utm_source=" + OVL_PRODUCT_TAG +
                                "&utm_medium=about_dialog&utm_campaign=TERN-Video-Overlay-Filter"
                                "&SrcOrigin=TERN-Video-Overlay-Filter";

// The platform's Null Renderer (qedit), a filter without a name of its own.
const CLSID kNullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

// Sets the default value of an HKEY_CLASSES_ROOT key for its lifetime.
class ClassName {
 public:
  ClassName(const wchar_t* key, const wchar_t* name) : key_(key) {
    LONG bytes = sizeof(old_);
    had_ = RegQueryValueW(HKEY_CLASSES_ROOT, key, old_, &bytes) == ERROR_SUCCESS;
    RegSetValueW(HKEY_CLASSES_ROOT, key_, REG_SZ, name, 0);
  }
  ~ClassName() {
    if (had_) RegSetValueW(HKEY_CLASSES_ROOT, key_, REG_SZ, old_, 0);
  }

 private:
  const wchar_t* key_;
  wchar_t old_[MAX_PATH] = {};
  bool had_ = false;
};

TEST_F(AboutPage, TheFilterNameInItsThreeForms) {
  modal.browserPresent = true;
  ActivePage page(kClsidAboutPage, filter.Get(), frame);
  EXPECT_EQ(kFilterNameA, page.Text(IDC_ABOUT_NAME));
  EXPECT_EQ(OVL_NOTICE_LINE_TEXT, page.Text(IDC_ABOUT_NOTICE));

  // Local page name: the help file of the page information.
  PROPPAGEINFO info{};
  ASSERT_EQ(S_OK, page->GetPageInfo(&info));
  EXPECT_STREQ(L"TERNVideoOverlayFilter2.0.htm", info.pszHelpFile);
  EXPECT_EQ(nullptr, info.pszDocString);
  CoTaskMemFree(info.pszTitle);
  CoTaskMemFree(info.pszHelpFile);
  // Online page name: what Help opens first.
  EXPECT_EQ(S_OK, page->Help(nullptr));
  EXPECT_EQ(Log{kOnlineHelp}, modal.log);
  // Link name: in the address a click on the link opens.
  modal.log.clear();
  page.Mouse(IDC_ABOUT_LINK, WM_LBUTTONDOWN);
  page.Mouse(IDC_ABOUT_LINK, WM_LBUTTONUP);
  EXPECT_EQ(Log{kLinkOpened}, modal.log);
}

TEST_F(AboutPage, NameComesFromTheFilterThenItsClassThenItsGraph) {
  auto nameShownFor = [this](IUnknown* object) { return ActivePage(kClsidAboutPage, object, frame).Text(IDC_ABOUT_NAME); };
  ovl::ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   graph.PutVoid()));
  // Our filter names itself, whatever the graph calls it.
  ovl::ComPtr<IBaseFilter> overlay = filter.As<IBaseFilter>(IID_IBaseFilter);
  ASSERT_EQ(S_OK, graph->AddFilter(overlay.Get(), L"Overlay in the graph"));
  EXPECT_EQ(kFilterNameA, nameShownFor(filter.Get()));
  // A platform filter has no name of its own: its registered class name.
  ovl::ComPtr<IBaseFilter> renderer;
  ASSERT_EQ(S_OK, CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   renderer.PutVoid()));
  ClassName registered(L"CLSID\\{C1F400A4-3F08-11D3-9F0B-006008039E37}", L"Registered renderer");
  ASSERT_EQ(S_OK, graph->AddFilter(renderer.Get(), L"Renderer in the graph"));
  EXPECT_EQ("Registered renderer", nameShownFor(renderer.Get()));
  // An unregistered class: the name in its graph, and outside any graph none.
  HRESULT hr = S_OK;
  ovl::ComPtr<CScriptedSource> source(CScriptedSource::Create(64, 48, &hr));
  ASSERT_TRUE(source);
  EXPECT_EQ("TERN Multimedia Component", nameShownFor(static_cast<IBaseFilter*>(source.Get())));
  ASSERT_EQ(S_OK, graph->AddFilter(source.Get(), L"Source in the graph"));
  EXPECT_EQ("Source in the graph", nameShownFor(static_cast<IBaseFilter*>(source.Get())));
  // Something that is no filter at all.
  ovl::ComPtr<IStream> stream;
  ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
  EXPECT_EQ("TERN Multimedia Component", nameShownFor(stream.Get()));

  for (IBaseFilter* member : {static_cast<IBaseFilter*>(source.Get()), renderer.Get(), overlay.Get()}) {
    graph->RemoveFilter(member);
  }
}

TEST_F(AboutPage, TheLinkOpensOnlyOnADownAndUpOverItUnderAHandCursor) {
  ActivePage page(kClsidAboutPage, filter.Get(), frame);
  // Pressed elsewhere, released over the link; pressed over the link,
  // released elsewhere, then released over the link again; moved over it.
  const std::pair<int, UINT> misses[] = {{IDC_ABOUT_NAME, WM_LBUTTONDOWN}, {IDC_ABOUT_LINK, WM_LBUTTONUP},
                                         {IDC_ABOUT_LINK, WM_LBUTTONDOWN}, {0, WM_LBUTTONUP},
                                         {IDC_ABOUT_LINK, WM_LBUTTONUP},   {IDC_ABOUT_LINK, WM_MOUSEMOVE}};
  for (const auto& [control, message] : misses) page.Mouse(control, message);
  EXPECT_EQ(Log{}, modal.log);
  // A real click: down and up over the link, once.
  for (UINT message : {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP, WM_LBUTTONUP}) page.Mouse(IDC_ABOUT_LINK, message);
  EXPECT_EQ(Log{kLinkOpened}, modal.log);

  const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
  SetCursor(arrow);
  page.Mouse(IDC_ABOUT_LINK, WM_MOUSEMOVE);
  EXPECT_EQ(LoadCursor(nullptr, IDC_HAND), GetCursor());
  page.Mouse(IDC_ABOUT_NOTICE, WM_MOUSEMOVE);
  EXPECT_EQ(arrow, GetCursor());
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(arrow), GetClassLongPtrW(page.Control(IDC_ABOUT_NAME), GCLP_HCURSOR))
      << "other labels keep their class's cursor";
}

TEST_F(AboutPage, F1OnEitherPageAndAnywhereInTheFrameWhileItIsShown) {
  HelpPathSetting noHelpPath(nullptr);
  const Log notFound = {kOnlineHelp, std::string("box ") + kFilterNameA + ": Can't find help file."};
  HELPINFO help{};
  help.cbSize = sizeof(help);
  auto helpFrom = [&](HWND window) {
    modal.log.clear();
    return SendMessageW(window, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
  };
  const LONG_PTR frameProc = GetWindowLongPtrW(frame, GWLP_WNDPROC);
  SetWindowLongPtrW(frame, GWLP_USERDATA, 0x5150);
  HRESULT hr = S_OK;
  ovl::ComPtr<CScriptedSource> other(CScriptedSource::Create(64, 48, &hr));
  for (const CLSID* clsid : {&kClsidPropertyPage, &kClsidAboutPage}) {
    ActivePage page(*clsid, filter.Get(), frame);
    EXPECT_EQ(TRUE, helpFrom(page.Window()));
    EXPECT_EQ(notFound, modal.log);
    modal.log.clear();
    EXPECT_EQ(S_OK, page->Help(nullptr));
    EXPECT_EQ(notFound, modal.log);
    // A second page (on another object) leaves the first page's hook in place.
    ActivePage second(kClsidAboutPage, static_cast<IBaseFilter*>(other.Get()), frame);
    helpFrom(frame);
    EXPECT_EQ(notFound, modal.log) << "F1 anywhere in the frame, for the first page's filter";
  }
  // Deactivated: the frame is its old self again, its own data kept.
  EXPECT_EQ(frameProc, GetWindowLongPtrW(frame, GWLP_WNDPROC));
  EXPECT_EQ(0x5150, GetWindowLongPtrW(frame, GWLP_USERDATA));
  helpFrom(frame);
  EXPECT_EQ(Log{}, modal.log);

  // A frame that closes with the page still active takes the hook with it.
  ActivePage lingering(kClsidAboutPage, filter.Get(), frame);
  DestroyWindow(frame);
  frame = CreateFrameWindow(420, 260);
  ActivePage next(kClsidAboutPage, filter.Get(), frame);
  helpFrom(frame);
  EXPECT_EQ(notFound, modal.log);
}

}  // namespace
}  // namespace ovl::testing
