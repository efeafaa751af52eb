#include "ui/overlay_property_page.h"

#include "ui/resource_ids.h"

CUnknown* CALLBACK CVOvLyProperties::CreateInstance(LPUNKNOWN outer, HRESULT* phr) {
  return CreatePage<CVOvLyProperties>(outer, phr);
}

CVOvLyProperties::CVOvLyProperties(LPUNKNOWN outer)
    : CBasePropertyPage(TEXT("Overlay property page"), outer, IDD_OVERLAY_PAGE, IDS_OVERLAY_PAGE_TITLE) {}
