#include "streaming/base/enum_pins.h"

#include <new>

#include "streaming/base/base_filter.h"
#include "streaming/base/base_pin.h"

CEnumPins::CEnumPins(CBaseFilter* filter, const CEnumPins* toCopy)
    : CUnknown(TEXT("Pin enumerator"), nullptr),
      m_pFilter(filter),
      m_Position(toCopy != nullptr ? toCopy->m_Position : 0),
      m_Version(toCopy != nullptr ? toCopy->m_Version : filter->GetPinVersion()) {
  m_pFilter->AddRef();
}

CEnumPins::~CEnumPins() { m_pFilter->Release(); }

HRESULT STDMETHODCALLTYPE CEnumPins::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (IsEqualIID(riid, IID_IEnumPins)) return GetInterface(static_cast<IEnumPins*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

bool CEnumPins::OutOfSync() const { return m_Version != m_pFilter->GetPinVersion(); }

HRESULT STDMETHODCALLTYPE CEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
  CheckPointer(pins, E_POINTER);
  if (fetched == nullptr && count != 1) return E_POINTER;  // only a single pin may go uncounted
  if (fetched != nullptr) *fetched = 0;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;

  const int pinCount = m_pFilter->GetPinCount();
  ULONG got = 0;
  while (got < count && m_Position < pinCount) {
    CBasePin* pin = m_pFilter->GetPin(m_Position);
    if (pin == nullptr) break;
    ++m_Position;
    pins[got] = pin;
    pin->AddRef();
    ++got;
  }
  if (fetched != nullptr) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Skip(ULONG count) {
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  const int pinCount = m_pFilter->GetPinCount();
  const ULONG remaining = m_Position < pinCount ? static_cast<ULONG>(pinCount - m_Position) : 0;
  if (count > remaining) {
    m_Position += static_cast<int>(remaining);
    return S_FALSE;
  }
  m_Position += static_cast<int>(count);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Reset() {
  m_Version = m_pFilter->GetPinVersion();
  m_Position = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Clone(IEnumPins** ppEnum) {
  CheckPointer(ppEnum, E_POINTER);
  *ppEnum = nullptr;
  if (OutOfSync()) return VFW_E_ENUM_OUT_OF_SYNC;
  auto* copy = new (std::nothrow) CEnumPins(m_pFilter, this);
  if (copy == nullptr) return E_OUTOFMEMORY;
  return copy->NonDelegatingQueryInterface(IID_IEnumPins, reinterpret_cast<void**>(ppEnum));
}
