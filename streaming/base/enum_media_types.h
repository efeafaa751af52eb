#pragma once
// IEnumMediaTypes over a pin's GetMediaType positions. Once the pin's media
// type version changes, every call but Reset reports VFW_E_ENUM_OUT_OF_SYNC.
#include "streaming/base/dshow_platform.h"
#include "streaming/base/unknown.h"

class CBasePin;

class CEnumMediaTypes : public CUnknown, public IEnumMediaTypes {
 public:
  // Holds a reference on the pin (and so on its filter).
  CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* toCopy);
  ~CEnumMediaTypes() override;

  DECLARE_IUNKNOWN
  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

  // Each fetched type is a new task-memory AM_MEDIA_TYPE (DeleteMediaType).
  HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** ppEnum) override;

 private:
  bool OutOfSync() const;

  CBasePin* m_pPin;
  int m_Position;
  LONG m_Version;
};
