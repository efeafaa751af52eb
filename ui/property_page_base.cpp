#include "ui/property_page_base.h"

#include <commctrl.h>

#include <cstring>

#include "streaming/base/module_state.h"
#include "ui/dialog_template_size.h"

CBasePropertyPage::CBasePropertyPage(const TCHAR* name, LPUNKNOWN outer, int dialogId, int titleId)
    : CUnknown(name, outer), m_DialogId(dialogId), m_TitleId(titleId) {}

CBasePropertyPage::~CBasePropertyPage() {
  // A frame that lets the page go without deactivating it must not keep a
  // window whose procedure reaches a destroyed object.
  if (m_hwnd != nullptr) {
    SetWindowLongPtrW(m_hwnd, DWLP_USER, 0);
    DestroyWindow(m_hwnd);
  }
  if (m_pObject != nullptr) m_pObject->Release();
  if (m_pPageSite != nullptr) m_pPageSite->Release();
}

HINSTANCE CBasePropertyPage::ResourceModule() {
  // Inside the module its own handle; linked into a program, the program's.
  HINSTANCE module = ovl::module::Instance();
  return module != nullptr ? module : GetModuleHandleW(nullptr);
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (IsEqualIID(riid, IID_IPropertyPage)) return GetInterface(static_cast<IPropertyPage*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::SetPageSite(IPropertyPageSite* site) {
  // The frame sets a site once and clears it before it lets the page go.
  if (site != nullptr && m_pPageSite != nullptr) return E_UNEXPECTED;
  if (site != nullptr) site->AddRef();
  if (m_pPageSite != nullptr) m_pPageSite->Release();
  m_pPageSite = site;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count > 1) return E_INVALIDARG;  // a page edits one filter
  if (count == 1 && (objects == nullptr || objects[0] == nullptr)) return E_POINTER;

  HRESULT hr = S_OK;
  if (m_pObject != nullptr) {
    hr = OnDisconnect();
    m_pObject->Release();
    m_pObject = nullptr;
    m_bDirty = false;  // nothing is left to apply
  }
  if (count == 0) return hr;

  hr = OnConnect(objects[0]);
  if (FAILED(hr)) return hr;
  m_pObject = objects[0];
  m_pObject->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Activate(HWND parent, LPCRECT rect, BOOL /*modal*/) {
  CheckPointer(rect, E_POINTER);
  if (m_hwnd != nullptr) return E_UNEXPECTED;

  // Dialogs may hold spin controls, which need their class registered.
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&classes);

  // WM_INITDIALOG stores the page in the dialog and sets m_hwnd, so the
  // page's message handling sees its window from the first message on.
  HWND window = CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(m_DialogId), parent, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  if (window == nullptr) {
    m_hwnd = nullptr;
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }
  m_hwnd = window;
  SetWindowPos(window, nullptr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               SWP_NOZORDER | SWP_NOACTIVATE);

  const HRESULT hr = OnActivate();
  if (FAILED(hr)) {
    SetWindowLongPtrW(window, DWLP_USER, 0);
    DestroyWindow(window);
    m_hwnd = nullptr;
    return hr;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Deactivate() {
  if (m_hwnd == nullptr) return E_UNEXPECTED;
  OnDeactivate();
  HWND window = m_hwnd;
  SetWindowLongPtrW(window, DWLP_USER, 0);
  m_hwnd = nullptr;
  DestroyWindow(window);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  CheckPointer(info, E_POINTER);
  SIZE size{};
  if (!ovl::ui::DialogTemplatePixels(ResourceModule(), m_DialogId, &size)) {
    return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
  }
  // Length 0 asks for a read-only pointer to the string in the resource.
  const wchar_t* text = nullptr;
  const int length = LoadStringW(ResourceModule(), static_cast<UINT>(m_TitleId), reinterpret_cast<LPWSTR>(&text), 0);
  auto* title = static_cast<LPOLESTR>(CoTaskMemAlloc((length + 1) * sizeof(wchar_t)));
  if (title == nullptr) return E_OUTOFMEMORY;
  if (length > 0) memcpy(title, text, length * sizeof(wchar_t));
  title[length] = L'\0';

  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = title;
  info->size = size;
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Show(UINT command) {
  if (m_hwnd == nullptr) return E_UNEXPECTED;
  ShowWindow(m_hwnd, static_cast<int>(command));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Move(LPCRECT rect) {
  CheckPointer(rect, E_POINTER);
  if (m_hwnd == nullptr) return E_UNEXPECTED;
  MoveWindow(m_hwnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBasePropertyPage::IsPageDirty() { return m_bDirty ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE CBasePropertyPage::Apply() {
  if (!m_bDirty) return S_OK;
  if (m_pObject == nullptr) return E_UNEXPECTED;
  const HRESULT hr = OnApplyChanges();
  if (SUCCEEDED(hr)) m_bDirty = false;
  return hr;
}

// E_NOTIMPL lets the frame use the help fields of the page information.
HRESULT STDMETHODCALLTYPE CBasePropertyPage::Help(LPCOLESTR /*helpDir*/) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CBasePropertyPage::TranslateAccelerator(MSG* msg) {
  CheckPointer(msg, E_POINTER);
  // Keyboard navigation among the page's own controls (Tab, arrows,
  // mnemonics); everything else is the frame's.
  if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return S_FALSE;
  if (m_hwnd == nullptr || (msg->hwnd != m_hwnd && !IsChild(m_hwnd, msg->hwnd))) return S_FALSE;
  return IsDialogMessageW(m_hwnd, msg) ? S_OK : S_FALSE;
}

void CBasePropertyPage::SetDirty() {
  m_bDirty = true;
  if (m_pPageSite != nullptr) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

INT_PTR CBasePropertyPage::OnReceiveMessage(HWND /*window*/, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
  // TRUE on WM_INITDIALOG lets the dialog manager give the first control the
  // focus; everything else gets the dialog manager's default handling.
  return message == WM_INITDIALOG ? TRUE : 0;
}

INT_PTR CALLBACK CBasePropertyPage::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<CBasePropertyPage*>(lParam)->m_hwnd = window;
  }
  // Messages before WM_INITDIALOG (WM_SETFONT) and after Deactivate find no page.
  auto* page = reinterpret_cast<CBasePropertyPage*>(GetWindowLongPtrW(window, DWLP_USER));
  if (page == nullptr) return FALSE;
  return page->OnReceiveMessage(window, message, wParam, lParam);
}
