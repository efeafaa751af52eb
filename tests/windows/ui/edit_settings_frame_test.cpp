// "ovlcompose --edit-settings FILE" as a user runs it: this test starts the
// composer, waits for its property frame, edits a setting on the settings
// page and presses OK or Cancel, then looks at FILE.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/windows/ui/help_test_files.h"
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

struct FrameSearch {
  DWORD process;
  HWND found;
};

// The composer's property frame: a visible top-level dialog of its process.
HWND FindFrame(DWORD process) {
  FrameSearch search{process, nullptr};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<FrameSearch*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        if (owner == s->process && IsWindowVisible(window) && std::wstring(className) == L"#32770") {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A control anywhere inside the frame (the pages are dialogs within it).
HWND FindControl(HWND frame, int id) {
  FrameSearch search{static_cast<DWORD>(id), nullptr};
  EnumChildWindows(
      frame,
      [](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<FrameSearch*>(context);
        if (GetDlgCtrlID(window) == static_cast<int>(s->process) && IsWindowVisible(window)) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Runs the composer on `file`; `act` plays the user on the frame if one
// appears. Returns the composer's exit status (-1: it did not end).
template <class Act>
int EditInFrame(const std::string& file, Act act) {
  const std::wstring composer = ComposerPath();
  if (composer.empty()) return -2;
  std::wstring command = L"\"" + composer + L"\" --edit-settings \"" + std::wstring(file.begin(), file.end()) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return -3;
  }
  HWND frame = nullptr;
  for (int i = 0; i < 600 && frame == nullptr; ++i) {
    if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
    frame = FindFrame(process.dwProcessId);
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

void Press(HWND frame, int button) {
  const HWND control = GetDlgItem(frame, button);
  ASSERT_NE(nullptr, control);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_NORMAL, 10000, &result);
}

void TypeXPos(HWND frame, const wchar_t* text) {
  const HWND edit = FindControl(frame, IDC_XPOS);
  ASSERT_NE(nullptr, edit) << "no X Pos field on the first page";
  DWORD_PTR result = 0;
  SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 10000, &result);
}

TEST(EditSettingsFrame, OkWritesTheEditedSettingsAndTheNextRunStartsFromThem) {
  ASSERT_FALSE(ComposerPath().empty()) << "OVL_COMPOSER is not set";
  ScratchFolder folder("ovl-edit");
  const std::string file = folder.Path() + "\\edited.xml";
  EXPECT_EQ(0, EditInFrame(file, [](HWND frame) {
              TypeXPos(frame, L"321");
              Press(frame, IDOK);
            }));
  const std::string written = ReadWholeFile(file);
  EXPECT_NE(std::string::npos, written.find("321")) << written;

  // Reopened: the page starts from the file; OK with another value rewrites it.
  std::wstring shown;
  EXPECT_EQ(0, EditInFrame(file, [&shown](HWND frame) {
              // Another process's control answers only WM_GETTEXT itself.
              wchar_t text[32] = {};
              DWORD_PTR length = 0;
              SendMessageTimeoutW(FindControl(frame, IDC_XPOS), WM_GETTEXT, 32, reinterpret_cast<LPARAM>(text),
                                  SMTO_NORMAL, 10000, &length);
              shown = text;
              TypeXPos(frame, L"654");
              Press(frame, IDOK);
            }));
  EXPECT_EQ(L"321", shown);
  const std::string rewritten = ReadWholeFile(file);
  EXPECT_NE(std::string::npos, rewritten.find("654"));
  EXPECT_EQ(std::string::npos, rewritten.find("321"));
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
