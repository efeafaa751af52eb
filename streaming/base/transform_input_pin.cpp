#include "streaming/base/transform_input_pin.h"

#include <cstring>

#include "streaming/base/transform_filter.h"

CTransformInputPin::CTransformInputPin(const TCHAR* objectName, CTransformFilter* filter, HRESULT* phr,
                                       LPCWSTR name)
    : CBaseInputPin(objectName, filter, filter->pStateLock(), phr, name), m_pTransformFilter(filter) {}

HRESULT STDMETHODCALLTYPE CTransformInputPin::QueryId(LPWSTR* id) { return CopyId(L"In", id); }

HRESULT CTransformInputPin::CheckConnect(IPin* pin) {
  const HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_INPUT, pin);
  if (FAILED(hr)) return hr;
  return CBaseInputPin::CheckConnect(pin);
}

HRESULT CTransformInputPin::BreakConnect() {
  m_pTransformFilter->BreakConnect(PINDIR_INPUT);
  return CBaseInputPin::BreakConnect();
}

HRESULT CTransformInputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_INPUT, receivePin);
  if (FAILED(hr)) return hr;
  return CBaseInputPin::CompleteConnect(receivePin);
}

HRESULT CTransformInputPin::CheckMediaType(const CMediaType* type) {
  HRESULT hr = m_pTransformFilter->CheckInputType(type);
  if (hr != S_OK) return hr;
  CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
  if (output != nullptr && output->IsConnected()) {
    hr = m_pTransformFilter->CheckTransform(type, &output->CurrentMediaType());
  }
  return hr;
}

HRESULT CTransformInputPin::SetMediaType(const CMediaType* type) {
  HRESULT hr = CBaseInputPin::SetMediaType(type);
  if (FAILED(hr)) return hr;
  return m_pTransformFilter->SetMediaType(PINDIR_INPUT, type);
}

HRESULT CTransformInputPin::CheckStreaming() {
  CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
  if (output == nullptr || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
  return CBaseInputPin::CheckStreaming();
}

HRESULT STDMETHODCALLTYPE CTransformInputPin::Receive(IMediaSample* sample) {
  CAutoLock receiving(&m_pTransformFilter->m_csReceive);
  HRESULT hr = CBaseInputPin::Receive(sample);
  if (hr == S_OK) hr = m_pTransformFilter->Receive(sample);
  return hr;
}

HRESULT STDMETHODCALLTYPE CTransformInputPin::EndOfStream() {
  CAutoLock receiving(&m_pTransformFilter->m_csReceive);
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return m_pTransformFilter->EndOfStream();
}

HRESULT STDMETHODCALLTYPE CTransformInputPin::BeginFlush() {
  CAutoLock lock(m_pLock);
  CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
  if (!IsConnected() || output == nullptr || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
  const HRESULT hr = CBaseInputPin::BeginFlush();
  if (FAILED(hr)) return hr;
  return m_pTransformFilter->BeginFlush();
}

HRESULT STDMETHODCALLTYPE CTransformInputPin::EndFlush() {
  CAutoLock lock(m_pLock);
  CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
  if (!IsConnected() || output == nullptr || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
  const HRESULT hr = m_pTransformFilter->EndFlush();
  if (FAILED(hr)) return hr;
  return CBaseInputPin::EndFlush();
}

HRESULT STDMETHODCALLTYPE CTransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  CBasePin::NewSegment(start, stop, rate);
  return m_pTransformFilter->NewSegment(start, stop, rate);
}
