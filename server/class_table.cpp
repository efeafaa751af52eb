#include "server/class_table.h"

#include "engine/filter/overlay_filter.h"
#include "server/filter_identity.h"
#include "server/filter_setup.h"
#include "diag/trace.h"
#include "ui/about_page.h"
#include "ui/overlay_property_page.h"

namespace ovl::server {
namespace {

CUnknown* CALLBACK CreateOverlayFilter(LPUNKNOWN outer, HRESULT* phr) {
  diag::Trace("\nCVOvrLyFilter::CreateInstance");
  return CVOvrLyFilter::CreateInstance(outer, phr);
}

}  // namespace

const CFactoryTemplate kClassTable[kClassCount] = {
    {identity::kFilterName, &identity::kClsidOverlayFilter, CreateOverlayFilter, nullptr, &kOverlayFilterSetup},
    {identity::kPropertyPageName, &identity::kClsidPropertyPage, CVOvLyProperties::CreateInstance, nullptr, nullptr},
    {identity::kAboutPageName, &identity::kClsidAboutPage, CAboutProperties::CreateInstance, nullptr, nullptr},
};

const CFactoryTemplate* FindClass(REFCLSID clsid) {
  for (const CFactoryTemplate& entry : kClassTable) {
    if (entry.IsClassID(clsid)) return &entry;
  }
  return nullptr;
}

}  // namespace ovl::server
