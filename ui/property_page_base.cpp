#include "ui/property_page_base.h"

#include <new>

#include "streaming/base/module_state.h"

CPropertyPageBase::CPropertyPageBase(const TCHAR* name, LPUNKNOWN outer, const wchar_t* title, SIZE dialogUnits)
    : CUnknown(name, outer), m_pTitle(title), m_dialogUnits(dialogUnits) {}

CPropertyPageBase::~CPropertyPageBase() {
  // A frame that goes away without deactivating must not leave a window
  // whose owner object is gone.
  if (m_hwnd != nullptr) DestroyWindow(m_hwnd);
  ReleaseObjects();
  if (m_pSite != nullptr) m_pSite->Release();
}

HRESULT STDMETHODCALLTYPE CPropertyPageBase::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (IsEqualIID(riid, IID_IPropertyPage)) return GetInterface(static_cast<IPropertyPage*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CPropertyPageBase::SetPageSite(IPropertyPageSite* site) {
  // The frame sets a site once and clears it before it lets the page go.
  if (site != nullptr && m_pSite != nullptr) return E_UNEXPECTED;
  if (site != nullptr) site->AddRef();
  if (m_pSite != nullptr) m_pSite->Release();
  m_pSite = site;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropertyPageBase::Activate(HWND parent, LPCRECT rect, BOOL /*modal*/) {
  CheckPointer(rect, E_POINTER);
  if (m_hwnd != nullptr) return E_UNEXPECTED;
  // Hidden until the frame shows it.
  m_hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", m_pTitle, WS_CHILD | WS_CLIPSIBLINGS, rect->left,
                           rect->top, rect->right - rect->left, rect->bottom - rect->top, parent, nullptr,
                           ovl::module::Instance(), nullptr);
  if (m_hwnd == nullptr) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropertyPageBase::Deactivate() {
  if (m_hwnd == nullptr) return E_UNEXPECTED;
  DestroyWindow(m_hwnd);
  m_hwnd = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropertyPageBase::GetPageInfo(PROPPAGEINFO* info) {
  CheckPointer(info, E_POINTER);
  const size_t bytes = (wcslen(m_pTitle) + 1) * sizeof(wchar_t);
  auto* title = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (title == nullptr) return E_OUTOFMEMORY;
  memcpy(title, m_pTitle, bytes);
  // The frame sizes itself in pixels; convert with the system font's units.
  const LONG base = GetDialogBaseUnits();
  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = title;
  info->size.cx = MulDiv(m_dialogUnits.cx, LOWORD(base), 4);
  info->size.cy = MulDiv(m_dialogUnits.cy, HIWORD(base), 8);
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropertyPageBase::SetObjects(ULONG count, IUnknown** objects) {
  if (count > 0 && objects == nullptr) return E_POINTER;
  // Take the new set completely before dropping the old one, so a failure
  // leaves the page as it was.
  IUnknown** kept = nullptr;
  if (count > 0) {
    kept = new (std::nothrow) IUnknown*[count];
    if (kept == nullptr) return E_OUTOFMEMORY;
    for (ULONG i = 0; i < count; ++i) {
      kept[i] = objects[i];
      if (kept[i] != nullptr) kept[i]->AddRef();
    }
  }
  ReleaseObjects();
  m_ppObjects = kept;
  m_cObjects = count;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropertyPageBase::Show(UINT command) {
  if (m_hwnd == nullptr) return E_UNEXPECTED;
  ShowWindow(m_hwnd, static_cast<int>(command));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropertyPageBase::Move(LPCRECT rect) {
  CheckPointer(rect, E_POINTER);
  if (m_hwnd == nullptr) return E_UNEXPECTED;
  MoveWindow(m_hwnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  return S_OK;
}

// Nothing on the page can be edited yet, so there is never anything to apply.
HRESULT STDMETHODCALLTYPE CPropertyPageBase::IsPageDirty() { return S_FALSE; }

HRESULT STDMETHODCALLTYPE CPropertyPageBase::Apply() { return S_OK; }

// E_NOTIMPL lets the frame fall back to the help fields of the page info.
HRESULT STDMETHODCALLTYPE CPropertyPageBase::Help(LPCOLESTR /*helpDir*/) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CPropertyPageBase::TranslateAccelerator(MSG* msg) {
  CheckPointer(msg, E_POINTER);
  return S_FALSE;  // not handled: the frame processes the keystroke
}

void CPropertyPageBase::ReleaseObjects() {
  for (ULONG i = 0; i < m_cObjects; ++i) {
    if (m_ppObjects[i] != nullptr) m_ppObjects[i]->Release();
  }
  delete[] m_ppObjects;
  m_ppObjects = nullptr;
  m_cObjects = 0;
}
