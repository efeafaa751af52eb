#pragma once
// CBasePropertyPage: the IPropertyPage plumbing a property frame relies on,
// around one dialog resource. The frame gives the page a site and the objects
// to edit, asks for its title and size, has it create its dialog inside the
// frame's window, shows, moves and finally destroys it, and asks it to apply.
// A page class adds its behaviour through the hooks below.
#include <windows.h>
#include <ocidl.h>

#include <new>

#include "streaming/base/unknown.h"

class CBasePropertyPage : public CUnknown, public IPropertyPage {
 public:
  // `dialogId` names the page's dialog resource, `titleId` the string-table
  // entry of its tab title; both are resources of the module.
  CBasePropertyPage(const TCHAR* name, LPUNKNOWN outer, int dialogId, int titleId);
  ~CBasePropertyPage() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // IPropertyPage
  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Show(UINT command) override;
  HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
  HRESULT STDMETHODCALLTYPE IsPageDirty() override;
  HRESULT STDMETHODCALLTYPE Apply() override;
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override;

  // Hooks of a page class.
  // SetObjects with one object; a failure refuses the object.
  virtual HRESULT OnConnect(IUnknown* /*object*/) { return S_OK; }
  // SetObjects with none, while an object is held.
  virtual HRESULT OnDisconnect() { return S_OK; }
  // The dialog exists (its controls too) but is not shown yet.
  virtual HRESULT OnActivate() { return S_OK; }
  // The dialog is about to be destroyed.
  virtual HRESULT OnDeactivate() { return S_OK; }
  // Apply while dirty; success clears the dirty flag.
  virtual HRESULT OnApplyChanges() { return S_OK; }
  // Every message of the dialog from WM_INITDIALOG on; the result is the
  // dialog procedure's (0: the dialog manager's default handling).
  virtual INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  // The creation function of a page class for the module's class table.
  template <class Page>
  static CUnknown* CreatePage(LPUNKNOWN outer, HRESULT* phr) {
    auto* page = new (std::nothrow) Page(outer);
    if (page == nullptr && phr != nullptr) *phr = E_OUTOFMEMORY;
    return page;
  }

  // The module whose resources hold the page's dialog and strings.
  static HINSTANCE ResourceModule();

  // For OnReceiveMessage: answers a message whose sender reads the result
  // (WM_SETCURSOR, WM_HELP, ...); the dialog manager hands back `result`
  // instead of the dialog procedure's TRUE.
  static INT_PTR MessageResult(HWND window, LRESULT result) {
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
  }

  // Sets the dirty flag and tells the site (PROPPAGESTATUS_DIRTY).
  void SetDirty();
  bool Dirty() const { return m_bDirty; }

  HWND m_hwnd = nullptr;  // the page dialog while active

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  const int m_DialogId;
  const int m_TitleId;
  IPropertyPageSite* m_pPageSite = nullptr;
  IUnknown* m_pObject = nullptr;  // the edited object while connected
  bool m_bDirty = false;
};
