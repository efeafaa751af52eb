#include "server/filter_mapper.h"

#include "server/class_table.h"
#include "server/com_scope.h"
#include "server/filter_setup.h"
#include "streaming/base/dshow_platform.h"

namespace ovl::server {
namespace {

// The mapper's answer when the entry to remove was never there.
constexpr HRESULT kNothingRegistered = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

HRESULT UpdateWithMapper2(IFilterMapper2* mapper, const AMOVIESETUP_FILTER& setup, bool registering) {
  HRESULT hr = mapper->UnregisterFilter(nullptr, nullptr, *setup.clsID);
  if (registering) {
    REGFILTER2 data{};
    data.dwVersion = 1;
    data.dwMerit = setup.dwMerit;
    data.cPins = setup.nPins;
    data.rgPins = setup.lpPin;
    // No category: the DirectShow filters category. No instance name: the
    // mapper uses the class identifier.
    hr = mapper->RegisterFilter(*setup.clsID, setup.strName, nullptr, nullptr, nullptr, &data);
  }
  return hr;
}

HRESULT UpdateWithMapper1(IFilterMapper* mapper, const AMOVIESETUP_FILTER& setup, bool registering) {
  HRESULT hr = mapper->UnregisterFilter(*setup.clsID);
  if (!registering) return hr;
  hr = mapper->RegisterFilter(*setup.clsID, setup.strName, setup.dwMerit);
  for (UINT p = 0; SUCCEEDED(hr) && p < setup.nPins; ++p) {
    const AMOVIESETUP_PIN& pin = setup.lpPin[p];
    hr = mapper->RegisterPin(*setup.clsID, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                             pin.clsConnectsToFilter != nullptr ? *pin.clsConnectsToFilter : CLSID_NULL,
                             pin.strConnectsToPin);
    for (UINT t = 0; SUCCEEDED(hr) && t < pin.nMediaTypes; ++t) {
      hr = mapper->RegisterPinType(*setup.clsID, pin.strName, *pin.lpMediaType[t].clsMajorType,
                                   *pin.lpMediaType[t].clsMinorType);
    }
  }
  return hr;
}

}  // namespace

HRESULT UpdateFilterMapper(bool registering) {
  ComScope com;
  IFilterMapper2* mapper2 = nullptr;
  IFilterMapper* mapper1 = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                reinterpret_cast<void**>(&mapper2));
  if (FAILED(hr)) {
    // Systems without the newer mapper still have the original one.
    hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                          reinterpret_cast<void**>(&mapper1));
  }
  if (SUCCEEDED(hr)) {
    for (const CFactoryTemplate& entry : kClassTable) {
      if (entry.m_pAMovieSetup_Filter == nullptr) continue;
      hr = mapper2 != nullptr ? UpdateWithMapper2(mapper2, *entry.m_pAMovieSetup_Filter, registering)
                              : UpdateWithMapper1(mapper1, *entry.m_pAMovieSetup_Filter, registering);
      if (hr == kNothingRegistered) hr = S_OK;
      if (FAILED(hr)) break;
    }
  }
  if (mapper2 != nullptr) mapper2->Release();
  if (mapper1 != nullptr) mapper1->Release();
  // The mapper may have loaded servers of its own; let them go before COM ends.
  CoFreeUnusedLibraries();
  return hr;
}

HRESULT RegisterInCategories(unsigned mask) {
  ComScope com;
  IFilterMapper2* mapper = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                reinterpret_cast<void**>(&mapper));
  if (FAILED(hr)) return hr;
  const CFactoryTemplate& filter = kClassTable[0];
  wchar_t instance[39];
  StringFromGUID2(*filter.m_ClsID, instance, 39);
  for (int bit = 0; bit < kProcessorCategoryCount; ++bit) {
    if ((mask & (1u << bit)) == 0) continue;
    const ProcessorCategory& category = kProcessorCategories[bit];
    hr = mapper->CreateCategory(*category.id, kCategoryMerit, category.description);
    if (FAILED(hr)) break;
    // The entry carries no pins: the category lists the family's filters,
    // graph building goes through the DirectShow filters entry.
    REGFILTER2 data{};
    data.dwVersion = 1;
    data.dwMerit = kCategoryMerit;
    data.cPins = 0;
    data.rgPins = nullptr;
    IMoniker* moniker = nullptr;
    hr = mapper->RegisterFilter(*filter.m_ClsID, filter.m_Name, &moniker, category.id, instance, &data);
    if (moniker != nullptr) moniker->Release();
    if (FAILED(hr)) break;
  }
  mapper->Release();
  return hr;
}

void UnregisterFromCategories(unsigned mask) {
  ComScope com;
  IFilterMapper2* mapper = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                              reinterpret_cast<void**>(&mapper)))) {
    return;
  }
  for (int bit = 0; bit < kProcessorCategoryCount; ++bit) {
    if ((mask & (1u << bit)) == 0) continue;
    // No instance name: the mapper takes the class identifier string, the
    // name the entry was registered under.
    mapper->UnregisterFilter(kProcessorCategories[bit].id, nullptr, *kClassTable[0].m_ClsID);
  }
  mapper->Release();
}

}  // namespace ovl::server
