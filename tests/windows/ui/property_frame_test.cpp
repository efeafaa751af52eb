// The pages inside the platform's own property frame (OleCreatePropertyFrame),
// with a watcher thread in the user's place: the frame shows the settings
// page; OK applies, Cancel takes back what went to the filter at once.
#include <thread>

#include "streaming/base/class_factory.h"
#include "server/class_table.h"
#include "tests/windows/support/test_paths.h"
#include "tests/windows/ui/settings_page_fixture.h"

namespace ovl::testing {
namespace {

// The page classes made known to COM in this process, as registration
// would make them known to a host.
class RegisteredPages {
 public:
  RegisteredPages() {
    for (const CLSID* clsid : {&ovl::identity::kClsidPropertyPage, &ovl::identity::kClsidAboutPage}) {
      ovl::ComPtr<IClassFactory> factory(new CClassFactory(ovl::server::FindClass(*clsid)));
      factory->AddRef();
      DWORD cookie = 0;
      EXPECT_EQ(S_OK, CoRegisterClassObject(*clsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie));
      cookies_.push_back(cookie);
    }
  }
  ~RegisteredPages() {
    for (DWORD cookie : cookies_) CoRevokeClassObject(cookie);
  }

 private:
  std::vector<DWORD> cookies_;
};

struct FindControl {
  int id;
  HWND found = nullptr;
};
BOOL CALLBACK VisitChild(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<FindControl*>(data);
  if (GetDlgCtrlID(window) != search->id) return TRUE;
  search->found = window;
  return FALSE;
}
BOOL CALLBACK VisitTop(HWND window, LPARAM data) {
  if (!IsWindowVisible(window)) return TRUE;
  EnumChildWindows(window, VisitChild, data);
  return reinterpret_cast<FindControl*>(data)->found == nullptr;
}

// Plays the user in the frame: selects "Custom" output size on the settings
// page, then presses the frame's `button`. False when the page never showed.
void ChooseCustomSizeThenPress(DWORD uiThread, WPARAM button, bool* shown) {
  FindControl sizeList{IDC_OUTPUT_SIZE_TYPE};
  for (int i = 0; i < 1000 && sizeList.found == nullptr; ++i) {
    EnumThreadWindows(uiThread, VisitTop, reinterpret_cast<LPARAM>(&sizeList));
    if (sizeList.found == nullptr) Sleep(20);
  }
  *shown = sizeList.found != nullptr;
  if (sizeList.found == nullptr) return;
  HWND page = GetParent(sizeList.found);
  HWND frame = GetAncestor(page, GA_ROOT);
  SendMessageW(sizeList.found, CB_SETCURSEL, OUTPUTSIZETYPE_CUSTOM, 0);
  SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_OUTPUT_SIZE_TYPE, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(sizeList.found));
  PostMessageW(frame, WM_COMMAND, button, 0);
}

class PlatformPropertyFrame : public SettingsPageTest {
 protected:
  ::OutputSizeTypeConstants ShowFrameAndPress(WPARAM button) {
    RegisteredPages pages;
    CLSID classes[] = {ovl::identity::kClsidPropertyPage, ovl::identity::kClsidAboutPage};
    IUnknown* objects[] = {filter.Get()};
    bool shown = false;
    std::thread user(ChooseCustomSizeThenPress, GetCurrentThreadId(), button, &shown);
    const HRESULT hr = OleCreatePropertyFrame(nullptr, 0, 0, L"Overlay", 1, objects, 2, classes,
                                              LOCALE_USER_DEFAULT, 0, nullptr);
    user.join();
    EXPECT_EQ(S_OK, hr);
    EXPECT_TRUE(shown) << "the frame never showed the settings page";
    ::OutputSizeTypeConstants type = static_cast<::OutputSizeTypeConstants>(-1);
    overlay->get_OutputSizeType(&type);
    return type;
  }
};

TEST_F(PlatformPropertyFrame, CancelTakesBackTheOutputSizeTypeAndOkKeepsIt) {
  const ::OutputSizeTypeConstants afterCancel = ShowFrameAndPress(IDCANCEL);
  if (RunningUnderWine()) {
    // Wine 8's frame releases its pages without SetObjects(0) on Cancel and
    // without Apply on OK; the Windows frame calls both, and the page undoes
    // and applies through them (driven directly in settings_page_test.cpp).
    GTEST_SKIP() << "Wine's property frame neither applies nor disconnects its pages";
  }
  EXPECT_EQ(::OUTPUTSIZETYPE_AUTO, afterCancel);
  EXPECT_EQ(::OUTPUTSIZETYPE_CUSTOM, ShowFrameAndPress(IDOK));
}

}  // namespace
}  // namespace ovl::testing
