#include "streaming/overlay_input_pin.h"

#include "streaming/multi_input_transform_filter.h"

COverlayInputPin::COverlayInputPin(int index, CMultipleInputPinTransformFilter* filter, InputHandshake* handshake,
                                   HRESULT* phr, LPCWSTR name)
    : CMuxTransformInputPin(index, TEXT("overlay input pin"), filter, phr, name),
      m_pHandshake(handshake),
      m_pHeldSample(nullptr),
      m_rtFrameDuration(kDefaultFrameDuration) {}

COverlayInputPin::~COverlayInputPin() = default;

COverlayInputPin* COverlayInputPin::Other(int index) const {
  return static_cast<COverlayInputPin*>(m_pFilter->InputPin(index));
}

IMediaSample* COverlayInputPin::AcquireHeldSample() {
  CAutoLock lock(&m_csHeld);
  if (m_pHeldSample != nullptr) m_pHeldSample->AddRef();
  return m_pHeldSample;
}

void COverlayInputPin::ClearHeldSample() {
  CAutoLock lock(&m_csHeld);
  m_pHeldSample = nullptr;
}

bool COverlayInputPin::HeldSampleCovers(IMediaSample* main) {
  COverlayInputPin* second = Other(1);
  if (second == nullptr) return false;
  IMediaSample* held = second->AcquireHeldSample();
  if (held == nullptr) return false;
  REFERENCE_TIME start1 = 0, end1 = 0, start0 = 0, stop0 = 0;
  const bool heldTimed = SUCCEEDED(held->GetTime(&start1, &end1));
  const bool mainTimed = SUCCEEDED(main->GetTime(&start0, &stop0));
  held->Release();
  // Untimed samples: a main sample without times takes whatever is held; a
  // held sample without times is shown once (the caller then lets it go).
  if (!heldTimed || !mainTimed) return true;
  if (end1 - start1 < second->m_rtFrameDuration) end1 = start1 + second->m_rtFrameDuration;
  return end1 > start0;
}

HRESULT STDMETHODCALLTYPE COverlayInputPin::Receive(IMediaSample* sample) {
  const HRESULT hr = CBaseInputPin::Receive(sample);
  if (FAILED(hr)) return hr;
  if (m_bFlushing) return S_OK;  // dropped
  if (m_nIndex == 0) return ReceiveMain(sample);
  if (m_nIndex == 1) return ReceiveSecond(sample);
  return hr;
}

HRESULT COverlayInputPin::ReceiveMain(IMediaSample* sample) {
  InputHandshake& h = *m_pHandshake;
  if (h.inSeek) return S_OK;  // dropped while the position changes
  COverlayInputPin* second = Other(1);
  if (second == nullptr || !second->IsConnected() || second->m_bEndOfStream || m_bEndOfStream) {
    return m_pFilter->Receive(0, sample);
  }
  for (;;) {
    if (m_bEndOfStream) return S_OK;
    WaitForSingleObject(h.frameAvailable, INFINITE);
    if (m_bFlushing || second->m_bFlushing) return S_FALSE;
    if (h.stopping || m_bEndOfStream) {
      SetEvent(h.frameAvailable);
      return S_OK;
    }
    if (HeldSampleCovers(sample)) {
      const HRESULT hr = m_pFilter->Receive(0, sample);
      IMediaSample* held = second->AcquireHeldSample();
      REFERENCE_TIME start = 0, stop = 0;
      const bool heldUntimed = held != nullptr && FAILED(held->GetTime(&start, &stop));
      if (held != nullptr) held->Release();
      if (heldUntimed) {
        // Shown once: let the second input move on to its next sample.
        ResetEvent(h.frameAvailable);
        SetEvent(h.advanceStream);
      } else {
        SetEvent(h.frameAvailable);
      }
      return hr;
    }
    // Nothing held covers this sample: let input 1 move on and look again.
    ResetEvent(h.frameAvailable);
    SetEvent(h.advanceStream);
    if (second->m_bEndOfStream) {
      // The second input has ended meanwhile: the sample in hand is composed alone.
      return m_pFilter->Receive(0, sample);
    }
  }
}

HRESULT COverlayInputPin::ReceiveSecond(IMediaSample* sample) {
  InputHandshake& h = *m_pHandshake;
  COverlayInputPin* main = Other(0);
  if (main != nullptr && main->m_bEndOfStream) return S_OK;  // nobody will use it
  if (h.inSeek) return S_OK;
  {
    CAutoLock lock(&m_csHeld);
    m_pHeldSample = sample;
  }
  SetEvent(h.frameAvailable);
  WaitForSingleObject(h.advanceStream, INFINITE);
  ClearHeldSample();
  if (m_bFlushing || (main != nullptr && main->m_bFlushing)) return S_FALSE;
  if (h.stopping || m_bEndOfStream) return S_OK;
  ResetEvent(h.advanceStream);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE COverlayInputPin::EndOfStream() {
  const HRESULT hr = CMuxTransformInputPin::EndOfStream();
  InputHandshake& h = *m_pHandshake;
  if (m_nIndex == 0) {
    SetEvent(h.frameAvailable);
    SetEvent(h.advanceStream);
  } else if (m_nIndex == 1) {
    SetEvent(h.advanceStream);
    SetEvent(h.frameAvailable);
  }
  return hr;
}
