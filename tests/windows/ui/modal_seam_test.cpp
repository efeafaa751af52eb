// The seam's defaults are the platform's own modal windows: each kind the
// settings page opens really appears, owned by the frame, and a watcher
// thread closes it as a user would.
#include <atomic>
#include <mutex>
#include <thread>

#include "tests/windows/support/bmp_files.h"
#include "tests/windows/ui/settings_page_fixture.h"

namespace ovl::testing {
namespace {

// Waits for a dialog window of the calling thread, notes its caption and
// owner, and sends it `command` (IDOK, IDCANCEL).
class DialogWatcher {
 public:
  explicit DialogWatcher(WPARAM command) : thread_(GetCurrentThreadId()), command_(command) {
    worker_ = std::thread([this] { Run(); });
  }
  ~DialogWatcher() { Wait(); }
  // Joins the watcher; the caption of the dialog it closed ("" for none).
  std::string Wait() {
    if (worker_.joinable()) worker_.join();
    return caption_;
  }
  HWND owner() const { return owner_; }

 private:
  struct Search {
    HWND found = nullptr;
  };
  static BOOL CALLBACK Visit(HWND window, LPARAM data) {
    char name[32] = "";
    GetClassNameA(window, name, sizeof(name));
    if (IsWindowVisible(window) && strcmp(name, "#32770") == 0) {
      reinterpret_cast<Search*>(data)->found = window;
      return FALSE;
    }
    return TRUE;
  }
  void Run() {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
      Search search;
      EnumThreadWindows(thread_, Visit, reinterpret_cast<LPARAM>(&search));
      if (search.found != nullptr) {
        char caption[256] = "";
        GetWindowTextA(search.found, caption, sizeof(caption));
        caption_ = caption;
        owner_ = GetWindow(search.found, GW_OWNER);
        PostMessageW(search.found, WM_COMMAND, command_, 0);
        return;
      }
      Sleep(20);
    }
  }

  const DWORD thread_;
  const WPARAM command_;
  std::thread worker_;
  std::string caption_;
  HWND owner_ = nullptr;
};

class RealModalWindows : public SettingsPageTest {
 protected:
  void SetUp() override {
    SettingsPageTest::SetUp();
    recorded_ = ovl::ui::SetModalCalls(ovl::ui::PlatformModalCalls());
  }
  void TearDown() override {
    ovl::ui::SetModalCalls(recorded_);
    SettingsPageTest::TearDown();
  }
  ovl::ui::ModalCalls recorded_{};
};

TEST_F(RealModalWindows, ARefusedOverlayFileShowsThePlatformsMessageBox) {
  TempDir dir;
  const std::wstring text = dir.Write(L"broken.bmp", {'B', 'M', 0, 0});
  Open();
  SelectLayer(::LAYERTYPE_OVERLAYIMAGE);
  page->Type(IDC_OVERLAY_FILE, std::string(text.begin(), text.end()));
  DialogWatcher watcher(IDOK);
  ASSERT_EQ(S_OK, page->Apply());
  EXPECT_EQ("Error loading image", watcher.Wait());
  EXPECT_EQ(frame, watcher.owner()) << "owned by the page, so by its frame";
  EXPECT_EQ("", OverlayFile());
}

TEST_F(RealModalWindows, TheColourButtonOpensThePlatformsColourChooser) {
  Open();
  DialogWatcher watcher(IDCANCEL);
  page->Click(IDC_BK_COLOR);
  EXPECT_NE("", watcher.Wait()) << "no colour chooser appeared";
  EXPECT_EQ(frame, watcher.owner());
  EXPECT_EQ(S_FALSE, (*page)->IsPageDirty()) << "cancelled";
}

TEST_F(RealModalWindows, TheBrowseButtonOpensThePlatformsOpenFileChooser) {
  Open();
  SelectLayer(::LAYERTYPE_OVERLAYIMAGE);
  DialogWatcher watcher(IDCANCEL);
  page->Click(IDC_OVERLAY_BROWSE);
  EXPECT_NE("", watcher.Wait()) << "no open-file chooser appeared";
  EXPECT_EQ(frame, watcher.owner());
  EXPECT_EQ(S_FALSE, (*page)->IsPageDirty()) << "cancelled";
}

}  // namespace
}  // namespace ovl::testing
