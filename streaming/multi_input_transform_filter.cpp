#include "streaming/multi_input_transform_filter.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <new>

#include "persistence/core/com_ptr.h"
#include "server/filter_identity.h"
#include "streaming/base/sample_properties.h"
#include "streaming/mux_dynamic_output_pin.h"
#include "streaming/mux_transform_input_pin.h"

namespace {

void InputPinName(int index, wchar_t (&name)[16], const wchar_t* prefix) {
  std::swprintf(name, 16, L"%ls%.2d", prefix, index + 1);
}

}  // namespace

CMultipleInputPinTransformFilter::CMultipleInputPinTransformFilter(const TCHAR* name, LPUNKNOWN outer,
                                                                   REFCLSID clsid, HRESULT* phr)
    : CVideoTransformFilter(name, outer, clsid),
      m_evStop(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_pOutputPin(nullptr),
      m_apInputPins{},
      m_nInputPins(1) {
  if (m_evStop == nullptr && phr != nullptr) *phr = E_FAIL;
}

CMultipleInputPinTransformFilter::~CMultipleInputPinTransformFilter() {
  // The output pin first: its seeking pass-throughs point at the input pins.
  delete m_pOutputPin;
  m_pOutputPin = nullptr;
  for (CMuxTransformInputPin*& pin : m_apInputPins) {
    delete pin;
    pin = nullptr;
  }
  if (m_evStop != nullptr) CloseHandle(m_evStop);
}

int CMultipleInputPinTransformFilter::GetPinCount() { return m_nInputPins + 1; }

CMuxTransformInputPin* CMultipleInputPinTransformFilter::InputPin(int index) const {
  return index >= 0 && index < m_nInputPins && index < kMaxInputPins ? m_apInputPins[index] : nullptr;
}

CMuxTransformInputPin* CMultipleInputPinTransformFilter::CreateInputPin(int index, LPCWSTR name, HRESULT* phr) {
  return new (std::nothrow) CMuxTransformInputPin(index, TEXT("input pin"), this, phr, name);
}

CMuxDynamicOutputPin* CMultipleInputPinTransformFilter::CreateOutputPin(LPCWSTR name, HRESULT* phr) {
  return new (std::nothrow) CMuxDynamicOutputPin(TEXT("output pin"), this, phr, name);
}

CBasePin* CMultipleInputPinTransformFilter::GetPin(int n) {
  if (n < 0 || n > m_nInputPins) return nullptr;
  if (n < m_nInputPins) {
    if (m_apInputPins[n] == nullptr) {
      wchar_t name[16];
      InputPinName(n, name, ovl::identity::kInputPinPrefix);
      HRESULT hr = S_OK;
      m_apInputPins[n] = CreateInputPin(n, name, &hr);
      if (m_apInputPins[n] == nullptr || FAILED(hr)) return nullptr;
    }
    return m_apInputPins[n];
  }
  if (m_pOutputPin == nullptr) {
    HRESULT hr = S_OK;
    m_pOutputPin = CreateOutputPin(ovl::identity::kOutputPinName, &hr);
    if (m_pOutputPin == nullptr || FAILED(hr)) {
      delete m_pOutputPin;
      m_pOutputPin = nullptr;
      for (int i = 0; i < m_nInputPins; ++i) {
        delete m_apInputPins[i];
        m_apInputPins[i] = nullptr;
      }
      return nullptr;
    }
  }
  return m_pOutputPin;
}

HRESULT STDMETHODCALLTYPE CMultipleInputPinTransformFilter::FindPin(LPCWSTR id, IPin** ppPin) {
  CheckPointer(ppPin, E_POINTER);
  *ppPin = nullptr;
  if (id == nullptr) return VFW_E_NOT_FOUND;
  CBasePin* found = nullptr;
  if (std::wcscmp(id, L"Out") == 0 || std::wcscmp(id, ovl::identity::kOutputPinName) == 0) {
    found = GetPin(m_nInputPins);
  } else {
    for (int i = 0; i < m_nInputPins && found == nullptr; ++i) {
      wchar_t longName[16], shortName[16];
      InputPinName(i, longName, ovl::identity::kInputPinPrefix);
      InputPinName(i, shortName, L"In ");
      if (std::wcscmp(id, longName) == 0 || std::wcscmp(id, shortName) == 0) found = GetPin(i);
    }
    // The unnumbered ids name the highest-numbered input.
    for (int i = 0; i < m_nInputPins && found == nullptr; ++i) {
      if (std::wcscmp(id, L"XForm In") == 0 || std::wcscmp(id, L"In") == 0) found = GetPin(m_nInputPins - 1);
    }
  }
  if (found == nullptr) return VFW_E_NOT_FOUND;
  *ppPin = found;
  found->AddRef();
  return S_OK;
}

void CMultipleInputPinTransformFilter::GrowInputPins() {
  if (m_nInputPins < 0 || m_nInputPins > kMaxInputPins - 1 || m_nInputPins >= MaxInputPins()) return;
  for (int i = 0; i < m_nInputPins; ++i) {
    if (m_apInputPins[i] == nullptr || !m_apInputPins[i]->IsConnected()) return;
  }
  ++m_nInputPins;
  GetPin(m_nInputPins - 1);  // the new input exists from now on, not only once enumerated
  IncrementPinVersion();
}

HRESULT STDMETHODCALLTYPE CMultipleInputPinTransformFilter::Pause() {
  CAutoLock lock(&m_csFilterLock);
  ResetEvent(m_evStop);
  if (m_State != State_Paused) {
    bool anyInput = false;
    for (int i = 0; i < m_nInputPins; ++i) {
      if (m_apInputPins[i] != nullptr && m_apInputPins[i]->IsConnected()) anyInput = true;
    }
    if (!anyInput) {
      // Nothing will ever arrive: tell downstream once.
      if (m_pOutputPin != nullptr && !m_bEOSDelivered) {
        m_pOutputPin->Using([&] { return m_pOutputPin->DeliverEndOfStream(); });
        m_bEOSDelivered = TRUE;
      }
    } else if (m_pOutputPin != nullptr) {
      const OutputPinInUse use(m_pOutputPin);
      if (SUCCEEDED(use.Started()) && m_pOutputPin->IsConnected() && m_State == State_Stopped) {
        CAutoLock receiving(&m_csReceiveLock);
        StartStreaming();
      }
    }
  }
  m_bSampleSkipped = FALSE;
  m_bQualityChanged = FALSE;
  return CBaseFilter::Pause();
}

HRESULT STDMETHODCALLTYPE CMultipleInputPinTransformFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  CAutoLock lock(&m_csFilterLock);
  ovl::ComPtr<IGraphConfig> config;
  if (graph != nullptr) {
    const HRESULT hr = graph->QueryInterface(IID_IGraphConfig, config.PutVoid());
    if (FAILED(hr)) return hr;
  }
  const HRESULT hr = CBaseFilter::JoinFilterGraph(graph, name);
  if (SUCCEEDED(hr)) {
    if (auto* out = static_cast<CMuxDynamicOutputPin*>(GetPin(m_nInputPins))) {
      out->SetConfigInfo(graph != nullptr ? config.Get() : nullptr, graph != nullptr ? m_evStop : nullptr);
    }
  }
  return hr;
}

