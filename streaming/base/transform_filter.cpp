#include "streaming/base/transform_filter.h"

#include <cstddef>
#include <cwchar>
#include <new>

#include "streaming/base/sample_properties.h"

CTransformFilter::CTransformFilter(const TCHAR* name, LPUNKNOWN outer, REFCLSID clsid)
    : CBaseFilter(name, outer, &m_csFilter, clsid),
      m_bEOSDelivered(FALSE),
      m_bSampleSkipped(FALSE),
      m_bQualityChanged(FALSE),
      m_pInput(nullptr),
      m_pOutput(nullptr) {}

CTransformFilter::~CTransformFilter() {
  delete m_pInput;
  delete m_pOutput;
}

int CTransformFilter::GetPinCount() { return 2; }

CBasePin* CTransformFilter::GetPin(int n) {
  if (m_pInput == nullptr) {
    HRESULT hr = S_OK;
    m_pInput = new (std::nothrow) CTransformInputPin(TEXT("Transform input pin"), this, &hr, L"XForm In");
    if (m_pInput != nullptr && FAILED(hr)) {
      delete m_pInput;
      m_pInput = nullptr;
    }
    if (m_pInput == nullptr) return nullptr;
    m_pOutput = new (std::nothrow) CTransformOutputPin(TEXT("Transform output pin"), this, &hr, L"XForm Out");
    if (m_pOutput == nullptr || FAILED(hr)) {
      delete m_pOutput;
      m_pOutput = nullptr;
      delete m_pInput;
      m_pInput = nullptr;
      return nullptr;
    }
  }
  if (n == 0) return m_pInput;
  if (n == 1) return m_pOutput;
  return nullptr;
}

