#pragma once
// A property page object with the plain IPropertyPage behaviour a property
// frame relies on: a site, the objects being edited, a page window the frame
// places, shows, moves and destroys. The page window is a bare child window
// carrying the page title until the page's dialog takes its place.
#include <windows.h>
#include <ocidl.h>

#include <new>

#include "streaming/base/unknown.h"

class CPropertyPageBase : public CUnknown, public IPropertyPage {
 public:
  // `title` is the tab text; `dialogUnits` the page size in dialog units.
  CPropertyPageBase(const TCHAR* name, LPUNKNOWN outer, const wchar_t* title, SIZE dialogUnits);
  ~CPropertyPageBase() override;

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

 protected:
  // The creation function of a page class for the module's class table.
  template <class Page>
  static CUnknown* CreatePage(LPUNKNOWN outer, HRESULT* phr) {
    auto* page = new (std::nothrow) Page(outer);
    if (page == nullptr && phr != nullptr) *phr = E_OUTOFMEMORY;
    return page;
  }

  HWND PageWindow() const { return m_hwnd; }
  // The first object the frame handed over (the filter), or null.
  IUnknown* EditedObject() const { return m_cObjects > 0 ? m_ppObjects[0] : nullptr; }

 private:
  void ReleaseObjects();

  const wchar_t* const m_pTitle;
  const SIZE m_dialogUnits;
  IPropertyPageSite* m_pSite = nullptr;
  IUnknown** m_ppObjects = nullptr;
  ULONG m_cObjects = 0;
  HWND m_hwnd = nullptr;
};
