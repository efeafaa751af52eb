#include "streaming/mux_dynamic_output_pin.h"

#include "streaming/multi_input_transform_filter.h"
#include "streaming/mux_transform_input_pin.h"

CMuxDynamicOutputPin::CMuxDynamicOutputPin(const TCHAR* objectName, CMultipleInputPinTransformFilter* filter,
                                           HRESULT* phr, LPCWSTR name)
    : CDynamicOutputPin(objectName, filter, filter->FilterLock(), phr, name), m_pFilter(filter) {}

CMuxDynamicOutputPin::~CMuxDynamicOutputPin() = default;

HRESULT STDMETHODCALLTYPE CMuxDynamicOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  return CDynamicOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CMuxDynamicOutputPin::QueryId(LPWSTR* id) {
  CheckPointer(id, E_POINTER);
  static const wchar_t kId[] = L"XForm Out";
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(kId)));
  if (*id == nullptr) return E_OUTOFMEMORY;
  CopyMemory(*id, kId, sizeof(kId));
  return S_OK;
}

HRESULT CMuxDynamicOutputPin::CheckMediaType(const CMediaType* type) {
  CMuxTransformInputPin* first = m_pFilter->InputPin(0);
  if (first == nullptr || !first->IsConnected()) return E_INVALIDARG;
  HRESULT hr = S_OK;
  for (int i = 0; i < m_pFilter->InputPinCount(); ++i) {
    CMuxTransformInputPin* input = m_pFilter->InputPin(i);
    if (input != nullptr && input->IsConnected()) hr = m_pFilter->CheckTransform(&input->CurrentMediaType(), type);
  }
  return hr;
}

HRESULT CMuxDynamicOutputPin::SetMediaType(const CMediaType* type) {
  const HRESULT hr = CBasePin::SetMediaType(type);
  if (FAILED(hr)) return hr;
  m_pFilter->SetMediaType(PINDIR_OUTPUT, type);
  return S_OK;
}

HRESULT CMuxDynamicOutputPin::CheckConnect(IPin* pin) {
  // Every input but the spare last one must be connected.
  for (int i = 0; i < m_pFilter->InputPinCount() - 1; ++i) {
    CMuxTransformInputPin* input = m_pFilter->InputPin(i);
    if (input == nullptr || !input->IsConnected()) return E_UNEXPECTED;
  }
  const HRESULT hr = m_pFilter->CheckConnect(PINDIR_OUTPUT, pin);
  if (FAILED(hr)) return hr;
  return CDynamicOutputPin::CheckConnect(pin);
}

HRESULT CMuxDynamicOutputPin::BreakConnect() {
  m_pFilter->BreakConnect(PINDIR_OUTPUT, 0);
  const HRESULT hr = CDynamicOutputPin::BreakConnect();
  return FAILED(hr) ? hr : S_OK;
}

HRESULT CMuxDynamicOutputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT hr = m_pFilter->CompleteConnect(PINDIR_OUTPUT, 0, receivePin);
  if (FAILED(hr)) return hr;
  return CDynamicOutputPin::CompleteConnect(receivePin);
}

HRESULT CMuxDynamicOutputPin::GetMediaType(int position, CMediaType* type) {
  CMuxTransformInputPin* first = m_pFilter->InputPin(0);
  if (first == nullptr || !first->IsConnected()) return VFW_S_NO_MORE_ITEMS;
  return m_pFilter->GetMediaType(position, type);
}

HRESULT CMuxDynamicOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  return m_pFilter->DecideBufferSize(allocator, request);
}

HRESULT STDMETHODCALLTYPE CMuxDynamicOutputPin::Notify(IBaseFilter* /*sender*/, Quality quality) {
  HRESULT hr = m_pFilter->AlterQuality(quality);
  if (hr != S_FALSE) return hr;
  // Upstream through every input but the spare last one.
  for (int i = 0; i < m_pFilter->InputPinCount() - 1; ++i) {
    CMuxTransformInputPin* input = m_pFilter->InputPin(i);
    if (input == nullptr) continue;
    hr = input->PassNotify(quality);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}
