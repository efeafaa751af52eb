#include "streaming/base/base_filter.h"

#include <cwchar>
#include <new>

#include "streaming/base/base_pin.h"
#include "streaming/base/enum_pins.h"

namespace {

// Calls `call` on every connected pin in order and returns the first
// failure; with `stopAtFailure` the walk ends there.
template <class F>
HRESULT ForConnectedPins(CBaseFilter* filter, bool stopAtFailure, F&& call) {
  HRESULT result = S_OK;
  const int count = filter->GetPinCount();
  for (int i = 0; i < count; ++i) {
    CBasePin* pin = filter->GetPin(i);
    if (pin == nullptr) break;
    if (!pin->IsConnected()) continue;
    const HRESULT hr = call(pin);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    if (FAILED(hr) && stopAtFailure) break;
  }
  return result;
}

// Runs `call` with the platform's filter mapper.
template <class F>
HRESULT WithFilterMapper(F&& call) {
  ovl::ComPtr<IFilterMapper2> mapper;
  const HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                      mapper.PutVoid());
  if (FAILED(hr)) return hr;
  return call(mapper.Get());
}

}  // namespace

CBaseFilter::CBaseFilter(const TCHAR* name, LPUNKNOWN outer, CCritSec* lock, REFCLSID clsid)
    : CUnknown(name, outer),
      m_State(State_Stopped),
      m_tStart(0),
      m_clsid(clsid),
      m_pLock(lock),
      m_pName(nullptr),
      m_pGraph(nullptr),
      m_pSink(nullptr),
      m_PinVersion(1) {}

CBaseFilter::CBaseFilter(const TCHAR* name, LPUNKNOWN outer, CCritSec* lock, REFCLSID clsid, HRESULT* /*phr*/)
    : CBaseFilter(name, outer, lock, clsid) {}

CBaseFilter::~CBaseFilter() { delete[] m_pName; }

