#include "streaming/mux_dynamic_output_pin.h"

#include <utility>

#include "streaming/multi_input_transform_filter.h"
#include "streaming/mux_transform_input_pin.h"
#include "server/filter_identity.h"

CMuxDynamicOutputPin::CMuxDynamicOutputPin(const TCHAR* objectName, CMultipleInputPinTransformFilter* filter,
                                           HRESULT* phr, LPCWSTR name)
    : CDynamicOutputPin(objectName, filter, filter->FilterLock(), phr, name), m_pFilter(filter) {}

CMuxDynamicOutputPin::~CMuxDynamicOutputPin() {
  // The live pass-throughs go first, then the retired ones.
  for (ovl::ComPtr<IUnknown>& passThru : m_apPosPassThru) passThru.Reset();
  m_retiredPassThrus.clear();
}

HRESULT STDMETHODCALLTYPE CMuxDynamicOutputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (IsEqualIID(riid, IID_IMediaSeeking)) {
    *ppv = nullptr;
    const HRESULT hr = CreatePassThroughs();
    if (FAILED(hr)) return hr;
    return GetInterface(static_cast<IMediaSeeking*>(this), ppv);
  }
  if (IsEqualIID(riid, IID_IMediaPosition)) {
    // Entirely the main input's upstream.
    *ppv = nullptr;
    const HRESULT hr = CreatePassThroughs();
    if (FAILED(hr)) return hr;
    const ovl::ComPtr<IUnknown> main = TakePassThrough(0);
    if (!main) return E_NOINTERFACE;
    return main->QueryInterface(riid, ppv);
  }
  return CDynamicOutputPin::NonDelegatingQueryInterface(riid, ppv);
}

// --- pass-throughs ---