HRESULT STDMETHODCALLTYPE CTransformFilter::FindPin(LPCWSTR id, IPin** ppPin) {
  CheckPointer(ppPin, E_POINTER);
  *ppPin = nullptr;
  CheckPointer(id, E_POINTER);
  CAutoLock lock(&m_csFilter);
  CBasePin* pin = nullptr;
  if (GetPin(0) == nullptr) return E_OUTOFMEMORY;
  if (std::wcscmp(id, L"In") == 0 || std::wcscmp(id, m_pInput->Name()) == 0) pin = m_pInput;
  if (std::wcscmp(id, L"Out") == 0 || std::wcscmp(id, m_pOutput->Name()) == 0) pin = m_pOutput;
  if (pin == nullptr) return VFW_E_NOT_FOUND;
  *ppPin = pin;
  pin->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CTransformFilter::Pause() {
  CAutoLock lock(&m_csFilter);
  HRESULT hr = S_OK;
  if (m_State == State_Paused) {
    // nothing to prepare
  } else if (m_pInput == nullptr || !m_pInput->IsConnected()) {
    // Nothing will ever arrive: tell downstream so that it can complete.
    if (m_pOutput != nullptr && m_pOutput->IsConnected() && !m_bEOSDelivered) {
      m_pOutput->DeliverEndOfStream();
      m_bEOSDelivered = TRUE;
    }
  } else if (m_pOutput == nullptr || !m_pOutput->IsConnected()) {
    // no stream to prepare for
  } else if (m_State == State_Stopped) {
    CAutoLock receiving(&m_csReceive);
    hr = StartStreaming();
  }
  if (SUCCEEDED(hr)) hr = CBaseFilter::Pause();
  m_bSampleSkipped = FALSE;
  m_bQualityChanged = FALSE;
  return hr;
}

HRESULT STDMETHODCALLTYPE CTransformFilter::Stop() {
  CAutoLock lock(&m_csFilter);
  if (m_State == State_Stopped) return S_OK;
  if (m_pInput == nullptr || !m_pInput->IsConnected() || m_pOutput == nullptr || !m_pOutput->IsConnected()) {
    m_bEOSDelivered = FALSE;
    return CBaseFilter::Stop();
  }
  // Decommit both allocators before waiting for the receive lock, so that a
  // Receive blocked in GetBuffer (ours or upstream's) returns.
  HRESULT result = m_pInput->Inactive();
  const HRESULT output = m_pOutput->Inactive();
  if (SUCCEEDED(result)) result = output;
  {
    CAutoLock receiving(&m_csReceive);
    const HRESULT stopped = StopStreaming();
    if (SUCCEEDED(result)) result = stopped;
  }
  m_State = State_Stopped;
  m_bEOSDelivered = FALSE;
  return result;
}

HRESULT CTransformFilter::Transform(IMediaSample* /*in*/, IMediaSample* /*out*/) { return E_UNEXPECTED; }
HRESULT CTransformFilter::StartStreaming() { return S_OK; }
HRESULT CTransformFilter::StopStreaming() { return S_OK; }
HRESULT CTransformFilter::AlterQuality(Quality /*quality*/) { return S_FALSE; }
HRESULT CTransformFilter::SetMediaType(PIN_DIRECTION /*direction*/, const CMediaType* /*type*/) { return S_OK; }
HRESULT CTransformFilter::CheckConnect(PIN_DIRECTION /*direction*/, IPin* /*pin*/) { return S_OK; }
HRESULT CTransformFilter::BreakConnect(PIN_DIRECTION /*direction*/) { return S_OK; }
HRESULT CTransformFilter::CompleteConnect(PIN_DIRECTION /*direction*/, IPin* /*receivePin*/) { return S_OK; }

HRESULT CTransformFilter::Receive(IMediaSample* sample) {
  const AM_SAMPLE2_PROPERTIES* props = m_pInput->SampleProps();
  if (props->dwStreamId != AM_STREAM_MEDIA) return m_pOutput->Deliver(sample);  // control data passes as is

  ovl::ComPtr<IMediaSample> out;
  HRESULT hr = InitializeOutputSample(sample, out.Put());
  if (FAILED(hr)) return hr;
  hr = Transform(sample, out.Get());
  if (hr == S_OK) {
    hr = m_pOutput->Deliver(out.Get());
    m_bSampleSkipped = FALSE;
  } else if (hr == S_FALSE) {
    NoteSkippedSample();
    hr = S_OK;
  }
  return hr;
}

void CTransformFilter::NoteSkippedSample() {
  m_bSampleSkipped = TRUE;
  if (!m_bQualityChanged) {
    NotifyEvent(EC_QUALITY_CHANGE, 0, 0);
    m_bQualityChanged = TRUE;
  }
}

HRESULT CTransformFilter::EndOfStream() {
  if (m_pOutput == nullptr) return S_OK;
  return m_pOutput->DeliverEndOfStream();
}

HRESULT CTransformFilter::BeginFlush() {
  if (m_pOutput == nullptr) return S_OK;
  return m_pOutput->DeliverBeginFlush();
}

HRESULT CTransformFilter::EndFlush() {
  if (m_pOutput == nullptr) return S_OK;
  return m_pOutput->DeliverEndFlush();
}

HRESULT CTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  if (m_pOutput == nullptr) return S_OK;
  return m_pOutput->DeliverNewSegment(start, stop, rate);
}

HRESULT CTransformFilter::InitializeOutputSample(IMediaSample* sample, IMediaSample** outSample) {
  CheckPointer(outSample, E_POINTER);
  *outSample = nullptr;
  const AM_SAMPLE2_PROPERTIES* props = m_pInput->SampleProps();

  DWORD bufferFlags = m_bSampleSkipped ? AM_GBF_PREVFRAMESKIPPED : 0;
  if ((props->dwSampleFlags & AM_SAMPLE_SPLICEPOINT) == 0) bufferFlags |= AM_GBF_NOTASYNCPOINT;
  REFERENCE_TIME start = props->tStart;
  REFERENCE_TIME stop = props->tStop;
  IMediaSample* out = nullptr;
  HRESULT hr = m_pOutput->GetDeliveryBuffer(&out, (props->dwSampleFlags & AM_SAMPLE_TIMEVALID) ? &start : nullptr,
                                            (props->dwSampleFlags & AM_SAMPLE_STOPVALID) ? &stop : nullptr,
                                            bufferFlags);
  if (FAILED(hr)) return hr;

  ovl::StampOutputSample(*props, sample, out);
  if ((props->dwSampleFlags & AM_SAMPLE_DATADISCONTINUITY) != 0) m_bSampleSkipped = FALSE;
  *outSample = out;
  return S_OK;
}
