#include "ui/overlay_property_page.h"

CUnknown* CALLBACK CVOvLyProperties::CreateInstance(LPUNKNOWN outer, HRESULT* phr) {
  return CreatePage<CVOvLyProperties>(outer, phr);
}

// The settings dialog measures 379 x 274 dialog units.
CVOvLyProperties::CVOvLyProperties(LPUNKNOWN outer)
    : CPropertyPageBase(TEXT("Overlay property page"), outer, L"OverLay Settings", SIZE{379, 274}) {}
