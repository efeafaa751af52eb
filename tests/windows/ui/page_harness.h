#pragma once
// Drives the property pages as a property frame does, without the frame's
// modal loop: the page and the filter come from the module's class table
// through its class factory, a test site records what the page reports, and
// the page's dialog lives in a plain top-level window. Helpers send the
// messages a user's actions produce; the seam for modal windows records
// every message box and answers the choosers as a test scripts them.
#include <windows.h>
#include <commdlg.h>
#include <ocidl.h>

#include <functional>
#include <string>
#include <vector>

#include "KMVVOvLy.h"
#include "persistence/core/com_ptr.h"
#include "ui/modal_seam.h"

namespace ovl::testing {

// Counts the status changes a page reports.
class TestSite : public IPropertyPageSite {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
  ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&refs); }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
    if (flags & PROPPAGESTATUS_DIRTY) ++dirtyReports;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* locale) override;
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** container) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
  virtual ~TestSite() = default;

  LONG refs = 1;
  int dirtyReports = 0;
};

// A message box the page asked for.
struct ShownMessage {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};

// Installs itself as the modal seam while it lives.
class ModalRecorder {
 public:
  ModalRecorder();
  ~ModalRecorder();
  ModalRecorder(const ModalRecorder&) = delete;
  ModalRecorder& operator=(const ModalRecorder&) = delete;

  std::vector<ShownMessage> messages;
  // Answers of the choosers: null answers cancel; each call is recorded.
  std::function<BOOL(CHOOSECOLORA*)> chooseColor;
  std::function<BOOL(OPENFILENAMEA*)> openFile;
  int colourChoosers = 0;
  int fileChoosers = 0;

 private:
  ovl::ui::ModalCalls previous_;
};

// Objects from the class table, through a class factory as a host gets them.
ovl::ComPtr<IUnknown> CreateThroughFactory(REFCLSID clsid);

// The settings key the filter reads at creation and writes on commit; the
// tests start and end without it.
void RemoveSavedSettings();

// A plain top-level window standing in for the property frame (hidden).
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
  bool Checked(int id) const;
  // A spin control's range and position.
  void SpinRange(int id, int* low, int* high) const;
  int SpinPosition(int id) const;

  // What a user's actions send.
  void Type(int id, const std::string& text);  // the edit's text replaced as typed
  void Click(int id);
  void SelectCombo(int id, int index);
  void SelectList(int id, int index);
  int ComboSelection(int id) const;
  int ListSelection(int id) const;
  std::vector<std::string> ListItems(int id) const;

  // Frame operations.
  HRESULT Apply() { return page->Apply(); }
  // The frame's Cancel: the objects are taken away without Apply.
  void Disconnect();

  TestSite site;
  ovl::ComPtr<IPropertyPage> page;
  HWND window = nullptr;
  bool connected = false;
  HRESULT activation = E_FAIL;
};

}  // namespace ovl::testing
