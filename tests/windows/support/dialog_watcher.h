#pragma once
// Plays the user on a modal dialog the calling thread is about to open: a
// watcher thread waits for a visible dialog window (class "#32770") of that
// thread, notes its caption and owner, and sends it a command (IDOK,
// IDCANCEL) as the button would.
#include <windows.h>

#include <cstring>
#include <string>
#include <thread>

namespace ovl::testing {

class DialogWatcher {
 public:
  explicit DialogWatcher(WPARAM command) : thread_(GetCurrentThreadId()), command_(command) {
    worker_ = std::thread([this] { Run(); });
  }
  ~DialogWatcher() { Wait(); }
  DialogWatcher(const DialogWatcher&) = delete;
  DialogWatcher& operator=(const DialogWatcher&) = delete;

  // Joins the watcher; the caption of the dialog it closed ("" for none).
  std::string Wait() {
    if (worker_.joinable()) worker_.join();
    return caption_;
  }
  HWND owner() const { return owner_; }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM found) {
    char name[32] = "";
    GetClassNameA(window, name, sizeof(name));
    if (!IsWindowVisible(window) || strcmp(name, "#32770") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  void Run() {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(20)) {
      HWND found = nullptr;
      EnumThreadWindows(thread_, Visit, reinterpret_cast<LPARAM>(&found));
      if (found == nullptr) continue;
      char caption[256] = "";
      GetWindowTextA(found, caption, sizeof(caption));
      caption_ = caption;
      owner_ = GetWindow(found, GW_OWNER);
      PostMessageW(found, WM_COMMAND, command_, 0);
      return;
    }
  }

  const DWORD thread_;
  const WPARAM command_;
  std::thread worker_;
  std::string caption_;
  HWND owner_ = nullptr;
};

}  // namespace ovl::testing
