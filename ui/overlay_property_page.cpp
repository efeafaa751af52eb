#include "ui/overlay_property_page.h"

#include <new>

CUnknown* CALLBACK CVOvLyProperties::CreateInstance(LPUNKNOWN outer, HRESULT* phr) {
  auto* page = new (std::nothrow) CVOvLyProperties(outer);
  if (page == nullptr && phr != nullptr) *phr = E_OUTOFMEMORY;
  return page;
}

// The settings dialog measures 379 x 274 dialog units.
CVOvLyProperties::CVOvLyProperties(LPUNKNOWN outer)
    : CPropertyPageBase(TEXT("Overlay property page"), outer, L"OverLay Settings", SIZE{379, 274}) {}
