#pragma once
// CVOvLyProperties: the page on which a user edits the overlay settings of one
// filter.
#include "ui/property_page_base.h"

class CVOvLyProperties : public CBasePropertyPage {
 public:
  // Creation function of the module's class table.
  static CUnknown* CALLBACK CreateInstance(LPUNKNOWN outer, HRESULT* phr);

  explicit CVOvLyProperties(LPUNKNOWN outer);
};
