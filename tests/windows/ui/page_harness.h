#pragma once
// Drives the property pages as a property frame does, without the frame's
// modal loop: pages and filters come from the module's class table through
// its class factory, a test site records what the page reports, and the
// page's dialog lives in a plain top-level window. Helpers send the messages
// a user's actions produce; the modal-window seam is recorded and answered.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>
#include <ocidl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "persistence/core/com_ptr.h"
#include "tests/windows/support/filter_test_support.h"
#include "tests/windows/support/scratch_folder.h"
#include "ui/modal_seam.h"

namespace ovl::testing {

// Counts the status changes a page reports.
class TestSite : public IPropertyPageSite {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyPageSite);
    *ppv = known ? static_cast<IPropertyPageSite*>(this) : nullptr;
    if (known) AddRef();
    return known ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
  ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&refs); }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
    if (flags & PROPPAGESTATUS_DIRTY) ++dirtyReports;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* locale) override {
    *locale = LOCALE_USER_DEFAULT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** container) override {
    *container = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
  virtual ~TestSite() = default;

  LONG refs = 1;
  int dirtyReports = 0;
};

// Installs itself as the modal seam while it lives and logs one line a call:
//   "box <caption>: <text>"   MB_OK message box without owner ("box? " with
//                             one; other types end in " [type N]")
//   "shell <file>"            ShellExecute "open", no parameters, SW_SHOW
//   "html help <file>"        HtmlHelp HH_DISPLAY_TOPIC owned by the desktop
//   "colour" / "file"         a chooser, answered by the function below
// Any other form of a shell or HTML Help call is logged with a "?".
class ModalRecorder {
 public:
  ModalRecorder();
  ~ModalRecorder();
  ModalRecorder(const ModalRecorder&) = delete;
  ModalRecorder& operator=(const ModalRecorder&) = delete;

  std::vector<std::string> Lines(const std::string& prefix) const;

  std::vector<std::string> log;
  HWND lastOwner = nullptr;     // of the last message box or chooser
  bool browserPresent = false;  // whether the shell opens web addresses
  // Answers of the choosers; unset ones cancel.
  std::function<BOOL(CHOOSECOLORA*)> chooseColor;
  std::function<BOOL(OPENFILENAMEA*)> openFile;

 private:
  ovl::ui::ModalCalls previous_;
};

// Objects from the class table, through a class factory as a host gets them.
ovl::ComPtr<IUnknown> CreateThroughFactory(REFCLSID clsid);
// The settings key the filter reads at creation and writes on commit.
void RemoveSavedSettings();
// A hidden top-level window standing in for the property frame.
HWND CreateFrameWindow(int width, int height);
// Dispatches this thread's messages until `done` holds or `timeoutMs` passes.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
void PumpPending();

// A page created, sited, connected to `object` and active in `frame`.
class ActivePage {
 public:
  ActivePage(REFCLSID clsid, IUnknown* object, HWND frame);
  ~ActivePage();  // deactivates and disconnects (undoing unapplied changes)
  ActivePage(const ActivePage&) = delete;
  ActivePage& operator=(const ActivePage&) = delete;

  IPropertyPage* operator->() const { return page.Get(); }
  HWND Window() const { return window; }
  HWND Control(int id) const { return GetDlgItem(window, id); }
  std::string Text(int id) const;
  bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
  bool Checked(int id) const { return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  bool Dirty() const { return page->IsPageDirty() == S_OK; }
  int SpinLow(int id) const { return SpinRange(id).first; }
  int SpinHigh(int id) const { return SpinRange(id).second; }
  std::pair<int, int> SpinRange(int id) const;

  // What a user's actions send.
  void Type(int id, const std::string& text);  // the edit's text replaced as typed
  void Click(int id);
  void SelectCombo(int id, int index) { Select(id, CB_SETCURSEL, index); }
  void SelectList(int id, int index) { Select(id, LB_SETCURSEL, index); }
  int ComboSelection(int id) const { return static_cast<int>(SendMessageW(Control(id), CB_GETCURSEL, 0, 0)); }
  int ListSelection(int id) const { return static_cast<int>(SendMessageW(Control(id), LB_GETCURSEL, 0, 0)); }
  std::vector<std::string> ListItems(int id) const;
  // The mouse doing `message` over control `id` (0: the page itself).
  void Mouse(int id, UINT message) const;

  // The frame's Cancel: the objects are taken away without Apply.
  void Disconnect() {
    if (connected) page->SetObjects(0, nullptr);
    connected = false;
  }

  TestSite site;
  ovl::ComPtr<IPropertyPage> page;
  HWND window = nullptr;
  bool connected = false;

 private:
  void Select(int id, UINT setSelection, int index);  // CBN_SELCHANGE == LBN_SELCHANGE
};

// A fresh frame and overlay filter per test, no saved settings before or
// after, every module object gone at the end; modal calls are recorded.
class PageTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  ComApartment com;
  ModalRecorder modal;
  HWND frame = nullptr;
  ovl::ComPtr<IUnknown> filter;
};

// Sets HKLM "SOFTWARE\Tern Systems, Inc.\DShow\Help" "Path" for its lifetime
// (nullptr: the value is missing); the key is deleted afterwards.
class HelpPathSetting {
 public:
  explicit HelpPathSetting(const char* value);
  ~HelpPathSetting();
  HelpPathSetting(const HelpPathSetting&) = delete;
  HelpPathSetting& operator=(const HelpPathSetting&) = delete;
};

}  // namespace ovl::testing
