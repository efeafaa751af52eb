#include "ui/about_page.h"

#include "ui/resource_ids.h"

CUnknown* CALLBACK CAboutProperties::CreateInstance(LPUNKNOWN outer, HRESULT* phr) {
  return CreatePage<CAboutProperties>(outer, phr);
}

CAboutProperties::CAboutProperties(LPUNKNOWN outer)
    : CBasePropertyPage(TEXT("About page"), outer, IDD_ABOUT_PAGE, IDS_ABOUT_PAGE_TITLE) {}
