#include "server/filter_mapper.h"

#include "persistence/core/com_ptr.h"
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
  ComPtr<IFilterMapper2> mapper2;
  ComPtr<IFilterMapper> mapper1;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                mapper2.PutVoid());
  if (FAILED(hr)) {
    // Systems without the newer mapper still have the original one.
    hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                          mapper1.PutVoid());
  }
  if (SUCCEEDED(hr)) {
    for (const CFactoryTemplate& entry : kClassTable) {
      if (entry.m_pAMovieSetup_Filter == nullptr) continue;
      hr = mapper2 ? UpdateWithMapper2(mapper2.Get(), *entry.m_pAMovieSetup_Filter, registering)
                   : UpdateWithMapper1(mapper1.Get(), *entry.m_pAMovieSetup_Filter, registering);
      if (hr == kNothingRegistered) hr = S_OK;
      if (FAILED(hr)) break;
    }
  }
  // The mapper may have loaded servers of its own; let them go before COM ends.
  mapper2.Reset();
  mapper1.Reset();
  CoFreeUnusedLibraries();
  return hr;
}

HRESULT RegisterInCategories(unsigned mask) {
  ComScope com;
  ComPtr<IFilterMapper2> mapper;
  HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                mapper.PutVoid());
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
    ComPtr<IMoniker> moniker;
    hr = mapper->RegisterFilter(*filter.m_ClsID, filter.m_Name, moniker.Put(), category.id, instance, &data);
    if (FAILED(hr)) break;
  }
  return hr;
}

void UnregisterFromCategories(unsigned mask) {
  ComScope com;
  ComPtr<IFilterMapper2> mapper;
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                              mapper.PutVoid()))) {
    return;
  }
  for (int bit = 0; bit < kProcessorCategoryCount; ++bit) {
    if ((mask & (1u << bit)) == 0) continue;
    // No instance name: the mapper takes the class identifier string, the
    // name the entry was registered under.
    mapper->UnregisterFilter(kProcessorCategories[bit].id, nullptr, *kClassTable[0].m_ClsID);
  }
}

}  // namespace ovl::server
