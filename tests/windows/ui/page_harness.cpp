#include "tests/windows/ui/page_harness.h"

#include <commctrl.h>
#include <htmlhelp.h>
#include <shellapi.h>

#include "server/class_table.h"
#include "server/filter_identity.h"
#include "streaming/base/class_factory.h"

namespace ovl::testing {

namespace {

ModalRecorder* g_recorder = nullptr;
std::string OrNull(const char* text) { return text != nullptr ? text : "(null)"; }

int RecordBox(HWND owner, const char* text, const char* caption, UINT type) {
  g_recorder->lastOwner = owner;
  const std::string kind = type == MB_OK ? "" : " [type " + std::to_string(type) + "]";
  g_recorder->log.push_back((owner == nullptr ? "box " : "box? ") + OrNull(caption) + ": " + OrNull(text) + kind);
  return IDOK;
}
BOOL AnswerColour(CHOOSECOLORA* choice) {
  g_recorder->lastOwner = choice->hwndOwner;
  g_recorder->log.push_back("colour");
  return g_recorder->chooseColor ? g_recorder->chooseColor(choice) : FALSE;
}
BOOL AnswerFile(OPENFILENAMEA* choice) {
  g_recorder->lastOwner = choice->hwndOwner;
  g_recorder->log.push_back("file");
  return g_recorder->openFile ? g_recorder->openFile(choice) : FALSE;
}
HINSTANCE RecordShell(HWND, const char* verb, const char* file, const char* parameters, const char* directory,
                      int show) {
  const bool plain = OrNull(verb) == "open" && parameters == nullptr && directory != nullptr && *directory == '\0' &&
                     show == SW_SHOW;
  g_recorder->log.push_back((plain ? "shell " : "shell? " + OrNull(verb) + " ") + OrNull(file));
  const bool web = OrNull(file).rfind("http", 0) == 0;
  return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(!web || g_recorder->browserPresent ? 42 : SE_ERR_NOASSOC));
}
HWND RecordHtmlHelp(HWND owner, const char* file, UINT command, DWORD_PTR data) {
  const bool plain = owner == GetDesktopWindow() && command == HH_DISPLAY_TOPIC && data == 0;
  g_recorder->log.push_back((plain ? "html help " : "html help? " + std::to_string(command) + " ") + OrNull(file));
  return nullptr;
}

}  // namespace

ModalRecorder::ModalRecorder() {
  g_recorder = this;
  previous_ = ovl::ui::SetModalCalls({RecordBox, AnswerColour, AnswerFile, RecordShell, RecordHtmlHelp});
}

ModalRecorder::~ModalRecorder() {
  ovl::ui::SetModalCalls(previous_);
  g_recorder = nullptr;
}

std::vector<std::string> ModalRecorder::Lines(const std::string& prefix) const {
  std::vector<std::string> lines;
  for (const std::string& line : log) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  }
  return lines;
}

ovl::ComPtr<IUnknown> CreateThroughFactory(REFCLSID clsid) {
  ovl::ComPtr<IUnknown> object;
  const CFactoryTemplate* entry = ovl::server::FindClass(clsid);
  if (entry == nullptr) return object;
  ovl::ComPtr<IClassFactory> factory(new CClassFactory(entry));
  factory->AddRef();
  factory->CreateInstance(nullptr, IID_IUnknown, object.PutVoid());
  return object;
}

void RemoveSavedSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, ovl::identity::kSettingsKey); }

HWND CreateFrameWindow(int width, int height) {
  static const wchar_t kClass[] = L"OvlTestFrame";
  WNDCLASSW frameClass{};
  frameClass.lpfnWndProc = DefWindowProcW;
  frameClass.hInstance = GetModuleHandleW(nullptr);
  frameClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  frameClass.lpszClassName = kClass;
  RegisterClassW(&frameClass);  // fails harmlessly when already registered
  // Hidden unless a test shows it: Wine hides a shown top-level window only
  // after a wait for a window manager, which the test display lacks.
  return CreateWindowExW(WS_EX_CONTROLPARENT, kClass, L"Property frame stand-in", WS_POPUP, 20, 20, width, height,
                         nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void PumpPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    PumpPending();
  }
  return true;
}

ActivePage::ActivePage(REFCLSID clsid, IUnknown* object, HWND frame) {
  page = CreateThroughFactory(clsid).As<IPropertyPage>(IID_IPropertyPage);
  if (!page) {
    ADD_FAILURE() << "the class factory made no page";
    return;
  }
  EXPECT_EQ(S_OK, page->SetPageSite(&site));
  if (object != nullptr) {
    IUnknown* objects[] = {object};
    connected = SUCCEEDED(page->SetObjects(1, objects));
    EXPECT_TRUE(connected);
  }
  RECT client{};
  GetClientRect(frame, &client);
  EXPECT_EQ(S_OK, page->Activate(frame, &client, FALSE));
  window = GetWindow(frame, GW_CHILD);
  page->Show(SW_SHOW);
  PumpPending();
}

ActivePage::~ActivePage() {
  if (!page) return;
  if (window != nullptr) page->Deactivate();
  Disconnect();
  page->SetPageSite(nullptr);
}

std::string ActivePage::Text(int id) const {
  char text[1024] = "";
  GetWindowTextA(Control(id), text, sizeof(text));
  return text;
}

std::pair<int, int> ActivePage::SpinRange(int id) const {
  int low = -1, high = -1;
  SendMessageW(Control(id), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
  return {low, high};
}

void ActivePage::Type(int id, const std::string& text) {
  // A single-line edit reports the new text to its parent (EN_CHANGE), as
  // it does for keystrokes.
  SendMessageA(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  PumpPending();
}

void ActivePage::Click(int id) {
  SendMessageW(Control(id), BM_CLICK, 0, 0);
  PumpPending();
}

void ActivePage::Select(int id, UINT setSelection, int index) {
  SendMessageW(Control(id), setSelection, index, 0);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Control(id)));
  PumpPending();
}

std::vector<std::string> ActivePage::ListItems(int id) const {
  std::vector<std::string> items;
  const int count = static_cast<int>(SendMessageW(Control(id), LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[256] = "";
    SendMessageA(Control(id), LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

void ActivePage::Mouse(int id, UINT message) const {
  const HWND target = id != 0 ? Control(id) : window;
  SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(HTCLIENT, message));
}

void PageTest::SetUp() {
  RemoveSavedSettings();
  frame = CreateFrameWindow(720, 560);
  ASSERT_NE(nullptr, frame) << "no X display: run the tests through scripts/wine-session.sh";
  filter = CreateThroughFactory(ovl::identity::kClsidOverlayFilter);
  ASSERT_TRUE(filter);
}

void PageTest::TearDown() {
  filter.Reset();
  if (frame != nullptr) DestroyWindow(frame);
  RemoveSavedSettings();
  EXPECT_TRUE(NoLiveObjects());
}

namespace {
constexpr char kHelpKey[] = "SOFTWARE\\Tern Systems, Inc.\\DShow\\Help";
}

HelpPathSetting::HelpPathSetting(const char* value) {
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kHelpKey);
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kHelpKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  if (value != nullptr) {
    RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
  }
  RegCloseKey(key);
}

HelpPathSetting::~HelpPathSetting() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kHelpKey); }

}  // namespace ovl::testing
