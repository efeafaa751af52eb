// The seam's defaults are the platform's own modal calls: the settings
// page's message box and choosers really appear, owned by the frame, and a
// watcher thread closes them as a user would; the shell really opens the
// page the help launcher found, and HTML Help is bound from its control.
#include <windows.h>
#include <htmlhelp.h>

#include <memory>

#include "KMVVOvLy.h"
#include "server/filter_identity.h"
#include "tests/windows/support/bmp_files.h"
#include "tests/windows/support/dialog_watcher.h"
#include "tests/windows/ui/page_harness.h"
#include "ui/help_launch.h"
#include "ui/resource_ids.h"

namespace ovl::testing {
namespace {

class RealModalCalls : public PageTest {
 protected:
  void SetUp() override {
    PageTest::SetUp();
    recorded_ = ovl::ui::SetModalCalls(ovl::ui::PlatformModalCalls());
  }
  void TearDown() override {
    ovl::ui::SetModalCalls(recorded_);
    PageTest::TearDown();
  }
  // The settings page with the overlay image layer selected.
  void OpenOnOverlayImage(std::unique_ptr<ActivePage>& page) {
    page = std::make_unique<ActivePage>(ovl::identity::kClsidPropertyPage, filter.Get(), frame);
    LONG position = -1;
    filter.As<IKMVVOvLy>(IID_IKMVVOvLy)->get_LayerOrder(::LAYERTYPE_OVERLAYIMAGE, &position);
    page->SelectList(IDC_LAYER_LIST, position);
  }
  ovl::ui::ModalCalls recorded_{};
};

TEST_F(RealModalCalls, TheSettingsPageOpensThePlatformsMessageBoxAndChoosers) {
  TempDir dir;
  const std::wstring broken = dir.Write(L"broken.bmp", {'B', 'M', 0, 0});
  std::unique_ptr<ActivePage> page;
  OpenOnOverlayImage(page);
  const struct {
    const char* what;
    WPARAM answer;
    std::function<void()> act;
  } cases[] = {
      {"message box", IDOK,
       [&] {
         page->Type(IDC_OVERLAY_FILE, std::string(broken.begin(), broken.end()));
         EXPECT_EQ(S_OK, (*page)->Apply());
       }},
      {"colour chooser", IDCANCEL, [&] { page->Click(IDC_BK_COLOR); }},
      {"open-file chooser", IDCANCEL, [&] { page->Click(IDC_OVERLAY_BROWSE); }},
  };
  for (const auto& test : cases) {
    DialogWatcher watcher(test.answer);
    test.act();
    EXPECT_NE("", watcher.Wait()) << "no " << test.what << " appeared";
    EXPECT_EQ(frame, watcher.owner()) << test.what << " owned by the page, so by its frame";
  }
  EXPECT_EQ("", page->Text(IDC_OVERLAY_FILE)) << "the refused file is gone";
  EXPECT_FALSE(page->Dirty()) << "both choosers cancelled";
}

// Points the ".htm" file type, for the life of the object, at a command that
// copies the opened file to `marker` instead of starting a browser.
class HtmOpensByCopying {
 public:
  explicit HtmOpensByCopying(const std::string& marker) {
    char previous[MAX_PATH] = {};
    LONG bytes = sizeof(previous);
    if (RegQueryValueA(HKEY_CLASSES_ROOT, ".htm", previous, &bytes) == ERROR_SUCCESS) previous_ = previous;
    const std::string command = "cmd.exe /c copy \"%1\" \"" + marker + "\"";
    RegSetValueA(HKEY_CLASSES_ROOT, "OvlTestPage\\shell\\open\\command", REG_SZ, command.c_str(),
                 static_cast<DWORD>(command.size()));
    RegSetValueA(HKEY_CLASSES_ROOT, ".htm", REG_SZ, "OvlTestPage", 11);
  }
  ~HtmOpensByCopying() {
    if (previous_.empty()) {
      RegDeleteKeyA(HKEY_CLASSES_ROOT, ".htm");
    } else {
      RegSetValueA(HKEY_CLASSES_ROOT, ".htm", REG_SZ, previous_.c_str(), static_cast<DWORD>(previous_.size()));
    }
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "OvlTestPage");
  }

 private:
  std::string previous_;
};

TEST_F(RealModalCalls, TheShellOpensTheLocalPageTheLauncherFound) {
  ScratchFolder folder("ovl-shell");
  folder.Write("help\\Filters\\TERNVideoOverlayFilter2.0.htm", "<html>page A</html>");
  const std::string marker = folder.Path() + "\\opened.htm";
  HelpPathSetting path((folder.Path() + "\\help").c_str());
  // Online help stays out of the way: no browser answers for the web here.
  ovl::ui::ModalCalls calls = ovl::ui::PlatformModalCalls();
  calls.shellExecute = [](HWND owner, const char* verb, const char* file, const char* parameters,
                          const char* directory, int show) -> HINSTANCE {
    if (std::string(file).rfind("https://", 0) == 0) return reinterpret_cast<HINSTANCE>(SE_ERR_NOASSOC);
    return ovl::ui::PlatformModalCalls().shellExecute(owner, verb, file, parameters, directory, show);
  };
  ovl::ui::SetModalCalls(calls);
  HtmOpensByCopying association(marker);

  EXPECT_EQ(0, ovl::ui::LaunchHelp("TERN Video Overlay Filter (2.0)", 0));
  for (int i = 0; i < 200 && ReadWholeFile(marker).empty(); ++i) Sleep(50);
  EXPECT_EQ("<html>page A</html>", ReadWholeFile(marker)) << "the shell opened no page";
}

TEST_F(RealModalCalls, HtmlHelpIsTakenFromTheHtmlHelpControl) {
  ScratchFolder folder("ovl-chm");
  folder.Write("rkfilters.chm", "not really a help file");
  const std::string topic = folder.Path() + "\\rkfilters.chm::/Filters/TERNVideoOverlayFilter2.0.htm";
  EXPECT_EQ(nullptr, GetModuleHandleW(L"hhctrl.ocx"));
  const HWND viewer = ovl::ui::HtmlHelpCall(GetDesktopWindow(), topic.c_str(), HH_DISPLAY_TOPIC, 0);
  EXPECT_NE(nullptr, GetModuleHandleW(L"hhctrl.ocx")) << "the HTML Help control was not loaded";
  if (viewer != nullptr) DestroyWindow(viewer);
}

}  // namespace
}  // namespace ovl::testing
