// The shell and HTML Help calls behind the modal-window seam are the
// platform's own: F1 with the platform's calls in place really opens the
// page the launcher chose, and HTML Help is bound from the HTML Help control.
#include <gtest/gtest.h>

#include <windows.h>
#include <htmlhelp.h>

#include <string>

#include "tests/windows/ui/help_test_files.h"
#include "ui/help_launch.h"
#include "ui/modal_seam.h"

namespace ovl::testing {
namespace {

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

class PlatformHelpCalls : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = ovl::ui::SetModalCalls(ovl::ui::PlatformModalCalls()); }
  void TearDown() override { ovl::ui::SetModalCalls(previous_); }
  ovl::ui::ModalCalls previous_{};
};

TEST_F(PlatformHelpCalls, TheShellOpensTheLocalPageTheLauncherFound) {
  ScratchFolder folder("ovl-shell");
  const std::string page = folder.Write("help\\Filters\\TERNVideoOverlayFilter2.0.htm", "<html>page A</html>");
  const std::string marker = folder.Path() + "\\opened.htm";
  const std::string setting = folder.Path() + "\\help";
  HelpPathSetting path(setting.c_str());
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
  EXPECT_EQ("<html>page A</html>", ReadWholeFile(marker)) << "the shell did not open " << page;
}

TEST_F(PlatformHelpCalls, HtmlHelpIsTakenFromTheHtmlHelpControl) {
  ScratchFolder folder("ovl-chm");
  folder.Write("rkfilters.chm", "not really a help file");
  const std::string topic = folder.Path() + "\\rkfilters.chm::/Filters/TERNVideoOverlayFilter2.0.htm";
  EXPECT_EQ(nullptr, GetModuleHandleW(L"hhctrl.ocx"));
  const HWND viewer = ovl::ui::HtmlHelpCall(GetDesktopWindow(), topic.c_str(), HH_DISPLAY_TOPIC, 0);
  EXPECT_NE(nullptr, GetModuleHandleW(L"hhctrl.ocx")) << "the HTML Help control was not loaded";
  // The control answers the request itself: a help file it cannot read shows no viewer.
  if (viewer != nullptr) DestroyWindow(viewer);
  const HWND again = ovl::ui::HtmlHelpCall(GetDesktopWindow(), topic.c_str(), HH_DISPLAY_TOPIC, 0);
  if (again != nullptr) DestroyWindow(again);
}

}  // namespace
}  // namespace ovl::testing
