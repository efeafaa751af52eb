#pragma once
// CAboutProperties: the About page shown next to the settings page. For now
// the page frame only: title and size; the About dialog takes its place later.
#include "ui/property_page_base.h"

class CAboutProperties : public CPropertyPageBase {
 public:
  // Creation function of the module's class table.
  static CUnknown* CALLBACK CreateInstance(LPUNKNOWN outer, HRESULT* phr);

  explicit CAboutProperties(LPUNKNOWN outer);
};