HRESULT STDMETHODCALLTYPE CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  CheckPointer(ppv, E_POINTER);
  if (IsEqualIID(riid, IID_IBaseFilter)) return GetInterface(static_cast<IBaseFilter*>(this), ppv);
  if (IsEqualIID(riid, IID_IMediaFilter)) return GetInterface(static_cast<IMediaFilter*>(this), ppv);
  if (IsEqualIID(riid, IID_IPersist)) return GetInterface(static_cast<IPersist*>(static_cast<IBaseFilter*>(this)), ppv);
  if (IsEqualIID(riid, IID_IAMovieSetup)) return GetInterface(static_cast<IAMovieSetup*>(this), ppv);
  return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetClassID(CLSID* clsid) {
  CheckPointer(clsid, E_POINTER);
  *clsid = m_clsid;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Stop() {
  CAutoLock lock(m_pLock);
  HRESULT result = S_OK;
  if (m_State != State_Stopped) {
    // Every connected pin becomes inactive even when an earlier one fails;
    // the first failure is reported and the filter is stopped regardless.
    result = ForConnectedPins(this, false, [](CBasePin* pin) { return pin->Inactive(); });
  }
  m_State = State_Stopped;
  return result;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Pause() {
  CAutoLock lock(m_pLock);
  if (m_State == State_Stopped) {
    const HRESULT hr = ForConnectedPins(this, true, [](CBasePin* pin) { return pin->Active(); });
    if (FAILED(hr)) return hr;  // stays stopped
  }
  m_State = State_Paused;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Run(REFERENCE_TIME start) {
  CAutoLock lock(m_pLock);
  m_tStart = start;
  if (m_State == State_Stopped) {
    const HRESULT hr = Pause();  // the derived filter's, so it can prepare
    if (FAILED(hr)) return hr;
  }
  if (m_State != State_Running) {
    const HRESULT hr = ForConnectedPins(this, true, [start](CBasePin* pin) { return pin->Run(start); });
    if (FAILED(hr)) return hr;
  }
  m_State = State_Running;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetState(DWORD /*milliseconds*/, FILTER_STATE* state) {
  CheckPointer(state, E_POINTER);
  *state = m_State;  // transitions complete synchronously
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::SetSyncSource(IReferenceClock* clock) {
  CAutoLock lock(m_pLock);
  m_pClock = ovl::ComPtr<IReferenceClock>::Share(clock);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::GetSyncSource(IReferenceClock** clock) {
  CheckPointer(clock, E_POINTER);
  CAutoLock lock(m_pLock);
  *clock = ovl::ComPtr<IReferenceClock>(m_pClock).Detach();  // a reference for the caller
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::EnumPins(IEnumPins** ppEnum) {
  CheckPointer(ppEnum, E_POINTER);
  *ppEnum = nullptr;
  auto* enumerator = new (std::nothrow) CEnumPins(this, nullptr);
  if (enumerator == nullptr) return E_OUTOFMEMORY;
  return enumerator->NonDelegatingQueryInterface(IID_IEnumPins, reinterpret_cast<void**>(ppEnum));
}

HRESULT STDMETHODCALLTYPE CBaseFilter::FindPin(LPCWSTR id, IPin** ppPin) {
  CheckPointer(ppPin, E_POINTER);
  *ppPin = nullptr;
  CheckPointer(id, E_POINTER);
  CAutoLock lock(m_pLock);
  const int count = GetPinCount();
  for (int i = 0; i < count; ++i) {
    CBasePin* pin = GetPin(i);
    if (pin == nullptr) break;
    if (std::wcscmp(pin->Name(), id) == 0) {
      *ppPin = pin;
      pin->AddRef();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
  CheckPointer(info, E_POINTER);
  CAutoLock lock(m_pLock);
  info->achName[0] = L'\0';
  if (m_pName != nullptr) {
    std::wcsncpy(info->achName, m_pName, MAX_FILTER_NAME - 1);
    info->achName[MAX_FILTER_NAME - 1] = L'\0';
  }
  info->pGraph = m_pGraph;
  if (m_pGraph != nullptr) m_pGraph->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  CAutoLock lock(m_pLock);
  WCHAR* newName = nullptr;
  if (name != nullptr) {
    const size_t length = std::wcslen(name);
    newName = new (std::nothrow) WCHAR[length + 1];
    if (newName == nullptr) return E_OUTOFMEMORY;
    std::wmemcpy(newName, name, length + 1);
  }
  delete[] m_pName;
  m_pName = newName;

  m_pGraph = graph;
  m_pSink = nullptr;
  if (graph != nullptr) {
    ovl::ComPtr<IMediaEventSink> sink;
    if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, sink.PutVoid()))) {
      m_pSink = sink.Get();  // kept without a reference, like the graph itself
    }
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::QueryVendorInfo(LPWSTR* vendorInfo) {
  CheckPointer(vendorInfo, E_POINTER);
  *vendorInfo = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Register() {
  const AMOVIESETUP_FILTER* setup = GetSetupData();
  if (setup == nullptr) return S_FALSE;  // nothing to register
  return WithFilterMapper([setup](IFilterMapper2* mapper) {
    REGFILTER2 data = {};
    data.dwVersion = 1;
    data.dwMerit = setup->dwMerit;
    data.cPins = setup->nPins;
    data.rgPins = setup->lpPin;
    return mapper->RegisterFilter(*setup->clsID, setup->strName, nullptr, &CLSID_LegacyAmFilterCategory, nullptr,
                                  &data);
  });
}

HRESULT STDMETHODCALLTYPE CBaseFilter::Unregister() {
  const AMOVIESETUP_FILTER* setup = GetSetupData();
  if (setup == nullptr) return S_FALSE;
  return WithFilterMapper([setup](IFilterMapper2* mapper) {
    return mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, *setup->clsID);
  });
}

LONG CBaseFilter::GetPinVersion() { return InterlockedCompareExchange(&m_PinVersion, 0, 0); }

void CBaseFilter::IncrementPinVersion() { InterlockedIncrement(&m_PinVersion); }

HRESULT CBaseFilter::StreamTime(REFERENCE_TIME& streamTime) {
  CAutoLock lock(m_pLock);
  if (!m_pClock) return VFW_E_NO_CLOCK;
  REFERENCE_TIME now = 0;
  const HRESULT hr = m_pClock->GetTime(&now);
  if (FAILED(hr)) return hr;
  streamTime = now - m_tStart;
  return S_OK;
}

HRESULT CBaseFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
  IMediaEventSink* sink = m_pSink;
  if (sink == nullptr) return E_NOTIMPL;
  // EC_COMPLETE names the filter that completed when the sender left it out.
  if (code == EC_COMPLETE && param2 == 0) param2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
  return sink->Notify(code, param1, param2);
}

BOOL CBaseFilter::IsActive() {
  CAutoLock lock(m_pLock);
  return m_State != State_Stopped;
}

BOOL CBaseFilter::IsStopped() { return m_State == State_Stopped; }
