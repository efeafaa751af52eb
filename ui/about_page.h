#pragma once
// CAboutProperties: the About page shown next to the settings page.
#include "ui/property_page_base.h"

class CAboutProperties : public CBasePropertyPage {
 public:
  // Creation function of the module's class table.
  static CUnknown* CALLBACK CreateInstance(LPUNKNOWN outer, HRESULT* phr);

  explicit CAboutProperties(LPUNKNOWN outer);
};
