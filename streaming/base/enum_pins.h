#pragma once
// IEnumPins over a filter's GetPin(0 .. GetPinCount - 1). Once the filter's
// pin version changes, every call but Reset reports VFW_E_ENUM_OUT_OF_SYNC.
#include "streaming/base/dshow_platform.h"
#include "streaming/base/unknown.h"

class CBaseFilter;

class CEnumPins : public CUnknown, public IEnumPins {
 public:
  // Holds a reference on the filter; copies position and version of
  // `toCopy` when given (Clone).
  CEnumPins(CBaseFilter* filter, const CEnumPins* toCopy);
  ~CEnumPins() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins** ppEnum) override;

 private:
  bool OutOfSync() const;

  CBaseFilter* m_pFilter;
  int m_Position;
  LONG m_Version;
};
