// "ovlcompose --edit-settings FILE" as a user runs it: this test starts the
// composer, waits for its property frame, edits a setting on the settings
// page and presses OK or Cancel, then looks at FILE.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "tests/windows/support/scratch_folder.h"
#include "ui/resource_ids.h"

namespace ovl::testing {
namespace {

// The composer built beside the tests (its Unix path comes from the test run).
std::wstring ComposerPath() {
  char unixPath[MAX_PATH] = {};
  if (GetEnvironmentVariableA("OVL_COMPOSER", unixPath, MAX_PATH) == 0) return {};
  std::wstring path = L"Z:";
  for (const char* c = unixPath; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  return path;
}

// The first visible window that `wanted` picks: among the top-level windows
// (parent null) or among the descendants of `parent`.
HWND FindVisible(HWND parent, std::function<bool(HWND)> wanted) {
  struct Search {
    std::function<bool(HWND)> wanted;
    HWND found = nullptr;
  } search{std::move(wanted)};
  auto visit = [](HWND window, LPARAM context) -> BOOL {
    auto* s = reinterpret_cast<Search*>(context);
    if (!IsWindowVisible(window) || !s->wanted(window)) return TRUE;
    s->found = window;
    return FALSE;
  };
  if (parent == nullptr) {
    EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
  } else {
    EnumChildWindows(parent, visit, reinterpret_cast<LPARAM>(&search));
  }
  return search.found;
}

// The X Pos field on the frame's first page (another process's window).
HWND XPosField(HWND frame) {
  return FindVisible(frame, [](HWND window) { return GetDlgCtrlID(window) == IDC_XPOS; });
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 10000, &result);
  return static_cast<LRESULT>(result);
}

void TypeXPos(HWND frame, const wchar_t* text) {
  ASSERT_NE(nullptr, XPosField(frame)) << "no X Pos field on the first page";
  Send(XPosField(frame), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void Press(HWND frame, int button) {
  ASSERT_NE(nullptr, GetDlgItem(frame, button));
  Send(GetDlgItem(frame, button), BM_CLICK, 0, 0);
}

// Runs the composer on `file`; `act` plays the user on its property frame (a
// dialog of its process) if one appears. The composer's exit status, -1 when
// it did not end.
int EditInFrame(const std::string& file, const std::function<void(HWND)>& act) {
  std::wstring command = L"\"" + ComposerPath() + L"\" --edit-settings \"" + std::wstring(file.begin(), file.end()) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return -3;
  }
  auto ofComposer = [&process](HWND window) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return owner == process.dwProcessId && std::wstring(className) == L"#32770";
  };
  HWND frame = nullptr;
  for (int i = 0; i < 600 && frame == nullptr; ++i) {
    if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
    frame = FindVisible(nullptr, ofComposer);
  }
  if (frame != nullptr) {
    Sleep(300);  // the frame activates its first page after it shows
    act(frame);
  }
  DWORD status = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &status);
  } else {
    TerminateProcess(process.hProcess, 99);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

TEST(EditSettingsFrame, OkWritesTheEditedSettingsAndTheNextRunStartsFromThem) {
  ASSERT_FALSE(ComposerPath().empty()) << "OVL_COMPOSER is not set";
  ScratchFolder folder("ovl-edit");
  const std::string file = folder.Path() + "\\edited.xml";
  EXPECT_EQ(0, EditInFrame(file, [](HWND frame) {
              TypeXPos(frame, L"321");
              Press(frame, IDOK);
            }));
  EXPECT_NE(std::string::npos, ReadWholeFile(file).find("321")) << ReadWholeFile(file);

  // Reopened: the page starts from the file; OK with another value rewrites it.
  wchar_t shown[32] = {};
  EXPECT_EQ(0, EditInFrame(file, [&shown](HWND frame) {
              // Another process's control answers only WM_GETTEXT itself.
              Send(XPosField(frame), WM_GETTEXT, 32, reinterpret_cast<LPARAM>(shown));
              TypeXPos(frame, L"654");
              Press(frame, IDOK);
            }));
  EXPECT_STREQ(L"321", shown);
  EXPECT_NE(std::string::npos, ReadWholeFile(file).find("654"));
  EXPECT_EQ(std::string::npos, ReadWholeFile(file).find("321"));
}

TEST(EditSettingsFrame, CancelLeavesTheFileAsItWas) {
  ASSERT_FALSE(ComposerPath().empty()) << "OVL_COMPOSER is not set";
  ScratchFolder folder("ovl-cancel");
  const std::string missing = folder.Path() + "\\never.xml";
  EXPECT_EQ(0, EditInFrame(missing, [](HWND frame) {
              TypeXPos(frame, L"77");
              Press(frame, IDCANCEL);
            }));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(missing.c_str()));

  const std::string kept = folder.Write("kept.xml", "not a settings file");
  EXPECT_EQ(1, EditInFrame(kept, [](HWND frame) { Press(frame, IDCANCEL); }));  // refused before any frame
  EXPECT_EQ("not a settings file", ReadWholeFile(kept));
}

}  // namespace
}  // namespace ovl::testing