HRESULT CMultipleInputPinTransformFilter::GraphState(LONG* state) {
  CheckPointer(state, E_POINTER);
  *state = 0;
  if (m_pGraph == nullptr) return S_OK;
  ovl::ComPtr<IGraphBuilder> builder;
  if (FAILED(m_pGraph->QueryInterface(IID_IGraphBuilder, builder.PutVoid()))) return E_NOINTERFACE;
  ovl::ComPtr<IMediaControl> control;
  if (FAILED(builder->QueryInterface(IID_IMediaControl, control.PutVoid()))) return E_NOINTERFACE;
  OAFilterState graphState = 0;
  const HRESULT got = control->GetState(1000, &graphState);
  if (FAILED(got)) return got;
  *state = graphState;
  return S_OK;
}

HRESULT CMultipleInputPinTransformFilter::SetMediaType(PIN_DIRECTION direction, const CMediaType* type) {
  if (direction != PINDIR_INPUT || type == nullptr || type->pbFormat == nullptr ||
      type->cbFormat < sizeof(VIDEOINFOHEADER)) {
    return S_OK;
  }
  const BITMAPINFOHEADER& bih = reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat)->bmiHeader;
  InputFormatRecord& r = m_inputFormat;
  r = InputFormatRecord{};
  r.width = bih.biWidth;
  r.height = bih.biHeight;
  r.bitCount = bih.biBitCount;
  r.stride = ((r.bitCount * r.width + 31) >> 3) & ~3;
  r.imageSize = r.stride * (r.height < 0 ? -r.height : r.height);
  // The colour table follows the header inside the format block, when there is one.
  const ULONG tableOffset = FIELD_OFFSET(VIDEOINFOHEADER, bmiHeader) + sizeof(BITMAPINFOHEADER);
  LONG entries = bih.biClrUsed != 0 ? static_cast<LONG>(bih.biClrUsed) : (r.bitCount <= 8 ? 1L << r.bitCount : 0);
  const LONG available = type->cbFormat > tableOffset ? static_cast<LONG>((type->cbFormat - tableOffset) / sizeof(RGBQUAD)) : 0;
  if (entries > 256) entries = 256;
  if (entries > available) entries = available;
  const auto* table = reinterpret_cast<const RGBQUAD*>(type->pbFormat + tableOffset);
  r.greyRamp = entries > 0;
  for (LONG i = 0; i < entries && r.greyRamp; ++i) {
    const int expected = entries > 1 ? static_cast<int>(i * 255 / (entries - 1)) : 0;
    const RGBQUAD& c = table[i];
    r.greyRamp = c.rgbBlue == c.rgbGreen && c.rgbBlue == c.rgbRed && std::abs(c.rgbBlue - expected) <= 2;
  }
  if (r.bitCount == 8) {
    r.paletteEntries = bih.biClrUsed != 0 ? static_cast<LONG>(bih.biClrUsed) : 256;
    if (r.paletteEntries > 256) r.paletteEntries = 256;
    for (LONG i = 0; i < r.paletteEntries && i < available; ++i) r.palette[i] = table[i];
  }
  return S_OK;
}

