#include "streaming/overlay_input_pin.h"

#include "streaming/multi_input_transform_filter.h"

COverlayInputPin::COverlayInputPin(int index, CMultipleInputPinTransformFilter* filter, InputHandshake* handshake,
                                   HRESULT* phr, LPCWSTR name)
    : CMuxTransformInputPin(index, TEXT("overlay input pin"), filter, phr, name),
      m_pHandshake(handshake),
      m_pHeldSample(nullptr),
      m_pComposing(nullptr),
      m_rtFrameDuration(kDefaultFrameDuration) {}

COverlayInputPin::~COverlayInputPin() = default;

COverlayInputPin* COverlayInputPin::Other(int index) const {
  return static_cast<COverlayInputPin*>(m_pFilter->InputPin(index));
}

IMediaSample* COverlayInputPin::AcquireHeldSample() {
  CAutoLock lock(&m_csHeld);
  IMediaSample* sample = m_pComposing != nullptr ? m_pComposing : m_pHeldSample;
  if (sample != nullptr) sample->AddRef();
  return sample;
}

void COverlayInputPin::SetComposing(IMediaSample* sample) {
  CAutoLock lock(&m_csHeld);
  m_pComposing = sample;
}

void COverlayInputPin::ClearHeldSample() {
  CAutoLock lock(&m_csHeld);
  m_pHeldSample = nullptr;
}

COverlayInputPin::Cover COverlayInputPin::HeldSampleCovers(IMediaSample* main, IMediaSample** held) {
  *held = nullptr;
  COverlayInputPin* second = Other(1);
  if (second == nullptr) return Cover::None;
  IMediaSample* sample = second->AcquireHeldSample();
  if (sample == nullptr) return Cover::None;
  *held = sample;
  REFERENCE_TIME start1 = 0, end1 = 0, start0 = 0, stop0 = 0;
  const bool heldTimed = SUCCEEDED(sample->GetTime(&start1, &end1));
  const bool mainTimed = SUCCEEDED(main->GetTime(&start0, &stop0));
  // Untimed samples: a held sample without times is shown once, then let
  // go; a main sample without times takes whatever is held.
  if (!heldTimed) return Cover::Once;
  if (!mainTimed) return Cover::Covers;
  if (end1 - start1 < second->m_rtFrameDuration) end1 = start1 + second->m_rtFrameDuration;
  return end1 > start0 ? Cover::Covers : Cover::None;
}

HRESULT STDMETHODCALLTYPE COverlayInputPin::Receive(IMediaSample* sample) {
  const HRESULT hr = CBaseInputPin::Receive(sample);
  if (FAILED(hr)) return hr;
  if (m_bFlushing) return S_OK;  // dropped
  if (m_nIndex == 0) return ReceiveMain(sample);
  if (m_nIndex == 1) return ReceiveSecond(sample);
  return hr;
}

// The marks are looked at before every wait, not only after it: whoever
// raises one sets the event afterwards, but this thread may just have reset
// that event (or did so at the end of its previous call), and a wake-up lost
// that way would park the thread for good.
bool COverlayInputPin::MainMustLeave(COverlayInputPin* second, HRESULT* result) {
  InputHandshake& h = *m_pHandshake;
  if (m_bFlushing || second->m_bFlushing) {
    *result = S_FALSE;
    return true;
  }
  if (h.stopping || m_bEndOfStream) {
    SetEvent(h.frameAvailable);
    *result = S_OK;
    return true;
  }
  if (h.inSeek) {
    *result = S_OK;  // dropped: the position is changing
    return true;
  }
  return false;
}

HRESULT COverlayInputPin::ReceiveMain(IMediaSample* sample) {
  InputHandshake& h = *m_pHandshake;
  if (h.inSeek) return S_OK;  // dropped while the position changes
  COverlayInputPin* second = Other(1);
  if (second == nullptr || !second->IsConnected() || second->m_bEndOfStream || m_bEndOfStream) {
    return m_pFilter->Receive(0, sample);
  }
  HRESULT result = S_OK;
  for (;;) {
    if (MainMustLeave(second, &result)) return result;
    WaitForSingleObject(h.frameAvailable, INFINITE);
    if (MainMustLeave(second, &result)) return result;
    IMediaSample* held = nullptr;
    const Cover cover = HeldSampleCovers(sample, &held);
    if (cover != Cover::None) {
      // The frame is composed with exactly this sample, even if input 1 lets
      // go of it meanwhile: after a flush or seek AdvanceStream is still set
      // and input 1 does not wait for us.
      second->SetComposing(held);
      result = m_pFilter->Receive(0, sample);
      second->SetComposing(nullptr);
      held->Release();
      if (cover == Cover::Once) {
        // Shown once: let the second input move on to its next sample.
        ResetEvent(h.frameAvailable);
        SetEvent(h.advanceStream);
      } else {
        // The next main sample looks at the same held sample first.
        SetEvent(h.frameAvailable);
      }
      return result;
    }
    if (held != nullptr) held->Release();
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
  // The previous call reset AdvanceStream: a stop or flush that set it just
  // before would otherwise be lost and this sample held for good.
  if (m_bFlushing || (main != nullptr && main->m_bFlushing)) return S_FALSE;
  if (h.stopping || m_bEndOfStream) return S_OK;
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
