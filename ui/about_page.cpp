#include "ui/about_page.h"

CUnknown* CALLBACK CAboutProperties::CreateInstance(LPUNKNOWN outer, HRESULT* phr) {
  return CreatePage<CAboutProperties>(outer, phr);
}

// The About dialog measures 177 x 99 dialog units.
CAboutProperties::CAboutProperties(LPUNKNOWN outer)
    : CPropertyPageBase(TEXT("About page"), outer, L"About", SIZE{177, 99}) {}
