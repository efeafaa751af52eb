#include "streaming/mux_transform_input_pin.h"

#include "streaming/multi_input_transform_filter.h"
#include "streaming/mux_dynamic_output_pin.h"

CMuxTransformInputPin::CMuxTransformInputPin(int index, const TCHAR* objectName,
                                             CMultipleInputPinTransformFilter* filter, HRESULT* phr,
                                             LPCWSTR name)
    : CBaseInputPin(objectName, filter, filter->FilterLock(), phr, name),
      m_pFilter(filter),
      m_nIndex(index),
      m_bEndOfStream(false) {}

HRESULT STDMETHODCALLTYPE CMuxTransformInputPin::QueryId(LPWSTR* id) { return CopyId(L"In", id); }

HRESULT CMuxTransformInputPin::CheckMediaType(const CMediaType* type) {
  const HRESULT hr = m_pFilter->CheckInputType(type);
  if (hr != S_OK) return hr;
  CMuxDynamicOutputPin* out = m_pFilter->OutputPin();
  if (out != nullptr && out->IsConnected()) return m_pFilter->CheckTransform(type, &out->CurrentMediaType());
  return S_OK;
}

HRESULT CMuxTransformInputPin::SetMediaType(const CMediaType* type) {
  const HRESULT hr = CBasePin::SetMediaType(type);
  if (FAILED(hr)) return hr;
  m_pFilter->SetMediaType(PINDIR_INPUT, type);
  return S_OK;
}

HRESULT CMuxTransformInputPin::CheckConnect(IPin* pin) {
  const HRESULT hr = m_pFilter->CheckConnect(PINDIR_INPUT, pin);
  if (FAILED(hr)) return hr;
  return CBaseInputPin::CheckConnect(pin);
}

HRESULT CMuxTransformInputPin::BreakConnect() {
  m_pFilter->BreakConnect(PINDIR_INPUT, m_nIndex);
  if (CMuxDynamicOutputPin* out = m_pFilter->OutputPin()) out->ReleasePassThrough(m_nIndex);
  return CBaseInputPin::BreakConnect();
}

HRESULT CMuxTransformInputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT hr = m_pFilter->CompleteConnect(PINDIR_INPUT, m_nIndex, receivePin);
  if (FAILED(hr)) return hr;
  if (CMuxDynamicOutputPin* out = m_pFilter->OutputPin()) out->ReleasePassThrough(m_nIndex);
  return CBaseInputPin::CompleteConnect(receivePin);
}

HRESULT CMuxTransformInputPin::CheckStreaming() {
  CMuxDynamicOutputPin* out = m_pFilter->OutputPin();
  if (out == nullptr || !out->IsConnected()) return VFW_E_NOT_CONNECTED;
  if (m_bFlushing) return S_FALSE;
  if (m_pFilter->IsStopped()) return VFW_E_WRONG_STATE;
  if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMuxTransformInputPin::EndOfStream() { return m_pFilter->EndOfStreamFromInput(this); }

HRESULT STDMETHODCALLTYPE CMuxTransformInputPin::BeginFlush() {
  CAutoLock lock(m_pLock);
  CMuxDynamicOutputPin* out = m_pFilter->OutputPin();
  if (!IsConnected() || out == nullptr || !out->IsConnected()) return VFW_E_NOT_CONNECTED;
  CBaseInputPin::BeginFlush();
  return m_pFilter->BeginFlush();
}

HRESULT STDMETHODCALLTYPE CMuxTransformInputPin::EndFlush() {
  CAutoLock lock(m_pLock);
  CMuxDynamicOutputPin* out = m_pFilter->OutputPin();
  if (!IsConnected() || out == nullptr || !out->IsConnected()) return VFW_E_NOT_CONNECTED;
  const HRESULT hr = m_pFilter->EndFlush();
  if (FAILED(hr)) return hr;
  return CBaseInputPin::EndFlush();
}

HRESULT STDMETHODCALLTYPE CMuxTransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  CBasePin::NewSegment(start, stop, rate);
  return m_pFilter->NewSegment(start, stop, rate);
}

HRESULT STDMETHODCALLTYPE CMuxTransformInputPin::Receive(IMediaSample* sample) {
  CAutoLock receiving(&m_pFilter->m_csReceiveLock);
  const HRESULT hr = CBaseInputPin::Receive(sample);
  if (hr != S_OK) return hr;
  return m_pFilter->Receive(m_nIndex, sample);
}