HRESULT CMuxDynamicOutputPin::CreatePassThroughs() {
  const int count = m_pFilter->InputPinCount();
  for (int i = 0; i < count && i < kMaxInputs; ++i) {
    CMuxTransformInputPin* input = m_pFilter->InputPin(i);
    if (input == nullptr) continue;
    {
      CAutoLock lock(&m_csSeeking);
      if (m_apPosPassThru[i]) continue;
    }
    // Made outside the table lock (it calls into the platform), aggregated:
    // the interfaces it hands out count references on this pin.
    ovl::ComPtr<IUnknown> inner;
    HRESULT hr = CoCreateInstance(CLSID_SeekingPassThru, GetOwner(), CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  inner.PutVoid());
    if (FAILED(hr)) return hr;
    {
      ovl::ComPtr<ISeekingPassThru> init;
      hr = inner->QueryInterface(IID_ISeekingPassThru, init.PutVoid());
      if (SUCCEEDED(hr)) hr = init->Init(FALSE, static_cast<IPin*>(input));
    }
    if (SUCCEEDED(hr)) {
      CAutoLock lock(&m_csSeeking);
      if (!m_apPosPassThru[i]) std::swap(m_apPosPassThru[i], inner);  // else another query was first
    }
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

void CMuxDynamicOutputPin::ReleasePassThrough(int inputIndex) {
  if (inputIndex < 0 || inputIndex >= kMaxInputs) return;
  CAutoLock lock(&m_csSeeking);
  if (!m_apPosPassThru[inputIndex]) return;
  m_retiredPassThrus.push_back(std::move(m_apPosPassThru[inputIndex]));
}

ovl::ComPtr<IUnknown> CMuxDynamicOutputPin::TakePassThrough(int index) {
  CAutoLock lock(&m_csSeeking);
  if (index < 0 || index >= kMaxInputs) return {};
  return m_apPosPassThru[index];  // a copy: a reference of its own
}

ovl::ComPtr<IMediaSeeking> CMuxDynamicOutputPin::UpstreamSeeking(int index) {
  // The interface's references go to this pin (the outer object); the table
  // keeps the pass-through itself alive, or the retired list does.
  return TakePassThrough(index).As<IMediaSeeking>(IID_IMediaSeeking);
}

// No lock of ours is held while upstream is called: the pass-through asks
// our input pin for its peer (the filter lock), and renderers ask for
// positions from inside deliveries that run under the filter lock (end of
// stream), so a lock held here would close a cycle.
template <class F>
HRESULT CMuxDynamicOutputPin::ForwardToMain(F&& call) {
  const ovl::ComPtr<IMediaSeeking> seeking = UpstreamSeeking(0);
  if (!seeking) return E_NOTIMPL;
  return call(seeking.Get());
}

// --- IMediaSeeking: queries and most settings go to the main input's upstream ---

#define OVL_FORWARD_TO_MAIN(method, parameters, arguments)                       \
  HRESULT STDMETHODCALLTYPE CMuxDynamicOutputPin::method parameters {            \
    return ForwardToMain([&](IMediaSeeking* s) { return s->method arguments; }); \
  }
OVL_FORWARD_TO_MAIN(GetCapabilities, (DWORD* capabilities), (capabilities))
OVL_FORWARD_TO_MAIN(CheckCapabilities, (DWORD* capabilities), (capabilities))
OVL_FORWARD_TO_MAIN(IsFormatSupported, (const GUID* format), (format))
OVL_FORWARD_TO_MAIN(QueryPreferredFormat, (GUID* format), (format))
OVL_FORWARD_TO_MAIN(GetTimeFormat, (GUID* format), (format))
OVL_FORWARD_TO_MAIN(IsUsingTimeFormat, (const GUID* format), (format))
OVL_FORWARD_TO_MAIN(GetDuration, (LONGLONG* duration), (duration))
OVL_FORWARD_TO_MAIN(GetStopPosition, (LONGLONG* stop), (stop))
OVL_FORWARD_TO_MAIN(GetCurrentPosition, (LONGLONG* current), (current))
OVL_FORWARD_TO_MAIN(ConvertTimeFormat,
                    (LONGLONG* target, const GUID* targetFormat, LONGLONG source, const GUID* sourceFormat),
                    (target, targetFormat, source, sourceFormat))
OVL_FORWARD_TO_MAIN(GetPositions, (LONGLONG* current, LONGLONG* stop), (current, stop))
OVL_FORWARD_TO_MAIN(GetAvailable, (LONGLONG* earliest, LONGLONG* latest), (earliest, latest))
OVL_FORWARD_TO_MAIN(GetRate, (double* rate), (rate))
OVL_FORWARD_TO_MAIN(GetPreroll, (LONGLONG* preroll), (preroll))
OVL_FORWARD_TO_MAIN(SetRate, (double rate), (rate))
#undef OVL_FORWARD_TO_MAIN

// A change of time format or position goes to every connected input. It
// runs while streaming threads may be parked in the inputs, and upstream
// filters call back into the inputs (flushes, new segments) from inside it.

bool CMuxDynamicOutputPin::HasMainPassThrough() {
  return static_cast<bool>(TakePassThrough(0));
}

template <class F>
void CMuxDynamicOutputPin::ForEachConnectedInput(F&& call) {
  for (int i = 0; i < m_pFilter->InputPinCount() && i < kMaxInputs; ++i) {
    CMuxTransformInputPin* input = m_pFilter->InputPin(i);
    if (input == nullptr || !input->IsConnected()) continue;
    const ovl::ComPtr<IMediaSeeking> seeking = UpstreamSeeking(i);
    if (!call(i, seeking.Get())) break;
  }
}

HRESULT STDMETHODCALLTYPE CMuxDynamicOutputPin::SetTimeFormat(const GUID* format) {
  if (!HasMainPassThrough()) return E_NOTIMPL;
  // Every connected input switches; the answer is the last one's, so a
  // format the second source refuses fails the call.
  HRESULT result = E_NOTIMPL;
  ForEachConnectedInput([&](int i, IMediaSeeking* seeking) {
    if (seeking == nullptr) {
      if (i == 0) result = E_NOTIMPL;
      return i != 0;
    }
    result = seeking->SetTimeFormat(format);
    return true;
  });
  return result;
}

HRESULT STDMETHODCALLTYPE CMuxDynamicOutputPin::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                                             DWORD stopFlags) {
  if (!HasMainPassThrough()) return E_NOTIMPL;
  // The other inputs get the positions as requested, not what the main
  // input's upstream writes back (AM_SEEKING_ReturnTime).
  const LONGLONG requestedCurrent = current != nullptr ? *current : 0;
  const LONGLONG requestedStop = stop != nullptr ? *stop : 0;

  // Parked input threads wake and drop what arrives until the change is done.
  m_pFilter->BeginSeek();
  HRESULT result = S_OK;
  ForEachConnectedInput([&](int i, IMediaSeeking* seeking) {
    if (seeking == nullptr) {
      result = E_NOTIMPL;
      return false;
    }
    // Without a current position the inputs are still told, but their
    // answers do not count. (A non-null pointer is taken as readable.)
    if (current == nullptr) {
      seeking->SetPositions(current, currentFlags, stop, stopFlags);  // result deliberately not used
      return true;
    }
    LONGLONG localCurrent = requestedCurrent;
    LONGLONG localStop = requestedStop;
    const HRESULT hr = i == 0 ? seeking->SetPositions(current, currentFlags, stop, stopFlags)
                              : seeking->SetPositions(&localCurrent, currentFlags, &localStop, stopFlags);
    if (hr != S_OK && result == S_OK) result = hr;
    return true;
  });
  m_pFilter->EndSeek();
  return result;
}

HRESULT STDMETHODCALLTYPE CMuxDynamicOutputPin::QueryId(LPWSTR* id) { return CopyId(ovl::identity::kOutputPinName, id); }

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
