#include "ui/about_page.h"

#include <new>

CUnknown* CALLBACK CAboutProperties::CreateInstance(LPUNKNOWN outer, HRESULT* phr) {
  auto* page = new (std::nothrow) CAboutProperties(outer);
  if (page == nullptr && phr != nullptr) *phr = E_OUTOFMEMORY;
  return page;
}

// The About dialog measures 177 x 99 dialog units.
CAboutProperties::CAboutProperties(LPUNKNOWN outer)
    : CPropertyPageBase(TEXT("About page"), outer, L"About", SIZE{177, 99}) {}
