#include "tests/windows/ui/page_harness.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include "server/class_table.h"
#include "server/filter_identity.h"
#include "streaming/base/class_factory.h"

namespace ovl::testing {

HRESULT STDMETHODCALLTYPE TestSite::QueryInterface(REFIID riid, void** ppv) {
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyPageSite)) {
    *ppv = static_cast<IPropertyPageSite*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE TestSite::GetLocaleID(LCID* locale) {
  *locale = LOCALE_USER_DEFAULT;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TestSite::GetPageContainer(IUnknown** container) {
  *container = nullptr;
  return E_NOTIMPL;
}

namespace {

ModalRecorder* g_recorder = nullptr;

int RecordMessage(HWND owner, const char* text, const char* caption, UINT type) {
  g_recorder->messages.push_back({owner, text != nullptr ? text : "", caption != nullptr ? caption : "", type});
  return IDOK;
}
BOOL AnswerColour(CHOOSECOLORA* choice) {
  ++g_recorder->colourChoosers;
  return g_recorder->chooseColor ? g_recorder->chooseColor(choice) : FALSE;
}
BOOL AnswerFile(OPENFILENAMEA* choice) {
  ++g_recorder->fileChoosers;
  return g_recorder->openFile ? g_recorder->openFile(choice) : FALSE;
}
HINSTANCE RefuseShell(HWND, const char*, const char*, const char*, const char*, int) {
  return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_FNF));
}
HWND RefuseHtmlHelp(HWND, const char*, UINT, DWORD_PTR) { return nullptr; }

}  // namespace

ModalRecorder::ModalRecorder() {
  g_recorder = this;
  previous_ = ovl::ui::SetModalCalls({RecordMessage, AnswerColour, AnswerFile, RefuseShell, RefuseHtmlHelp});
}

ModalRecorder::~ModalRecorder() {
  ovl::ui::SetModalCalls(previous_);
  g_recorder = nullptr;
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
  activation = page->Activate(frame, &client, FALSE);
  EXPECT_TRUE(SUCCEEDED(activation));
  window = GetWindow(frame, GW_CHILD);
  page->Show(SW_SHOW);
  PumpPending();
}

ActivePage::~ActivePage() {
  if (!page) return;
  if (window != nullptr) page->Deactivate();
  Disconnect();
  page->SetPageSite(nullptr);
  page.Reset();
}

void ActivePage::Disconnect() {
  if (connected) page->SetObjects(0, nullptr);
  connected = false;
}

std::string ActivePage::Text(int id) const {
  char text[1024] = "";
  GetWindowTextA(Control(id), text, sizeof(text));
  return text;
}

bool ActivePage::Checked(int id) const { return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void ActivePage::SpinRange(int id, int* low, int* high) const {
  SendMessageW(Control(id), UDM_GETRANGE32, reinterpret_cast<WPARAM>(low), reinterpret_cast<LPARAM>(high));
}

int ActivePage::SpinPosition(int id) const {
  return static_cast<int>(SendMessageW(Control(id), UDM_GETPOS32, 0, 0));
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

void ActivePage::SelectCombo(int id, int index) {
  SendMessageW(Control(id), CB_SETCURSEL, index, 0);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Control(id)));
  PumpPending();
}

void ActivePage::SelectList(int id, int index) {
  SendMessageW(Control(id), LB_SETCURSEL, index, 0);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(Control(id)));
  PumpPending();
}

int ActivePage::ComboSelection(int id) const { return static_cast<int>(SendMessageW(Control(id), CB_GETCURSEL, 0, 0)); }

int ActivePage::ListSelection(int id) const { return static_cast<int>(SendMessageW(Control(id), LB_GETCURSEL, 0, 0)); }

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

}  // namespace ovl::testing