HRESULT CMultipleInputPinTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  CAutoLock lock(&m_csFilterLock);
  if (m_pOutputPin == nullptr) return S_OK;
  return m_pOutputPin->Using([&] { return m_pOutputPin->DeliverNewSegment(start, stop, rate); });
}

HRESULT CMultipleInputPinTransformFilter::BeginFlush() {
  CAutoLock lock(&m_csFilterLock);
  if (m_pOutputPin == nullptr) return S_OK;
  return m_pOutputPin->Using([&] { return m_pOutputPin->DeliverBeginFlush(); });
}

HRESULT CMultipleInputPinTransformFilter::EndFlush() {
  CAutoLock lock(&m_csFilterLock);
  if (m_pOutputPin == nullptr) return S_OK;
  return m_pOutputPin->Using([&] { return m_pOutputPin->DeliverEndFlush(); });
}

HRESULT CMultipleInputPinTransformFilter::EndOfStreamFromInput(CMuxTransformInputPin* pin) {
  CAutoLock lock(&m_csFilterLock);
  const HRESULT check = pin->CheckStreaming();
  if (check != S_OK) return check;
  pin->SetEndOfStream(true);
  for (int i = 0; i < m_nInputPins; ++i) {
    CMuxTransformInputPin* other = m_apInputPins[i];
    if (other != nullptr && other->IsConnected() && !other->IsEndOfStream()) return S_OK;
  }
  if (m_pOutputPin == nullptr) return S_OK;
  return m_pOutputPin->Using([&] { return m_pOutputPin->DeliverEndOfStream(); });
}

HRESULT CMultipleInputPinTransformFilter::InitializeOutputSample(int pinIndex, IMediaSample* in, IMediaSample** out) {
  *out = nullptr;
  CMuxTransformInputPin* pin = InputPin(pinIndex);
  if (pin == nullptr || m_pOutputPin == nullptr) return E_UNEXPECTED;
  const AM_SAMPLE2_PROPERTIES& props = *pin->SampleProps();
  DWORD flags = m_bSampleSkipped ? AM_GBF_PREVFRAMESKIPPED : 0;
  if (!(props.dwSampleFlags & AM_SAMPLE_SPLICEPOINT)) flags |= AM_GBF_NOTASYNCPOINT;

  HRESULT hr = E_UNEXPECTED;
  IMediaSample* sample = nullptr;
  {
    // The buffer is asked for even when the pin is blocked and the wait for
    // it failed: the allocator then answers for itself (decommitted by a
    // stop), which is the answer upstream should get.
    const OutputPinInUse use(m_pOutputPin);
    if (m_pOutputPin->Allocator() != nullptr) {
      REFERENCE_TIME start = props.tStart, stop = props.tStop;
      hr = m_pOutputPin->Allocator()->GetBuffer(&sample, (props.dwSampleFlags & AM_SAMPLE_TIMEVALID) ? &start : nullptr,
                                                (props.dwSampleFlags & AM_SAMPLE_STOPVALID) ? &stop : nullptr, flags);
    }
  }
  if (FAILED(hr)) return hr;
  ovl::StampOutputSample(props, in, sample);
  if (props.dwSampleFlags & AM_SAMPLE_DATADISCONTINUITY) m_bSampleSkipped = FALSE;
  *out = sample;
  return S_OK;
}

HRESULT CMultipleInputPinTransformFilter::DeliverDownstream(IMediaSample* sample) {
  return m_pOutputPin->Deliver(sample);
}

HRESULT CMultipleInputPinTransformFilter::Receive(int pinIndex, IMediaSample* sample, IMediaSample* paired) {
  CMuxTransformInputPin* pin = InputPin(pinIndex);
  if (pin == nullptr || m_pOutputPin == nullptr) return S_FALSE;
  // Stream-control samples go downstream untouched.
  if (pin->SampleProps()->dwStreamId != AM_STREAM_MEDIA) {
    return m_pOutputPin->Using([&] { return DeliverDownstream(sample); });
  }
  IMediaSample* fresh = nullptr;
  HRESULT hr = InitializeOutputSample(pinIndex, sample, &fresh);
  if (FAILED(hr)) return hr;
  ovl::ComPtr<IMediaSample> out(fresh);
  const OutputPinInUse use(m_pOutputPin);
  if (FAILED(use.Started())) return use.Started();
  hr = Transform(pinIndex, sample, paired, out.Get());
  if (FAILED(hr)) {
    // Transform failed: traced by the concrete filter; nothing is delivered.
  } else if (hr == S_OK && m_pOutputPin->IsConnected()) {
    hr = DeliverDownstream(out.Get());
    m_bSampleSkipped = FALSE;
  } else if (hr != S_FALSE && m_pOutputPin->IsConnected()) {
    // another success code: returned as it is
  } else {
    NoteSkippedSample();
    hr = S_OK;
  }
  out.Reset();  // back to its allocator before the pin is let go
  return hr;
}
