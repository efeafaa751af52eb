#include "streaming/base/input_pin.h"

#include <cstring>

CBaseInputPin::CBaseInputPin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                             LPCWSTR name)
    : CBasePin(objectName, filter, lock, phr, name, PINDIR_INPUT),
      m_bReadOnly(FALSE),
      m_bFlushing(FALSE),
      m_SampleProps(),
      m_pOwnedSampleType(nullptr) {}

CBaseInputPin::~CBaseInputPin() { DeleteMediaType(m_pOwnedSampleType); }

HRESULT STDMETHODCALLTYPE CBaseInputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (IsEqualIID(riid, IID_IMemInputPin)) return GetInterface(static_cast<IMemInputPin*>(this), ppv);
  return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::GetAllocator(IMemAllocator** allocator) {
  CheckPointer(allocator, E_POINTER);
  *allocator = nullptr;
  CAutoLock lock(m_pLock);
  if (!m_pAllocator) {
    const HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                        m_pAllocator.PutVoid());
    if (FAILED(hr)) {
      m_pAllocator.Detach();  // a failed call hands out no reference, whatever it left there
      return hr;
    }
  }
  *allocator = ovl::ComPtr<IMemAllocator>(m_pAllocator).Detach();  // a reference for the caller
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  CheckPointer(allocator, E_POINTER);
  CAutoLock lock(m_pLock);
  m_pAllocator = ovl::ComPtr<IMemAllocator>::Share(allocator);
  m_bReadOnly = readOnly;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* /*properties*/) {
  return E_NOTIMPL;  // no requirements of our own
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::Receive(IMediaSample* sample) {
  CheckPointer(sample, E_POINTER);
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  hr = CaptureSampleProperties(sample);
  if (FAILED(hr)) return hr;

  if ((m_SampleProps.dwSampleFlags & AM_SAMPLE_TYPECHANGED) != 0) {
    bool accepted = false;
    if (m_SampleProps.pMediaType != nullptr) {
      HRESULT copied = S_OK;
      const CMediaType changed(*m_SampleProps.pMediaType, &copied);
      accepted = SUCCEEDED(copied) && CheckMediaType(&changed) == S_OK;
    }
    if (!accepted) {
      // A format we cannot follow mid-stream ends our part of the stream: the
      // pin refuses samples until end-flush or stop, and the graph learns why.
      m_bRunTimeError = true;
      EndOfStream();
      m_pFilter->NotifyEvent(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
      return VFW_E_INVALIDMEDIATYPE;
    }
  }
  return S_OK;
}

HRESULT CBaseInputPin::CaptureSampleProperties(IMediaSample* sample) {
  DeleteMediaType(m_pOwnedSampleType);
  m_pOwnedSampleType = nullptr;

  ovl::ComPtr<IMediaSample2> sample2;
  if (SUCCEEDED(sample->QueryInterface(IID_IMediaSample2, sample2.PutVoid()))) {
    return sample2->GetProperties(sizeof(m_SampleProps), reinterpret_cast<BYTE*>(&m_SampleProps));
  }

  // Samples without IMediaSample2 are read through IMediaSample.
  std::memset(&m_SampleProps, 0, sizeof(m_SampleProps));
  m_SampleProps.cbData = sizeof(m_SampleProps);
  if (sample->IsDiscontinuity() == S_OK) m_SampleProps.dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
  if (sample->IsPreroll() == S_OK) m_SampleProps.dwSampleFlags |= AM_SAMPLE_PREROLL;
  if (sample->IsSyncPoint() == S_OK) m_SampleProps.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
  if (SUCCEEDED(sample->GetTime(&m_SampleProps.tStart, &m_SampleProps.tStop))) {
    m_SampleProps.dwSampleFlags |= AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
  }
  if (sample->GetMediaType(&m_pOwnedSampleType) == S_OK && m_pOwnedSampleType != nullptr) {
    m_SampleProps.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
    m_SampleProps.pMediaType = m_pOwnedSampleType;
  }
  sample->GetPointer(&m_SampleProps.pbBuffer);
  m_SampleProps.lActual = sample->GetActualDataLength();
  m_SampleProps.cbBuffer = sample->GetSize();
  m_SampleProps.dwStreamId = AM_STREAM_MEDIA;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
  CheckPointer(processed, E_POINTER);
  *processed = 0;
  if (count > 0) CheckPointer(samples, E_POINTER);
  HRESULT hr = S_OK;
  for (long i = 0; i < count; ++i) {
    hr = Receive(samples[i]);  // the derived pin's
    if (hr != S_OK) break;
    ++*processed;
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::ReceiveCanBlock() {
  // We block if anything we deliver to can block.
  int connectedOutputs = 0;
  const int count = m_pFilter->GetPinCount();
  for (int i = 0; i < count; ++i) {
    CBasePin* pin = m_pFilter->GetPin(i);
    if (pin == nullptr) break;
    PIN_DIRECTION direction = PINDIR_INPUT;
    if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) continue;
    ovl::ComPtr<IPin> downstream;
    if (pin->ConnectedTo(downstream.Put()) != S_OK || !downstream) continue;
    ++connectedOutputs;
    ovl::ComPtr<IMemInputPin> memInput;
    if (FAILED(downstream->QueryInterface(IID_IMemInputPin, memInput.PutVoid()))) {
      return S_OK;  // an unknown transport may block
    }
    if (memInput->ReceiveCanBlock() == S_OK) return S_OK;
  }
  return connectedOutputs == 0 ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::BeginFlush() {
  CAutoLock lock(m_pLock);
  m_bFlushing = TRUE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseInputPin::EndFlush() {
  CAutoLock lock(m_pLock);
  m_bFlushing = FALSE;
  m_bRunTimeError = false;
  return S_OK;
}

HRESULT CBaseInputPin::Active() { return S_OK; }

HRESULT CBaseInputPin::Inactive() {
  m_bRunTimeError = false;
  if (!m_pAllocator) return VFW_E_NO_ALLOCATOR;
  m_bFlushing = FALSE;
  return m_pAllocator->Decommit();
}

HRESULT CBaseInputPin::BreakConnect() {
  // The allocator belonged to the connection that is going away.
  m_pAllocator.Reset();
  m_bReadOnly = FALSE;
  return S_OK;
}

HRESULT CBaseInputPin::CheckStreaming() {
  if (!IsConnected()) return VFW_E_NOT_CONNECTED;
  if (m_bFlushing) return S_FALSE;
  if (IsStopped()) return VFW_E_WRONG_STATE;
  if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
  return S_OK;
}

HRESULT CBaseInputPin::PassNotify(Quality& quality) {
  IBaseFilter* self = m_pFilter;
  if (m_pQSink != nullptr) return m_pQSink->Notify(self, quality);
  IPin* upstream = m_Connected.Get();
  if (upstream == nullptr) return VFW_E_NOT_FOUND;
  ovl::ComPtr<IQualityControl> control;
  if (FAILED(upstream->QueryInterface(IID_IQualityControl, control.PutVoid()))) return VFW_E_NOT_FOUND;
  return control->Notify(self, quality);
}
