#pragma once
// CAboutProperties: the About page shown next to the settings page: the
// filter's icon and name, the notice lines and a link to the product's web
// page. F1 and Help open the same help as the settings page.
#include "ui/property_page_base.h"

class CAboutProperties : public CBasePropertyPage {
 public:
  // Creation function of the module's class table.
  static CUnknown* CALLBACK CreateInstance(LPUNKNOWN outer, HRESULT* phr);

  explicit CAboutProperties(LPUNKNOWN outer);

  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDir) override;

  HRESULT OnConnect(IUnknown* object) override;
  HRESULT OnActivate() override;
  HRESULT OnDeactivate() override;
  INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  INT_PTR OnSetCursor(HWND window, HWND underMouse, UINT mouseMessage);

  char displayName_[260];
  char labelText_[260];
  char linkAddress_[260];
  // The hand cursor over the link, the cursor it replaced, and whether the
  // left button went down on the link (a click needs down and up there).
  bool handShown_ = false;
  HCURSOR replacedCursor_ = nullptr;
  bool pressedOnLink_ = false;
};
