#include "streaming/overlay_input_pin.h"

#include "streaming/multi_input_transform_filter.h"

COverlayInputPin::COverlayInputPin(int index, CMultipleInputPinTransformFilter* filter, InputPairing* pairing,
                                   HRESULT* phr, LPCWSTR name)
    : CMuxTransformInputPin(index, TEXT("overlay input pin"), filter, phr, name), m_pPairing(pairing) {}

COverlayInputPin::~COverlayInputPin() = default;

HRESULT STDMETHODCALLTYPE COverlayInputPin::Receive(IMediaSample* sample) {
  const HRESULT hr = CBaseInputPin::Receive(sample);
  if (FAILED(hr)) return hr;
  if (m_bFlushing) return S_OK;  // dropped
  if (m_nIndex == 0) return m_pPairing->ReceiveMain(sample, *this, m_pFilter->InputPin(1), m_pFilter);
  if (m_nIndex == 1) return m_pPairing->ReceiveSecond(sample, *this, m_pFilter->InputPin(0));
  return hr;
}

HRESULT STDMETHODCALLTYPE COverlayInputPin::EndOfStream() {
  const HRESULT hr = CMuxTransformInputPin::EndOfStream();
  if (m_nIndex == 0 || m_nIndex == 1) m_pPairing->EndOfStream(m_nIndex);
  return hr;
}
