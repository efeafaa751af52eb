#include "streaming/base/enum_media_types.h"

#include <new>

#include "streaming/base/base_pin.h"

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* toCopy)
    : CUnknown(TEXT("Media type enumerator"), nullptr),
      m_pPin(pin),
      m_Position(toCopy != nullptr ? toCopy->m_Position : 0),
      m_Version(toCopy != nullptr ? toCopy->m_Version : pin->GetMediaTypeVersion()) {
  m_pPin->AddRef();
}

CEnumMediaTypes::~CEnumMediaTypes() { m_pPin->Release(); }

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (IsEqualIID(riid, IID_IEnumMediaTypes)) return GetInterface(static_cast<IEnumMediaTypes*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

bool CEnumMediaTypes::OutOfSync() const { return m_Version != m_pPin->GetMediaTypeVersion(); }

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  CheckPointer(types, E_POINTER);
  if (fetched == nullptr && count != 1) return E_POINTER;
  if (fetched != nullptr) *fetched = 0;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;

  ULONG got = 0;
  while (got < count) {
    CMediaType type;
    if (m_pPin->GetMediaType(m_Position, &type) != S_OK) break;  // past the last type
    AM_MEDIA_TYPE* copy = CreateMediaType(&type);
    if (copy == nullptr) {
      if (fetched != nullptr) *fetched = got;
      return got == 0 ? E_OUTOFMEMORY : S_FALSE;
    }
    ++m_Position;
    types[got++] = copy;
  }
  if (fetched != nullptr) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Skip(ULONG count) {
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  for (ULONG i = 0; i < count; ++i) {
    CMediaType type;
    if (m_pPin->GetMediaType(m_Position, &type) != S_OK) return S_FALSE;
    ++m_Position;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Reset() {
  m_Version = m_pPin->GetMediaTypeVersion();
  m_Position = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum) {
  CheckPointer(ppEnum, E_POINTER);
  *ppEnum = nullptr;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  auto* copy = new (std::nothrow) CEnumMediaTypes(m_pPin, this);
  if (copy == nullptr) return E_OUTOFMEMORY;
  return copy->NonDelegatingQueryInterface(IID_IEnumMediaTypes, reinterpret_cast<void**>(ppEnum));
}
