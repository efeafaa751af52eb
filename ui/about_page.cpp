#include "ui/about_page.h"

#include <cstring>
#include <string>

#include "persistence/core/com_ptr.h"
#include "ui/filter_name_lookup.h"
#include "ui/help_launch.h"
#include "ui/help_names.h"
#include "ui/modal_seam.h"
#include "ui/product_texts.h"
#include "ui/resource_ids.h"

namespace {

constexpr COLORREF kLinkColour = 0x00E60000;

// Cuts `text` to the 259 characters (and terminator) of a page field.
void CopyField(char (&field)[260], const std::string& text) {
  std::strncpy(field, text.c_str(), sizeof(field) - 1);
  field[sizeof(field) - 1] = '\0';
}

// The maker's page, tagged so the maker can tell visits from this page.
std::string LinkAddress(const std::string& linkName) {
  return std::string(OVL_MAKER_PAGE_URL) + "?utm_source=" + OVL_PRODUCT_TAG +
         "&utm_medium=about_dialog&utm_campaign=" + linkName + "&SrcOrigin=" + linkName;
}

}  // namespace

CUnknown* CALLBACK CAboutProperties::CreateInstance(LPUNKNOWN outer, HRESULT* phr) {
  return CreatePage<CAboutProperties>(outer, phr);
}

CAboutProperties::CAboutProperties(LPUNKNOWN outer)
    : CBasePropertyPage(TEXT("About page"), outer, IDD_ABOUT_PAGE, IDS_ABOUT_PAGE_TITLE) {
  CopyField(displayName_, ovl::ui::kDefaultComponentName);
  CopyField(labelText_, displayName_);
  CopyField(linkAddress_, LinkAddress(ovl::ui::LinkName(displayName_)));
}

HRESULT STDMETHODCALLTYPE CAboutProperties::GetPageInfo(PROPPAGEINFO* info) {
  const HRESULT hr = CBasePropertyPage::GetPageInfo(info);
  if (SUCCEEDED(hr)) ovl::ui::SetHelpPageInfo(info, displayName_);
  return hr;
}

HRESULT STDMETHODCALLTYPE CAboutProperties::Help(LPCOLESTR /*helpDir*/) {
  ovl::ui::OpenHelp(displayName_);
  return S_OK;
}

HRESULT CAboutProperties::OnConnect(IUnknown* object) {
  CopyField(displayName_, ovl::ui::kDefaultComponentName);
  ovl::ComPtr<IBaseFilter> filter;
  if (object != nullptr && SUCCEEDED(object->QueryInterface(IID_IBaseFilter, filter.PutVoid()))) {
    ovl::ui::LookUpFilterName(filter.Get(), displayName_);
  }
  CopyField(labelText_, displayName_);
  CopyField(linkAddress_, LinkAddress(ovl::ui::LinkName(displayName_)));
  return S_OK;  // the page keeps no reference to the filter
}

HRESULT CAboutProperties::OnActivate() {
  handShown_ = false;
  replacedCursor_ = nullptr;
  pressedOnLink_ = false;
  ovl::ui::InstallHelpHook(m_hwnd, displayName_);  // F1 without the hook only reaches this page
  SetDlgItemTextA(m_hwnd, IDC_ABOUT_NOTICE, OVL_NOTICE_LINE_TEXT);
  return S_OK;
}

HRESULT CAboutProperties::OnDeactivate() {
  ovl::ui::RemoveHelpHook(m_hwnd);
  return S_OK;
}

INT_PTR CAboutProperties::OnSetCursor(HWND window, HWND underMouse, UINT mouseMessage) {
  if (underMouse == GetDlgItem(window, IDC_ABOUT_LINK)) {
    // Claimed here, before the label's own handling, so the hand stays;
    // the label class's cursor, shared by every static control of the
    // process, is left alone.
    const HCURSOR replaced = SetCursor(LoadCursor(nullptr, IDC_HAND));
    if (!handShown_) {
      replacedCursor_ = replaced;
      handShown_ = true;
    }
    if (mouseMessage == WM_LBUTTONDOWN) {
      pressedOnLink_ = true;
    } else if (mouseMessage == WM_LBUTTONUP && pressedOnLink_) {
      pressedOnLink_ = false;
      ovl::ui::ShellExecuteCall(nullptr, "open", linkAddress_, nullptr, "", SW_SHOW);
    }
    return MessageResult(window, TRUE);
  }
  if (handShown_) {
    SetCursor(replacedCursor_);
    handShown_ = false;
  }
  if (mouseMessage == WM_LBUTTONUP) pressedOnLink_ = false;
  // Not claimed: the control under the mouse sets its own cursor.
  return MessageResult(window, FALSE);
}

INT_PTR CAboutProperties::OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SHOWWINDOW:
      SetDlgItemTextA(window, IDC_ABOUT_NAME, labelText_);
      return 0;
    case WM_SETCURSOR:
      return OnSetCursor(window, reinterpret_cast<HWND>(wParam), HIWORD(lParam));
    case WM_HELP:
      ovl::ui::OpenHelp(displayName_);
      return MessageResult(window, TRUE);
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(window, IDC_ABOUT_LINK)) {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kLinkColour);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_3DFACE));
      }
      break;
  }
  return CBasePropertyPage::OnReceiveMessage(window, message, wParam, lParam);
}
