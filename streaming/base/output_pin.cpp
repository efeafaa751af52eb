#include "streaming/base/output_pin.h"

#include <utility>

CBaseOutputPin::CBaseOutputPin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                               LPCWSTR name)
    : CBasePin(objectName, filter, lock, phr, name, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() {
  // In the order BreakConnect lets them go.
  m_pAllocator.Reset();
  m_pInputPin.Reset();
}

HRESULT CBaseOutputPin::CompleteConnect(IPin* /*receivePin*/) {
  return DecideAllocator(m_pInputPin.Get(), m_pAllocator.Put());
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pin) {
  HRESULT hr = CBasePin::CheckConnect(pin);
  if (FAILED(hr)) return hr;
  hr = pin->QueryInterface(IID_IMemInputPin, m_pInputPin.PutVoid());
  if (FAILED(hr)) {
    m_pInputPin.Detach();  // a failed query hands out no reference, whatever it left there
    return hr;
  }
  return S_OK;
}

HRESULT CBaseOutputPin::BreakConnect() {
  if (m_pAllocator) {
    const HRESULT hr = m_pAllocator->Decommit();
    if (FAILED(hr)) return hr;
    m_pAllocator.Reset();
  }
  m_pInputPin.Reset();
  return S_OK;
}

HRESULT CBaseOutputPin::Active() {
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Commit();
}

HRESULT CBaseOutputPin::Inactive() {
  m_bRunTimeError = false;
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Decommit();
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
  CheckPointer(pin, E_POINTER);
  CheckPointer(allocator, E_POINTER);
  // Whatever the caller held goes first.
  ovl::ComPtr<IMemAllocator> previous(std::exchange(*allocator, nullptr));
  previous.Reset();

  ALLOCATOR_PROPERTIES required = {};
  pin->GetAllocatorRequirements(&required);  // no requirements is fine
  if (required.cbAlign == 0) required.cbAlign = 1;

  // First the downstream pin's own allocator, then one of ours.
  HRESULT hr = S_OK;
  for (int attempt = 0; attempt < 2; ++attempt) {
    ALLOCATOR_PROPERTIES request = required;
    ovl::ComPtr<IMemAllocator> candidate;
    hr = attempt == 0 ? pin->GetAllocator(candidate.Put()) : InitAllocator(candidate.Put());
    if (SUCCEEDED(hr) && candidate) {
      hr = DecideBufferSize(candidate.Get(), &request);
      if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(candidate.Get(), FALSE);
      if (SUCCEEDED(hr)) {
        *allocator = candidate.Detach();  // the caller's reference
        return S_OK;
      }
    }
  }
  return hr;
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator** allocator) {
  CheckPointer(allocator, E_POINTER);
  *allocator = nullptr;
  const HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                      reinterpret_cast<void**>(allocator));
  if (FAILED(hr)) *allocator = nullptr;
  return hr;
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                          DWORD flags) {
  CheckPointer(sample, E_POINTER);
  *sample = nullptr;
  if (!m_pAllocator) return E_NOINTERFACE;
  return m_pAllocator->GetBuffer(sample, start, stop, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample) {
  if (!m_pInputPin) return VFW_E_NOT_CONNECTED;
  return m_pInputPin->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  return m_Connected->EndOfStream();
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  return m_Connected->BeginFlush();
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  return m_Connected->EndFlush();
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  if (!m_Connected) return VFW_E_NOT_CONNECTED;
  return m_Connected->NewSegment(start, stop, rate);
}

HRESULT STDMETHODCALLTYPE CBaseOutputPin::EndOfStream() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE CBaseOutputPin::BeginFlush() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE CBaseOutputPin::EndFlush() { return E_UNEXPECTED; }
